#pragma once

#include <QAction>
#include <QLineEdit>
#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/automation/Control.h"
#include "shell/MainWindow.h"
#include "shell/Neighbours.h"

namespace zelmora::camera::test {

// Every call the fakes below receive, in order ("disp.LoadImage(/a/Focus.jpg)").
QStringList& neighbourCalls();

// A camera release control with the published interface: properties are kept
// as put, methods are recorded and may run a test's action, events are fired
// by the test.
class FakeVosquinControl : public automation::DispatchImpl<automation::IControl> {
public:
    FakeVosquinControl();

    const automation::MemberTable& memberTable() const override;
    const automation::MemberTable& eventTable() const override;
    std::uint32_t advise(automation::IEventSink* sink) override;
    void unadvise(std::uint32_t cookie) override;
    QWidget* createWindow(QWidget* parent) override;
    QWidget* window() const override { return window_; }
    void destroyWindow() override;

    // Test side.
    void set(automation::DispId id, automation::Variant value) { props_[id] = std::move(value); }
    automation::Variant value(automation::DispId id) const;
    std::string text(automation::DispId id) const;
    bool flag(automation::DispId id) const;
    void fire(automation::DispId id, std::vector<automation::Variant> args = {});
    // "Release", "Connect", "RequestBatteryLevel", "DevlopRaw(x)", "put ISO=800", ...
    QStringList calls;
    int count(const QString& call) const { return int(calls.count(call)); }
    // Runs inside a method call or a put, before it returns (name as recorded).
    std::function<void(const QString&)> onCall;
    // What Release answers (0: released).
    std::int32_t releaseResult = 0;
    // DevlopRaw's answer for a file.
    std::function<std::string(const std::string&)> develop = [](const std::string& raw) {
        return raw.substr(0, raw.rfind('.')) + ".jpg";
    };

protected:
    const char* errorSource() const override { return "FakeVosquin"; }
    automation::Variant getProperty(automation::DispId id) override { return value(id); }
    void putProperty(automation::DispId id, const automation::Variant& value) override;
    automation::Variant callMethod(automation::DispId id,
                                   const std::vector<automation::Variant>& args) override;

private:
    std::map<automation::DispId, automation::Variant> props_;
    automation::EventSource events_;
    QWidget* window_ = nullptr;
};

// The main window as the camera window uses it: the toolbar's 22 buttons, the
// interval box, the menu item "Image Capture..." and the toolbar modes asked for.
class FakeMainWindow : public IMainWindow {
public:
    FakeMainWindow();
    ~FakeMainWindow() override;
    void ToolbarEnable(const QString& mode) override { modes << mode; }
    QAction* button(int index) const override;
    QLabel* statusPanel(int) const override { return nullptr; }
    QLineEdit* lbInterval() const override { return interval_.get(); }
    int zoomFactor() const override { return 1; }
    QAction* menuItem(const QString& objectName) const override;

    bool enabled(int index) const { return button(index)->isEnabled(); }
    void setAll(bool enabled);
    QStringList modes;

private:
    std::array<std::unique_ptr<QAction>, 23> buttons_;
    std::unique_ptr<QAction> mnuControl_;
    std::unique_ptr<QLineEdit> interval_;
};

// Neighbour windows that record what they are asked; each registers itself as
// loaded and unloads when closed. `failing` makes its calls throw.
class FakeImageDisp : public QWidget, public IImageDispWindow {
public:
    FakeImageDisp();
    ~FakeImageDisp() override;
    void ProcessSpaceBar() override;
    IFocusFrameViewer* ImageDisp() override { return nullptr; }
    void LoadImage(const QString& strFilePath) override;
    QStringList loaded;
    static inline bool failing = false;

protected:
    void closeEvent(QCloseEvent*) override;
};

class FakeCapture : public QWidget, public ICaptureWindow {
public:
    FakeCapture();
    ~FakeCapture() override;
    void LoadAThumb(const QString& fileName) override;
    void ChangeColors() override {}
    QString sPicToshow() const override { return {}; }
    static inline bool failing = false;

protected:
    void closeEvent(QCloseEvent*) override;
};

class FakeFrameImage : public QWidget, public IFrameImageWindow {
public:
    FakeFrameImage();
    ~FakeFrameImage() override;
    void showHistogram() override {}
    void clearimage() override;
    void UpdateImage() override;
};

// A window known to the registry under a name, doing nothing (analysis, sequences).
class FakePlainWindow : public QWidget {
public:
    explicit FakePlainWindow(QString name);
    ~FakePlainWindow() override;

protected:
    void closeEvent(QCloseEvent*) override;

private:
    QString name_;
};

// Registers the fakes under the neighbours' names (created on demand).
void registerFakeNeighbours();

}  // namespace zelmora::camera::test
