#include "shell/KeyboardHook.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>

#include "shell/Errors.h"
#include "shell/Globals.h"
#include "shell/Neighbours.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"

namespace zelmora {

bool KeyboardHook::eventFilter(QObject* watched, QEvent* event) {
    // This runs for every event of the program: the type test comes first.
    if (event->type() != QEvent::KeyRelease) return false;
    // One physical release reaches the window the platform delivered it to,
    // then every widget it propagates through. Act once: at that window.
    if (!event->spontaneous() || !watched->isWindowType()) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->isAutoRepeat()) return false;
    Globals::ProcessHookedKey(key->key());
    return false;
}

namespace {
struct HookState {
    std::intptr_t handle = 0;
    QPointer<KeyboardHook> hook;
};
HookState& hookState() {
    static HookState s;
    return s;
}
std::function<bool()>& shutterButtonQuery() {
    static std::function<bool()> q;
    return q;
}
}  // namespace

namespace Globals {

void InstallKeyboardHook() {
    HookState& s = hookState();
    if (!s.hook && qApp) {
        s.hook = new KeyboardHook(qApp);
        qApp->installEventFilter(s.hook);
        s.handle = 1;
    }
    CheckKeyboardHook();
}

bool IsKeyboardHooked() {
    const std::intptr_t h = hookState().handle;
    WriteLogLine(QStringLiteral("Hooked:") +
                 (h != 0 ? QStringLiteral("True") : QStringLiteral("False")) +
                 QStringLiteral(" :") + QString::number(h));
    return h != 0;
}

void CheckKeyboardHook() {
    IsKeyboardHooked();
}

void RemoveKeyboardHook() {
    if (!IsKeyboardHooked()) return;
    HookState& s = hookState();
    if (s.hook) {
        if (qApp) qApp->removeEventFilter(s.hook);
        delete s.hook;
    }
    // The handle keeps its value, as the trace shows after removal.
}

std::intptr_t hKeyboardHook() {
    return hookState().handle;
}

void resetKeyboardHook() {
    HookState& s = hookState();
    if (s.hook) {
        if (qApp) qApp->removeEventFilter(s.hook);
        delete s.hook;
    }
    s = HookState{};
    shutterButtonQuery() = nullptr;
}

void setShutterButtonQuery(std::function<bool()> query) {
    shutterButtonQuery() = std::move(query);
}

SpaceBarDecision decideHookedKey(int virtualKey, bool released, bool shutterButtonEnabled,
                                 bool imageDispLoaded, bool folderMonitoring) {
    if (virtualKey != kVkSpace || !released) return {};
    if (shutterButtonEnabled && imageDispLoaded)
        return {SpaceBarAction::ProcessSpaceBar,
                QStringLiteral("Space pressed. Firing shutter by processing space")};
    if (shutterButtonEnabled)
        return {SpaceBarAction::ReleaseInCameraControl,
                QStringLiteral("Space pressed. Releasing shutter in Camera control")};
    if (folderMonitoring)
        return {
            SpaceBarAction::ShowImageDispAndProcess,
            QStringLiteral("Space pressed. Firing shutter by processing space in folder monitor")};
    return {};
}

void ProcessHookedKey(int virtualKey) {
    // Nothing may escape into the event filter; a failing release is traced.
    trapAndTrace(QStringLiteral("ProcessHookedKey"), [&] {
        const auto& query = shutterButtonQuery();
        const SpaceBarDecision d = decideHookedKey(virtualKey, true, query && query(),
                                                   bImageDispLoaded(), state().bFolderMonitoring);
        if (d.action == SpaceBarAction::None) return;
        WriteLogLine(d.trace);
        switch (d.action) {
            case SpaceBarAction::ProcessSpaceBar:
                if (auto* w = windows().ifLoadedAs<IImageDispWindow>(Win::frmImageDisp))
                    w->ProcessSpaceBar();
                break;
            case SpaceBarAction::ReleaseInCameraControl:
                // The button is enabled by the camera control window, so that
                // window is loaded; a closed one is not brought back by a key.
                if (auto* w = windows().ifLoadedAs<ICameraControlWindow>(Win::frmCameraControl))
                    w->release();
                break;
            case SpaceBarAction::ShowImageDispAndProcess:
                windows().show(Win::frmImageDisp);
                if (auto* w = windows().ifLoadedAs<IImageDispWindow>(Win::frmImageDisp))
                    w->ProcessSpaceBar();
                break;
            case SpaceBarAction::None:
                break;
        }
    });
}

}  // namespace Globals
}  // namespace zelmora
