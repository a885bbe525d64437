#include "shell/Globals.h"

#include <QEvent>
#include <QFile>
#include <QPointer>
#include <QWidget>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/os/SettingsStore.h"
#include "shell/AppPaths.h"
#include "shell/Conv.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"

namespace zelmora {

namespace {

struct TraceFile {
    std::FILE* file = nullptr;
    QString problem;  // why the file could not be opened this run
    ~TraceFile() { close(); }
    void close() {
        if (file) std::fclose(file);
        file = nullptr;
        problem.clear();
    }
};

TraceFile& trace() {
    static TraceFile t;
    return t;
}

QString captionOf(QWidget* form, const QString& designCaption) {
    if (!designCaption.isEmpty()) return designCaption;
    const QVariant v = form->property("designCaption");
    if (v.isValid() && !v.toString().isEmpty()) return v.toString();
    return form->windowTitle();
}

const char* const kNormalPos = "zelmoraNormalPos";
const char* const kSavedPlace = "zelmoraSavedPlace";
const QString kTracker = QStringLiteral("zelmoraNormalPositionTracker");

// Remembers where a window stood while it was neither minimised nor maximised,
// so that closing it in either state saves its normal place.
class NormalPositionTracker : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Move || event->type() == QEvent::Show) {
            auto* w = static_cast<QWidget*>(watched);
            if (!(w->windowState() &
                  (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)))
                w->setProperty(kNormalPos, w->pos());
        }
        return false;
    }
};

void trackNormalPosition(QWidget* frame) {
    frame->setProperty(kNormalPos, frame->pos());
    if (!frame->findChild<QObject*>(kTracker, Qt::FindDirectChildrenOnly)) {
        auto* tracker = new NormalPositionTracker(frame);
        tracker->setObjectName(kTracker);
        frame->installEventFilter(tracker);
    }
}

std::int32_t readPosition(const QString& key) {
    const QString text = Settings::get(QStringLiteral("WindowPos"), key, QStringLiteral("0"));
    try {
        return Conv::parseInt32(text);
    } catch (const AppError&) {
        Globals::WriteLogLine(QStringLiteral("Bad window position ") + key + QStringLiteral("=") +
                              text + QStringLiteral(", using 0"));
        return 0;
    }
}

}  // namespace

namespace Globals {

void WriteLogLine(const QString& text) {
    if (!state().bTraceOn) return;
    TraceFile& t = trace();
    if (!t.file) {
        const QString path = AppPaths::join(AppPaths::dataFiles(), QStringLiteral("tracefile.log"));
        t.file = std::fopen(QFile::encodeName(path).constData(), "wb");
        if (!t.file) {
            // Said once a run: a missing trace must not pass unnoticed, nor flood.
            if (t.problem.isEmpty()) {
                t.problem = QStringLiteral("The trace log ") + path +
                            QStringLiteral(" cannot be written (") +
                            QString::fromLocal8Bit(std::strerror(errno)) +
                            QStringLiteral("); tracing goes on without it.");
                std::fprintf(stderr, "%s\n", t.problem.toLocal8Bit().constData());
            }
            return;
        }
        t.problem.clear();
    }
    const QByteArray line = '"' + text.toUtf8() + "\"\r\n";
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), t.file);
    std::fflush(t.file);
}

QString errorLine(const AppError& e) {
    return QStringLiteral("Error in: ") + state().sCurrentProc + QStringLiteral(" with error:") +
           e.description() + u' ' + QString::number(e.number());
}

void traceError(const AppError& e) {
    WriteLogLine(errorLine(e));
}

void closeTraceLog() {
    trace().close();
}

QString traceLogProblem() {
    return trace().problem;
}

void RestoreFormPosition(QWidget* form, const QString& designCaption) {
    if (!form) return;
    const QString caption = captionOf(form, designCaption);
    QWidget* frame = frameOf(form);
    // Without a stored place the window is placed beside the others of its road.
    const QString absent = QStringLiteral("\x01");
    form->setProperty(kSavedPlace,
                      Settings::get(QStringLiteral("WindowPos"), caption + QStringLiteral("Top"),
                                    absent) != absent);
    const std::int32_t top = readPosition(caption + QStringLiteral("Top"));
    const std::int32_t left = readPosition(caption + QStringLiteral("Left"));
    frame->move(Conv::twipsToPixels(left), Conv::twipsToPixels(top));
    trackNormalPosition(frame);
}

bool hasSavedPosition(QWidget* form) {
    return form && form->property(kSavedPlace).toBool();
}

void adoptRestoredPosition(QWidget* form) {
    if (!form) return;
    QWidget* frame = frameOf(form);
    const QVariant restored = form->property(kNormalPos);
    if (frame == form || !restored.isValid()) return;
    // From now on the frame's place is the window's place.
    delete form->findChild<QObject*>(kTracker, Qt::FindDirectChildrenOnly);
    form->setProperty(kNormalPos, QVariant());
    frame->move(restored.toPoint());
    trackNormalPosition(frame);
}

void SaveFormPosition(QWidget* form, const QString& designCaption) {
    if (!form) return;
    const QString caption = captionOf(form, designCaption);
    QWidget* frame = frameOf(form);
    QPoint pos = frame->pos();
    if (frame->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) {
        const QVariant normal = frame->property(kNormalPos);
        if (normal.isValid())
            pos = normal.toPoint();
        else if (frame->isWindow())
            pos = frame->normalGeometry().topLeft();
    }
    Settings::saveInt(QStringLiteral("WindowPos"), caption + QStringLiteral("Top"),
                      Conv::pixelsToTwips(pos.y()));
    Settings::saveInt(QStringLiteral("WindowPos"), caption + QStringLiteral("Left"),
                      Conv::pixelsToTwips(pos.x()));
}

}  // namespace Globals

namespace Settings {

QString get(const QString& section, const QString& key, const QString& defaultValue) {
    return platform::settings().get(kAppName, section, key, defaultValue);
}

void save(const QString& section, const QString& key, const QString& value) {
    platform::settings().save(kAppName, section, key, value);
}

void saveBool(const QString& section, const QString& key, bool value) {
    save(section, key, Conv::boolText(value));
}

void saveInt(const QString& section, const QString& key, std::int64_t value) {
    save(section, key, QString::number(value));
}

bool getBool(const QString& section, const QString& key, const QString& defaultValue) {
    return Conv::parseBool(get(section, key, defaultValue));
}

std::int32_t getInt(const QString& section, const QString& key, const QString& defaultValue) {
    return Conv::parseInt32(get(section, key, defaultValue));
}

QString getApp(const QString& app, const QString& section, const QString& key,
               const QString& defaultValue) {
    return platform::settings().get(app, section, key, defaultValue);
}

void saveApp(const QString& app, const QString& section, const QString& key, const QString& value) {
    platform::settings().save(app, section, key, value);
}

void flush() {
    platform::settings().flush();
}

}  // namespace Settings
}  // namespace zelmora
