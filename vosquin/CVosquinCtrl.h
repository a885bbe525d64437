#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>

#include "platform/automation/Control.h"
#include "platform/automation/Events.h"
#include "vosquin/CCameraDlg.h"

namespace zelmora::vosquin {

class CameraDlgView;
class CVosquinCtrl;

// The control's own window, which the host places and sizes; the camera dialog's
// window fills it. Destroying it destroys the dialog.
class VosquinWindow : public QWidget {
    Q_OBJECT
public:
    VosquinWindow(CVosquinCtrl& control, QWidget* parent);
    ~VosquinWindow() override;
    void detach() { control_ = nullptr; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    CVosquinCtrl* control_;
};

// The Vosquin control: the camera dialog behind the automation interface, driven
// by dispatch identifier, with seven events to its host.
class CVosquinCtrl : public automation::DispatchImpl<automation::IControl> {
public:
    CVosquinCtrl();
    ~CVosquinCtrl() override;

    static const automation::MemberTable& members();
    static const automation::MemberTable& events();

    const automation::MemberTable& memberTable() const override { return members(); }
    const automation::MemberTable& eventTable() const override { return events(); }
    std::uint32_t advise(automation::IEventSink* sink) override;
    void unadvise(std::uint32_t cookie) override;

    QWidget* createWindow(QWidget* parent) override;
    QWidget* window() const override { return window_; }
    void destroyWindow() override;

    CCameraDlg& dialog() { return *dialog_; }
    // Objects alive in this library (for DllCanUnloadNow).
    static int liveObjects();

protected:
    const char* errorSource() const override { return "Vosquin"; }
    automation::Variant getProperty(automation::DispId id) override;
    void putProperty(automation::DispId id, const automation::Variant& value) override;
    automation::Variant callMethod(automation::DispId id,
                                   const std::vector<automation::Variant>& args) override;

private:
    friend class VosquinWindow;
    // Creates the dialog's window (in the control's window when there is one).
    bool createDialog();
    void layoutDialog();
    void windowGone();

    automation::EventSource events_;
    std::unique_ptr<CCameraDlg> dialog_;
    QPointer<VosquinWindow> window_;
    QPointer<CameraDlgView> view_;
};

}  // namespace zelmora::vosquin
