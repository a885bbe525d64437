#include "display/frmFullScreen.h"

#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QPainter>

#include "display/PictureFile.h"
#include "shell/Errors.h"
#include "shell/Neighbours.h"
#include "shell/NightColours.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"

namespace zelmora::display {

ScreenFit fitToScreen(QSize picture, QSize window) {
    ScreenFit f;
    const int w = picture.width(), h = picture.height();
    if (w <= 0 || h <= 0 || window.isEmpty()) return f;
    f.orientation = h < w ? QStringLiteral("1") : h > w ? QStringLiteral("0") : QStringLiteral("2");
    if (h < w) f.ratio = static_cast<float>(h) / static_cast<float>(w);
    if (h > w) f.ratio = static_cast<float>(w) / static_cast<float>(h);
    // Inside both ways: a 3:2 frame on a 16:10 screen keeps its top and bottom.
    const double scale = std::min(double(window.width()) / w, double(window.height()) / h);
    const double bw = w * scale, bh = h * scale;
    f.box = QRectF((window.width() - bw) / 2.0, (window.height() - bh) / 2.0, bw, bh);
    return f;
}

QString fullScreenCaption(const QString& path, int frame, int total) {
    if (total == 0) return path;
    return path + QStringLiteral("  -  Exposure: ") + QString::number(frame) +
           QStringLiteral(" of ") + QString::number(total);
}

frmFullScreen::frmFullScreen(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmFullScreen"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_OpaquePaintEvent);
    lblfile = new QLabel(this);
    lblfile->setObjectName(QStringLiteral("lblfile"));
    // Colours of the label's own, in its palette, which night vision carries.
    QPalette dark = lblfile->palette();
    dark.setColor(QPalette::WindowText, QColor(128, 0, 0));
    dark.setColor(QPalette::Window, Qt::black);
    lblfile->setPalette(dark);
    lblfile->setAutoFillBackground(true);
    lblfile->setAttribute(Qt::WA_TransparentForMouseEvents);
    windows().markLoaded(Win::frmFullScreen, this);
    loadStep();
}

frmFullScreen::~frmFullScreen() {
    if (!unloaded_) {
        state().vFullScreenOpen = false;
        if (windows().ifLoaded(Win::frmFullScreen) == this)
            windows().markUnloaded(Win::frmFullScreen);
    }
}

void frmFullScreen::reloadImage() {
    loadStep();
    // Fit again: a frame of another orientation is never stretched into the last box.
    refit();
}

void frmFullScreen::loadStep() {
    // Each step on its own: a failing one is skipped and the next runs.
    guarded([&] { setWindowState(windowState() | Qt::WindowMaximized); });
    QString path;
    guarded([&] {
        if (auto* capture = windows().ifLoadedAs<ICaptureWindow>(Win::frmCapture))
            path = capture->sPicToshow();
        lblfile->setText(path);
    });
    guarded([&] {
        // Shown as a path reads: a folder given with a trailing slash and joined
        // again must not show "zelmora//IMG".
        const QString shown = path.isEmpty() ? path : QDir::cleanPath(path);
        lblfile->setText(fullScreenCaption(shown, state().iSequenceFrame, state().iSequenceTotal));
        lblfile->adjustSize();
    });
    guarded([&] { picture_ = loadPicture(path); });  // a failed load keeps the old picture
    state().vFullScreenOpen = true;
}

void frmFullScreen::refit() {
    fit_ = fitToScreen(picture_.size(), size());
    scaled_ = picture_.isNull() || fit_.box.isEmpty()
                  ? QImage()
                  : picture_.scaled(fit_.box.size().toSize(), Qt::IgnoreAspectRatio,
                                    Qt::SmoothTransformation);
    lblfile->move(0, 0);
    lblfile->raise();
    update();
}

void frmFullScreen::resizeEvent(QResizeEvent*) {
    refit();
}

void frmFullScreen::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.fillRect(event->rect(), Qt::black);
    if (!scaled_.isNull()) p.drawImage(fit_.box.topLeft(), NightColours::picture(scaled_));
}

void frmFullScreen::mousePressEvent(QMouseEvent*) {
    close();
}

void frmFullScreen::closeEvent(QCloseEvent* event) {
    if (!unloaded_) {
        unloaded_ = true;
        state().vFullScreenOpen = false;
        windows().markUnloaded(Win::frmFullScreen);
    }
    event->accept();
}

}  // namespace zelmora::display
