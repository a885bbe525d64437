#pragma once

#include <QImage>
#include <QSize>
#include <QWidget>
#include <cstdint>
#include <optional>

#include "display/BarModel.h"

class QPainter;
class QScrollBar;

namespace zelmora::display {

// The viewer's numbers, apart from the widget.
namespace viewscale {
// Bar inset and thickness, in pixels.
inline constexpr int kBarInset = 21;
inline constexpr int kBarThickness = 17;
inline constexpr int kSteps = 12;
// The factor of a scale step (0..11); none outside the table.
std::optional<double> factor(int index);
// The picture's size at a step: each side floored.
QSize scaledSize(QSize picture, int index);
// One axis of the bars: disabled when the picture fits; else a range from 0
// down to a negative maximum, valued at its middle (halves to even).
struct Bar {
    bool enabled = false;
    std::int32_t max = 0;
    std::int32_t value = 0;
};
Bar barFor(int mainExtent, int viewExtent);
// The picture's offset that centres it in the area left of and above the bars.
int centred(int mainExtent, int viewExtent);
}  // namespace viewscale

// Shows one picture at one of twelve scale steps, centred, scrollable, with a
// crosshair or bull's-eye reticle over its centre on request. The picture is
// kept once, as given; each paint draws only the part in sight, scaled.
class AAImageView : public QWidget {
    Q_OBJECT
public:
    explicit AAImageView(QWidget* parent = nullptr);

    void About() {}
    bool PictureLoaded() const { return !picture_.isNull(); }
    void SetPictureCenter();

    std::uint32_t BackColor() const { return backColor_; }
    void setBackColor(std::uint32_t bgr);

    // The stored original, never the scaled drawing.
    const QImage& Picture() const { return picture_; }
    void setPicture(const QImage& picture);

    int LargChangeX() const { return largeX_; }
    int SmallChangeX() const { return smallX_; }
    int LargChangeY() const { return largeY_; }
    int SmallChangeY() const { return smallY_; }
    void setLargChangeX(int v);
    void setSmallChangeX(int v);
    void setLargChangeY(int v);
    void setSmallChangeY(int v);

    int ScalePercent() const { return scaleIndex_; }
    // A step outside the table is ignored.
    void setScalePercent(int index);

    void xhairon();
    void xhairoff();
    void checkXhair();
    bool bxHairOn() const { return bxHairOn_; }

    // Where the scaled picture lies in the visible area (picView).
    QRect viewRect() const { return {viewPos_, viewSize_}; }
    // Where the reticle is drawn; empty while none is shown.
    QRect overlayRect() const;
    QScrollBar* hscPicture() const { return hsc_; }
    QScrollBar* vscPicture() const { return vsc_; }
    BarModel& hBar() { return hbar_; }
    BarModel& vBar() { return vbar_; }
    // The reticle pictures (light marks on black: MERGEPAINT lightens nothing else).
    static const QImage& crosshairPicture();
    static const QImage& bullsEyePicture();

signals:
    void DblClick();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The background, the part of the picture in `area` and the overlay.
    void paintView(QPainter& p, const QRect& area);
    void applyScale();
    void configureBars();
    void layoutBars();
    void refit();
    int mainWidth() const { return width(); }
    int mainHeight() const { return height(); }

    QImage picture_;
    int scaleIndex_ = 3;
    bool bxHairOn_ = false;
    bool overlayShown_ = false;
    const QImage* overlay_ = nullptr;
    std::uint32_t backColor_ = 0xFFFFFF;
    int largeX_ = 10, smallX_ = 10, largeY_ = 1, smallY_ = 1;
    QPoint viewPos_;
    QSize viewSize_;
    QScrollBar* hsc_ = nullptr;
    QScrollBar* vsc_ = nullptr;
    QWidget* picTemp_ = nullptr;
    BarModel hbar_;
    BarModel vbar_;
};

}  // namespace zelmora::display
