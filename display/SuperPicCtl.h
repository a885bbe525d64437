#pragma once

#include <QImage>
#include <QPointer>
#include <QVariantMap>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <vector>

#include "display/BarModel.h"

class QScrollBar;
class QToolButton;

namespace zelmora::platform {
class Timer;
}

namespace zelmora::display {

// A picture control that zooms by a percentage the host sets, pans by
// dragging, draws a crosshair or bull's-eye merged with the picture and offers
// a floating zoom-in/zoom-out bar while the cursor is over it.
//
// The picture is kept once, full size; each paint scales only the part in
// sight, so no zoom costs memory beyond the view. The view widget (picView)
// has the virtual zoomed size and the bars range over it.
class SuperPicCtl : public QWidget {
    Q_OBJECT
public:
    // The host's saved properties: eight keys, read and written in one order.
    using PropertyBag = QVariantMap;
    static constexpr std::uint32_t kAppWorkspaceColour = 0x8000000C;
    // Mouse pointer value of the pan cursor.
    static constexpr std::int16_t kCustomPointer = 99;
    // Image() renders the whole view; refused beyond this many pixels.
    static constexpr qint64 kMaxImagePixels = 32LL * 1024 * 1024;

    explicit SuperPicCtl(QWidget* parent = nullptr);
    ~SuperPicCtl() override;

    // Properties.
    bool XHairsOn() const { return bXHairsOn_; }
    void setBullsEyeOn(bool on) { bBullsEyeOn_ = on; }
    bool bullsEyeOnStored() const { return bBullsEyeOn_; }
    std::int32_t PicHeight() const;
    std::int32_t PicWidth() const;
    bool AllowZoomOut() const { return bAllowZoomOut_; }
    void setAllowZoomOut(bool on);
    bool AllowZoomIn() const { return bAllowZoomIn_; }
    void setAllowZoomIn(bool on);
    bool AutoRedraw() const { return autoRedraw_; }
    void New_AutoRedraw(bool on);
    std::uint32_t BackColor() const { return viewBackColor_; }
    void New_BackColor(std::uint32_t bgr);
    bool Enabled() const { return isEnabled(); }
    void New_Enabled(bool on);
    // No device contexts in Qt.
    bool HasDC() const { return false; }
    std::int32_t hdc() const { return 0; }
    std::int32_t hwnd() const { return 0; }
    // The view's drawing at its current size; null when it would pass kMaxImagePixels.
    QImage Image() const;
    std::int16_t MousePointer() const { return mousePointer_; }
    void New_MousePointer(std::int16_t value);
    bool PanActive() const { return bPanActive_; }
    void setPanActive(bool on);
    const QImage& Picture() const { return picBuffer_; }
    void setPicture(const QImage& picture);
    bool UseQuickBar() const { return bUseQuickBar_; }
    void setUseQuickBar(bool on);
    double Zoom() const { return dZoom_; }
    // Taken within kMinZoom … kMaxZoom; a value outside is brought to the nearer limit.
    void New_Zoom(double percent);

    // Methods.
    void checkXhair();
    void xhairon();
    void xhairoff();
    void Cls();
    void LoadImage(const QString& FilePath);
    bool PictureLoaded() const { return !picBuffer_.isNull(); }
    // Opcode: a raster-operation code (vbSrcCopy &HCC0020 by default).
    void PaintPicture(const QImage& Picture, float X1, float Y1,
                      std::optional<float> Width1 = std::nullopt,
                      std::optional<float> Height1 = std::nullopt,
                      std::optional<float> X2 = std::nullopt,
                      std::optional<float> Y2 = std::nullopt,
                      std::optional<float> Width2 = std::nullopt,
                      std::optional<float> Height2 = std::nullopt,
                      std::optional<std::int32_t> Opcode = std::nullopt);
    void RecallPosition();
    void StorePosition();
    void UnloadImage();

    void ReadProperties(const PropertyBag& bag);
    void WriteProperties(PropertyBag& bag) const;

    // One refresh of the quick bar, with the widget under the cursor (the
    // 100 ms timer passes QApplication::widgetAt of the cursor).
    void quickBarTick(QWidget* underCursor);

