#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <QWidget>

#include "shell/Neighbours.h"

class QLabel;

namespace zelmora::display {

// Where a picture goes on the screen: the whole picture inside the window,
// centred, as large as fits.
struct ScreenFit {
    QString orientation;  // "1" landscape, "0" portrait, "2" square
    float ratio = 0.0f;   // the shorter side over the longer; 0 for a square
    QRectF box;
};
ScreenFit fitToScreen(QSize picture, QSize window);

// The caption: the path, and during a run the frame counter.
QString fullScreenCaption(const QString& path, int frame, int total);

// A downloaded picture over the whole screen; a click closes it.
class frmFullScreen : public QWidget, public IFullScreenView {
    Q_OBJECT
public:
    explicit frmFullScreen(QWidget* parent = nullptr);
    ~frmFullScreen() override;

    // Shows the capture window's current picture again (path, counter, picture).
    void reloadImage() override;

    QLabel* lblfile = nullptr;
    const QImage& picture() const { return picture_; }
    const ScreenFit& fit() const { return fit_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void loadStep();
    void refit();

    QImage picture_;
    QImage scaled_;  // the picture at the fitted size, made once per fit
    ScreenFit fit_;
    bool unloaded_ = false;
};

}  // namespace zelmora::display
