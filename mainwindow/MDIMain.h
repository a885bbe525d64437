#pragma once

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <memory>

#include "mainwindow/NightVision.h"
#include "mainwindow/ToolbarModel.h"
#include "shell/MainWindow.h"

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
// toolbar, menus, status bar, zoom slider and channel options, night vision,
// and the commands behind them.
class MDIMain : public QMainWindow, public IMainWindow {
    Q_OBJECT
public:
    explicit MDIMain(QWidget* parent = nullptr);
    ~MDIMain() override;

    // Start-up: each of its steps is guarded; a failing step is skipped.
    void Form_Load();
    // Shutdown steps, in order (after the child windows have closed).
    void Form_Unload();

    // Applies one toolbar mode; each mode touches only its own controls.
    void ToolbarEnable(const QString& mode) override;
    const ToolbarModel& toolbar() const { return toolbarModel_; }
    // Toolbar button by index 1 to 22 (separators included).
    QAction* button(int index) const override;
    QAction* menuItem(const QString& objectName) const;

    // The operations of the start-up and shutdown sequences.
    void checkfolders();
    void checkCommandParameters();
    void InitPortIfChecked();
    void DeleteTempThumbnails();
    void SaveOriginalColors() { nightVision_.SaveOriginalColors(); }
    void SetNightVision();
    void RestoreOriginalColors();

    // Commands.
    void Toolbar1_ButtonClick(const QString& key);
    void ToggleFocusMode();
    void ShowCameraControl();
    // Chooses (when forced or when none is stored) and creates the telescope driver.
    void SetupTelescope(bool forceChooser);
    // Telescope, Link, "Establish" and "Terminate".
    void mnuLinkEst_Click();
    void mnuLinkTerminate_Click();
    // Window, "Reset Window Positions".
    void mnuReset_Click();
    // Window, "Tile Horizontally" (stacked, each full width) and "Tile Vertically".
    void tileHorizontally();
    void tileVertically();

    QMdiArea* mdiArea() const { return mdiArea_; }
    QLineEdit* lbInterval() const override { return lbInterval_; }
    QSlider* ZoomSlider() const { return zoomSlider_; }
    QLabel* statusPanel(int index) const override;  // 1 to 6
    QRadioButton* OptRGB(int index) const { return optRGB_[static_cast<size_t>(index)]; }
    QToolBar* Toolbar1() const { return toolbar1_; }
    QPushButton* testButton(int index) const {
        return testButtons_[static_cast<size_t>(index - 1)];
    }
    int zoomFactor() const override { return iZoomFactor; }

    int iZoomFactor = 3;
    std::shared_ptr<clsCamera> loCamera;

    // major.minor.revision, as the caption ("Zelmora Beta v" & it) and the trace show it.
    static QString versionText();

    // The process's own arguments, read by checkCommandParameters.
    void setCommandLine(const QStringList& arguments) { arguments_ = arguments; }

    static constexpr int kStatusPanels = 6;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildToolbar();
    void buildStatusBar();
    void syncToolbar();
    // Draws the toolbar's pictures again, in the colours of night vision or of day.
    void redrawToolbarIcons();
    void connectCameraEvents();
    void connectCommands();
    void registerOwnWindows();
    // Runs a menu command so that no failure leaves the handler.
    void onMenu(const char* objectName, void (MDIMain::*handler)());

    void mnuNightVision_Click();
    void mnuInitPort_Click();
    void mnuBatMon_Click();
    void mnuWavFile_Click();
    void mnuMute_Click();
    void mnuPosition_Click(int index);
    void mnuShowHist_Click();
    void mnuXhair_Click();
    void mnuBullsEye_Click();
    void mnuSetNewCatalogue_Click();
    void mnuCatalogue_Click();
    void mnuHelp_Click();
    void ZoomSlider_Change(int value);

    QMdiArea* mdiArea_ = nullptr;
    QToolBar* toolbar1_ = nullptr;
    std::array<QAction*, ToolbarModel::kButtons + 1> buttons_{};
    QLineEdit* lbInterval_ = nullptr;
    QSlider* zoomSlider_ = nullptr;
    std::array<QRadioButton*, 4> optRGB_{};
    std::array<QLabel*, kStatusPanels + 1> panels_{};
    std::array<QPushButton*, 3> testButtons_{};
    QMenu* positionMenu_ = nullptr;
    ToolbarModel toolbarModel_;
    NightVision nightVision_;
    QStringList arguments_;
    bool unloaded_ = false;
};

}  // namespace zelmora
