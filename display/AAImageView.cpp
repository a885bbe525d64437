#include "display/AAImageView.h"

#include <QAction>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <cmath>

#include "shell/Conv.h"
#include "shell/MainWindow.h"
#include "shell/NightColours.h"

namespace zelmora::display {

namespace viewscale {

std::optional<double> factor(int index) {
    static constexpr double kTable[kSteps] = {0.25, 0.5, 0.75, 1.0, 1.25, 1.5,
                                              1.75, 2.0, 3.0,  4.0, 0.1,  0.15};
    if (index < 0 || index >= kSteps) return std::nullopt;
    return kTable[index];
}

QSize scaledSize(QSize picture, int index) {
    const double f = factor(index).value_or(1.0);
    return {static_cast<int>(std::floor(picture.width() * f)),
            static_cast<int>(std::floor(picture.height() * f))};
}

Bar barFor(int mainExtent, int viewExtent) {
    if (mainExtent - kBarInset > viewExtent) return {};
    Bar b;
    b.enabled = true;
    // Plain ints: a large picture at 400 % passes the 16-bit limit.
    b.max = mainExtent - kBarInset - viewExtent;
    b.value = static_cast<std::int32_t>(Conv::roundHalfEven(b.max / 2.0));
    return b;
}

int centred(int mainExtent, int viewExtent) {
    return static_cast<int>(Conv::roundHalfEven((mainExtent - viewExtent - kBarInset) / 2.0));
}

}  // namespace viewscale

namespace {

QImage makeReticle(int side, bool bullsEye) {
    // Black stays as it is under MERGEPAINT; the white marks come out white.
    QImage img(side, side, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setPen(QPen(Qt::black, 1));
    const int c = side / 2;
    if (bullsEye) {
        p.setRenderHint(QPainter::Antialiasing);
        for (int r = 20; r < c; r += 25) p.drawEllipse(QPoint(c, c), r, r);
        p.drawLine(c, 0, c, c - 8);
        p.drawLine(c, c + 8, c, side);
        p.drawLine(0, c, c - 8, c);
        p.drawLine(c + 8, c, side, c);
    } else {
        p.drawLine(c, 0, c, side);
        p.drawLine(0, c, side, c);
        p.drawEllipse(QPoint(c, c), 12, 12);
    }
    return img;
}

}  // namespace

const QImage& AAImageView::crosshairPicture() {
    static const QImage img = makeReticle(85, false);
    return img;
}

const QImage& AAImageView::bullsEyePicture() {
    static const QImage img = makeReticle(218, true);
    return img;
}

AAImageView::AAImageView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("AAImageView"));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    hsc_ = new QScrollBar(Qt::Horizontal, this);
    hsc_->setObjectName(QStringLiteral("hscPicture"));
    vsc_ = new QScrollBar(Qt::Vertical, this);
    vsc_->setObjectName(QStringLiteral("vscPicture"));
    // The corner square between the bars shows the view's own background.
    picTemp_ = new QWidget(this);
    picTemp_->setObjectName(QStringLiteral("picTemp"));
    hbar_.attach(hsc_);
    vbar_.attach(vsc_);
    hbar_.onChange = [this](std::int32_t v) {
        viewPos_.setX(v);
        update();
    };
    vbar_.onChange = [this](std::int32_t v) {
        viewPos_.setY(v);
        update();
    };
    hbar_.setSteps(smallX_, largeX_);
    vbar_.setSteps(smallY_, largeY_);
    setBackColor(backColor_);
    refit();
}

void AAImageView::setBackColor(std::uint32_t bgr) {
    backColor_ = bgr;
    update();
}

void AAImageView::setPicture(const QImage& picture) {
    picture_ = picture;
    refit();
}

void AAImageView::setScalePercent(int index) {
    if (!viewscale::factor(index)) return;
    scaleIndex_ = index;
    refit();
}

void AAImageView::setLargChangeX(int v) {
    largeX_ = v;
    hbar_.setSteps(smallX_, largeX_);
}
void AAImageView::setSmallChangeX(int v) {
    smallX_ = v;
    hbar_.setSteps(smallX_, largeX_);
}
void AAImageView::setLargChangeY(int v) {
    largeY_ = v;
    vbar_.setSteps(smallY_, largeY_);
}
void AAImageView::setSmallChangeY(int v) {
    smallY_ = v;
    vbar_.setSteps(smallY_, largeY_);
}

// Only a new picture, scale or size comes here: a paint never moves the view.
void AAImageView::refit() {
    applyScale();
    configureBars();
    SetPictureCenter();
}

void AAImageView::applyScale() {
    viewSize_ = picture_.isNull() ? QSize() : viewscale::scaledSize(picture_.size(), scaleIndex_);
    // The reticle belongs to the drawing it was put on.
    overlayShown_ = false;
    update();
}

