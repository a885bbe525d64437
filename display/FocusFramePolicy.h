#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "image/aPoint.h"

// The decisions of the focus-frame viewer and its window, without widgets.
// Lengths are twips unless a name says pixels.
namespace zelmora::display::policy {

// Screen twips per pixel, read from the screen at each use.
struct TwipsPerPixel {
    double x = 15.0;
    double y = 15.0;
};

// The cursor offset of the chosen star is kept at a fixed 15 twips per pixel,
// whatever the screen, so that the pair below round-trips exactly.
constexpr int kCursorTwips = 15;
// One scroll-bar unit moves the picture by this many twips.
constexpr int kTwipsPerBarUnit = 4;
constexpr int kStarTolerancePx = 10;
constexpr int kFocusSidePx = 100;

inline const QString kEdgeMessage =
    QStringLiteral("Select a star that is not near the edge of the picture.");
inline const QString kDifferentStarQuestion = QStringLiteral(
    "Are you sure you want to focus on a different star? This action will reset the Analyze "
    "History. Do you want to continue ?");

// A click at (x, y) twips on a picture of the given size (twips) is too near an
// edge when the whole focus box would not fit on every side of it.
bool isNearEdge(double x, double y, const aPoint& focusSize, TwipsPerPixel tp, double pictureW,
                double pictureH);

// 10 pixels or more away from the stored star in either axis.
bool isDifferentStar(std::int32_t px, std::int32_t py, std::int32_t starX, std::int32_t starY);

// The focus box's top-left corner for a click (image pixels, fractions kept):
// X subtracts the box width rounded and halved with truncation, Y the exact half.
struct BoxCorner {
    float theX = 0.0f;
    float theY = 0.0f;
};
BoxCorner boxCorner(const aPoint& focusClick, const aPoint& focusSize);

// The block copied from the frame: the corner and the size, each rounded half to even.
QRect cropRect(float theX, float theY, const aPoint& focusSize);

// A bar's maximum for a picture and a view extent (twips): the difference in
// bar units, half to even. 32-bit, so any frame size fits; negative when the
// picture is smaller than the view.
std::int32_t barMaximum(double pictureTwips, double viewTwips);

// The middle of a bar's range, half to even.
std::int32_t barMiddle(std::int32_t min, std::int32_t max);

enum class BarEnd { Minimum, Middle, Maximum };
enum class ViewPosition {
    TopLeft,
    TopCentre,
    Topright,
    CentreLeft,
    centreImage,
    CentreRight,
    BottomLeft,
    BottomCentre,
    BottomRight
};
struct Placement {
    BarEnd vertical;
    BarEnd horizontal;
};
Placement placementOf(ViewPosition p);
std::int32_t barTarget(BarEnd end, std::int32_t min, std::int32_t max);

// Cursor offset over the star: cursor pixel x 15 minus the window's position
// in twips; and back from an offset to the screen pixel.
QPoint cursorOffset(const QPoint& cursorPx, const QPoint& windowTwips);
QPoint cursorFromOffset(const QPoint& offsetTwips, const QPoint& windowTwips);

// "(" x ", " y ")" in the shortest decimal form, as the status panels show it.
QString pairText(double x, double y);

// The load with one retry: each step runs in order; the first failure is traced
// (attempt 1), paused on and its step run again; the second failure shows the
// message, is traced (attempt 2) and ends the load. Steps done stay done.
struct RetryHooks {
    std::function<void(int attempt)> trace;
    std::function<void()> pause;
    std::function<void()> message;
};
bool runWithOneRetry(const std::vector<std::function<void()>>& steps, const RetryHooks& hooks);

// What the space bar does on the focus-frame window.
enum class SpaceBarRoute {
    RemoteStatusOnly,  // monitor mode without a remote application
    RemoteKeys,        // monitor mode: the remote application's hot key
    Simulate,
    Release,  // the camera window's release
};
constexpr std::int32_t kNoRemoteTask = 999;
// Monitor mode is the direct driver's source choice or running folder
// monitoring: either way the pictures come from another program.
SpaceBarRoute spaceBarRoute(bool monitorMode, bool folderMonitoring, std::int32_t remoteTaskId,
                            bool simulation);

// The folder-monitor panel's hot-key text in key-sequence notation.
QString hotKeySequence(const QString& hotKey);

// The window's first place in the main window: its right edge 200 twips
// inside the main window's width, top 0 (pixels in, pixels out).
QPoint firstPlacement(int mainWidthPx, int widthPx);

}  // namespace zelmora::display::policy
