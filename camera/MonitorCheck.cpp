#include "camera/MonitorCheck.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include "image/FrameLoader.h"
#include "platform/os/PartialFiles.h"
#include "platform/time/Clock.h"
#include "shell/Conv.h"

namespace zelmora::camera::MonitorCheck {

std::optional<QString> lastNewJpeg(const QStringList& newPaths, const QString& lastTaken) {
    for (auto it = newPaths.crbegin(); it != newPaths.crend(); ++it) {
        if (!it->toUpper().contains(QStringLiteral(".JPG")) || isBeingWritten(*it)) continue;
        if (*it == lastTaken) return std::nullopt;
        return *it;
    }
    return std::nullopt;
}

bool isTemporary(const QString& path) {
    // The download writers' own rule for their temporary names.
    return platform::partial::isPartialName(QFileInfo(path).fileName().toStdString());
}

bool isBeingWritten(const QString& path) {
    static const QStringList kTemporaryEndings = {
        QStringLiteral("part"), QStringLiteral("crdownload"), QStringLiteral("tmp")};
    return kTemporaryEndings.contains(QFileInfo(path).suffix(), Qt::CaseInsensitive);
}

bool frameComplete(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    if (f.peek(2) != QByteArrayLiteral("\xFF\xD8")) return true;
    // Read, not mapped: a writer that truncates the file would fault a mapping.
    const QByteArray bytes = f.readAll();
    return FrameLoader::jpegEnd(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                std::size_t(bytes.size())) == FrameLoader::JpegEnd::Whole;
}

bool ignored(const QString& path, const QString& ignoreText) {
    if (ignoreText.isEmpty() || ignoreText == QStringLiteral("NONE")) return false;
    return path.contains(ignoreText, Qt::CaseInsensitive);
}

std::int16_t delayMs(const QString& text) {
    try {
        return Conv::toInt16(Conv::parseDouble(text) * 1000.0);
    } catch (...) {
        return 0;
    }
}

QString timeText(const QDateTime& t) {
    return QLocale::c().toString(t, QStringLiteral("M/d/yyyy h:mm:ss AP"));
}

Settle settle(const QString& path, const FileProbe& probe) {
    const auto size = [&] { return probe.size(path); };
    const auto now = [] { return platform::clock().now(); };
    std::optional<qint64> s = size();
    qint64 s0 = s.value_or(0);
    probe.trace(QStringLiteral("Initial Size:") + QString::number(s0));
    if (!probe.pause(500)) return Settle::Stopped;
    const QDateTime t0 = now();
    s = size();
    qint64 s1 = s.value_or(0);
    probe.trace(QStringLiteral("Size after 500ms:") + QString::number(s1));
    probe.trace(QStringLiteral("Files ") + path + QStringLiteral(" Exists:") +
                Conv::boolText(s.has_value()));
    if (!s) return Settle::Gone;
    // Whole seconds as the clock shows them, as a date difference counts them.
    const auto over = [&] {
        return now().toSecsSinceEpoch() - t0.toSecsSinceEpoch() > kSettleSeconds;
    };

    // A small or still empty file: look again each second.
    while (s1 <= 100) {
        s = size();
        if (!s) return Settle::Gone;
        s1 = *s;
        probe.trace(QStringLiteral("Filesize in size < 100 loop:") + QString::number(s1) +
                    QStringLiteral(" Time = ") + timeText(now()));
        if (s1 > 100 || over()) break;
        if (!probe.pause(1000)) return Settle::Stopped;
    }
    // A growing file: until two reads a second apart agree.
    while (s1 != s0 && s1 != 0) {
        s = size();
        if (!s) return Settle::Gone;
        s1 = *s;
        probe.trace(QStringLiteral("Filesize in loop:") + QString::number(s1) +
                    QStringLiteral(" Time = ") + timeText(now()));
        if (!probe.pause(1000)) return Settle::Stopped;
        s = size();
        if (!s) return Settle::Gone;
        s0 = *s;
        probe.trace(QStringLiteral("Newsize in loop:") + QString::number(s0) +
                    QStringLiteral(" Time = ") + timeText(now()));
        probe.trace(QStringLiteral("Elapsed Time:") +
                    QString::number(now().toSecsSinceEpoch() - t0.toSecsSinceEpoch()));
        if (over()) break;
    }
    return Settle::Done;
}

Settle awaitWholeFrame(const QString& path, const FileProbe& probe) {
    if (probe.whole(path)) return Settle::Done;
    std::optional<qint64> held = probe.size(path);
    if (!held) return Settle::Gone;
    probe.trace(QStringLiteral("Frame not complete yet: ") + path + QStringLiteral(" Size=") +
                QString::number(*held));
    qint64 since = platform::clock().monotonicMs();
    for (;;) {
        if (!probe.pause(1000)) return Settle::Stopped;
        const std::optional<qint64> s = probe.size(path);
        if (!s) return Settle::Gone;
        if (probe.whole(path)) return Settle::Done;
        const qint64 now = platform::clock().monotonicMs();
        if (*s != *held) {
            held = s;
            since = now;
        } else if (now - since >= kSettleSeconds * 1000) {
            return Settle::Done;
        }
    }
}

}  // namespace zelmora::camera::MonitorCheck
