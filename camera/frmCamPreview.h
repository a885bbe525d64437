#pragma once

#include <QDialog>
#include <memory>

class QLabel;
class QListWidget;
class QPushButton;

namespace zelmora {

class CameraCardImages;
class clsCamera;

// "Camera Image Selection": the images on the camera's card; Preview fetches
// the selected one (developing a RAW one to JPEG) into sPreviewFile and closes.
class frmCamPreview : public QDialog {
    Q_OBJECT
public:
    frmCamPreview(std::shared_ptr<clsCamera> camera, CameraCardImages& card,
                  QWidget* parent = nullptr);
    ~frmCamPreview() override;

    // The path of the last file fetched or developed here.
    static QString& sPreviewFile();

    void cbPreview_Click();

    QListWidget* lstItemList = nullptr;
    QPushButton* cbPreview = nullptr;
    QLabel* lblStatus = nullptr;

private:
    std::shared_ptr<clsCamera> camera_;
    CameraCardImages& card_;
};

// "Low Battery Warning!": comes back to the front every five seconds until OK.
class frmLowBattery : public QDialog {
    Q_OBJECT
public:
    explicit frmLowBattery(QWidget* parent = nullptr);

    QPushButton* cbOk = nullptr;
    int raised() const { return raised_; }

private:
    void Timer1_Timer();
    int raised_ = 0;
};

}  // namespace zelmora
