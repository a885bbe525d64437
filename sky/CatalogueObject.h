#pragma once

#include <QString>
#include <array>
#include <vector>

namespace zelmora::sky {

// One object of a catalogue: name, second label, right ascension text,
// declination text, and three further fields kept as they are.
struct CatalogueObject {
    std::array<QString, 7> fields;

    const QString& name() const { return fields[0]; }
    const QString& label() const { return fields[1]; }
    const QString& ra() const { return fields[2]; }
    const QString& dec() const { return fields[3]; }
    // The text of its list entry: name " - " second label.
    QString entryText() const { return fields[0] + QStringLiteral(" - ") + fields[1]; }
    bool operator==(const CatalogueObject&) const = default;
};

// The catalogue file: one object a line, the seven fields each in double
// quotes, comma-separated, CR LF (written so; read with any line end).
namespace CatalogueFile {

// At most this many objects are read (a 16-bit count in the file's history).
constexpr int kMaxRecords = 5001;
// A file larger than this is refused unread: 5001 objects of real catalogues
// take well under a megabyte.
constexpr qint64 kMaxBytes = 16 * 1024 * 1024;

struct ReadResult {
    std::vector<CatalogueObject> records;  // those read before any failure
    bool ok = false;                       // false: missing or unreadable file, a malformed line,
                                           // no records, or more than kMaxRecords
    QString problem;                       // what went wrong, for the trace
};

// CR, LF and CR LF each end a line. Blank lines are skipped; a line that does
// not hold exactly seven values is a failure (the lines before it are kept),
// and reading stops as soon as a line holds an eighth value. A value in double quotes is taken
// without them and may hold commas; text after its closing quote other than
// blanks makes the line malformed. Each line is read as UTF-8, or as Latin-1
// when it is not valid UTF-8 (files written by older versions).
ReadResult read(const QString& path);

// One catalogue line without its line end.
QString lineOf(const CatalogueObject& record);
// Parses one line into values; false when a quoted value is not closed or
// is followed by other text.
bool splitLine(const QString& line, QStringList& values);

// The first record with a field that holds a double quote, which the format
// cannot store; -1 when there is none.
int firstUnstorable(const std::vector<CatalogueObject>& records);

// Writes the records (UTF-8, CR LF) to a temporary file and renames it over
// `path`. Raises AppError when the file cannot be written or a field holds a
// double quote; `path` is then left as it was.
void write(const QString& path, const std::vector<CatalogueObject>& records);

}  // namespace CatalogueFile
}  // namespace zelmora::sky
