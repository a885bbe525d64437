#include "shell/WindowPlacement.h"

#include <QWidget>
#include <algorithm>
#include <limits>
#include <vector>

#include "shell/WindowRegistry.h"

namespace zelmora::WindowPlacement {

namespace {

// The roads: the focus road, the capture road, the autofocus run beside the
// focus road, the frame image with its histogram, the calculator that fills the
// capture window, and the sky tools.
const QList<QStringList>& roads() {
    static const QList<QStringList> r = {
        {Win::frmImageDisp, Win::frmAnalyze, Win::frmCameraControl},
        {Win::frmCapture, Win::frmAutomate, Win::frmCameraControl},
        {Win::frmAutofocus, Win::frmAutoFocusRslts, Win::frmImageDisp, Win::frmAnalyze,
         Win::frmCameraControl},
        {Win::frmImage1, Win::frmHistogram},
        {Win::frmExpCalc, Win::frmCapture},
        {Win::frmScopeControl, Win::frmCustomObjects, Win::frmMoonPhase},
    };
    return r;
}

qint64 overlap(const QRect& a, const QRect& b) {
    const QRect i = a.intersected(b);
    return i.isEmpty() ? 0 : qint64(i.width()) * i.height();
}

}  // namespace

QStringList partnersOf(const QString& name) {
    QStringList partners;
    for (const QStringList& road : roads()) {
        if (!road.contains(name)) continue;
        for (const QString& other : road)
            if (other != name && !partners.contains(other)) partners << other;
    }
    return partners;
}

Home homeOf(const QString& name) {
    // The camera window opens first on both roads: at the lower right it is clear
    // of the analysis (top left) and covers the least of the focus frame (top
    // right). Small helpers start at the right, clear of the capture window.
    if (name == Win::frmCameraControl) return Home::BottomRight;
    if (name == Win::frmAutomate || name == Win::frmAutoFocusRslts) return Home::BottomLeft;
    if (name == Win::frmHistogram || name == Win::frmExpCalc) return Home::TopRight;
    return Home::TopLeft;
}

QPoint choose(QSize area, QSize size, const QList<QRect>& others, Home home) {
    const int maxX = std::max(0, area.width() - size.width());
    const int maxY = std::max(0, area.height() - size.height());
    std::vector<int> xs = {0, maxX}, ys = {0, maxY};
    for (const QRect& r : others) {
        xs.push_back(r.right() + 1);
        xs.push_back(r.left() - size.width());
        ys.push_back(r.bottom() + 1);
        ys.push_back(r.top() - size.height());
    }
    const bool right = home == Home::TopRight || home == Home::BottomRight;
    const bool bottom = home == Home::BottomLeft || home == Home::BottomRight;
    const QPoint homePoint(right ? maxX : 0, bottom ? maxY : 0);
    QPoint best = homePoint;
    qint64 bestCover = std::numeric_limits<qint64>::max();
    int bestDistance = std::numeric_limits<int>::max();
    for (int x : xs) {
        x = std::clamp(x, 0, maxX);
        for (int y : ys) {
            y = std::clamp(y, 0, maxY);
            const QRect place(QPoint(x, y), size);
            qint64 cover = 0;
            for (const QRect& r : others) cover += overlap(place, r);
            const int distance = (QPoint(x, y) - homePoint).manhattanLength();
            if (cover < bestCover || (cover == bestCover && distance < bestDistance)) {
                best = QPoint(x, y);
                bestCover = cover;
                bestDistance = distance;
            }
        }
    }
    return best;
}

void placeOnFirstOpening(const QString& name, QWidget* frame) {
    QWidget* area = frame ? frame->parentWidget() : nullptr;
    if (!area) return;
    QList<QRect> others;
    for (const QString& partner : partnersOf(name)) {
        QWidget* w = windows().ifLoaded(partner);
        if (!w) continue;
        QWidget* f = frameOf(w);
        if (f != frame && f->isVisible() && f->parentWidget() == area) others << f->geometry();
    }
    frame->move(choose(area->size(), frame->size(), others, homeOf(name)));
}

void keepInside(QWidget* frame) {
    QWidget* area = frame ? frame->parentWidget() : nullptr;
    if (!area) return;
    const QRect g = frame->geometry();
    const int x = std::max(0, std::min(g.x(), area->width() - g.width()));
    const int y = std::max(0, std::min(g.y(), area->height() - g.height()));
    if (x != g.x() || y != g.y()) frame->move(x, y);
}

}  // namespace zelmora::WindowPlacement
