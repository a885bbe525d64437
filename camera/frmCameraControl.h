#pragma once

#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "camera/CameraControlModel.h"
#include "shell/Neighbours.h"
#include "vosquin/VosquinHost.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace zelmora::camera {
class ctlFolderMonitor;
}

namespace zelmora::automation {
class ControlHost;
class IControl;
}  // namespace zelmora::automation

namespace zelmora::camera {

// "Camera Control": hosts the camera release control, switches between focus
// and capture mode, fires focus frames singly or continuously and hands every
// download on. The decisions live in CameraControlModel; this is its view.
class frmCameraControl : public QWidget, public CameraControlView, public ICameraControlWindow {
    Q_OBJECT
public:
    static const QString kDesignCaption;

    explicit frmCameraControl(QWidget* parent = nullptr);
    ~frmCameraControl() override;

    // Where the control comes from. By default it is created by class name from
    // the library beside the program; tests may name the library's folder or
    // hand in a control of their own. Both are cleared with the program state.
    using ControlFactory = std::function<std::unique_ptr<automation::IControl>()>;
    static void setControlFactory(ControlFactory factory);
    static void setControlLibraryFolder(const QString& folder);

    // ICameraControlWindow.
    ReleaseOutcome release(FrameKind kind = FrameKind::Focus) override {
        return model_.release(kind);
    }
    ReleaseOutcome releaseFrame(FrameKind kind, FrameDownloadHandler onDownload,
                                FrameWanted wanted = {}) override {
        return model_.release(kind, std::move(onDownload), std::move(wanted));
    }
    void awaitFrame(FrameDownloadHandler onDownload) override {
        model_.awaitFrame(std::move(onDownload));
    }
    void StartContinousDownload() override { model_.StartContinousDownload(); }
    void doconnect() override { model_.doconnect(); }
    void SetFocusMode() override { model_.SetFocusMode(); }
    void SetCaptureMode() override { model_.SetCaptureMode(); }
    void LoadAllowedTvs(QComboBox* combo) override { model_.LoadAllowedTvs(combo); }
    void LogSettings() override { model_.LogSettings(); }
    QString sFileDownloaded() const override { return model_.sFileDownloaded(); }
    vosquin::VosquinHost* Vosquin1() override { return vosquin_.control() ? &vosquin_ : nullptr; }

    // For the folder-monitor panel: a new file in a watched folder.
    void LoadANewImage(const QString& path) { model_.LoadANewImage(path); }
    void setupFolderMonitor() { model_.setupFolderMonitor(); }
    // The place the folder-monitor panel goes in.
    QWidget* folderMonitorFrame() const;
    ctlFolderMonitor* folderMonitor() const { return FolderMonitor1; }
    QString RemoteHotKey() const override;
    QString MonitorLastUpdate() const override;

    CameraControlModel& model() { return model_; }
    // The height last set, in twips (3930 compact, 5340 with the panel).
    int formHeightTwips() const { return formHeightTwips_; }
    // The battery picture shown (1 to 4; 0 before the first level).
    int batteryPictureShown() const { return batteryShown_; }
    static QPixmap batteryPixmap(int picture);

    // CameraControlView.
    void showOption(int index, bool selected) override;
    void setOptionEnabled(int index, bool enabled) override;
    void setDefaultCaption(const QString& caption) override;
    void setSaveFocusEnabled(bool enabled) override;
    void setReleaseEnabled(bool enabled) override;
    void showBattery(int picture) override;
    void setFormHeight(int twips) override;
    void setWindowStateNormal() override;
    void setBusy(bool busy) override;
    void loadFolderMonSettings() override;
    void showFolderMonitor() override;
    void EnableMonitorControls() override;
    void DisableMonitorControls() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void loadControl();
    void layOut();
    void Form_Load();
    void Form_Unload();

    vosquin::VosquinHost vosquin_;
    CameraControlModel model_;
    bool unloaded_ = false;
    int formHeightTwips_ = 0;
    int batteryShown_ = 0;
    int compactHeight_ = 0;  // pixels down to the mode options
    int panelHeight_ = 0;    // and the folder-monitor panel

    automation::ControlHost* Vosquin1Host = nullptr;
    QGroupBox* Frame2 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* imgBatteryLevel = nullptr;
    std::array<QRadioButton*, 2> optMode{};
    QCheckBox* chSaveFocus = nullptr;
    QPushButton* cbSetDefault = nullptr;
    // Shows the folder-monitor panel: focusing on frames another program saves.
    QPushButton* cmdMonitorFolder = nullptr;
    ctlFolderMonitor* FolderMonitor1 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QPushButton* cbRelease = nullptr;
    QLineEdit* txtFocusCap2 = nullptr;
};

}  // namespace zelmora::camera
