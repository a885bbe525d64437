#include "shell/KeyboardHook.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>

#include "shell/Globals.h"
#include "shell/ProgramState.h"

namespace zelmora {

bool KeyboardHook::eventFilter(QObject* watched, QEvent* event) {
    // The same release passes every widget up the parent chain; act on it once,
    // where it is first delivered: a window or widget, not the window handle.
    if (event->type() == QEvent::KeyRelease && watched->isWidgetType()) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!key->isAutoRepeat() && handler_) {
            static const QKeyEvent* last = nullptr;
            static quint64 lastStamp = 0;
            if (last != key || lastStamp != key->timestamp()) {
                last = key;
                lastStamp = key->timestamp();
                handler_(key->key());
            }
        }
    }
    return false;
}

namespace {
struct HookState {
    std::intptr_t handle = 0;
    QPointer<KeyboardHook> hook;
    KeyboardHook::KeyHandler handler;
};
HookState& hookState() {
    static HookState s;
    return s;
}
}  // namespace

namespace Globals {

void InstallKeyboardHook() {
    HookState& s = hookState();
    if (!s.hook && qApp) {
        s.hook = new KeyboardHook(qApp);
        s.hook->setHandler(s.handler);
        qApp->installEventFilter(s.hook);
        s.handle = 1;
    }
    CheckKeyboardHook();
}

bool IsKeyboardHooked() {
    const std::intptr_t h = hookState().handle;
    WriteLogLine(QStringLiteral("Hooked:") + (h != 0 ? QStringLiteral("True") : QStringLiteral("False")) +
                 QStringLiteral(" :") + QString::number(h));
    return h != 0;
}

void CheckKeyboardHook() { IsKeyboardHooked(); }

void RemoveKeyboardHook() {
    if (!IsKeyboardHooked()) return;
    HookState& s = hookState();
    if (s.hook) {
        if (qApp) qApp->removeEventFilter(s.hook);
        delete s.hook;
    }
    // The handle keeps its value, as the trace shows after removal.
}

std::intptr_t hKeyboardHook() { return hookState().handle; }

KeyboardHook* keyboardHook() { return hookState().hook; }

void setKeyHandler(KeyboardHook::KeyHandler handler) {
    HookState& s = hookState();
    s.handler = std::move(handler);
    if (s.hook) s.hook->setHandler(s.handler);
}

void resetKeyboardHook() {
    HookState& s = hookState();
    if (s.hook) {
        if (qApp) qApp->removeEventFilter(s.hook);
        delete s.hook;
    }
    s = HookState{};
}

}  // namespace Globals
}  // namespace zelmora
