// Renders the user manual from its Markdown source to PDF:
//   zelmora_manual_pdf <manual.md> <output.pdf>
// Written under a temporary name and renamed, so a failed run never leaves a
// cut-short manual that the build would then take as up to date.
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>

#include <cstdio>

int main(int argc, char** argv) {
    // Needs a font database, not a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s MANUAL.md OUTPUT.pdf\n", argv[0]);
        return 2;
    }
    const QString source = QString::fromLocal8Bit(argv[1]);
    const QString target = QString::fromLocal8Bit(argv[2]);

    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], qPrintable(in.errorString()));
        return 1;
    }
    QTextDocument doc;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(10.5);
    doc.setDefaultFont(font);
    doc.setMarkdown(QString::fromUtf8(in.readAll()), QTextDocument::MarkdownDialectGitHub);
    if (doc.isEmpty()) {
        std::fprintf(stderr, "%s: the manual is empty\n", argv[1]);
        return 1;
    }

    const QString part = target + QStringLiteral(".part");
    {
        QPdfWriter pdf(part);
        pdf.setTitle(QStringLiteral("Zelmora 3.0 User Manual"));
        pdf.setCreator(QStringLiteral("Zelmora"));
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter));
        doc.print(&pdf);
    }
    if (QFileInfo(part).size() == 0) {
        std::fprintf(stderr, "%s: nothing was written\n", qPrintable(part));
        QFile::remove(part);
        return 1;
    }
    QFile::remove(target);
    if (!QFile::rename(part, target)) {
        std::fprintf(stderr, "%s cannot be written\n", qPrintable(target));
        return 1;
    }
    return 0;
}
