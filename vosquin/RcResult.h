#pragma once

#include "platform/rcsdk/RemoteCapture.h"

// Reading the remote-capture library's result codes, the same way everywhere in the
// control.
namespace zelmora::vosquin {

inline bool failed(RCResult r) {
    return RC_ERROR_ID(r) != 0;
}

inline bool enumerationEnded(RCResult r) {
    return RC_ERROR_ID(r) == RC_ERR_ENUM_END;
}

// The outcome of walking an enumeration: the walk's failure, where its end (240) is
// none, else the release's code.
inline RCResult walkResult(RCResult walk, RCResult released) {
    if (failed(walk) && !enumerationEnded(walk)) return walk;
    return released;
}

}  // namespace zelmora::vosquin
