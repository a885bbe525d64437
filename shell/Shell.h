#pragma once

namespace zelmora::Shell {

// Ties the platform services to the program state: a modal box sets
// bMsgBoxShowing while it is up.
void connectServices();

}  // namespace zelmora::Shell
