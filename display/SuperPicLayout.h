#pragma once

#include <QRect>
#include <cstdint>

// The geometry of the zoom-and-pan picture control, as pure functions so the
// bar arithmetic can be checked without a window.
namespace zelmora::display::superpic {

// Fixed system metrics: the layout must not depend on the desktop theme.
constexpr int kCxBorder = 1;    // SM_CXBORDER
constexpr int kCyBorder = 1;    // SM_CYBORDER
constexpr int kCxDlgFrame = 3;  // SM_CXDLGFRAME
constexpr int kCyDlgFrame = 3;  // SM_CYDLGFRAME
constexpr int kCyVThumb = 16;   // SM_CYVTHUMB
constexpr int kCxHThumb = 16;   // SM_CXHTHUMB
constexpr int kBarThickness = 16;

// The zoom is kept in a range where the view still means something; the
// picture is never materialised at the zoom, so the cap is about use, not memory.
constexpr double kMinZoom = 1.0;
constexpr double kMaxZoom = 1600.0;
double clampZoom(double percent);

// One bar for a picture of viewExtent in a frame of mainExtent.
struct BarRange {
    bool visible = false;
    std::int32_t max = 0;    // 0 down to a negative maximum
    std::int32_t value = 0;  // the picture's left (top) when the bar shows
    int viewPos = 0;         // the picture's left (top) when the bar is hidden
};
// The bar shows when the picture does not fit with room for a thumb (strict
// test); it then ranges 0 … −(overflow + 4) and starts centred. 32-bit: a
// zoomed picture may be far more than 32767 pixels larger than the frame.
BarRange arrangeBar(int mainExtent, int viewExtent, int thumb);

// Where a freshly reset picture is placed before the bars are arranged.
int resetPosition(int mainExtent, int viewExtent);

// The bars' rectangles inside a frame of w × h pixels.
struct BarLayout {
    QRect h;
    QRect v;
};
BarLayout layoutBars(int w, int h, bool hVisible, bool vVisible, int hHeight, int vWidth);

// The zoomed size of one side: percent / 100 × the size at 100 %.
int zoomedExtent(double percent, int origExtent);

}  // namespace zelmora::display::superpic