void AAImageView::configureBars() {
    const auto setup = [](BarModel& bar, viewscale::Bar b) {
        bar.setEnabled(b.enabled);
        if (!b.enabled) return;
        bar.setMin(0);
        bar.setMax(b.max);
        bar.setValue(b.value);
    };
    setup(hbar_, viewscale::barFor(mainWidth(), viewSize_.width()));
    setup(vbar_, viewscale::barFor(mainHeight(), viewSize_.height()));
}

void AAImageView::SetPictureCenter() {
    viewPos_ = {viewscale::centred(mainWidth(), viewSize_.width()),
                viewscale::centred(mainHeight(), viewSize_.height())};
    update();
}

void AAImageView::layoutBars() {
    using namespace viewscale;
    const int w = mainWidth(), h = mainHeight();
    vsc_->setGeometry(w - kBarInset, 0, kBarThickness, std::max(h - kBarInset, 0));
    hsc_->setGeometry(0, h - kBarInset, std::max(w - kBarInset, 0), kBarThickness);
    picTemp_->setGeometry(w - kBarInset, h - kBarInset, kBarInset, kBarInset);
}

void AAImageView::resizeEvent(QResizeEvent*) {
    layoutBars();
    configureBars();
    SetPictureCenter();
}

QRect AAImageView::overlayRect() const {
    if (!overlayShown_ || !overlay_) return {};
    const QSize s = overlay_->size();
    return {viewPos_.x() + viewSize_.width() / 2 - s.width() / 2,
            viewPos_.y() + viewSize_.height() / 2 - s.height() / 2, s.width(), s.height()};
}

void AAImageView::paintEvent(QPaintEvent* event) {
    const QRect area = event->rect();
    if (!NightColours::on()) {
        QPainter p(this);
        paintView(p, area);
        return;
    }
    // At night the view is drawn aside and shown in red, the overlay's marks too.
    QImage view(area.size(), QImage::Format_RGB32);
    {
        QPainter p(&view);
        p.translate(-area.topLeft());
        paintView(p, area);
    }
    QPainter(this).drawImage(area.topLeft(), NightColours::picture(view));
}

void AAImageView::paintView(QPainter& p, const QRect& area) {
    p.fillRect(area, NightColours::background(Conv::colorFromBgr(backColor_), palette()));
    if (picture_.isNull() || viewSize_.isEmpty()) return;
    // Only the part of the picture in sight is scaled and drawn.
    const QRect view(viewPos_, viewSize_);
    // Nothing under the bars or the corner square.
    const QRect visible(0, 0, std::max(mainWidth() - viewscale::kBarInset, 0),
                        std::max(mainHeight() - viewscale::kBarInset, 0));
    const QRect target = view & area & visible;
    if (!target.isEmpty()) {
        const double sx = double(picture_.width()) / view.width();
        const double sy = double(picture_.height()) / view.height();
        const QRectF source((target.x() - view.x()) * sx, (target.y() - view.y()) * sy,
                            target.width() * sx, target.height() * sy);
        p.setRenderHint(QPainter::SmoothPixmapTransform, sx > 1.0 || sy > 1.0);
        p.drawImage(QRectF(target), picture_, source);
    }
    if (const QRect o = overlayRect(); !o.isEmpty()) {
        p.setClipRect(view & visible);
        // MERGEPAINT: NOT source OR destination.
        p.setCompositionMode(QPainter::RasterOp_NotSourceOrDestination);
        p.drawImage(o.topLeft(), *overlay_);
    }
}

void AAImageView::xhairon() {
    bool bullsEye = false;
    if (IMainWindow* m = mainWindow())
        if (QAction* item = m->menuItem(QStringLiteral("mnuBullsEye")))
            bullsEye = item->isChecked();
    overlay_ = bullsEye ? &bullsEyePicture() : &crosshairPicture();
    overlayShown_ = true;
    bxHairOn_ = true;
    update();
}

void AAImageView::xhairoff() {
    bxHairOn_ = false;
    applyScale();
}

void AAImageView::checkXhair() {
    if (bxHairOn_)
        xhairon();
    else
        xhairoff();
}

void AAImageView::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    emit DblClick();
}

void AAImageView::keyPressEvent(QKeyEvent* event) {
    const int k = event->key();
    if ((k == Qt::Key_Left || k == Qt::Key_Right) && hbar_.enabled())
        hsc_->setFocus();
    else if ((k == Qt::Key_Up || k == Qt::Key_Down) && vbar_.enabled())
        vsc_->setFocus();
    else
        QWidget::keyPressEvent(event);
}

}  // namespace zelmora::display
