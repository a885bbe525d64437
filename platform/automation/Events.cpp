#include "platform/automation/Events.h"

#include "platform/automation/AutomationError.h"

namespace zelmora::automation {

IEventSink::~IEventSink() = default;

std::uint32_t EventSource::advise(IEventSink* sink, const char* source) {
    if (!sink)
        throw AutomationError(AutomationError::kInvalidProcedureCall, source,
                              QStringLiteral("No event sink to advise"));
    const std::uint32_t cookie = next_++;
    sinks_.emplace(cookie, sink);
    return cookie;
}

void EventSource::unadvise(std::uint32_t cookie, const char* source) {
    if (!sinks_.erase(cookie))
        throw AutomationError(AutomationError::kInvalidProcedureCall, source,
                              QStringLiteral("No event sink advised with cookie %1").arg(cookie));
}

void EventSource::fire(DispId id, const std::vector<Variant>& args) {
    std::vector<std::uint32_t> cookies;
    cookies.reserve(sinks_.size());
    for (const auto& [cookie, sink] : sinks_) cookies.push_back(cookie);
    for (std::uint32_t cookie : cookies) {
        auto it = sinks_.find(cookie);
        if (it != sinks_.end()) it->second->onEvent(id, args);
    }
}

}  // namespace zelmora::automation
