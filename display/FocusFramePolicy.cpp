#include "display/FocusFramePolicy.h"

#include <cmath>
#include <cstdlib>

#include "shell/Conv.h"

namespace zelmora::display::policy {

bool isNearEdge(double x, double y, const aPoint& focusSize, TwipsPerPixel tp, double pictureW,
                double pictureH) {
    const double bx = focusSize.X * tp.x;
    const double by = focusSize.Y * tp.y;
    return x + bx > pictureW || y + by > pictureH || x - bx < 0 || y - by < 0;
}

bool isDifferentStar(std::int32_t px, std::int32_t py, std::int32_t starX, std::int32_t starY) {
    return std::llabs(std::int64_t{px} - starX) >= kStarTolerancePx ||
           std::llabs(std::int64_t{py} - starY) >= kStarTolerancePx;
}

BoxCorner boxCorner(const aPoint& focusClick, const aPoint& focusSize) {
    const std::int32_t halfW = Conv::toInt32(focusSize.X) / 2;
    return {static_cast<float>(focusClick.X - halfW),
            static_cast<float>(focusClick.Y - focusSize.Y / 2.0)};
}

QRect cropRect(float theX, float theY, const aPoint& focusSize) {
    return QRect(Conv::toInt32(theX), Conv::toInt32(theY), Conv::toInt32(focusSize.X),
                 Conv::toInt32(focusSize.Y));
}

std::int32_t barMaximum(double pictureTwips, double viewTwips) {
    return Conv::toInt32((pictureTwips - viewTwips) / kTwipsPerBarUnit);
}

std::int32_t barMiddle(std::int32_t min, std::int32_t max) {
    return Conv::toInt32((double(max) - double(min)) / 2.0);
}

Placement placementOf(ViewPosition p) {
    using B = BarEnd;
    switch (p) {
        case ViewPosition::TopLeft:
            return {B::Minimum, B::Minimum};
        case ViewPosition::TopCentre:
            return {B::Minimum, B::Middle};
        case ViewPosition::Topright:
            return {B::Minimum, B::Maximum};
        case ViewPosition::CentreLeft:
            return {B::Middle, B::Minimum};
        case ViewPosition::centreImage:
            return {B::Middle, B::Middle};
        case ViewPosition::CentreRight:
            return {B::Middle, B::Maximum};
        case ViewPosition::BottomLeft:
            return {B::Maximum, B::Minimum};
        case ViewPosition::BottomCentre:
            return {B::Maximum, B::Middle};
        case ViewPosition::BottomRight:
            return {B::Maximum, B::Maximum};
    }
    return {B::Minimum, B::Minimum};
}

std::int32_t barTarget(BarEnd end, std::int32_t min, std::int32_t max) {
    switch (end) {
        case BarEnd::Minimum:
            return min;
        case BarEnd::Middle:
            return barMiddle(min, max);
        case BarEnd::Maximum:
            return max;
    }
    return min;
}

QPoint cursorOffset(const QPoint& cursorPx, const QPoint& windowTwips) {
    return QPoint(Conv::toInt32(double(cursorPx.x()) * kCursorTwips - windowTwips.x()),
                  Conv::toInt32(double(cursorPx.y()) * kCursorTwips - windowTwips.y()));
}

QPoint cursorFromOffset(const QPoint& offsetTwips, const QPoint& windowTwips) {
    return QPoint(Conv::toInt32(double(windowTwips.x()) / kCursorTwips +
                                double(offsetTwips.x()) / kCursorTwips),
                  Conv::toInt32(double(windowTwips.y()) / kCursorTwips +
                                double(offsetTwips.y()) / kCursorTwips));
}

QString pairText(double x, double y) {
    return u'(' + Conv::numberText(x) + QStringLiteral(", ") + Conv::numberText(y) + u')';
}

bool runWithOneRetry(const std::vector<std::function<void()>>& steps, const RetryHooks& hooks) {
    int errors = 0;
    for (std::size_t i = 0; i < steps.size();) {
        try {
            steps[i]();
            ++i;
        } catch (...) {
            ++errors;
            if (errors == 1) {
                if (hooks.trace) hooks.trace(1);
                if (hooks.pause) hooks.pause();
                continue;  // the same step once more
            }
            if (hooks.message) hooks.message();
            if (hooks.trace) hooks.trace(errors);
            return false;
        }
    }
    return true;
}

SpaceBarRoute spaceBarRoute(bool monitorMode, bool folderMonitoring, std::int32_t remoteTaskId,
                            bool simulation) {
    if (monitorMode || folderMonitoring)
        return remoteTaskId == kNoRemoteTask ? SpaceBarRoute::RemoteStatusOnly
                                             : SpaceBarRoute::RemoteKeys;
    if (simulation) return SpaceBarRoute::Simulate;
    return SpaceBarRoute::Release;
}

QString hotKeySequence(const QString& hotKey) {
    if (hotKey == QLatin1String("SPACE")) return QStringLiteral(" ");
    if (hotKey == QLatin1String("Ctrl+Shift+F")) return QStringLiteral("^+F");
    return hotKey;
}

QPoint firstPlacement(int mainWidthPx, int widthPx) {
    const std::int32_t leftTwips =
        Conv::pixelsToTwips(mainWidthPx) - Conv::pixelsToTwips(widthPx) - 200;
    return QPoint(Conv::twipsToPixels(leftTwips), 0);
}

}  // namespace zelmora::display::policy
