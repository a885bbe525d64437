#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace zelmora::platform {
class Timer;
class WaitControl;
}  // namespace zelmora::platform

namespace zelmora::camera {

class FolderMonitor;

// "Monitor Folder": starts the remote application that saves the camera's
// frames, watches its folder and hands each new JPEG, once its size has
// settled, to the host through LoadANewImage.
class ctlFolderMonitor : public QWidget {
    Q_OBJECT
public:
    explicit ctlFolderMonitor(QWidget* parent = nullptr);
    // Stops monitoring; a run still on the stack keeps its monitor until it returns.
    ~ctlFolderMonitor() override;

    // Ends a run, if one is going, as Stop does; lets no events run. For an
    // owner that is closing: the Start click still on the stack returns at the
    // end of the monitor's slice without touching the panel.
    void endMonitoring();
    bool monitoring() const { return monitoring_; }

    QString LastUpdate() const { return lastUpdate_; }
    void setLastUpdate(const QString& text) { lastUpdate_ = text; }
    QString RemoteHotKey() const;
    // Enables the controls again (while a run goes on, Start and Browse stay
    // off) and hides the note on the connected camera.
    void EnableMonitorControls();
    // Disables the controls while a camera is connected and says so on the
    // panel; a run that goes on can still be stopped.
    void DisableMonitorControls();
    static const QString kCameraConnectedNote;
    void loadFolderMonSettings();
    void saveMonitorSettings();

    void cmdStart_Click();
    void cmdStop_Click();
    void cmdBrowseMonitor_Click();
    void cmdRemoteApp_Click();
    void CheckForNewImage();

    QString sMonitorFolder() const { return sMonitorFolder_; }
    QString sLastMonitorFile() const { return sLastMonitorFile_; }
    std::shared_ptr<FolderMonitor> objFolderMonitor() const { return objFolderMonitor_; }

    // How the remote application is started (its process id, 0 on failure)
    // and how a file's size is read (nothing when it is gone). Tests replace
    // them; the program state reset puts them back.
    using Launcher = std::function<qint64(const QString&)>;
    using SizeSource = std::function<std::optional<qint64>(const QString&)>;
    static void setLauncher(Launcher launcher);
    static void setSizeSource(SizeSource source);

signals:
    void LoadANewImage(const QString& path);

private:
    void buildControls();
    void MonitorTimer_Timer();
    void toIdle();
    void report(const QString& text);

    QGroupBox* frmMonitorFolder = nullptr;
    QLineEdit* txtFolderToMonitor = nullptr;
    QPushButton* cmdBrowseMonitor = nullptr;
    QPushButton* cmdRemoteApp = nullptr;
    QLabel* lblRemoteapp = nullptr;
    QLabel* Label7 = nullptr;
    QComboBox* lbHotkey = nullptr;
    QLabel* Label6 = nullptr;
    QLineEdit* txtIgnore = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* cbDelay = nullptr;
    QPushButton* cmdStart = nullptr;
    QPushButton* cmdStop = nullptr;
    QListWidget* List1 = nullptr;
    QLabel* lblLastUpdate = nullptr;
    QLabel* lblCameraNote = nullptr;
    platform::Timer* MonitorTimer = nullptr;

    std::shared_ptr<FolderMonitor> objFolderMonitor_;
    QString lastUpdate_;
    QString sMonitorFolder_;
    QString sLastMonitorFile_;
    // The file last handed over and its size then: the same file again is not
    // handed over, a file that has grown since is.
    QString handedPath_;
    qint64 handedSize_ = -1;
    bool monitoring_ = false;  // this panel set bFolderMonitoring
    bool checking_ = false;    // a check is settling a file
    std::shared_ptr<platform::WaitControl> checkWait_;
};

}  // namespace zelmora::camera
