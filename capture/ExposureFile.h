#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// The exposure-sequence file and the step rows of the sequencing window's list.
namespace zelmora::capture::expfile {

// One step: number of exposures, exposure, delay between exposures in
// seconds, ISO ("N/A" or "0" when the step has none). Kept as the texts the
// list shows. The exposure is whole seconds of bulb, or one of the camera's
// shutter speeds, which the file holds between double quotes: each step keeps
// its own kind whatever tab the window was opened from.
struct ExposureStep {
    QString count, exposure, delay, iso;
    bool shutterSpeed = false;
    bool operator==(const ExposureStep&) const = default;
};

// The list's heading row (TAB separated).
QString headingRow();
// A step row as the list shows it: count "," TAB TAB exposure "," TAB TAB ...;
// a shutter speed between double quotes, as the file holds it.
QString stepRow(const ExposureStep& step);
// A row read back: TAB, backspace and line feed removed, split at ",".
QStringList rowFields(const QString& row);
// The step a row shows; none when the row has fewer than four fields.
std::optional<ExposureStep> rowStep(const QString& row);

// One record as the writer emits it, CR LF included. Count, delay and ISO are
// 16-bit numbers ("N/A" is 0); the exposure is a 16-bit number of seconds, or
// the shutter-speed text in double quotes. Raises AppError naming the column
// when a field does not convert.
QByteArray formatRecord(const ExposureStep& step);

// A step as the list holds it: its row and, for a step read from a file or
// made by an edit, its record without the line end. A rewrite writes that
// record back as it is, so a step nobody edited keeps every byte; a row
// without one is formatted afresh.
struct ListedStep {
    QString row;
    QByteArray record;
    // The step of the window's file it stands for (its index there), so that
    // a rewrite puts it back on its own line; -1 for a step an edit added.
    int origin = -1;
};

// Far beyond any real sequence: a file larger than this, or holding more
// steps, is refused before it is read or parsed any further.
constexpr qint64 kMaxFileBytes = 1024 * 1024;
constexpr int kMaxSteps = 5000;

// What a read came to. `problem` names the file and the limit it passes.
struct ReadResult {
    enum class Status { Read, NotFound, Unreadable, TooLarge };
    Status status = Status::Read;
    std::vector<ExposureStep> steps;
    // Each step's record as the file holds it, from its first value to the end
    // of its last, without the line end.
    std::vector<QByteArray> records;
    QString problem;

    // The file as read, kept so that a rewrite changes only what was edited:
    // its bytes (UTF-8 when they start with a byte-order mark, else the
    // writer's code page), its lines (text [start, end), line end [end, next))
    // and where each step's record lies, with the line it starts on.
    struct Line {
        qsizetype start = 0, end = 0, next = 0;
    };
    struct Span {
        qsizetype start = 0, end = 0;
        std::size_t line = 0;
    };
    QByteArray bytes;
    bool utf8 = false;
    std::vector<Line> lines;
    std::vector<Span> spans;
    // The lines (numbered from 1) whose values are not whole steps of their
    // own, and the values after the last whole step as the file holds them.
    std::vector<int> brokenLines;
    QString leftOver;
    bool readsAsWholeSteps() const { return brokenLines.empty(); }
};

// Line `number` (from 1) of a read, without its line end.
QString lineText(const ReadResult& read, int number);

// The reader: values separated by commas or line ends, four to a step; blanks
// before a value skipped, blanks after an unquoted one trimmed; a quoted value
// runs to the last double quote before the next comma or line end, so the
// camera's own speeds such as 0"3 come back whole (anything after that quote
// is ignored), and a quoted exposure is a shutter speed; blank lines are
// skipped; an ISO that reads as 0 becomes "N/A"; values after the last whole
// step are not listed (`leftOver`). A leading UTF-8 byte-order mark is not a
// value. Parsing stops once there are more than kMaxSteps steps (TooLarge);
// `name` is the file the message names.
ReadResult parse(const QByteArray& bytes, const QString& name = {});
// Reads the file: NotFound when there is none, Unreadable when it is there but
// cannot be opened, TooLarge when it is over kMaxFileBytes (told by its size,
// before it is read) or kMaxSteps.
ReadResult readFile(const QString& path);
// The steps of a read as the list holds them.
std::vector<ListedStep> listedSteps(const ReadResult& read);

// Writes `steps` over `kept`, the file they were listed from. When every line
// of `kept` reads as whole steps, only the lines of the steps edited change:
// an edited step takes its old place, a deleted one takes its line along when
// nothing else is on it, an added one gets a line of its own after the step
// before it, ending as the file's lines end; everything else stays byte for
// byte. Otherwise the file is written afresh, one step a line (CR LF), its
// byte-order mark kept: values after the last whole step are then left out.
// The file is written only when all rows convert and there are no more than
// kMaxSteps, through a temporary file and a rename. On failure the file is
// untouched and `problem` says why; `badRow` tells a step that does not
// convert from a file that cannot be written. What was written is read back
// into `written`.
struct WriteResult {
    bool ok = true;
    bool badRow = false;
    QString problem;
    ReadResult written;
};
WriteResult writeFile(const QString& path, const std::vector<ListedStep>& steps,
                      const ReadResult& kept = {});

// The file used while none has been chosen.
QString defaultFile();

}  // namespace zelmora::capture::expfile
