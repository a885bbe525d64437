#include "platform/automation/ControlHost.h"

#include "platform/automation/ModuleLoader.h"

namespace zelmora::automation {

ControlHost::ControlHost(QWidget* parent) : QWidget(parent) {}

ControlHost::~ControlHost() {
    clear();
}

IControl& ControlHost::load(std::string_view className) {
    setControl(createControl(className));
    return *control_;
}

void ControlHost::setControl(std::unique_ptr<IControl> control) {
    clear();
    control_ = std::move(control);
    if (!control_) return;
    if (QWidget* w = control_->createWindow(this)) {
        w->setGeometry(rect());
        w->show();
    }
}

void ControlHost::clear() {
    if (!control_) return;
    emit controlRemoving(control_.get());
    control_->destroyWindow();
    control_.reset();
}

void ControlHost::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (control_)
        if (QWidget* w = control_->window()) w->setGeometry(rect());
}

}  // namespace zelmora::automation
