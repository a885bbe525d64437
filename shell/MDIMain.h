#pragma once

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <memory>

#include "shell/NightVision.h"
#include "shell/ToolbarModel.h"

class QAction;
class QLabel;
class QLineEdit;
class QMdiArea;
class QMenu;
class QPushButton;
class QRadioButton;
class QSlider;
class QToolBar;

namespace zelmora {

class clsCamera;

// The main window: start-up when it loads, shutdown when it closes, the
// toolbar, menus, status bar, zoom slider and channel options, and night vision.
class MDIMain : public QMainWindow {
    Q_OBJECT
public:
    explicit MDIMain(QWidget* parent = nullptr);
    ~MDIMain() override;

    // Start-up: each of its steps is guarded; a failing step is skipped.
    void Form_Load();
    // Shutdown steps, in order (after the child windows have closed).
    void Form_Unload();

    void ToolbarEnable(const QString& mode);
    const ToolbarModel& toolbar() const { return toolbarModel_; }
    // Toolbar button by index 1 to 22 (separators included).
    QAction* button(int index) const;
    QAction* menuItem(const QString& objectName) const;

    // The operations of the start-up and shutdown sequences.
    void checkfolders();
    void checkCommandParameters();
    void InitPortIfChecked();
    void DeleteTempThumbnails();
    void SaveOriginalColors() { nightVision_.SaveOriginalColors(); }
    void SetNightVision() { nightVision_.SetNightVision(); }
    void RestoreOriginalColors() { nightVision_.RestoreOriginalColors(); }
    // Telescope, Link, "Terminate".
    void mnuLinkTerminate_Click();

    QMdiArea* mdiArea() const { return mdiArea_; }
    QLineEdit* lbInterval() const { return lbInterval_; }
    QSlider* ZoomSlider() const { return zoomSlider_; }
    QLabel* statusPanel(int index) const;  // 1 to 5
    QRadioButton* OptRGB(int index) const { return optRGB_[static_cast<size_t>(index)]; }
    QToolBar* Toolbar1() const { return toolbar1_; }
    QPushButton* testButton(int index) const { return testButtons_[static_cast<size_t>(index - 1)]; }

    int iZoomFactor = 3;
    std::shared_ptr<clsCamera> loCamera;

    // The caption as the version makes it: "Zelmora Beta v" & major.minor.revision.
    static QString versionText();

    // The process's own arguments, read by checkCommandParameters.
    void setCommandLine(const QStringList& arguments) { arguments_ = arguments; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void buildToolbar();
    void buildStatusBar();
    void syncToolbar();
    void connectCameraEvents();

    QMdiArea* mdiArea_ = nullptr;
    QToolBar* toolbar1_ = nullptr;
    std::array<QAction*, ToolbarModel::kButtons + 1> buttons_{};
    QLineEdit* lbInterval_ = nullptr;
    QSlider* zoomSlider_ = nullptr;
    std::array<QRadioButton*, 4> optRGB_{};
    std::array<QLabel*, 6> panels_{};
    std::array<QPushButton*, 3> testButtons_{};
    QMenu* positionMenu_ = nullptr;
    ToolbarModel toolbarModel_;
    NightVision nightVision_;
    QStringList arguments_;
    bool unloaded_ = false;
};

}  // namespace zelmora