    // Internals the tests look at.
    const QString& fileName() const { return sFileName_; }
    std::int32_t origWidth() const { return lOrigWidth_; }
    std::int32_t origHeight() const { return lOrigHeight_; }
    bool panning() const { return bPanning_; }
    QWidget* picMain() const { return picMain_; }
    QWidget* picView() const { return picView_; }
    QWidget* picTemp() const { return picTemp_; }
    QScrollBar* hscPicture() const { return hsc_; }
    QScrollBar* vscPicture() const { return vsc_; }
    BarModel& hBar() { return hbar_; }
    BarModel& vBar() { return vbar_; }
    QWidget* tbrQuickFloat() const { return tbrQuickFloat_; }
    QToolButton* zoomInButton() const { return btnZoomIn_; }
    QToolButton* zoomOutButton() const { return btnZoomOut_; }
    platform::Timer* timToolbar() const { return timToolbar_; }
    // Where the overlay was merged, in picView's coordinates; empty when none shows.
    QRect overlayRect() const;
    // The number of zoomed renderings made (a render at an unchanged zoom is a fault).
    int renderCount() const { return renderCount_; }

signals:
    void Click();
    void DblClick();
    void KeyDown(std::int16_t& KeyCode, std::int16_t& Shift);
    void KeyPress(std::int16_t& KeyAscii);
    void KeyUp(std::int16_t& KeyCode, std::int16_t& Shift);
    void MouseDown(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y);
    void MouseMove(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y);
    void MouseUp(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y);
    void Paint();
    void Resize();
    void Scroll();
    void ZoomChanged(std::int32_t ZoomPercent);
    void ZoomInClick();
    void ZoomOutClick();
    // The host's saved property `key` changed.
    void PropertyChanged(const QString& key);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    class MainFrame;
    class View;
    friend class MainFrame;
    friend class View;

    void ResetView();
    void RenderZoom();
    void ArrangeScrollBars();
    void layoutBars();
    void frameResize();
    void paintView(QPaintEvent* event);
    void viewMouseDown(QMouseEvent* event);
    void viewMouseMove(QMouseEvent* event);
    void viewMouseUp(QMouseEvent* event);
    void viewKey(QKeyEvent* event, bool down);
    QPoint panOffset(const QPointF& global) const;
    void setViewPointer();
    QColor colourOf(std::uint32_t bgr) const;
    void markChanged(const QString& key);
    QImage render(const QRect& target) const;
    void drawView(QPainter& p, const QRect& target) const;

    // One PaintPicture call kept in the view's drawing.
    struct DrawOp {
        QImage picture;
        QRectF target;
        QRectF source;
        int mode;  // QPainter::CompositionMode
    };

    QWidget* picMain_ = nullptr;  // a MainFrame
    QWidget* picView_ = nullptr;  // a View
    QWidget* picTemp_ = nullptr;
    QScrollBar* hsc_ = nullptr;
    QScrollBar* vsc_ = nullptr;
    BarModel hbar_;
    BarModel vbar_;
    QWidget* tbrQuickFloat_ = nullptr;
    QToolButton* btnZoomIn_ = nullptr;
    QToolButton* btnZoomOut_ = nullptr;
    platform::Timer* timToolbar_ = nullptr;

    QImage picBuffer_;        // the full-size picture
    QImage viewPicture_;      // picView's own picture, drawn at its natural size
    bool zoomDrawn_ = false;  // the zoomed rendering of picBuffer_ is in the drawing
    std::vector<DrawOp> ops_;
    // Overlays merged since the last rendering (merging one twice changes nothing).
    std::vector<std::pair<const QImage*, QPoint>> overlays_;
    bool reading_ = false;        // reading saved properties: nothing is marked changed
    bool afterDblClick_ = false;  // the release that ends a double-click is no click

    QString sFileName_;
    double dZoom_ = 0;
    std::int32_t lOrigWidth_ = 0;
    std::int32_t lOrigHeight_ = 0;
    bool bAllowZoomIn_ = false;
    bool bAllowZoomOut_ = false;
    bool bUseQuickBar_ = false;
    bool bPanActive_ = false;
    bool bXHairsOn_ = false;
    bool bBullsEyeOn_ = false;
    std::int32_t lHMaxStored_ = 0;
    std::int32_t lHValueStored_ = 0;
    std::int32_t lVMaxStored_ = 0;
    std::int32_t lVValueStored_ = 0;
    bool bPanning_ = false;
    std::int32_t lPanX_ = 0;
    std::int32_t lPanY_ = 0;
    bool autoRedraw_ = true;
    std::uint32_t viewBackColor_ = kAppWorkspaceColour;
    std::uint32_t frameBackColor_ = kAppWorkspaceColour;
    std::int16_t mousePointer_ = 0;
    int renderCount_ = 0;
};

}  // namespace zelmora::display
