#pragma once

#include "platform/core/Api.h"

#include <cstdint>
#include <memory>

#include "platform/automation/Dispatch.h"
#include "platform/automation/Events.h"

ZELMORA_API_BEGIN

class QWidget;

namespace zelmora::automation {

// A control: a dispatch object with events and a window that a host places in one
// of its own widgets.
class IControl : public IDispatchLike {
public:
    ~IControl() override;

    virtual const MemberTable& eventTable() const = 0;
    virtual std::uint32_t advise(IEventSink* sink) = 0;
    virtual void unadvise(std::uint32_t cookie) = 0;

    // Creates the control's window as a child of parent and returns it (the
    // control keeps track of it; a second call returns the existing window).
    // The host sizes it; destroying it, or destroyWindow(), ends whatever the
    // window holds.
    virtual QWidget* createWindow(QWidget* parent) = 0;
    virtual QWidget* window() const = 0;
    virtual void destroyWindow() = 0;
};

// Made by a library for one class; owned by the library, valid while it is loaded.
class IClassFactory {
public:
    virtual std::unique_ptr<IDispatchLike> createInstance() = 0;

protected:
    ~IClassFactory();
};

}  // namespace zelmora::automation

ZELMORA_API_END
