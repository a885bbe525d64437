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

namespace {

QString tooLarge(const QString& name, const QString& limit) {
    return QStringLiteral(
               "The exposure file %1 was not loaded: it is %2, far beyond any "
               "sequence.")
        .arg(name, limit);
}

QString overSteps(const QString& name) {
    return tooLarge(name, QStringLiteral("more than %1 steps").arg(kMaxSteps));
}

QString overBytes(const QString& name) {
    return tooLarge(name, QStringLiteral("larger than %1 MB").arg(kMaxFileBytes / (1024 * 1024)));
}

}  // namespace

ReadResult parse(const QByteArray& bytes, const QString& name) {
    ReadResult result;
    // An editor that saved the file as UTF-8 may have put a byte-order mark first.
    static const QByteArray kBom("\xEF\xBB\xBF");
    const QString text = bytes.startsWith(kBom) ? QString::fromUtf8(bytes.mid(kBom.size()))
                                                : QString::fromLatin1(bytes);
    const qsizetype maxValues = 4 * qsizetype(kMaxSteps + 1);
    QStringList values;
    qsizetype i = 0;
    const qsizetype n = text.size();
    const auto isEnd = [](QChar c) { return c == u'\r' || c == u'\n'; };
    while (i < n) {
        // Blanks and empty lines before a value.
        while (i < n && (text[i] == u' ' || text[i] == u'\t' || isEnd(text[i]))) ++i;
        if (i >= n) break;
        const qsizetype start = i;
        while (i < n && text[i] != u',' && !isEnd(text[i])) ++i;
        QString value;
        if (text[start] == u'"') {
            // The speed texts hold double quotes of their own (0"3): the value
            // closes at the last quote of the field.
            const qsizetype close = text.lastIndexOf(u'"', i - 1);
            const qsizetype stop = close > start ? close : i;
            value = text.mid(start + 1, stop - start - 1);
        } else {
            value = text.mid(start, i - start).trimmed();
            if (Conv::isNumeric(value)) value = Conv::numberText(Conv::parseDouble(value));
        }
        if (i < n && text[i] == u',') ++i;
        values << value;
        if (values.size() >= maxValues) {
            result.status = ReadResult::Status::TooLarge;
            result.problem = overSteps(name);
            return result;
        }
    }
    for (qsizetype k = 0; k + 3 < values.size(); k += 4) {
        ExposureStep s{values[k], values[k + 1], values[k + 2], values[k + 3]};
        if (Conv::isNumeric(s.iso) && Conv::parseDouble(s.iso) == 0) s.iso = kNoIso;
        result.steps.push_back(s);
    }
    return result;
}

ReadResult readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {ReadResult::Status::NotFound, {}, {}};
    // The size first; then never more than one byte past the limit, for a file
    // that does not know its size (a device, a pipe) or grows while it is read.
    ReadResult tooBig{ReadResult::Status::TooLarge, {}, overBytes(path)};
    if (f.size() > kMaxFileBytes) return tooBig;
    const QByteArray bytes = f.read(kMaxFileBytes + 1);
    if (bytes.size() > kMaxFileBytes) return tooBig;
    return parse(bytes, path);
}

QString defaultFile() {
    return AppPaths::join(AppPaths::appDir(), QStringLiteral("ExposureFiles"),
                          QStringLiteral("exposurefile.txt"));
}

}  // namespace zelmora::capture::expfile
