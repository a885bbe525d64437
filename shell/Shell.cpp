#include "shell/Shell.h"

#include <algorithm>

#include "platform/os/Dialogs.h"
#include "platform/os/IniSettingsStore.h"
#include "shell/Globals.h"
#include "shell/ProgramState.h"

namespace zelmora::Shell {

QString versionText() {
    return QString::number(ZELMORA_VERSION_MAJOR) + u'.' + QString::number(ZELMORA_VERSION_MINOR) +
           u'.' + QString::number(ZELMORA_VERSION_PATCH);
}

void connectServices() {
    // Boxes nest (a handler that runs while a box is up may show one): the
    // flag stays up until the outermost box has closed.
    platform::Dialogs::setModalHook([depth = 0](bool up) mutable {
        depth = up ? depth + 1 : std::max(depth - 1, 0);
        state().bMsgBoxShowing = depth > 0;
    });
    // A settings line skipped as malformed is traced.
    platform::IniSettingsStore::setWarningSink(
        [](const QString& text) { Globals::WriteLogLine(text); });
}

}  // namespace zelmora::Shell
