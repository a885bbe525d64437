#pragma once

#include <QString>

class QWidget;

namespace zelmora::modBrowseForFolder {

// Shows the folder picker opened on startFolder (when not empty) and returns
// the chosen folder's full path, or "" when cancelled or not a real folder.
QString BrowseForFolder(const QString& startFolder, QWidget* owner, const QString& title);

}  // namespace zelmora::modBrowseForFolder
