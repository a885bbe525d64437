#pragma once

#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <optional>

#include "shell/Neighbours.h"

class QLineEdit;
class QListWidget;

namespace zelmora::display {

class ScrollingImage;

// "Image Display": the MDI child where every focus frame arrives. It keeps the
// user's scroll position from frame to frame, hands each frame of the chosen
// star to the focus analysis, turns the space bar into the next exposure and
// lets the arrow keys nudge the pointer one pixel at a time.
class frmImageDisp : public QWidget, public IImageDispWindow {
    Q_OBJECT
public:
    static inline const QString kDesignCaption = QStringLiteral("Image Display");

    explicit frmImageDisp(QWidget* parent = nullptr);
    ~frmImageDisp() override;

    void ProcessSpaceBar() override;
    IFocusFrameViewer* ImageDisp() override;
    void LoadImage(const QString& strFilePath) override;
    void AnalyseStar();
    void SimulateExposure();

    ScrollingImage* viewer() const { return ImageDisp_; }
    void File1_Click(int index);
    // A character typed on the window (used while the space-bar hook is off).
    void Form_KeyPress(QChar key);
    // One arrow-key press: the pointer moves iNudgeStep pixels that way.
    void nudgePointer(int qtKey);

    std::int16_t iSimFileIndex = 0;
    std::int16_t iNudgeStep = 1;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void Form_Unload();
    void placeFrame();
    void fireRemoteShutter();
    void ShowZoomer();
    void RefreshZoomer();

    struct ViewState {
        std::int32_t h = 0, v = 0, hs = 0, vs = 0;
    };
    ViewState saveView() const;
    void restoreView(const ViewState& view);

    ScrollingImage* ImageDisp_ = nullptr;
    QListWidget* File1 = nullptr;
    QLineEdit* txtFocusCap = nullptr;
    std::optional<QSize> wantedSize_;  // from the settings, applied once placed
    bool placed_ = false;
    bool unloaded_ = false;
};

}  // namespace zelmora::display
