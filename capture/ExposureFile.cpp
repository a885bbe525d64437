#include "capture/ExposureFile.h"

#include <QFile>

#include "platform/core/AppError.h"
#include "platform/os/FileWrite.h"
#include "shell/AppPaths.h"
#include "shell/Conv.h"

namespace zelmora::capture::expfile {

namespace {
const QString kSep = QStringLiteral(",\t\t");
const QString kNoIso = QStringLiteral("N/A");

QByteArray number16(const QString& text) {
    return QByteArray::number(Conv::parseInt16(text));
}
}  // namespace

QString headingRow() {
    return QStringLiteral("No Exposures\tExposure Length\tDelay Between\tISO Speed");
}

QString stepRow(const ExposureStep& s) {
    return s.count + kSep + s.exposure + kSep + s.delay + kSep + s.iso;
}

QStringList rowFields(const QString& row) {
    QString text = row;
    text.remove(QChar(9)).remove(QChar(8)).remove(QChar(10));
    return text.split(u',');
}

QByteArray formatRecord(const QStringList& fields, bool shortExposureMode) {
    if (fields.size() < 4)
        throw AppError(AppError::kSubscriptOutOfRange, QStringLiteral("formatRecord"),
                       QStringLiteral("Subscript out of range"));
    const QString iso = fields[3] == kNoIso ? QStringLiteral("0") : fields[3];
    QByteArray line = number16(fields[0]) + ',';
    if (shortExposureMode)
        line += '"' + fields[1].toLatin1() + '"';
    else
        line += number16(fields[1]);
    line += ',' + number16(fields[2]) + ',' + number16(iso) + "\r\n";
    return line;
}

WriteResult writeFile(const QString& path, const QStringList& rows, bool shortExposureMode) {
    QByteArray content;
    for (int i = 1; i < rows.size(); ++i) {
        try {
            content += formatRecord(rowFields(rows[i]), shortExposureMode);
        } catch (const AppError& e) {
            return {false, true,
                    QStringLiteral("row %1 (%2): %3").arg(i).arg(rows[i], e.description())};
        }
    }
    try {
        platform::writeFileWhole(path, content);
    } catch (const AppError& e) {
        return {false, false, e.description()};
    }
    return {};
}

std::vector<ExposureStep> parse(const QByteArray& bytes) {
    const QString text = QString::fromLatin1(bytes);
    QStringList values;
    int i = 0;
    const int n = text.size();
    const auto isEnd = [](QChar c) { return c == u'\r' || c == u'\n'; };
    while (i < n) {
        // Blanks and empty lines before a value.
        while (i < n && (text[i] == u' ' || text[i] == u'\t' || isEnd(text[i]))) ++i;
        if (i >= n) break;
        QString value;
        if (text[i] == u'"') {
            const int close = text.indexOf(u'"', i + 1);
            const int stop = close < 0 ? n : close;
            value = text.mid(i + 1, stop - i - 1);
            i = stop + 1;
            while (i < n && text[i] != u',' && !isEnd(text[i])) ++i;
        } else {
            const int start = i;
            while (i < n && text[i] != u',' && !isEnd(text[i])) ++i;
            value = text.mid(start, i - start).trimmed();
            if (Conv::isNumeric(value)) value = Conv::numberText(Conv::parseDouble(value));
        }
        if (i < n && text[i] == u',') ++i;
        values << value;
    }
    std::vector<ExposureStep> steps;
    for (int k = 0; k + 3 < values.size(); k += 4) {
        ExposureStep s{values[k], values[k + 1], values[k + 2], values[k + 3]};
        if (Conv::isNumeric(s.iso) && Conv::parseDouble(s.iso) == 0) s.iso = kNoIso;
        steps.push_back(s);
    }
    return steps;
}

std::optional<std::vector<ExposureStep>> readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    return parse(f.readAll());
}

QString defaultFile() {
    return AppPaths::join(AppPaths::appDir(), QStringLiteral("ExposureFiles"),
                          QStringLiteral("exposurefile.txt"));
}

}  // namespace zelmora::capture::expfile
