#pragma once

#include <QString>

namespace zelmora::Shell {

// The program's version as major.minor.revision.
QString versionText();

// Ties the platform services to the program state: a modal box sets
// bMsgBoxShowing while it is up.
void connectServices();

}  // namespace zelmora::Shell
