#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>

namespace zelmora {

// The space-bar shutter: an application-wide filter that sees every key
// release of the program before the widget that gets it and hands it to
// Globals::ProcessHookedKey. The key is never swallowed.
class KeyboardHook : public QObject {
    Q_OBJECT
public:
    explicit KeyboardHook(QObject* parent = nullptr) : QObject(parent) {}
    bool eventFilter(QObject* watched, QEvent* event) override;
};

namespace Globals {

// Installs the hook once per run and traces "Hooked:True :1".
void InstallKeyboardHook();
// Traces "Hooked:" & "True"/"False" & " :" & the handle.
bool IsKeyboardHooked();
void CheckKeyboardHook();
void RemoveKeyboardHook();
std::intptr_t hKeyboardHook();
void resetKeyboardHook();

// The space bar's virtual key; Qt's key code for it is the same number.
constexpr int kVkSpace = 32;

// What the space bar does, decided from the toolbar's "Shutter Release" button
// and two program flags. The first matching row acts.
enum class SpaceBarAction {
    None,
    ProcessSpaceBar,          // the image display window fires
    ReleaseInCameraControl,   // the camera control window releases
    ShowImageDispAndProcess,  // folder monitoring: show the image display, then fire
};
struct SpaceBarDecision {
    SpaceBarAction action = SpaceBarAction::None;
    QString trace;  // written before the action; empty when nothing acts
};
SpaceBarDecision decideHookedKey(int virtualKey, bool released, bool shutterButtonEnabled,
                                 bool imageDispLoaded, bool folderMonitoring);

// The key handler: acts on the space bar's release as decided above.
void ProcessHookedKey(int virtualKey);

// How the hook reads whether toolbar button 19 ("Shutter Release") is enabled;
// the main window installs it. Without one the button counts as disabled.
void setShutterButtonQuery(std::function<bool()> query);

}  // namespace Globals
}  // namespace zelmora
