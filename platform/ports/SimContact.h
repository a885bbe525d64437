#pragma once

#include <functional>

// The simulated cables end in the simulated camera's remote-release socket:
// a contact that is closed (shutter held) or open.
namespace zelmora::ports {

using ContactSink = std::function<void(bool closed)>;

// The simulated sky's shutter contact, which the simulated camera listens to.
ContactSink skyContact();

}  // namespace zelmora::ports
