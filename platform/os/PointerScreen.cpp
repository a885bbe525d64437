#include "platform/os/PointerScreen.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

namespace zelmora::platform {

namespace {
std::shared_ptr<CursorService>& cursorSlot() {
    static std::shared_ptr<CursorService> s;
    return s;
}
std::shared_ptr<ScreenGrabber>& grabberSlot() {
    static std::shared_ptr<ScreenGrabber> s;
    return s;
}
}  // namespace

CursorService& CursorService::instance() {
    auto& s = cursorSlot();
    if (!s) s = std::make_shared<QtCursorService>();
    return *s;
}

void CursorService::setInstance(std::shared_ptr<CursorService> service) {
    cursorSlot() = std::move(service);
}

QPoint QtCursorService::pos() const {
    return QCursor::pos();
}

void QtCursorService::setPos(const QPoint& p) {
    QCursor::setPos(p);
}

QRect limitGrabArea(const QRect& area) {
    QRect r = area;
    if (r.width() > ScreenGrabber::kMaxSide) r.setWidth(ScreenGrabber::kMaxSide);
    if (r.height() > ScreenGrabber::kMaxSide) r.setHeight(ScreenGrabber::kMaxSide);
    return r;
}

ScreenGrabber& ScreenGrabber::instance() {
    auto& s = grabberSlot();
    if (!s) s = std::make_shared<QtScreenGrabber>();
    return *s;
}

void ScreenGrabber::setInstance(std::shared_ptr<ScreenGrabber> service) {
    grabberSlot() = std::move(service);
}

QImage QtScreenGrabber::grab(const QRect& area) {
    const QRect r = limitGrabArea(area);
    if (r.isEmpty()) return {};
    QScreen* screen = QGuiApplication::screenAt(r.center());
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return {};
    // Window 0 is the whole desktop; the coordinates are the screen's own.
    const QPoint origin = screen->geometry().topLeft();
    return screen->grabWindow(0, r.x() - origin.x(), r.y() - origin.y(), r.width(), r.height())
        .toImage();
}

QImage RecordingGrabber::grab(const QRect& area) {
    const QRect r = limitGrabArea(area);
    areas.push_back(r);
    if (source) return source(r);
    QImage image(r.size(), QImage::Format_RGB32);
    image.fill(Qt::gray);
    return image;
}

}  // namespace zelmora::platform
