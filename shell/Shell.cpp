#include "shell/Shell.h"

#include "platform/os/Dialogs.h"
#include "shell/ProgramState.h"

namespace zelmora::Shell {

void connectServices() {
    platform::Dialogs::setModalHook([](bool up) { state().bMsgBoxShowing = up; });
}

}  // namespace zelmora::Shell
