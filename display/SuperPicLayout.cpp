#include "display/SuperPicLayout.h"

#include <algorithm>
#include <cmath>

#include "shell/Conv.h"

namespace zelmora::display::superpic {

double clampZoom(double percent) {
    if (std::isnan(percent)) return kMinZoom;
    return std::clamp(percent, kMinZoom, kMaxZoom);
}

BarRange arrangeBar(int mainExtent, int viewExtent, int thumb) {
    BarRange r;
    if (static_cast<float>(mainExtent - thumb) > static_cast<float>(viewExtent)) {
        r.viewPos = static_cast<int>(Conv::roundHalfEven((mainExtent - viewExtent) / 2.0));
        return r;
    }
    r.visible = true;
    const std::int64_t max = -(std::int64_t{viewExtent} - (mainExtent - thumb) + 4);
    r.max = static_cast<std::int32_t>(std::max<std::int64_t>(max, INT32_MIN));
    r.value = static_cast<std::int32_t>(Conv::roundHalfEven(r.max / 2.0));
    return r;
}

int resetPosition(int mainExtent, int viewExtent) {
    // The vertical thumb metric on both axes, as the original layout did.
    const int room =
        viewExtent < mainExtent ? mainExtent - viewExtent - kCyVThumb : mainExtent - viewExtent;
    return static_cast<int>(Conv::roundHalfEven(room / 2.0));
}

BarLayout layoutBars(int w, int h, bool hVisible, bool vVisible, int hHeight, int vWidth) {
    BarLayout l;
    l.h = QRect(0, h - hHeight - kCyDlgFrame,
                vVisible ? w - vWidth - 2 * kCxBorder : w - kCxDlgFrame, hHeight);
    l.v = QRect(w - vWidth - kCxDlgFrame, 0, vWidth,
                hVisible ? h - hHeight - 2 * kCyBorder : h - kCyDlgFrame);
    return l;
}

int zoomedExtent(double percent, int origExtent) {
    const double v = percent / 100.0 * origExtent;
    if (!(v > 0)) return 0;
    return static_cast<int>(std::min(Conv::roundHalfEven(v), double(INT32_MAX / 2)));
}

}  // namespace zelmora::display::superpic
