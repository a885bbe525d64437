#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

// The exposure-sequence file and the step rows of the sequencing window's list.
namespace zelmora::capture::expfile {

// One step: number of exposures, exposure (whole seconds, or the camera's
// shutter-speed text), delay between exposures in seconds, ISO ("N/A" or "0"
// when the step has none). Kept as the texts the list shows.
struct ExposureStep {
    QString count, exposure, delay, iso;
    bool operator==(const ExposureStep&) const = default;
};

// The list's heading row (TAB separated).
QString headingRow();
// A step row as the list shows it: count "," TAB TAB exposure "," TAB TAB ...
QString stepRow(const ExposureStep& step);
// A row read back: TAB, backspace and line feed removed, split at ",".
QStringList rowFields(const QString& row);

// One record as the writer emits it, CR LF included. Counts, delay and ISO
// are 16-bit numbers ("N/A" is 0); the exposure is a 16-bit number, or in
// short-exposure mode the text in double quotes. Raises AppError when a field
// does not convert.
QByteArray formatRecord(const QStringList& fields, bool shortExposureMode);

// Every step row (row 0, the heading, skipped) formatted first; the file is
// written only when all rows convert, through a temporary file and a rename.
// On failure the file is untouched and `problem` says why; `badRow` tells a
// step that does not convert from a file that cannot be written.
struct WriteResult {
    bool ok = true;
    bool badRow = false;
    QString problem;
};
WriteResult writeFile(const QString& path, const QStringList& rows, bool shortExposureMode);

// Far beyond any real sequence: a file larger than this, or holding more
// steps, is refused before it is read or parsed any further.
constexpr qint64 kMaxFileBytes = 1024 * 1024;
constexpr int kMaxSteps = 5000;

// What a read came to. `problem` names the file and the limit it passes.
struct ReadResult {
    enum class Status { Read, NotFound, TooLarge };
    Status status = Status::Read;
    std::vector<ExposureStep> steps;
    QString problem;
};

// The reader: values separated by commas or line ends, four to a step; blanks
// before a value skipped, blanks after an unquoted one trimmed; a quoted value
// runs to the last double quote before the next comma or line end, so the
// camera's own speeds such as 0"3 come back whole (anything after that quote
// is ignored); blank lines are skipped; an ISO that reads as 0 becomes "N/A";
// an incomplete last step is dropped. A leading UTF-8 byte-order mark is
// skipped. Parsing stops once there are more than kMaxSteps steps (TooLarge);
// `name` is the file the message names.
ReadResult parse(const QByteArray& bytes, const QString& name = {});
// Reads the file: NotFound when it cannot be opened, TooLarge when it is over
// kMaxFileBytes (told by its size, before it is read) or kMaxSteps.
ReadResult readFile(const QString& path);

// The file used while none has been chosen.
QString defaultFile();

}  // namespace zelmora::capture::expfile
