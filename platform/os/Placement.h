#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <algorithm>
#include <limits>
#include <vector>

namespace zelmora::platform {

// The top-left corner, inside `bounds`, for a window of `size` that covers as
// little as it can of `others`; among equal places the one nearest `home`, the
// first tried of those as near. Tried: the bounds' edges and the places beside
// each of `others`, pulled inside the bounds; with `homeFirst`, the home's own
// line and column before them (a corner home is among the edges already).
inline QPoint leastCovering(const QRect& bounds, QSize size, const QList<QRect>& others,
                            QPoint home, bool homeFirst) {
    const int maxX = std::max(bounds.left(), bounds.right() + 1 - size.width());
    const int maxY = std::max(bounds.top(), bounds.bottom() + 1 - size.height());
    std::vector<int> xs, ys;
    if (homeFirst) {
        xs.push_back(home.x());
        ys.push_back(home.y());
    }
    xs.insert(xs.end(), {bounds.left(), maxX});
    ys.insert(ys.end(), {bounds.top(), maxY});
    for (const QRect& r : others) {
        xs.push_back(r.right() + 1);
        xs.push_back(r.left() - size.width());
        ys.push_back(r.bottom() + 1);
        ys.push_back(r.top() - size.height());
    }
    QPoint best = home;
    qint64 bestCover = std::numeric_limits<qint64>::max();
    int bestDistance = std::numeric_limits<int>::max();
    for (int x : xs) {
        x = std::clamp(x, bounds.left(), maxX);
        for (int y : ys) {
            y = std::clamp(y, bounds.top(), maxY);
            const QRect place(QPoint(x, y), size);
            qint64 cover = 0;
            for (const QRect& r : others) {
                const QRect i = r.intersected(place);
                if (!i.isEmpty()) cover += qint64(i.width()) * i.height();
            }
            const int distance = (QPoint(x, y) - home).manhattanLength();
            if (cover < bestCover || (cover == bestCover && distance < bestDistance)) {
                best = QPoint(x, y);
                bestCover = cover;
                bestDistance = distance;
            }
        }
    }
    return best;
}

}  // namespace zelmora::platform
