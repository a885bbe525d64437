#include "platform/ports/SimContact.h"

#include "platform/sim/SimSky.h"

namespace zelmora::ports {

ContactSink skyContact() {
    return [](bool closed) {
        auto& sky = sim::SimSky::instance();
        if (closed == sky.shutterOpen()) return;  // only edges reach the camera
        if (closed)
            sky.pressShutter();
        else
            sky.releaseShutter();
    };
}

}  // namespace zelmora::ports
