#include "display/ZoomerPolicy.h"

#include "shell/Conv.h"

namespace zelmora::display::zoom {

std::int32_t sideFor(int factor, std::int32_t currentSide) {
    static constexpr std::int32_t kSides[9] = {128, 100, 80, 65, 35, 20, 10, 5, 1};
    if (factor < 1 || factor > 9) return currentSide;
    return kSides[factor - 1];
}

QRect sourceSquare(const QPoint& pointer, std::int32_t side) {
    const double half = side / 2.0;
    return QRect(Conv::toInt32(pointer.x() - half), Conv::toInt32(pointer.y() - half), side, side);
}

QRect unscaledSource(const QPoint& pointer, int innerWidth) {
    return QRect(pointer.x() - 50, pointer.y() - 50, innerWidth, innerWidth);
}

}  // namespace zelmora::display::zoom
