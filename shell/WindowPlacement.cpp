#include "shell/WindowPlacement.h"

#include <QEvent>
#include <QWidget>
#include <algorithm>
#include <functional>

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

// Some windows give their frame its size only as they are first shown: what
// placed the frame while it was hidden places it again then, for the size it
// really has.
class AgainOnFirstShow : public QObject {
public:
    AgainOnFirstShow(QWidget* frame, std::function<void(QWidget*)> again)
        : QObject(frame), again_(std::move(again)) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show || watched != parent()) return false;
        auto* frame = static_cast<QWidget*>(watched);
        again_(frame);
        deleteLater();
        frame->removeEventFilter(this);
        return false;
    }

private:
    std::function<void(QWidget*)> again_;
};

void onFirstShow(QWidget* frame, std::function<void(QWidget*)> again) {
    if (!frame->isVisible())
        frame->installEventFilter(new AgainOnFirstShow(frame, std::move(again)));
}

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

}  // namespace

void placeOnFirstOpening(const QString& name, QWidget* frame) {
    if (!frame || !frame->parentWidget()) return;
    place(name, frame);
    // Unless the window moved its frame to a place of its own meanwhile.
    onFirstShow(frame, [name, placed = frame->pos()](QWidget* f) {
        if (f->pos() == placed) place(name, f);
    });
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
    // The main window may have been made smaller since it was left there.
    onFirstShow(frame, bringIntoView);
}

}  // namespace zelmora::WindowPlacement
