#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "display/BarModel.h"
#include "display/FocusFramePolicy.h"
#include "image/FrameLoader.h"
#include "image/aPoint.h"
#include "image/cDIBSection.h"
#include "shell/Neighbours.h"

class QScrollBar;

namespace zelmora::display {

// The focus-frame viewer: the frame at natural size in a scrolling view, the
// nine view positions, the star click and the 100 x 100 focus crop around the
// chosen star. The frame is decoded once into a reused buffer; the view paints
// its visible part straight from that buffer and the crop is copied from it.
//
// Positions are twips as the rest of the program keeps them; the picture's
// offset (Image1's left and top) moves by 4 twips per bar unit.
class ScrollingImage : public QWidget, public IFocusFrameViewer {
    Q_OBJECT
public:
    explicit ScrollingImage(QWidget* parent = nullptr);
    ~ScrollingImage() override;

    // The window the control sits on: its position is the cursor offsets'
    // origin and it comes to the front on a star click. Default: the parent.
    void setHostWindow(QWidget* form) { host_ = form; }

    // The nine view positions (vertical bar first, then horizontal).
    void TopLeft() override;
    void TopCentre() override;
    void Topright() override;
    void CentreLeft() override;
    void centreImage() override;
    void CentreRight() override;
    void BottomLeft() override;
    void BottomCentre() override;
    void BottomRight() override;

    // The focus crop (always 100 x 100 pixels).
    QImage GetImage() const override;
    // The whole frame (a copy, made on request).
    QImage GetImage2() const;

    void SetCursorWithOffset(std::int32_t ValueX, std::int32_t ValueY);
    void SetStartPos();
    // Loads a frame; false (after the retry, the message and the trace lines)
    // when it could not be read.
    bool SetImage(const QString& Path);
    std::int32_t getVPosition() const { return top_; }
    std::int32_t getHPosition() const { return left_; }
    void setHPosition(std::int32_t hpos);
    void setVPosition(std::int32_t vpos);
    std::int32_t getVS() const { return vs_.value(); }
    std::int32_t getHS() const { return hs_.value(); }
    void SetHS(std::int32_t value);
    void SetVS(std::int32_t value);

    const aPoint& FocusClick() const { return focusClick_; }
    cDIBSection& FocusPicture();
    const aPoint& FocusSize() const { return focusSize_; }
    void setFocusSize(const aPoint& size) { focusSize_ = size; }
    float theX() const { return theX_; }
    float theY() const { return theY_; }

    // The star click and the pointer moving over the picture, at a point of
    // this widget (pixels); ignored outside the picture.
    void Image1_MouseDown(const QPoint& at);
    void Image1_MouseMove(const QPoint& at);

    // Read-only views for the window and for tests.
    const cDIBSection& frame() const { return frame_; }
    const BarModel& vs() const { return vs_; }
    const BarModel& hs() const { return hs_; }
    // Image1's visible area and the picture's place in it (widget pixels).
    QRect viewArea() const;
    QPoint picturePixelOffset() const;
    policy::TwipsPerPixel twipsPerPixel() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void applyPosition(policy::ViewPosition p);
    void DrawFocusPicture();
    void layoutBars();
    void setBarRange(BarModel& bar, double pictureTwips, double viewTwips);
    // Twips from the picture's top-left for a widget point; false off the picture.
    bool pictureTwipsAt(const QPoint& at, double& x, double& y) const;
    QWidget* hostFrame() const;
    QPoint hostTwips() const;
    void raiseHost() const;

    FrameLoader loader_;
    cDIBSection frame_;  // picVirtual: the frame as loaded, bottom-up BGR
    QImage picFocus_;    // PicFocus: the focus crop
    QImage shown_;       // the part of the frame in sight, as last painted
    std::unique_ptr<cDIBSection> focusPicture_;
    aPoint focusSize_{100.0, 100.0};
    aPoint focusClick_;
    float theX_ = 0.0f;
    float theY_ = 0.0f;
    std::int32_t left_ = 0;  // Image1 left and top, twips
    std::int32_t top_ = 0;

    BarModel vs_;
    BarModel hs_;
    QScrollBar* vsView_ = nullptr;
    QScrollBar* hsView_ = nullptr;
    QWidget* Picture1 = nullptr;
    QPointer<QWidget> host_;
};

}  // namespace zelmora::display
