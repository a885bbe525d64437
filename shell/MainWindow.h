#pragma once

#include <QString>

class QAction;
class QLabel;
class QLineEdit;

namespace zelmora {

// What the other windows use of the main window: its toolbar states, the
// buttons they switch by index, the status panels they write, the interval box
// and the magnifier's zoom factor. The windows of the lower subsystems reach
// the main window only through this.
class IMainWindow {
public:
    virtual ~IMainWindow() = default;
    virtual void ToolbarEnable(const QString& mode) = 0;
    // Toolbar button by index 1 to 22 (separators included); nullptr otherwise.
    virtual QAction* button(int index) const = 0;
    // Status bar panel 1 to 6; nullptr otherwise.
    virtual QLabel* statusPanel(int index) const = 0;
    virtual QLineEdit* lbInterval() const = 0;
    virtual int zoomFactor() const = 0;
    // A menu item by its object name ("mnuControl"); nullptr when there is none.
    virtual QAction* menuItem(const QString& objectName) const { return nullptr; }
};

// The main window while it exists, else nullptr.
IMainWindow* mainWindow();
void setMainWindow(IMainWindow* window);

}  // namespace zelmora
