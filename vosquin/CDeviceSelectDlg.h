#pragma once

#include "platform/rcsdk/RemoteCapture.h"

namespace zelmora::vosquin {

// The "Communication setting" choice: the cameras the library finds, by display
// name, in a drop-down list ("(None)" when there are none), the first selected.
class CDeviceSelectDlg {
public:
    // True with the chosen camera's record; false when the user cancelled, chose
    // "(None)" or the cameras could not be listed (a message box says why).
    static bool choose(RCDeviceRecord& chosen);
};

}  // namespace zelmora::vosquin
