#include "shell/Shell.h"

#include "platform/os/Dialogs.h"
#include "shell/ProgramState.h"

namespace zelmora::Shell {

QString versionText() {
    return QString::number(ZELMORA_VERSION_MAJOR) + u'.' + QString::number(ZELMORA_VERSION_MINOR) +
           u'.' + QString::number(ZELMORA_VERSION_PATCH);
}

void connectServices() {
    platform::Dialogs::setModalHook([](bool up) { state().bMsgBoxShowing = up; });
}

}  // namespace zelmora::Shell
