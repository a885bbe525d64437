#pragma once

#include <QIcon>

class QAction;

namespace zelmora {

// The main window's toolbar pictures, drawn at run time. Numbers as the
// toolbar uses them: 2/17 the Focus button analysing/paused, 14/16 the Connect
// button disconnected/connected; the others one per button.
QIcon toolbarIcon(int imageNumber);

// The picture number a button starts with, by its key ("Zoom", "Centre", ...); 0 = none.
int toolbarImageFor(const QString& key);

// Gives a button a picture: its "image" property and its icon.
void setButtonImage(QAction* button, int imageNumber);

}  // namespace zelmora
