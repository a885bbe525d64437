#include "shell/WindowPlacement.h"

#include <QEvent>
#include <QWidget>
#include <algorithm>

#include "platform/os/Placement.h"
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

QPoint choose(QSize area, QSize size, const QList<QRect>& others, Home home,
              const QList<QRect>& bystanders) {
    const bool right = home == Home::TopRight || home == Home::BottomRight;
    const bool bottom = home == Home::BottomLeft || home == Home::BottomRight;
    const QPoint homePoint(right ? std::max(0, area.width() - size.width()) : 0,
                           bottom ? std::max(0, area.height() - size.height()) : 0);
    return platform::leastCovering(QRect(QPoint(0, 0), area), size, others, homePoint, false,
                                   bystanders);
}

namespace {

void place(const QString& name, QWidget* frame) {
    QWidget* area = frame->parentWidget();
    // Its partners first; then, where that leaves a choice, every other open window.
    const QStringList partners = partnersOf(name);
    QList<QRect> others, bystanders;
    for (const QString& loaded : windows().loadedNames()) {
        QWidget* f = frameOf(windows().ifLoaded(loaded));
        if (f == frame || !f->isVisible() || f->parentWidget() != area) continue;
        (partners.contains(loaded) ? others : bystanders) << f->geometry();
    }
    frame->move(choose(area->size(), frame->size(), others, homeOf(name), bystanders));
}

// Some windows give their frame its size only as they are first shown: the
// frame is placed again then, for the size it really has, unless the window
// moved it to a place of its own.
class PlaceAgainOnShow : public QObject {
public:
    PlaceAgainOnShow(QString name, QWidget* frame)
        : QObject(frame), name_(std::move(name)), placed_(frame->pos()) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show || watched != parent()) return false;
        auto* frame = static_cast<QWidget*>(watched);
        if (frame->pos() == placed_) place(name_, frame);
        deleteLater();
        frame->removeEventFilter(this);
        return false;
    }

private:
    QString name_;
    QPoint placed_;
};

// A frame put back where it was left stays there while its title bar and at
// least half of it (as much as the area could show) are in view; else it comes
// inside as far as it fits.
void bringIntoView(QWidget* frame) {
    QWidget* area = frame->parentWidget();
    const QRect g = frame->geometry();
    const QRect seen = g.intersected(QRect(QPoint(0, 0), area->size()));
    const QSize could = g.size().boundedTo(area->size());
    if (g.top() >= 0 && seen.width() * 2 >= could.width() && seen.height() * 2 >= could.height())
        return;
    keepInside(frame);
}

// A frame put back where it was left comes inside once more as it is first
// shown: the main window may have been made smaller since it was left there.
class KeepInsideOnShow : public QObject {
public:
    explicit KeepInsideOnShow(QWidget* frame) : QObject(frame) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show || watched != parent()) return false;
        auto* frame = static_cast<QWidget*>(watched);
        bringIntoView(frame);
        deleteLater();
        frame->removeEventFilter(this);
        return false;
    }
};

}  // namespace

void placeOnFirstOpening(const QString& name, QWidget* frame) {
    if (!frame || !frame->parentWidget()) return;
    place(name, frame);
    if (!frame->isVisible()) frame->installEventFilter(new PlaceAgainOnShow(name, frame));
}

void keepInside(QWidget* frame) {
    QWidget* area = frame ? frame->parentWidget() : nullptr;
    if (!area) return;
    const QRect g = frame->geometry();
    const int x = std::max(0, std::min(g.x(), area->width() - g.width()));
    const int y = std::max(0, std::min(g.y(), area->height() - g.height()));
    if (x != g.x() || y != g.y()) frame->move(x, y);
}

void reopenInside(QWidget* frame) {
    if (!frame || !frame->parentWidget()) return;
    bringIntoView(frame);
    if (!frame->isVisible()) frame->installEventFilter(new KeepInsideOnShow(frame));
}

}  // namespace zelmora::WindowPlacement
