#pragma once

#include <QString>
#include <cstdint>
#include <memory>

#include "image/aPoint.h"

class QFile;

namespace zelmora::focus {

class FocusHistory;

// One focus or tracking log. The first Log call cuts the file to its header
// (and tries again on the next call when the file cannot be opened); later
// calls add one line whenever the history table has gained a column. Lines
// end in CR LF and are flushed as written. Nothing here throws.
class hlog {
public:
    enum : std::int16_t { FocusLog = 1, TrackingLog = 2 };

    hlog();
    ~hlog();
    hlog(const hlog&) = delete;
    hlog& operator=(const hlog&) = delete;

    QString LogFile;
    std::int16_t Kind = FocusLog;
    // The history column of the last line written; -1 before the first.
    std::int32_t lastlog = -1;

    // theData is unused (every caller passes it empty). The focus log writes
    // rows 0 to 3 of the newest column; the tracking log the time of day and
    // the centroid rounded to 2 decimals.
    void Log(const FocusHistory& history, const aPoint& centroid, const QString& theData = {});
    void StopLog();

    bool isOpen() const { return bOpened; }

    // The lines as they are written (CR LF included).
    static QByteArray headerLine(std::int16_t kind);
    static QByteArray focusLine(const FocusHistory& history);
    static QByteArray trackingLine(const QString& timeOfDay, const aPoint& centroid);

private:
    void write(const QByteArray& line);

    std::unique_ptr<QFile> file_;
    bool bOpened = false;
};

}  // namespace zelmora::focus
