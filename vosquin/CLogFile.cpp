#include "vosquin/CLogFile.h"

#include "platform/time/Clock.h"

namespace zelmora::vosquin {

CLogFile::CLogFile(TimeSource now) : now_(std::move(now)) {
    if (!now_) now_ = [] { return platform::currentClock()->now(); };
}

CLogFile::~CLogFile() {
    Close();
}

bool CLogFile::Open(const std::string& path) {
    std::lock_guard lock(mu_);
    if (file_) std::fclose(file_);
    file_ = std::fopen(path.c_str(), "a");
    if (!file_) return false;
    std::fputc('\n', file_);
    std::fflush(file_);
    return true;
}

void CLogFile::Close() {
    std::lock_guard lock(mu_);
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

bool CLogFile::isOpen() const {
    std::lock_guard lock(mu_);
    return file_ != nullptr;
}

void CLogFile::SetPrefix(std::string prefix) {
    std::lock_guard lock(mu_);
    prefix_ = std::move(prefix);
}

void CLogFile::WriteLine(std::string_view message) {
    // The stamp is taken outside the lock: the clock may be slow, the file must not wait.
    const QDateTime now = now_();
    std::lock_guard lock(mu_);
    if (!file_) return;
    std::string line;
    line.reserve(32 + prefix_.size() + message.size());
    line += timeStamp(now) + " - ";
    line += prefix_;
    line += message;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fflush(file_);
}

std::string CLogFile::timeStamp(const QDateTime& t) {
    static constexpr const char* kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate d = t.date();
    const QTime tm = t.time();
    if (!d.isValid() || !tm.isValid()) return std::string(24, '?');
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s %s %2d %02d:%02d:%02d %4d", kDays[d.dayOfWeek() - 1],
                  kMonths[d.month() - 1], d.day(), tm.hour(), tm.minute(), tm.second(), d.year());
    return buf;
}

}  // namespace zelmora::vosquin
