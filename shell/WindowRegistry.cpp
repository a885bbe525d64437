#include "shell/WindowRegistry.h"

#include <QMdiSubWindow>

#include "shell/Globals.h"

namespace zelmora {

QWidget* frameOf(QWidget* window) {
    if (auto* sub = qobject_cast<QMdiSubWindow*>(window->parentWidget())) return sub;
    return window;
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
