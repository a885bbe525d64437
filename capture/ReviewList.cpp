#include "capture/ReviewList.h"

#include <QDir>
#include <QPainter>

#include "platform/core/AppError.h"
#include "shell/Conv.h"
#include "shell/Errors.h"

namespace zelmora::capture::review {

bool isPictureFile(const QString& path) {
    const QString ext = path.right(3).toLower();
    return ext == QLatin1String("bmp") || ext == QLatin1String("jpg") ||
           ext == QLatin1String("cur") || ext == QLatin1String("ico");
}

QStringList GetFiles(const QString& folder) {
    QStringList files;
    // An empty folder name would list the current folder: it lists nothing.
    if (folder.isEmpty()) return files;
    const QDir dir(folder);
    if (!dir.exists()) return files;
    const QString base = AddBackslash(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name))
        files << base + name;
    return files;
}

QStringList pictureFiles(const QString& folder) {
    QStringList files = GetFiles(folder);
    files.removeIf([](const QString& p) { return !isPictureFile(p); });
    return files;
}

QSizeF thumbFit(double w, double h) {
    double W = w, H = h;
    if (h > kBoxHeight) {
        W = w * kBoxHeight / h;
        H = kBoxHeight;
    }
    if (W > kBoxWidth) {
        H = h * kBoxWidth / w;
        W = kBoxWidth;
    }
    return {W, H};
}

QImage drawThumb(const QImage& picture, QSize natural) {
    QImage canvas(kThumbWidth, kThumbHeight, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    const QSizeF fit = thumbFit(natural.width(), natural.height());
    QPainter p(&canvas);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRectF((kThumbWidth - fit.width()) / 2, (kThumbHeight - fit.height()) / 2,
                       fit.width(), fit.height()),
                picture);
    return canvas;
}

QString progressCaption(int i, int count) {
    QString number = Conv::fixed(double(i) / count * 100.0, 2);
    // "###.00" has no leading zero: .33
    if (number.startsWith(QLatin1String("0."))) number.remove(0, 1);
    return QStringLiteral("GENERATING PREVIEWS  ") + number + u'%';
}

QString countText(int count) {
    return QString::number(count) + QStringLiteral(" items in list");
}

QString AddBackslash(const QString& path) {
    return path.endsWith(u'/') ? path : path + u'/';
}

namespace {
// The part of path after its last '/' (or up to and with it); a path without one is
// traced under the caller's name and gives an empty text.
QString splitAtLastSlash(const QString& path, const QString& caller, bool fileName) {
    QString result;
    trapAndTrace(caller, [&] {
        const qsizetype i = path.lastIndexOf(u'/');
        if (i < 0)
            throw AppError(AppError::kInvalidProcedureCall, caller,
                           QStringLiteral("Invalid procedure call or argument"));
        result = fileName ? path.mid(i + 1) : path.left(i + 1);
    });
    return result;
}
}  // namespace

QString GetFileNameOfThumb(const QString& path) {
    return splitAtLastSlash(path, QStringLiteral("GetFileNameOfThumb"), true);
}

QString GetPathNameOfThumb(const QString& path) {
    return splitAtLastSlash(path, QStringLiteral("GetPathNameOfThumb"), false);
}

}  // namespace zelmora::capture::review
