#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>

// The decisions of the folder-monitor panel's check for a new image, apart
// from the panel so that they run on the program clock with a scripted file.
namespace zelmora::camera::MonitorCheck {

// The last ".JPG" path of the paths new this tick (case-insensitive), unless
// it is the file taken last time. A RAW listed after it, or a frame still under
// another program's temporary name, does not hide it.
std::optional<QString> lastNewJpeg(const QStringList& newPaths, const QString& lastTaken);

// One of the program's own downloads still being written under its temporary
// name (see platform/os/PartialFiles.h): never listed or handed over.
bool isTemporary(const QString& path);

// A file another program is still writing under a temporary name, to rename it
// when done, as downloaders and tethering programs do ("IMG_0001.JPG.part",
// ".crdownload", ".tmp"): listed, never handed over; its final name is.
bool isBeingWritten(const QString& path);

// Whether the file holds a whole frame: a JPEG stream (it starts with the
// start-of-image marker) is whole once the end marker after its last scan has
// arrived, whatever follows it (padding, a trailer). Other contents are left to
// the settling and to the loader.
bool frameComplete(const QString& path);

// The ignore box: empty becomes "NONE", and "NONE" filters nothing.
bool ignored(const QString& path, const QString& ignoreText);

// The delay box as milliseconds: whole seconds x 1000 as a 16-bit number;
// 0 for a text that is not a number or does not fit.
std::int16_t delayMs(const QString& text);

// "M/d/yyyy h:mm:ss AM" as the trace writes times.
QString timeText(const QDateTime& t);

// The settle time: how long a new file's size is watched at most, and how long a
// frame's size must hold before it is taken without its end marker.
constexpr qint64 kSettleSeconds = 20;

struct FileProbe {
    // The file's size, nothing when it is gone.
    std::function<std::optional<qint64>(const QString&)> size;
    // Whether the file holds a whole frame (frameComplete).
    std::function<bool(const QString&)> whole;
    // Lets events run for ms; false when the check was stopped.
    std::function<bool(qint64)> pause;
    std::function<void(const QString&)> trace;
};

enum class Settle { Done, Gone, Stopped };

// Waits for a new file's size to settle, the settle time at most after the
// first half second: a file of 100 bytes or less (an empty one included) is
// watched a second at a time until it grows or the time is over; a growing
// file until two reads a second apart agree. Done whether or not the size
// settled; Gone when the file vanished; Stopped when a pause was stopped.
Settle settle(const QString& path, const FileProbe& probe);

// Then waits for the frame to be whole: a frame not yet whole is traced once and
// looked at each second. Done once it is whole, or once its size has held for
// the settle time (a frame cut short for good or damaged is then the loader's
// to report); a frame that still grows is never taken half written.
Settle awaitWholeFrame(const QString& path, const FileProbe& probe);

}  // namespace zelmora::camera::MonitorCheck
