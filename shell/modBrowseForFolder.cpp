#include "shell/modBrowseForFolder.h"

#include <QFileInfo>

#include "platform/os/Dialogs.h"

namespace zelmora::modBrowseForFolder {

QString BrowseForFolder(const QString& startFolder, QWidget* /*owner*/, const QString& title) {
    try {
        const QString chosen = platform::Dialogs::browseForFolder(startFolder, title);
        if (chosen.isEmpty() || !QFileInfo(chosen).isDir()) return {};
        return QFileInfo(chosen).absoluteFilePath();
    } catch (...) {
        return {};
    }
}

}  // namespace zelmora::modBrowseForFolder
