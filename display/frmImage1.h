#pragma once

#include <QWidget>

#include "shell/Neighbours.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace zelmora::display {

class AAImageView;

// "Frame Image": a whole camera frame at nine zoom steps, with the reticle
// switch, an "Open..." for any JPEG or RAW file and the histogram of what it shows.
class frmImage1 : public QWidget, public IFrameImageWindow {
    Q_OBJECT
public:
    static inline const QString kDesignCaption = QStringLiteral("Frame Image");

    explicit frmImage1(QWidget* parent = nullptr);
    ~frmImage1() override;

    // IFrameImageWindow.
    void showHistogram() override;
    void clearimage() override;
    void UpdateImage() override;

    void DoZoom();
    void LoadImage(const QString& fileName);
    void cmdIn_Click();
    void cmdOut_Click();
    void chXhair_Click();
    void cbOpen_Click();
    void cbShowHist_Click();
    int zoomStep() const { return step_; }

    QPushButton* cmdIn = nullptr;
    QPushButton* cmdOut = nullptr;
    QLabel* lblZoom = nullptr;
    QCheckBox* chXhair = nullptr;
    QPushButton* cbOpen = nullptr;
    QPushButton* cbShowHist = nullptr;
    AAImageView* AAImageView1 = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CheckHistStatus();
    void Form_Unload();

    int step_ = 3;
    bool unloaded_ = false;
    bool placed_ = false;
};

}  // namespace zelmora::display
