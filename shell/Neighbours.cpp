#include "shell/Neighbours.h"

namespace zelmora {

namespace {
std::shared_ptr<ShutterCable>& cableSlot() {
    static std::shared_ptr<ShutterCable> slot;
    return slot;
}
}  // namespace

ShutterCable& ShutterCable::instance() {
    if (!cableSlot()) cableSlot() = std::make_shared<ShutterCable>();
    return *cableSlot();
}

void ShutterCable::setInstance(std::shared_ptr<ShutterCable> cable) {
    cableSlot() = std::move(cable);
}

}  // namespace zelmora
