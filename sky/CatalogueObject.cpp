#include "sky/CatalogueObject.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringList>

#include "platform/core/AppError.h"
#include "platform/os/FileWrite.h"

namespace zelmora::sky::CatalogueFile {

namespace {

const QString kSource = QStringLiteral("CatalogueFile");

QString decodeLine(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) return text;
    return QString::fromLatin1(bytes);
}

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

}  // namespace

bool splitLine(const QString& line, QStringList& values) {
    values.clear();
    const int n = line.size();
    int i = 0;
    while (true) {
        while (i < n && isBlank(line[i])) ++i;
        QString value;
        if (i < n && line[i] == u'"') {
            const int close = line.indexOf(u'"', i + 1);
            if (close < 0) return false;
            value = line.mid(i + 1, close - i - 1);
            i = close + 1;
            while (i < n && isBlank(line[i])) ++i;
            if (i < n && line[i] != u',') return false;
        } else {
            const int comma = line.indexOf(u',', i);
            const int end = comma < 0 ? n : comma;
            value = line.mid(i, end - i).trimmed();
            i = end;
        }
        values << value;
        if (i >= n) return true;
        ++i;  // the comma
    }
}

namespace {

// Follows the value syntax of splitLine byte by byte, so that a line can be
// given up as soon as it holds an eighth value, before the rest of it is read.
class ValueCounter {
public:
    void reset() {
        state_ = State::ValueStart;
        separators_ = 0;
    }
    void feed(char c) {
        switch (state_) {
            case State::ValueStart:
                if (c == '"')
                    state_ = State::Quoted;
                else if (c == ',')
                    ++separators_;
                else if (c != ' ' && c != '\t')
                    state_ = State::Unquoted;
                break;
            case State::Quoted:
                if (c == '"') state_ = State::AfterQuote;
                break;
            case State::AfterQuote:
                if (c == ',') {
                    ++separators_;
                    state_ = State::ValueStart;
                }
                break;
            case State::Unquoted:
                if (c == ',') {
                    ++separators_;
                    state_ = State::ValueStart;
                }
                break;
        }
    }
    bool tooMany() const { return separators_ >= 7; }

private:
    enum class State { ValueStart, Quoted, AfterQuote, Unquoted };
    State state_ = State::ValueStart;
    int separators_ = 0;
};

}  // namespace

ReadResult read(const QString& path) {
    ReadResult result;
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        result.problem = QStringLiteral("cannot open ") + path;
        return result;
    }
    const QString tooLarge =
        QStringLiteral("larger than %1 bytes, far more than a catalogue holds").arg(kMaxBytes);
    if (file.size() > kMaxBytes) {
        result.problem = tooLarge;
        return result;
    }
    int lineNo = 0;
    QByteArray bytes;
    ValueCounter counter;
    // Ends the line held in `bytes`; false when the read has to stop.
    auto endLine = [&]() {
        ++lineNo;
        const QString line = decodeLine(bytes);
        bytes.clear();
        counter.reset();
        if (line.trimmed().isEmpty()) return true;
        if (int(result.records.size()) == kMaxRecords) {
            result.problem = QStringLiteral("more than %1 objects").arg(kMaxRecords);
            return false;
        }
        QStringList values;
        if (!splitLine(line, values) || values.size() != 7) {
            result.problem = QStringLiteral("line %1 does not hold seven values").arg(lineNo);
            return false;
        }
        CatalogueObject record;
        for (int k = 0; k < 7; ++k) record.fields[k] = values[k];
        result.records.push_back(std::move(record));
        return true;
    };
    qint64 total = 0;
    bool afterCr = false;  // a LF right after a CR ends no further line
    char chunk[65536];
    while (true) {
        const qint64 got = file.read(chunk, sizeof chunk);
        if (got < 0) {
            result.problem = file.errorString();
            return result;
        }
        if (got == 0) break;
        total += got;
        if (total > kMaxBytes) {
            result.problem = tooLarge;
            return result;
        }
        for (qint64 k = 0; k < got; ++k) {
            const char c = chunk[k];
            if (c == '\n' && afterCr) {
                afterCr = false;
                continue;
            }
            afterCr = c == '\r';
            if (c == '\r' || c == '\n') {
                if (!endLine()) return result;
                continue;
            }
            bytes += c;
            counter.feed(c);
            if (counter.tooMany()) {
                result.problem =
                    QStringLiteral("line %1 holds more than seven values").arg(lineNo + 1);
                return result;
            }
        }
    }
    if (!bytes.isEmpty() && !endLine()) return result;
    if (result.records.empty()) {
        result.problem = QStringLiteral("no objects");
        return result;
    }
    result.ok = true;
    return result;
}

QString lineOf(const CatalogueObject& record) {
    QStringList quoted;
    for (const QString& f : record.fields) quoted << u'"' + f + u'"';
    return quoted.join(u',');
}

int firstUnstorable(const std::vector<CatalogueObject>& records) {
    for (std::size_t i = 0; i < records.size(); ++i)
        for (const QString& f : records[i].fields)
            if (f.contains(u'"') || f.contains(u'\n') || f.contains(u'\r')) return int(i);
    return -1;
}

void write(const QString& path, const std::vector<CatalogueObject>& records) {
    const int bad = firstUnstorable(records);
    if (bad >= 0)
        throw AppError(AppError::kInvalidProcedureCall, kSource,
                       QStringLiteral("\"%1\" holds a double quote or a line break")
                           .arg(records[bad].entryText()));
    QByteArray bytes;
    for (const CatalogueObject& r : records) bytes += lineOf(r).toUtf8() + "\r\n";
    QString cause = QStringLiteral("No file name");
    if (!path.isEmpty()) {
        try {
            platform::writeFileWhole(path, bytes);
            return;
        } catch (const AppError& e) {
            cause = e.description();
        }
    }
    throw AppError(AppError::kPathFileAccess, kSource,
                   path + QStringLiteral(" could not be written: ") + cause);
}

}  // namespace zelmora::sky::CatalogueFile
