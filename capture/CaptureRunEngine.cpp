#include "capture/CaptureRunEngine.h"

namespace zelmora::capture {

namespace {
CaptureRunEngine::Factory& slot() {
    static CaptureRunEngine::Factory f;
    return f;
}
}  // namespace

void CaptureRunEngine::setFactory(Factory factory) {
    slot() = std::move(factory);
}
const CaptureRunEngine::Factory& CaptureRunEngine::factory() {
    return slot();
}

}  // namespace zelmora::capture
