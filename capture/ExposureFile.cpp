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

namespace {

const QByteArray kBom("\xEF\xBB\xBF");

bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}

QString decoded(const ReadResult& read, qsizetype from, qsizetype to) {
    const QByteArrayView bytes(read.bytes.constData() + from, to - from);
    return read.utf8 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}

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

ReadResult notRead(ReadResult::Status status, const QString& problem) {
    ReadResult result;
    result.status = status;
    result.problem = problem;
    return result;
}

// One step a line, the byte-order mark kept: the file as a whole is the list.
QByteArray afresh(const ReadResult& kept, const std::vector<QByteArray>& records) {
    QByteArray out = kept.utf8 ? kBom : QByteArray();
    for (const QByteArray& record : records) out += record + "\r\n";
    return out;
}

// The kept file with the list's edits in place of the lines they touch; none
// when the list is not the kept steps in their order, some edited, deleted or
// added. Only for a file whose every line reads as whole steps.
std::optional<QByteArray> spliced(const ReadResult& kept, const std::vector<ListedStep>& steps,
                                  const std::vector<QByteArray>& records) {
    const std::size_t n = kept.spans.size();
    // The listed step that stands for each kept one (-1: deleted), and the
    // steps added after each kept one (slot k + 1) or before them all (slot 0).
    std::vector<int> listed(n, -1);
    std::vector<std::vector<std::size_t>> added(n + 1);
    std::size_t slot = 0;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const int origin = steps[i].origin;
        if (origin < 0) {
            added[slot].push_back(i);
            continue;
        }
        if (std::size_t(origin) >= n || std::size_t(origin) < slot) return std::nullopt;
        listed[std::size_t(origin)] = int(i);
        slot = std::size_t(origin) + 1;
    }
    // New lines end as the file's lines end.
    QByteArray eol("\r\n");
    for (auto line = kept.lines.rbegin(); line != kept.lines.rend(); ++line) {
        if (line->next > line->end) {
            eol = kept.bytes.mid(line->end, line->next - line->end);
            break;
        }
    }
    const qsizetype mark = kept.utf8 ? kBom.size() : 0;
    QByteArray out = kept.bytes.left(mark);
    const auto addLines = [&](std::size_t at) {
        if (added[at].empty()) return;
        if (out.size() > mark && !isLineEnd(out.back())) out += eol;
        for (std::size_t i : added[at]) out += records[i] + eol;
    };
    const auto piece = [&](qsizetype from, qsizetype to) {
        return kept.bytes.mid(from, to - from);
    };
    bool addedFirst = false;
    std::size_t k = 0;
    for (std::size_t li = 0; li < kept.lines.size(); ++li) {
        const ReadResult::Line& line = kept.lines[li];
        const std::size_t first = k;
        while (k < n && kept.spans[k].line == li) ++k;
        if (first == k) {
            out += piece(line.start, line.next);
            continue;
        }
        if (!addedFirst) addLines(0);
        addedFirst = true;
        // The line's own blanks and separators around the steps that stay.
        QByteArray text = piece(line.start, kept.spans[first].start);
        std::optional<std::size_t> previous;
        for (std::size_t j = first; j < k; ++j) {
            if (listed[j] < 0) continue;
            if (previous) text += piece(kept.spans[*previous].end, kept.spans[*previous + 1].start);
            text += records[std::size_t(listed[j])];
            previous = j;
        }
        // Every step on it deleted: the line goes.
        if (!previous) continue;
        out += text + piece(kept.spans[k - 1].end, line.next);
        for (std::size_t j = first; j < k; ++j)
            if (listed[j] >= 0) addLines(j + 1);
    }
    if (!addedFirst) addLines(0);
    return out;
}

}  // namespace

WriteResult writeFile(const QString& path, const std::vector<ListedStep>& steps,
                      const ReadResult& kept) {
    WriteResult result;
    // Never a file that would be refused when read, nor a list that could not
    // be read back from what was written.
    if (steps.size() > std::size_t(kMaxSteps)) {
        result.ok = false;
        result.problem = QStringLiteral("it would hold more than %1 steps, far beyond any sequence")
                             .arg(kMaxSteps);
        return result;
    }
    std::vector<QByteArray> records;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const ListedStep& step = steps[i];
        if (!step.record.isEmpty()) {
            records.push_back(step.record);
            continue;
        }
        try {
            const std::optional<ExposureStep> s = rowStep(step.row);
            if (!s)
                throw AppError(AppError::kSubscriptOutOfRange, QStringLiteral("formatRecord"),
                               QStringLiteral("Subscript out of range"));
            records.push_back(formatRecord(*s).chopped(2));
        } catch (const AppError& e) {
            result.ok = false;
            result.badRow = true;
            result.problem =
                QStringLiteral("row %1 (%2): %3").arg(i + 1).arg(step.row, e.description());
            return result;
        }
    }
    QByteArray content = afresh(kept, records);
    ReadResult written = parse(content, path);
    // The splice keeps the lines nobody edited, as long as it reads back as
    // the list; it always does for the list's own edits.
    if (kept.readsAsWholeSteps()) {
        if (std::optional<QByteArray> lines = spliced(kept, steps, records)) {
            ReadResult splicedRead = parse(*lines, path);
            if (splicedRead.steps == written.steps) {
                content = std::move(*lines);
                written = std::move(splicedRead);
            }
        }
    }
    try {
        platform::writeFileWhole(path, content);
    } catch (const AppError& e) {
        result.ok = false;
        result.problem = e.description();
        return result;
    }
    result.written = std::move(written);
    return result;
}

