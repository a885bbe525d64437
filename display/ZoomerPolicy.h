#pragma once

#include <QPoint>
#include <QRect>
#include <cstdint>

// The magnifier's arithmetic, without widgets.
namespace zelmora::display::zoom {

// The window's inner side and its pane.
constexpr int kInnerSide = 109;
constexpr int kPaneSide = 105;
constexpr int kPaneInset = 2;

// Screen pixels copied for a zoom factor 1 ... 9; a factor outside that keeps
// the current side.
std::int32_t sideFor(int factor, std::int32_t currentSide);

// The square copied around the pointer: its corner is the pointer less half
// the side, rounded half to even.
QRect sourceSquare(const QPoint& pointer, std::int32_t side);

// Factor 1 copies unscaled, the pointer 50 pixels from the pane's corner.
QRect unscaledSource(const QPoint& pointer, int innerWidth);

}  // namespace zelmora::display::zoom
