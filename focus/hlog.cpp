#include "focus/hlog.h"

#include <QFile>
#include <QTime>

#include "focus/FocusFormat.h"
#include "focus/FocusHistory.h"
#include "platform/time/Clock.h"
#include "shell/Conv.h"

namespace zelmora::focus {

hlog::hlog() = default;
hlog::~hlog() {
    StopLog();
}

QByteArray hlog::headerLine(std::int16_t kind) {
    return kind == TrackingLog ? QByteArrayLiteral("\"t\",\"DeltaX\",\"DeltaY\"\r\n")
                               : QByteArrayLiteral("\"HFWHM\",\"VFWHM\",\"PEAK\",\"RSV\"\r\n");
}

QByteArray hlog::focusLine(const FocusHistory& history) {
    const int c = history.lastIndex();
    QString line;
    for (int row = 0; row < 4; ++row) {
        if (row) line += u',';
        line += floatText(history.at(row, c));
    }
    return line.toLatin1() + "\r\n";
}

QByteArray hlog::trackingLine(const QString& timeOfDay, const aPoint& centroid) {
    const QString line = u'"' + timeOfDay + QStringLiteral("\",") +
                         Conv::numberText(roundTo2(centroid.X)) + u',' +
                         Conv::numberText(roundTo2(centroid.Y));
    return line.toLatin1() + "\r\n";
}

void hlog::write(const QByteArray& line) {
    if (!file_) return;
    file_->write(line);
    file_->flush();  // a crash keeps every line written so far
}

void hlog::Log(const FocusHistory& history, const aPoint& centroid, const QString& /*theData*/) {
    try {
        if (!bOpened) {
            auto file = std::make_unique<QFile>(LogFile);
            if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate))
                return;  // tried again next call
            file_ = std::move(file);
            bOpened = true;
            write(headerLine(Kind));
        }
        const int last = history.lastIndex();
        if (lastlog == last) return;
        if (Kind == TrackingLog)
            write(trackingLine(platform::clock().now().time().toString(QStringLiteral("HH:mm:ss")),
                               centroid));
        else
            write(focusLine(history));
        lastlog = last;
    } catch (...) {
        // A log never stops the analysis.
    }
}

void hlog::StopLog() {
    if (file_) file_->close();
    file_.reset();
    bOpened = false;
}

}  // namespace zelmora::focus