ReadResult parse(const QByteArray& bytes, const QString& name) {
    ReadResult result;
    result.bytes = bytes;
    // An editor that saved the file as UTF-8 may have put a byte-order mark first.
    result.utf8 = bytes.startsWith(kBom);
    const qsizetype n = bytes.size();
    // Lines end at CR LF, CR or LF.
    for (qsizetype i = result.utf8 ? kBom.size() : 0; i < n;) {
        ReadResult::Line line{i, i, i};
        while (line.end < n && !isLineEnd(bytes[line.end])) ++line.end;
        line.next = line.end;
        if (line.end < n) {
            line.next = line.end + 1;
            if (bytes[line.end] == '\r' && line.next < n && bytes[line.next] == '\n') ++line.next;
        }
        result.lines.push_back(line);
        i = line.next;
    }
    // Values never span a line: the delimiters are ASCII, so the bytes are
    // split before they are decoded, and a record is the file's own bytes.
    struct Value {
        QString text;
        bool quoted = false;
        qsizetype start = 0, end = 0;  // the field, blanks before it left out
        std::size_t line = 0;
    };
    std::vector<Value> values;
    const qsizetype maxValues = 4 * qsizetype(kMaxSteps + 1);
    for (std::size_t li = 0; li < result.lines.size(); ++li) {
        const qsizetype lineEnd = result.lines[li].end;
        qsizetype i = result.lines[li].start;
        while (true) {
            while (i < lineEnd && (bytes[i] == ' ' || bytes[i] == '\t')) ++i;
            if (i >= lineEnd) break;
            const qsizetype start = i;
            while (i < lineEnd && bytes[i] != ',') ++i;
            Value value{{}, bytes[start] == '"', start, i, li};
            if (value.quoted) {
                // The speed texts hold double quotes of their own (0"3): the value
                // closes at the last quote of the field.
                const qsizetype close = bytes.lastIndexOf('"', i - 1);
                const qsizetype stop = close > start ? close : i;
                value.text = decoded(result, start + 1, stop);
            } else {
                value.text = decoded(result, start, i).trimmed();
                if (Conv::isNumeric(value.text))
                    value.text = Conv::numberText(Conv::parseDouble(value.text));
            }
            if (i < lineEnd) ++i;
            values.push_back(std::move(value));
            if (qsizetype(values.size()) >= maxValues)
                return notRead(ReadResult::Status::TooLarge, overSteps(name));
        }
    }
    const std::size_t whole = values.size() / 4;
    for (std::size_t k = 0; k < whole; ++k) {
        const Value* v = &values[4 * k];
        // A quoted exposure is one of the camera's shutter speeds.
        ExposureStep s{v[0].text, v[1].text, v[2].text, v[3].text, v[1].quoted};
        if (Conv::isNumeric(s.iso) && Conv::parseDouble(s.iso) == 0) s.iso = kNoIso;
        result.steps.push_back(s);
        result.spans.push_back({v[0].start, v[3].end, v[0].line});
        result.records.push_back(bytes.mid(v[0].start, v[3].end - v[0].start));
    }
    // A line reads as whole steps when each value on it is in a step that
    // starts and ends on it.
    for (std::size_t k = 0; k < values.size(); ++k) {
        const std::size_t first = k - k % 4;
        const bool own = k / 4 < whole && values[first].line == values[first + 3].line;
        const int number = int(values[k].line) + 1;
        if (!own && (result.brokenLines.empty() || result.brokenLines.back() != number))
            result.brokenLines.push_back(number);
    }
    QStringList leftOver;
    for (std::size_t k = 4 * whole; k < values.size(); ++k)
        leftOver << decoded(result, values[k].start, values[k].end).trimmed();
    result.leftOver = leftOver.join(u',');
    return result;
}

QString lineText(const ReadResult& read, int number) {
    if (number < 1 || std::size_t(number) > read.lines.size()) return {};
    const ReadResult::Line& line = read.lines[std::size_t(number - 1)];
    return decoded(read, line.start, line.end);
}

ReadResult readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (!QFileInfo::exists(path)) return notRead(ReadResult::Status::NotFound, {});
        return notRead(
            ReadResult::Status::Unreadable,
            notLoaded(path, QStringLiteral("it cannot be read (%1)").arg(f.errorString())));
    }
    // The size first; then never more than one byte past the limit, for a file
    // that does not know its size (a device, a pipe) or grows while it is read.
    const ReadResult tooBig = notRead(ReadResult::Status::TooLarge, overBytes(path));
    if (f.size() > kMaxFileBytes) return tooBig;
    const QByteArray bytes = f.read(kMaxFileBytes + 1);
    if (bytes.size() > kMaxFileBytes) return tooBig;
    return parse(bytes, path);
}

std::vector<ListedStep> listedSteps(const ReadResult& read) {
    std::vector<ListedStep> out;
    for (std::size_t i = 0; i < read.steps.size(); ++i)
        out.push_back({stepRow(read.steps[i]), read.records[i], int(i)});
    return out;
}

QString defaultFile() {
    return AppPaths::join(AppPaths::appDir(), QStringLiteral("ExposureFiles"),
                          QStringLiteral("exposurefile.txt"));
}

}  // namespace zelmora::capture::expfile
