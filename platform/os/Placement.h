#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <algorithm>
#include <limits>
#include <tuple>
#include <vector>

namespace zelmora::platform {

// The top-left corner, inside `bounds`, for a window of `size` that covers as
// little as it can of `others`, then as little as it can of `lesser`; among
// equal places the one nearest `home`, the first tried of those as near.
// Tried: the bounds' edges and the places beside each of `others` and `lesser`,
// pulled inside the bounds; with `homeFirst`, the home's own line and column
// before them (a corner home is among the edges already).
inline QPoint leastCovering(const QRect& bounds, QSize size, const QList<QRect>& others,
                            QPoint home, bool homeFirst, const QList<QRect>& lesser = {}) {
    const int maxX = std::max(bounds.left(), bounds.right() + 1 - size.width());
    const int maxY = std::max(bounds.top(), bounds.bottom() + 1 - size.height());
    std::vector<int> xs, ys;
    if (homeFirst) {
        xs.push_back(home.x());
        ys.push_back(home.y());
    }
    xs.insert(xs.end(), {bounds.left(), maxX});
    ys.insert(ys.end(), {bounds.top(), maxY});
    for (const QList<QRect>* rects : {&others, &lesser}) {
        for (const QRect& r : *rects) {
            xs.push_back(r.right() + 1);
            xs.push_back(r.left() - size.width());
            ys.push_back(r.bottom() + 1);
            ys.push_back(r.top() - size.height());
        }
    }
    const auto covered = [&](const QRect& place, const QList<QRect>& rects) {
        qint64 cover = 0;
        for (const QRect& r : rects) {
            const QRect i = r.intersected(place);
            if (!i.isEmpty()) cover += qint64(i.width()) * i.height();
        }
        return cover;
    };
    QPoint best = home;
    qint64 bestCover = std::numeric_limits<qint64>::max();
    qint64 bestLesser = std::numeric_limits<qint64>::max();
    int bestDistance = std::numeric_limits<int>::max();
    for (int x : xs) {
        x = std::clamp(x, bounds.left(), maxX);
        for (int y : ys) {
            y = std::clamp(y, bounds.top(), maxY);
            const QRect place(QPoint(x, y), size);
            const qint64 cover = covered(place, others);
            const qint64 lesserCover = covered(place, lesser);
            const int distance = (QPoint(x, y) - home).manhattanLength();
            if (std::tie(cover, lesserCover, distance) <
                std::tie(bestCover, bestLesser, bestDistance)) {
                best = QPoint(x, y);
                bestCover = cover;
                bestLesser = lesserCover;
                bestDistance = distance;
            }
        }
    }
    return best;
}

}  // namespace zelmora::platform
