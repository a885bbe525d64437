#pragma once

#include <QDateTime>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace zelmora::vosquin {

// The control's own diagnostic log: one line per event, each stamped with the
// local time ("Wed Jun 30 21:49:08 1993 - "), the prefix and the message, and
// flushed at once. Both the GUI thread and the camera library's thread write to
// it; a lock keeps every line whole. Messages are written as they stand, never
// used as a format.
class CLogFile {
public:
    using TimeSource = std::function<QDateTime()>;

    // Without a time source the program's clock is used.
    explicit CLogFile(TimeSource now = {});
    ~CLogFile();
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    // Opens (creating) the file for appending and writes an empty line. A file that
    // cannot be opened makes every later write do nothing.
    bool Open(const std::string& path);
    void Close();
    bool isOpen() const;

    void SetPrefix(std::string prefix);
    void WriteLine(std::string_view message);

    // The 24-character stamp with English day and month names, whatever the locale.
    static std::string timeStamp(const QDateTime& localTime);

private:
    TimeSource now_;
    mutable std::mutex mu_;
    std::FILE* file_ = nullptr;
    std::string prefix_;
};

}  // namespace zelmora::vosquin
