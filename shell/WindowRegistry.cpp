#include "shell/WindowRegistry.h"

#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>

#include "shell/Globals.h"
#include "shell/WindowPlacement.h"

namespace zelmora {

namespace {

// A child window that ends itself ("Done", "Finish", "OK") takes its frame in the
// main window with it. The frame's own close already closes the window; a close
// the window refuses (a run still going) leaves both open.
class FrameCloser : public QObject {
public:
    FrameCloser(QString name, QWidget* window, QWidget* frame)
        : QObject(window), name_(std::move(name)), window_(window), frame_(frame) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::Close && frame_) {
            // Whether the window agreed to close is known only after its own handler.
            QTimer::singleShot(0, frame_.data(), [name = name_, window = window_, frame = frame_] {
                if (!frame || !frame->isVisible()) return;
                // A minimised frame hides its window without closing it.
                const bool hidden =
                    window && window->isHidden() && !(frame->windowState() & Qt::WindowMinimized);
                const bool ended = !window || windows().ifLoaded(name) != window.data() || hidden;
                if (ended) frame->close();
            });
        }
        return false;
    }

private:
    QString name_;
    QPointer<QWidget> window_;
    QPointer<QWidget> frame_;
};

}  // namespace

QWidget* frameOf(QWidget* window) {
    if (auto* sub = qobject_cast<QMdiSubWindow*>(window->parentWidget())) return sub;
    return window;
}

void bringForward(QWidget* window) {
    if (!window) return;
    QWidget* frame = frameOf(window);
    frame->raise();
    auto* sub = qobject_cast<QMdiSubWindow*>(frame);
    QMdiArea* area = sub ? sub->mdiArea() : nullptr;
    QMdiSubWindow* active = area ? area->activeSubWindow() : nullptr;
    if (active && active != sub && active->isVisible() &&
        active->geometry().intersects(sub->geometry()))
        active->raise();
}

void stackBehind(QWidget* back, QWidget* front) {
    if (!back) return;
    QWidget* frame = frameOf(back);
    if (front && !frame->isWindow() && frame->parentWidget() == frameOf(front)->parentWidget())
        frame->stackUnder(frameOf(front));
    else
        frame->lower();
}

WindowRegistry& WindowRegistry::instance() {
    static WindowRegistry r;
    return r;
}

void WindowRegistry::registerWindow(const QString& name, std::function<QWidget*()> create,
                                    bool mdiChild) {
    entries_.insert(name, Entry{std::move(create), mdiChild});
}

QWidget* WindowRegistry::ifLoaded(const QString& name) const {
    auto it = loaded_.find(name);
    return it == loaded_.end() ? nullptr : it->data();
}

QWidget* WindowRegistry::load(const QString& name) {
    if (QWidget* w = ifLoaded(name)) return w;
    // A copy: the factory may register windows of its own while it runs.
    const Entry entry = entries_.value(name);
    if (!entry.create) {
        Globals::WriteLogLine(QStringLiteral("Window not available: ") + name);
        return nullptr;
    }
    QWidget* w = entry.create();
    if (!w) return nullptr;
    // A window that does not mark itself loaded is still known while it exists.
    if (!ifLoaded(name)) loaded_.insert(name, w);
    if (entry.mdiChild && placer_) {
        placer_(w);
        Globals::adoptRestoredPosition(w);
        if (QWidget* frame = frameOf(w); frame != w) {
            if (Globals::hasSavedPosition(w))
                WindowPlacement::reopenInside(frame);
            else
                WindowPlacement::placeOnFirstOpening(name, frame);
            w->installEventFilter(new FrameCloser(name, w, frame));
        }
    }
    return w;
}

QWidget* WindowRegistry::show(const QString& name) {
    QWidget* w = load(name);
    if (!w) return nullptr;
    QWidget* frame = frameOf(w);
    frame->show();
    w->show();
    frame->raise();
    return w;
}

void WindowRegistry::markLoaded(const QString& name, QWidget* window) {
    loaded_.insert(name, window);
}

void WindowRegistry::markUnloaded(const QString& name) {
    loaded_.remove(name);
}

QStringList WindowRegistry::loadedNames() const {
    QStringList names;
    for (auto it = loaded_.begin(); it != loaded_.end(); ++it)
        if (it->data()) names << it.key();
    return names;
}

void WindowRegistry::closeAll() {
    for (const QString& name : loadedNames()) {
        QWidget* w = ifLoaded(name);
        if (!w) continue;
        frameOf(w)->close();
    }
}

void WindowRegistry::reset() {
    for (const QString& name : loadedNames()) {
        if (QWidget* w = ifLoaded(name)) delete frameOf(w);
    }
    loaded_.clear();
    entries_.clear();
    placer_ = nullptr;
}

}  // namespace zelmora
