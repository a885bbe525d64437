#include "display/frmZoomer.h"

#include <QCloseEvent>
#include <QPainter>

#include "display/ZoomerPolicy.h"
#include "platform/os/PointerScreen.h"
#include "platform/time/Timer.h"
#include "shell/Errors.h"
#include "shell/MainWindow.h"
#include "shell/NightColours.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"

namespace zelmora::display {

void ZoomPane::setPicture(const QImage& picture) {
    picture_ = picture;
    update();
}

void ZoomPane::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!picture_.isNull()) painter.drawImage(0, 0, NightColours::picture(picture_));
}

frmZoomer::frmZoomer(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus) {
    setObjectName(QStringLiteral("frmZoomer"));
    setWindowTitle(kDesignCaption);
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(zoom::kInnerSide, zoom::kInnerSide);
    Picture1 = new ZoomPane(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(zoom::kPaneInset, zoom::kPaneInset, zoom::kPaneSide, zoom::kPaneSide);
    Picture1->raise();

    InvokeZoom();
    Timer1 = new platform::Timer(this);
    connect(Timer1, &platform::Timer::timeout, this, [this] { Timer1_Timer(); });
    Timer1->setInterval(100);
    state().bZoomActive = true;
    windows().markLoaded(Win::frmZoomer, this);
}

frmZoomer::~frmZoomer() {
    if (!unloaded_) {
        state().bZoomActive = false;
        if (windows().ifLoaded(Win::frmZoomer) == this) windows().markUnloaded(Win::frmZoomer);
    }
}

int frmZoomer::zoomFactor() {
    IMainWindow* m = mainWindow();
    return m ? m->zoomFactor() : 3;
}

void frmZoomer::InvokeZoom() {
    guarded([&] { side_ = zoom::sideFor(zoomFactor(), side_); });
}

void frmZoomer::Timer1_Timer() {
    // Hands off the screen while a message box is up.
    if (state().bMsgBoxShowing) return;
    guarded([&] {
        const QPoint pointer = platform::CursorService::instance().pos();
        platform::ScreenGrabber& grabber = platform::ScreenGrabber::instance();
        const int inner = width();
        if (zoomFactor() != 1) {
            const QImage square = grabber.grab(zoom::sourceSquare(pointer, side_));
            Picture1->setPicture(
                square.scaled(inner, inner, Qt::IgnoreAspectRatio, Qt::FastTransformation));
        } else {
            Picture1->setPicture(grabber.grab(zoom::unscaledSource(pointer, inner)));
        }
        // To the front without taking the keyboard from the focus frame.
        raise();
    });
}

void frmZoomer::mouseDoubleClickEvent(QMouseEvent*) {
    InvokeZoom();
}

void frmZoomer::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void frmZoomer::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    Timer1->setEnabled(false);
    state().bZoomActive = false;
    windows().markUnloaded(Win::frmZoomer);
}

}  // namespace zelmora::display
