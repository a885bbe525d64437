#include "platform/automation/Control.h"

namespace zelmora::automation {

// Defined here so that the type information of the interfaces lives once, in this
// library, and casts between a host and a control library agree.
IControl::~IControl() = default;
IClassFactory::~IClassFactory() = default;

}  // namespace zelmora::automation
