#include "capture/ExposureFile.h"

#include <QFile>
#include <QFileInfo>

#include "platform/core/AppError.h"
#include "platform/os/FileWrite.h"
#include "shell/AppPaths.h"
#include "shell/Conv.h"

namespace zelmora::capture::expfile {

namespace {
const QString kSep = QStringLiteral(",\t\t");
const QString kNoIso = QStringLiteral("N/A");

// A 16-bit field, or an error that names its column and what it holds.
QByteArray number16(const QString& text, const QString& column) {
    try {
        return QByteArray::number(Conv::parseInt16(text));
    } catch (const AppError& e) {
        throw AppError(e.number(), QStringLiteral("formatRecord"),
                       QStringLiteral("%1 \"%2\" is not a whole number from -32768 to 32767")
                           .arg(column, text));
    }
}
}  // namespace

QString headingRow() {
    return QStringLiteral("No Exposures\tExposure Length\tDelay Between\tISO Speed");
}

QString stepRow(const ExposureStep& s) {
    const QString exposure = s.shutterSpeed ? u'"' + s.exposure + u'"' : s.exposure;
    return s.count + kSep + exposure + kSep + s.delay + kSep + s.iso;
}

QStringList rowFields(const QString& row) {
    QString text = row;
    text.remove(QChar(9)).remove(QChar(8)).remove(QChar(10));
    return text.split(u',');
}

std::optional<ExposureStep> rowStep(const QString& row) {
    const QStringList f = rowFields(row);
    if (f.size() < 4) return std::nullopt;
    ExposureStep s{f[0], f[1], f[2], f[3]};
    if (s.exposure.size() >= 2 && s.exposure.startsWith(u'"') && s.exposure.endsWith(u'"')) {
        s.exposure = s.exposure.mid(1, s.exposure.size() - 2);
        s.shutterSpeed = true;
    }
    return s;
}

QByteArray formatRecord(const ExposureStep& s) {
    const QString iso = s.iso == kNoIso ? QStringLiteral("0") : s.iso;
    QByteArray line = number16(s.count, QStringLiteral("No Exposures")) + ',';
    if (s.shutterSpeed && s.exposure.isEmpty())
        throw AppError(AppError::kTypeMismatch, QStringLiteral("formatRecord"),
                       QStringLiteral("Exposure Length \"\" is no shutter speed"));
    if (s.shutterSpeed)
        line += '"' + s.exposure.toLatin1() + '"';
    else
        line += number16(s.exposure, QStringLiteral("Exposure Length"));
    line += ',' + number16(s.delay, QStringLiteral("Delay Between")) + ',' +
            number16(iso, QStringLiteral("ISO Speed")) + "\r\n";
    return line;
}

WriteResult writeFile(const QString& path, const std::vector<ListedStep>& steps) {
    QByteArray content;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const ListedStep& step = steps[i];
        if (!step.record.isEmpty()) {
            content += step.record + "\r\n";
            continue;
        }
        try {
            const std::optional<ExposureStep> s = rowStep(step.row);
            if (!s)
                throw AppError(AppError::kSubscriptOutOfRange, QStringLiteral("formatRecord"),
                               QStringLiteral("Subscript out of range"));
            content += formatRecord(*s);
        } catch (const AppError& e) {
            return {false, true,
                    QStringLiteral("row %1 (%2): %3").arg(i + 1).arg(step.row, e.description())};
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

QString notLoaded(const QString& name, const QString& why) {
    return QStringLiteral("The exposure file %1 was not loaded: %2.").arg(name, why);
}

QString tooLarge(const QString& name, const QString& limit) {
    return notLoaded(name, QStringLiteral("it is %1, far beyond any sequence").arg(limit));
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
    struct Value {
        QString text;
        bool quoted = false;
        qsizetype start = 0, end = 0;  // the field in `text`, blanks before it left out
    };
    std::vector<Value> values;
    qsizetype i = 0;
    const qsizetype n = text.size();
    const auto isEnd = [](QChar c) { return c == u'\r' || c == u'\n'; };
    while (i < n) {
        // Blanks and empty lines before a value.
        while (i < n && (text[i] == u' ' || text[i] == u'\t' || isEnd(text[i]))) ++i;
        if (i >= n) break;
        const qsizetype start = i;
        while (i < n && text[i] != u',' && !isEnd(text[i])) ++i;
        Value value{{}, text[start] == u'"', start, i};
        if (value.quoted) {
            // The speed texts hold double quotes of their own (0"3): the value
            // closes at the last quote of the field.
            const qsizetype close = text.lastIndexOf(u'"', i - 1);
            const qsizetype stop = close > start ? close : i;
            value.text = text.mid(start + 1, stop - start - 1);
        } else {
            value.text = text.mid(start, i - start).trimmed();
            if (Conv::isNumeric(value.text))
                value.text = Conv::numberText(Conv::parseDouble(value.text));
        }
        if (i < n && text[i] == u',') ++i;
        values.push_back(std::move(value));
        if (qsizetype(values.size()) >= maxValues) {
            result.status = ReadResult::Status::TooLarge;
            result.problem = overSteps(name);
            return result;
        }
    }
    for (std::size_t k = 0; k + 3 < values.size(); k += 4) {
        // A quoted exposure is one of the camera's shutter speeds.
        ExposureStep s{values[k].text, values[k + 1].text, values[k + 2].text, values[k + 3].text,
                       values[k + 1].quoted};
        if (Conv::isNumeric(s.iso) && Conv::parseDouble(s.iso) == 0) s.iso = kNoIso;
        result.steps.push_back(s);
        // The writer's code page, which is what a file without the mark was read in.
        result.records.push_back(
            text.mid(values[k].start, values[k + 3].end - values[k].start).toLatin1());
    }
    return result;
}

ReadResult readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (!QFileInfo::exists(path)) return {ReadResult::Status::NotFound, {}, {}, {}};
        return {ReadResult::Status::Unreadable,
                {},
                {},
                notLoaded(path, QStringLiteral("it cannot be read (%1)").arg(f.errorString()))};
    }
    // The size first; then never more than one byte past the limit, for a file
    // that does not know its size (a device, a pipe) or grows while it is read.
    ReadResult tooBig{ReadResult::Status::TooLarge, {}, {}, overBytes(path)};
    if (f.size() > kMaxFileBytes) return tooBig;
    const QByteArray bytes = f.read(kMaxFileBytes + 1);
    if (bytes.size() > kMaxFileBytes) return tooBig;
    return parse(bytes, path);
}

std::vector<ListedStep> listedSteps(const ReadResult& read) {
    std::vector<ListedStep> out;
    for (std::size_t i = 0; i < read.steps.size(); ++i)
        out.push_back({stepRow(read.steps[i]), i < read.records.size() ? read.records[i] : ""});
    return out;
}

QString defaultFile() {
    return AppPaths::join(AppPaths::appDir(), QStringLiteral("ExposureFiles"),
                          QStringLiteral("exposurefile.txt"));
}

}  // namespace zelmora::capture::expfile
