#pragma once

#include <gtest/gtest.h>

#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "platform/automation/Events.h"
#include "platform/rcsdk/SimCamera.h"
#include "vosquin/CVosquinCtrl.h"

namespace zelmora::vosquin::test {

// The control's events as its host sees them, each as one text: "OnComplete(/x/y.JPG)",
// "OnReadyForRelease(True)", "OnDisconnected()".
class EventRecorder : public automation::IEventSink {
public:
    void onEvent(automation::DispId id, const std::vector<automation::Variant>& args) override;
    std::vector<std::string> events;
    std::function<void(const std::string&)> onEach;  // runs inside the event
    std::vector<std::string> take() { return std::exchange(events, {}); }
    std::vector<std::string> named(const std::string& name) const;
};

// A control on a window, driven by identifier, with the simulated camera library
// (time scale 0), scripted dialogs and a registry file of its own.
class VosquinTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

public:
    // Creates the control and its window (in a parent widget, as the host does).
    CVosquinCtrl& make(bool withWindow = true);
    CVosquinCtrl& ctrl() { return *ctrl_; }
    CCameraDlg& dlg() { return ctrl_->dialog(); }

    automation::Variant get(const char* name);
    void put(const char* name, automation::Variant value);
    automation::Variant call(const char* name, std::vector<automation::Variant> args = {});
    std::string text(const char* name);
    bool flag(const char* name);

    // Connects the camera at `device` in the device list (answering the choice).
    void connectCamera(int device = 0);
    // Connects with "Pict -> PC" checked, ready to release; forgets the events so far.
    void connectReady(bool thumbnails = false);
    // Lets the library's thread finish and the dialog handle what it posted.
    void deliver();
    // Release, then everything the release brings.
    void releaseAndDeliver();

    // The log's messages (time stamp and prefix removed); empty lines kept as "".
    QStringList logMessages() const;
    QString logPath() const;

    QTemporaryDir registryDir;
    std::unique_ptr<QWidget> parent;
    std::unique_ptr<CVosquinCtrl> ctrl_;
    EventRecorder rec;
};

}  // namespace zelmora::vosquin::test
