#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

namespace zelmora::platform {

// One key of a key sequence with the modifiers held while it is pressed.
struct KeyStroke {
    bool ctrl = false;
    bool shift = false;
    bool alt = false;
    QString key;  // one character ("F", " ") or a named key ("F1", "ENTER")
    bool operator==(const KeyStroke&) const = default;
};

// Reads the key-sequence notation the remote hot keys are written in: "^" holds
// Ctrl, "+" Shift and "%" Alt for the next key; "{F1}" names a key; "{+}" and
// the like are the literal character. Empty when the text is not well formed.
std::optional<std::vector<KeyStroke>> parseKeySequence(const QString& text);

// Another program on the desktop that takes our key presses: the remote
// application that saves the camera's pictures into the monitored folder.
class RemoteAppControl {
public:
    virtual ~RemoteAppControl() = default;
    // Brings the main window of process `pid` to the front and returns true
    // only once the desktop reports it as the active window. Never true for a
    // window of this program.
    virtual bool activate(qint64 pid) = 0;
    // Sends the keys to the active window and waits until the display server
    // has taken them. False when nothing could be sent.
    virtual bool sendKeys(const std::vector<KeyStroke>& keys) = 0;

    static RemoteAppControl& instance();
    static void setInstance(std::shared_ptr<RemoteAppControl> control);
};

// The X11 desktop: the window manager's active-window protocol to find and
// raise the window, XTest to type. Other display servers report failure.
class X11RemoteAppControl : public RemoteAppControl {
public:
    bool activate(qint64 pid) override;
    bool sendKeys(const std::vector<KeyStroke>& keys) override;
};

// For tests: records the calls; `activates` says what activate answers.
class RecordingRemoteApp : public RemoteAppControl {
public:
    bool activate(qint64 pid) override {
        calls << QStringLiteral("activate %1").arg(pid);
        return activates;
    }
    bool sendKeys(const std::vector<KeyStroke>& keys) override {
        sent.push_back(keys);
        calls << QStringLiteral("send");
        return true;
    }
    bool activates = true;
    QStringList calls;
    std::vector<std::vector<KeyStroke>> sent;
};

}  // namespace zelmora::platform
