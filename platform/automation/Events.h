#pragma once

#include "platform/core/Api.h"

#include <cstdint>
#include <map>
#include <vector>

#include "platform/automation/Dispatch.h"

ZELMORA_API_BEGIN

namespace zelmora::automation {

// Receives an object's events. The arguments live for the duration of the call;
// a sink copies what it keeps.
class IEventSink {
public:
    virtual ~IEventSink();
    virtual void onEvent(DispId id, const std::vector<Variant>& args) = 0;
};

// The sinks advised to one object. Events go to the sinks advised when the event
// is fired, in the order they were advised; a sink unadvised by an earlier sink's
// handler is skipped. Not thread-safe: events are fired on the GUI thread.
class EventSource {
public:
    // Cookie for unadvise; never 0. A null sink throws AutomationError 5.
    std::uint32_t advise(IEventSink* sink, const char* source = "Automation");
    // An unknown cookie throws AutomationError 5.
    void unadvise(std::uint32_t cookie, const char* source = "Automation");
    void fire(DispId id, const std::vector<Variant>& args = {});
    std::size_t sinkCount() const { return sinks_.size(); }

private:
    std::uint32_t next_ = 1;
    std::map<std::uint32_t, IEventSink*> sinks_;
};

}  // namespace zelmora::automation

ZELMORA_API_END
