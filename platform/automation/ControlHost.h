#pragma once

#include "platform/core/Api.h"

#include <QWidget>
#include <memory>
#include <string_view>

#include "platform/automation/Control.h"

ZELMORA_API_BEGIN

namespace zelmora::automation {

// A place on a host's window for one control: it owns the control, creates the
// control's window as its child and keeps that window filling it. Destroying the
// host destroys the control's window first, then the control.
class ControlHost : public QWidget {
    Q_OBJECT
public:
    explicit ControlHost(QWidget* parent = nullptr);
    ~ControlHost() override;

    // Creates the control by class name (createControl) and hosts it.
    IControl& load(std::string_view classNameOrClsid);
    // Hosts a control made elsewhere (replacing any hosted before).
    void setControl(std::unique_ptr<IControl> control);
    IControl* control() const { return control_.get(); }
    // Destroys the control's window and the control.
    void clear();

signals:
    // The hosted control is about to go (clear, setControl or the host's end): a
    // holder of its pointer lets go of it here, while it can still be called.
    void controlRemoving(zelmora::automation::IControl* control);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    std::unique_ptr<IControl> control_;
};

}  // namespace zelmora::automation

ZELMORA_API_END
