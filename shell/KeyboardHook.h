#pragma once

#include <QObject>
#include <cstdint>
#include <functional>

namespace zelmora {

// The space-bar shutter: an application-wide filter that sees every key
// release of the program before the widget that gets it. The key is never
// swallowed.
class KeyboardHook : public QObject {
    Q_OBJECT
public:
    using KeyHandler = std::function<void(int key)>;
    explicit KeyboardHook(QObject* parent = nullptr) : QObject(parent) {}
    // What a key release does (the shell's space-bar handler).
    void setHandler(KeyHandler handler) { handler_ = std::move(handler); }
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    KeyHandler handler_;
};

namespace Globals {

// Installs the hook once per run and traces "Hooked:True :1".
void InstallKeyboardHook();
// Traces "Hooked:" & "True"/"False" & " :" & the handle.
bool IsKeyboardHooked();
void CheckKeyboardHook();
void RemoveKeyboardHook();
std::intptr_t hKeyboardHook();
KeyboardHook* keyboardHook();
// Run for each key release while the hook is installed.
void setKeyHandler(KeyboardHook::KeyHandler handler);
void resetKeyboardHook();

}  // namespace Globals
}  // namespace zelmora
