#include "display/SuperPicCtl.h"

#include <QAction>
#include <QApplication>
#include <QBitmap>
#include <QCursor>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolButton>

#include "display/AAImageView.h"
#include "display/SuperPicLayout.h"
#include "platform/os/Dialogs.h"
#include "platform/time/Timer.h"
#include "shell/AppPaths.h"
#include "shell/Conv.h"
#include "shell/MainWindow.h"
#include "shell/ProgramState.h"

namespace zelmora::display {

using namespace superpic;

namespace {

// A four-way arrow, hot spot (8, 7); `arm` sets its size.
QCursor panCursor(int arm) {
    QBitmap shape(32, 32);
    QBitmap mask(32, 32);
    shape.fill(Qt::color0);
    mask.fill(Qt::color0);
    const QPoint c(8, 7);
    auto draw = [&](QBitmap& bm, int width) {
        QPainter p(&bm);
        p.setPen(QPen(Qt::color1, width, Qt::SolidLine, Qt::SquareCap));
        p.drawLine(c.x() - arm, c.y(), c.x() + arm, c.y());
        p.drawLine(c.x(), c.y() - arm, c.x(), c.y() + arm);
        for (int s : {-1, 1}) {
            p.drawLine(c.x() + s * arm, c.y(), c.x() + s * (arm - 2), c.y() - 2);
            p.drawLine(c.x() + s * arm, c.y(), c.x() + s * (arm - 2), c.y() + 2);
            p.drawLine(c.x(), c.y() + s * arm, c.x() - 2, c.y() + s * (arm - 2));
            p.drawLine(c.x(), c.y() + s * arm, c.x() + 2, c.y() + s * (arm - 2));
        }
    };
    draw(shape, 1);
    draw(mask, 3);  // a white rim around the black arrow
    return QCursor(shape, mask, c.x(), c.y());
}

// Made when needed, never kept in a static: a cursor's bitmaps must go before
// the application does.
QCursor cursor101() {
    return panCursor(5);
}
QCursor cursor102() {
    return panCursor(7);
}

QIcon signIcon(bool plus) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(3, 8, 13, 8);
    if (plus) p.drawLine(8, 3, 8, 13);
    return QIcon(pm);
}

std::int16_t buttonCode(Qt::MouseButtons b) {
    std::int16_t code = 0;
    if (b & Qt::LeftButton) code |= 1;
    if (b & Qt::RightButton) code |= 2;
    if (b & Qt::MiddleButton) code |= 4;
    return code;
}

std::int16_t shiftCode(Qt::KeyboardModifiers m) {
    std::int16_t code = 0;
    if (m & Qt::ShiftModifier) code |= 1;
    if (m & Qt::ControlModifier) code |= 2;
    if (m & Qt::AltModifier) code |= 4;
    return code;
}

std::int16_t keyCode(int key) {
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return static_cast<std::int16_t>(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12)
        return static_cast<std::int16_t>(112 + key - Qt::Key_F1);
    switch (key) {
        case Qt::Key_Backspace:
            return 8;
        case Qt::Key_Tab:
            return 9;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return 13;
        case Qt::Key_Shift:
            return 16;
        case Qt::Key_Control:
            return 17;
        case Qt::Key_Alt:
            return 18;
        case Qt::Key_Escape:
            return 27;
        case Qt::Key_Space:
            return 32;
        case Qt::Key_PageUp:
            return 33;
        case Qt::Key_PageDown:
            return 34;
        case Qt::Key_End:
            return 35;
        case Qt::Key_Home:
            return 36;
        case Qt::Key_Left:
            return 37;
        case Qt::Key_Up:
            return 38;
        case Qt::Key_Right:
            return 39;
        case Qt::Key_Down:
            return 40;
        case Qt::Key_Insert:
            return 45;
        case Qt::Key_Delete:
            return 46;
        default:
            return 0;
    }
}

QPainter::CompositionMode modeFor(std::int32_t opcode) {
    switch (static_cast<std::uint32_t>(opcode)) {
        case 0xBB0226:
            return QPainter::RasterOp_NotSourceOrDestination;  // merge paint
        case 0x8800C6:
            return QPainter::RasterOp_SourceAndDestination;
        case 0xEE0086:
            return QPainter::RasterOp_SourceOrDestination;
        case 0x660046:
            return QPainter::RasterOp_SourceXorDestination;
        case 0x330008:
            return QPainter::RasterOp_NotSource;
        default:
            return QPainter::CompositionMode_Source;  // plain copy
    }
}

}  // namespace

// The frame: paints its ground and passes double-clicks on.
class SuperPicCtl::MainFrame : public QWidget {
public:
    MainFrame(SuperPicCtl* owner) : QWidget(owner), owner_(owner) {
        setObjectName(QStringLiteral("picMain"));
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter(this).fillRect(event->rect(), owner_->colourOf(owner_->frameBackColor_));
    }
    void mouseDoubleClickEvent(QMouseEvent*) override { emit owner_->DblClick(); }

private:
    SuperPicCtl* owner_;
};

// The shown picture: a widget of the virtual zoomed size whose paints draw
// only the exposed part.
class SuperPicCtl::View : public QWidget {
public:
    View(QWidget* parent, SuperPicCtl* owner) : QWidget(parent), owner_(owner) {
        setObjectName(QStringLiteral("picView"));
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFocusPolicy(Qt::ClickFocus);
        setMouseTracking(true);
    }

protected:
    void paintEvent(QPaintEvent* event) override { owner_->paintView(event); }
    void mousePressEvent(QMouseEvent* event) override { owner_->viewMouseDown(event); }
    void mouseMoveEvent(QMouseEvent* event) override { owner_->viewMouseMove(event); }
    void mouseReleaseEvent(QMouseEvent* event) override { owner_->viewMouseUp(event); }
    void mouseDoubleClickEvent(QMouseEvent*) override {
        owner_->afterDblClick_ = true;
        emit owner_->DblClick();
    }
    void keyPressEvent(QKeyEvent* event) override { owner_->viewKey(event, true); }
    void keyReleaseEvent(QKeyEvent* event) override { owner_->viewKey(event, false); }

private:
    SuperPicCtl* owner_;
};

SuperPicCtl::SuperPicCtl(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("SuperPicCtl"));
    setFocusPolicy(Qt::StrongFocus);
    picMain_ = new MainFrame(this);
    picView_ = new View(picMain_, this);
    picView_->hide();        // until the first reset of the view
    picView_->resize(0, 0);  // no picture: no bars
    hsc_ = new QScrollBar(Qt::Horizontal, picMain_);
    hsc_->setObjectName(QStringLiteral("hscPicture"));
    hsc_->resize(100, kBarThickness);
    vsc_ = new QScrollBar(Qt::Vertical, picMain_);
    vsc_->setObjectName(QStringLiteral("vscPicture"));
    vsc_->resize(kBarThickness, 100);
    picTemp_ = new QWidget(picMain_);
    picTemp_->setObjectName(QStringLiteral("picTemp"));
    picTemp_->setAutoFillBackground(true);
    picTemp_->hide();
    picTemp_->raise();

    hbar_.attach(hsc_);
    vbar_.attach(vsc_);
    hbar_.onChange = [this](std::int32_t v) { picView_->move(v, picView_->y()); };
    vbar_.onChange = [this](std::int32_t v) { picView_->move(picView_->x(), v); };
    // Only the horizontal thumb reports a drag.
    connect(hsc_, &QScrollBar::sliderMoved, this, [this] { emit Scroll(); });

    tbrQuickFloat_ = new QWidget(this);
    tbrQuickFloat_->setObjectName(QStringLiteral("tbrQuickFloat"));
    tbrQuickFloat_->setAutoFillBackground(true);
    auto* row = new QHBoxLayout(tbrQuickFloat_);
    row->setContentsMargins(1, 1, 1, 1);
    row->setSpacing(1);
    btnZoomIn_ = new QToolButton(tbrQuickFloat_);
    btnZoomIn_->setObjectName(QStringLiteral("btnZoomIn"));
    btnZoomIn_->setIcon(signIcon(true));
    btnZoomIn_->setToolTip(QStringLiteral("Zoom In"));
    btnZoomOut_ = new QToolButton(tbrQuickFloat_);
    btnZoomOut_->setObjectName(QStringLiteral("btnZoomOut"));
    btnZoomOut_->setIcon(signIcon(false));
    btnZoomOut_->setToolTip(QStringLiteral("Zoom Out"));
    row->addWidget(btnZoomIn_);
    row->addWidget(btnZoomOut_);
    btnZoomIn_->setEnabled(false);
    btnZoomOut_->setEnabled(false);
    connect(btnZoomIn_, &QToolButton::clicked, this, [this] { emit ZoomInClick(); });
    connect(btnZoomOut_, &QToolButton::clicked, this, [this] { emit ZoomOutClick(); });
    tbrQuickFloat_->adjustSize();
    tbrQuickFloat_->move(2, 2);
    tbrQuickFloat_->hide();  // the first tick over the control shows it

    // Always "user mode": there is no design environment.
    timToolbar_ = new platform::Timer(this);
    connect(timToolbar_, &platform::Timer::timeout, this,
            [this] { quickBarTick(QApplication::widgetAt(QCursor::pos())); });
    timToolbar_->setInterval(100);
    timToolbar_->setEnabled(true);
}

SuperPicCtl::~SuperPicCtl() = default;

QColor SuperPicCtl::colourOf(std::uint32_t bgr) const {
    if (bgr & 0x80000000u)
        return palette().color((bgr & 0xFF) == 0x0C ? QPalette::Dark : QPalette::Window);
    return Conv::colorFromBgr(bgr);
}

void SuperPicCtl::markChanged(const QString& key) {
    if (!reading_) emit PropertyChanged(key);
}

std::int32_t SuperPicCtl::PicHeight() const {
    return picMain_->height();
}
std::int32_t SuperPicCtl::PicWidth() const {
    return picMain_->width();
}

void SuperPicCtl::setAllowZoomOut(bool on) {
    bAllowZoomOut_ = on;
    markChanged(QStringLiteral("AllowZoomOut"));
}

void SuperPicCtl::setAllowZoomIn(bool on) {
    bAllowZoomIn_ = on;
    markChanged(QStringLiteral("AllowZoomIn"));
}

void SuperPicCtl::New_AutoRedraw(bool on) {
    // Qt keeps the drawing either way; the value is kept for the host.
    autoRedraw_ = on;
    markChanged(QStringLiteral("AutoRedraw"));
}

void SuperPicCtl::New_BackColor(std::uint32_t bgr) {
    viewBackColor_ = bgr;
    frameBackColor_ = bgr;
    QPalette pal = picTemp_->palette();
    pal.setColor(QPalette::Window, colourOf(bgr));
    picTemp_->setPalette(pal);
    picMain_->update();
    picView_->update();
    markChanged(QStringLiteral("BackColor"));
}

void SuperPicCtl::New_Enabled(bool on) {
    setEnabled(on);
    markChanged(QStringLiteral("Enabled"));
}

void SuperPicCtl::New_MousePointer(std::int16_t value) {
    mousePointer_ = value;
    switch (value) {
        case 1:
            setCursor(Qt::ArrowCursor);
            break;
        case 2:
            setCursor(Qt::CrossCursor);
            break;
        case 3:
            setCursor(Qt::IBeamCursor);
            break;
        case 11:
            setCursor(Qt::WaitCursor);
            break;
        case 12:
            setCursor(Qt::ForbiddenCursor);
            break;
        case 99:
            setCursor(cursor102());
            break;
        default:
            unsetCursor();
            break;
    }
    markChanged(QStringLiteral("MousePointer"));
}

void SuperPicCtl::setPanActive(bool on) {
    bPanActive_ = on;
    markChanged(QStringLiteral("PanActive"));
    setViewPointer();
}

void SuperPicCtl::setViewPointer() {
    if (bPanActive_)
        picView_->setCursor(cursor102());
    else
        picView_->unsetCursor();
}

void SuperPicCtl::setUseQuickBar(bool on) {
    bUseQuickBar_ = on;
    if (!on) tbrQuickFloat_->hide();
    markChanged(QStringLiteral("UseQuickBar"));
}

void SuperPicCtl::setPicture(const QImage& picture) {
    picBuffer_ = picture.isNull() ? QImage() : picture.convertToFormat(QImage::Format_RGB32);
    ResetView();
    lOrigHeight_ = picView_->height();
    lOrigWidth_ = picView_->width();
    // sFileName stays: without a LoadImage, later zooms do not resize.
    New_Zoom(100);
}

void SuperPicCtl::New_Zoom(double percent) {
    const double v = clampZoom(percent);
    if (v == dZoom_) return;
    dZoom_ = v;
    RenderZoom();
    checkXhair();
    emit ZoomChanged(static_cast<std::int32_t>(Conv::roundHalfEven(v)));
}

void SuperPicCtl::checkXhair() {
    if (bXHairsOn_)
        xhairon();
    else
        xhairoff();
}

void SuperPicCtl::xhairon() {
    bool bullsEye = false;
    if (IMainWindow* m = mainWindow())
        if (QAction* item = m->menuItem(QStringLiteral("mnuBullsEye")))
            bullsEye = item->isChecked();
    const QImage& art = bullsEye ? AAImageView::bullsEyePicture() : AAImageView::crosshairPicture();
    const QPoint at(
        static_cast<int>(Conv::roundHalfEven(picView_->width() / 2.0 - art.width() / 2.0)),
        static_cast<int>(Conv::roundHalfEven(picView_->height() / 2.0 - art.height() / 2.0)));
    const std::pair<const QImage*, QPoint> entry{&art, at};
    if (std::find(overlays_.begin(), overlays_.end(), entry) == overlays_.end())
        overlays_.push_back(entry);
    bXHairsOn_ = true;
    picView_->update();
}

void SuperPicCtl::xhairoff() {
    bXHairsOn_ = false;
    RenderZoom();
}

QRect SuperPicCtl::overlayRect() const {
    if (overlays_.empty()) return {};
    return {overlays_.back().second, overlays_.back().first->size()};
}

void SuperPicCtl::Cls() {
    zoomDrawn_ = false;
    ops_.clear();
    overlays_.clear();
    picView_->update();
}

void SuperPicCtl::LoadImage(const QString& FilePath) {
    state().sCurrentProc = QStringLiteral("Super Pic ctl Loadimage");
    // Any failure ends the load silently.
    try {
        if (FilePath.isEmpty()) {
            platform::FileDialogRequest request;
            request.title = QStringLiteral("Open Image");
            request.filter = QStringLiteral("Supported Image Formats|*.gif;*.jpg;*.bmp");
            request.initialDir = AppPaths::appDir();
            // The chooser lets events run: the host may be gone when it returns.
            const QPointer<SuperPicCtl> self(this);
            const QString chosen = platform::Dialogs::openFile(request);
            if (!self || chosen.isEmpty()) return;
            sFileName_ = chosen;
        } else {
            sFileName_ = FilePath;
        }
        // The path is kept even when the file cannot be read.
        QImage loaded;
        if (!loaded.load(sFileName_)) return;
        picBuffer_ = loaded.convertToFormat(QImage::Format_RGB32);
        ResetView();
        lOrigHeight_ = picView_->height();
        lOrigWidth_ = picView_->width();
        New_Zoom(100);
        // The working directory is never changed here, so nothing to put back.
    } catch (...) {
    }
}

void SuperPicCtl::PaintPicture(const QImage& Picture, float X1, float Y1,
                               std::optional<float> Width1, std::optional<float> Height1,
                               std::optional<float> X2, std::optional<float> Y2,
                               std::optional<float> Width2, std::optional<float> Height2,
                               std::optional<std::int32_t> Opcode) {
    if (Picture.isNull()) return;
    DrawOp op;
    op.picture = Picture.convertToFormat(QImage::Format_RGB32);
    op.target =
        QRectF(X1, Y1, Width1.value_or(Picture.width()), Height1.value_or(Picture.height()));
    op.source = QRectF(X2.value_or(0), Y2.value_or(0), Width2.value_or(Picture.width()),
                       Height2.value_or(Picture.height()));
    if (!op.target.isValid() || !op.source.isValid()) return;  // an error is ignored
    op.mode = modeFor(Opcode.value_or(0xCC0020));
    ops_.push_back(std::move(op));
    picView_->update();
}

void SuperPicCtl::RecallPosition() {
    if (vbar_.max() != lVMaxStored_ || hbar_.max() != lHMaxStored_) return;
    hbar_.setValue(lHValueStored_);
    vbar_.setValue(lVValueStored_);
}

void SuperPicCtl::StorePosition() {
    lHMaxStored_ = hbar_.max();
    lHValueStored_ = hbar_.value();
    lVMaxStored_ = vbar_.max();
    lVValueStored_ = vbar_.value();
}

void SuperPicCtl::UnloadImage() {
    sFileName_.clear();
    lOrigHeight_ = 0;
    lOrigWidth_ = 0;
    picBuffer_ = QImage();
    viewPicture_ = QImage();
    Cls();
    btnZoomIn_->setEnabled(false);
    btnZoomOut_->setEnabled(false);
    // dZoom is kept.
}

void SuperPicCtl::ReadProperties(const PropertyBag& bag) {
    reading_ = true;
    auto boolean = [&](const char* key, bool fallback) {
        const QVariant v = bag.value(QLatin1String(key));
        return v.canConvert<bool>() && v.isValid() ? v.toBool() : fallback;
    };
    auto number = [&](const char* key, qlonglong fallback) {
        bool ok = false;
        const qlonglong n = bag.value(QLatin1String(key)).toLongLong(&ok);
        return ok ? n : fallback;
    };
    autoRedraw_ = boolean("AutoRedraw", true);
    viewBackColor_ = static_cast<std::uint32_t>(number("BackColor", kAppWorkspaceColour));
    setEnabled(boolean("Enabled", true));
    const qlonglong pointer = number("MousePointer", 0);
    New_MousePointer(pointer >= INT16_MIN && pointer <= INT16_MAX
                         ? static_cast<std::int16_t>(pointer)
                         : std::int16_t{0});
    setAllowZoomIn(boolean("AllowZoomIn", false));
    setAllowZoomOut(boolean("AllowZoomOut", false));
    setUseQuickBar(boolean("UseQuickBar", false));
    setPanActive(boolean("PanActive", false));
    picView_->update();
    reading_ = false;
}

void SuperPicCtl::WriteProperties(PropertyBag& bag) const {
    bag.insert(QStringLiteral("AutoRedraw"), autoRedraw_);
    bag.insert(QStringLiteral("BackColor"), static_cast<qlonglong>(viewBackColor_));
    bag.insert(QStringLiteral("Enabled"), isEnabled());
    bag.insert(QStringLiteral("MousePointer"), static_cast<int>(mousePointer_));
    bag.insert(QStringLiteral("AllowZoomIn"), bAllowZoomIn_);
    bag.insert(QStringLiteral("AllowZoomOut"), bAllowZoomOut_);
    bag.insert(QStringLiteral("UseQuickBar"), bUseQuickBar_);
    bag.insert(QStringLiteral("PanActive"), bPanActive_);
}

void SuperPicCtl::quickBarTick(QWidget* underCursor) {
    if (!bUseQuickBar_) return;
    if (btnZoomIn_->isEnabled() != bAllowZoomIn_) btnZoomIn_->setEnabled(bAllowZoomIn_);
    if (btnZoomOut_->isEnabled() != bAllowZoomOut_) btnZoomOut_->setEnabled(bAllowZoomOut_);
    if (!PictureLoaded()) return;
    const bool over = underCursor && (underCursor == this || isAncestorOf(underCursor));
    if (tbrQuickFloat_->isVisibleTo(this) != over) tbrQuickFloat_->setVisible(over);
    if (over) tbrQuickFloat_->raise();
}

void SuperPicCtl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    picMain_->setGeometry(rect());
    picTemp_->raise();
    emit Resize();
    frameResize();
}

void SuperPicCtl::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if ((key == Qt::Key_Left || key == Qt::Key_Right) && hbar_.value() != 0) {
        if (!state().bMsgBoxShowing) hsc_->setFocus();
        return;
    }
    if ((key == Qt::Key_Up || key == Qt::Key_Down) && vbar_.value() != 0) {
        if (!state().bMsgBoxShowing) vsc_->setFocus();
        return;
    }
    QWidget::keyPressEvent(event);
}

// ---- layout and rendering ----

void SuperPicCtl::ResetView() {
    picView_->show();
    Cls();
    viewPicture_ = picBuffer_;
    picView_->resize(viewPicture_.size());
    picView_->move(resetPosition(picMain_->width(), picView_->width()),
                   resetPosition(picMain_->height(), picView_->height()));
    // Twice: the first pass may show a bar that changes the room for the other.
    ArrangeScrollBars();
    ArrangeScrollBars();
}

void SuperPicCtl::RenderZoom() {
    if (sFileName_.isEmpty() || !PictureLoaded()) return;
    ++renderCount_;
    picView_->setUpdatesEnabled(false);
    // Only the size changes: paints scale the visible part from picBuffer.
    picView_->resize(zoomedExtent(dZoom_, lOrigWidth_), zoomedExtent(dZoom_, lOrigHeight_));
    ops_.clear();
    overlays_.clear();
    zoomDrawn_ = true;
    ArrangeScrollBars();
    picView_->setUpdatesEnabled(true);
    picView_->update();
}

void SuperPicCtl::ArrangeScrollBars() {
    // A hidden control gets its resize event only when shown: take its size now.
    if (picMain_->geometry() != rect()) picMain_->setGeometry(rect());
    const BarRange h = arrangeBar(picMain_->width(), picView_->width(), kCxHThumb);
    if (!h.visible) {
        hbar_.setValue(hbar_.min());
        hsc_->hide();
        picView_->move(h.viewPos, picView_->y());
    } else {
        hsc_->show();
        hsc_->raise();
        hbar_.setMin(0);
        hbar_.setMax(h.max);
        hbar_.setValue(h.value);
        hbar_.setSteps(kCxHThumb, std::max(picMain_->width() / 2, 1));
        // The picture follows the bar even when its value did not change.
        picView_->move(hbar_.value(), picView_->y());
    }
    const BarRange v = arrangeBar(picMain_->height(), picView_->height(), kCyVThumb);
    if (!v.visible) {
        vbar_.setValue(vbar_.min());
        vsc_->hide();
        picView_->move(picView_->x(), v.viewPos);
    } else {
        vsc_->show();
        vsc_->raise();
        vbar_.setMin(0);
        vbar_.setMax(v.max);
        vbar_.setValue(v.value);
        vbar_.setSteps(kCyVThumb, std::max(picMain_->height() / 2, 1));
        picView_->move(picView_->x(), vbar_.value());
    }
    picTemp_->setVisible(!hsc_->isHidden() && !vsc_->isHidden());
    picTemp_->raise();
    picTemp_->setGeometry(hsc_->width(), vsc_->height(), vsc_->width(), hsc_->height());
    layoutBars();
}

void SuperPicCtl::layoutBars() {
    const BarLayout l = superpic::layoutBars(width(), height(), !hsc_->isHidden(),
                                             !vsc_->isHidden(), hsc_->height(), vsc_->width());
    // A bar that would get no room keeps its size.
    if (l.h.width() > 0 && l.h.height() > 0) hsc_->setGeometry(l.h);
    if (l.v.width() > 0 && l.v.height() > 0) vsc_->setGeometry(l.v);
}

void SuperPicCtl::frameResize() {
    layoutBars();
    picTemp_->setGeometry(hsc_->width(), vsc_->height(), vsc_->width(), hsc_->height());
    ArrangeScrollBars();
}

QImage SuperPicCtl::render(const QRect& target) const {
    // RGB32 so the merge's NOT acts on opaque pixels.
    QImage img(target.size(), QImage::Format_RGB32);
    QPainter p(&img);
    p.translate(-target.topLeft());
    drawView(p, target);
    return img;
}

void SuperPicCtl::drawView(QPainter& p, const QRect& target) const {
    p.fillRect(target, colourOf(viewBackColor_));
    p.setClipRect(target);
    if (!viewPicture_.isNull()) p.drawImage(QPoint(0, 0), viewPicture_);
    if (zoomDrawn_ && !picBuffer_.isNull() && !picView_->size().isEmpty()) {
        const QRect view(QPoint(0, 0), picView_->size());
        const QRect part = view & target;
        if (!part.isEmpty()) {
            const double sx = double(picBuffer_.width()) / view.width();
            const double sy = double(picBuffer_.height()) / view.height();
            const QRectF source(part.x() * sx, part.y() * sy, part.width() * sx,
                                part.height() * sy);
            p.drawImage(QRectF(part), picBuffer_, source);
        }
    }
    for (const DrawOp& op : ops_) {
        p.setCompositionMode(static_cast<QPainter::CompositionMode>(op.mode));
        p.drawImage(op.target, op.picture, op.source);
    }
    // Merge: destination := NOT source OR destination; the white ground leaves
    // the picture as it is.
    p.setCompositionMode(QPainter::RasterOp_NotSourceOrDestination);
    for (const auto& [art, at] : overlays_) p.drawImage(at, *art);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void SuperPicCtl::paintView(QPaintEvent* event) {
    const QRect target = event->rect();
    if (!target.isEmpty()) QPainter(picView_).drawImage(target.topLeft(), render(target));
    emit Paint();
}

QImage SuperPicCtl::Image() const {
    const QSize s = picView_->size();
    if (s.isEmpty() || qint64(s.width()) * s.height() > kMaxImagePixels) return {};
    return render(QRect(QPoint(0, 0), s));
}

// ---- mouse and keys on the picture ----

QPoint SuperPicCtl::panOffset(const QPointF& global) const {
    return global.toPoint() - picMain_->mapToGlobal(QPoint(0, 0));
}

void SuperPicCtl::viewMouseDown(QMouseEvent* event) {
    afterDblClick_ = false;
    std::int16_t button = buttonCode(event->button());
    std::int16_t shift = shiftCode(event->modifiers());
    float x = static_cast<float>(event->position().x());
    float y = static_cast<float>(event->position().y());
    emit MouseDown(button, shift, x, y);
    if (!bPanActive_) return;
    bPanning_ = button == 1 && (!hsc_->isHidden() || !vsc_->isHidden());
    if (!bPanning_) return;
    const QPoint at = panOffset(event->globalPosition());
    lPanX_ = at.x();
    lPanY_ = at.y();
    picView_->setCursor(cursor101());
}

void SuperPicCtl::viewMouseMove(QMouseEvent* event) {
    std::int16_t button = buttonCode(event->buttons());
    std::int16_t shift = shiftCode(event->modifiers());
    float x = static_cast<float>(event->position().x());
    float y = static_cast<float>(event->position().y());
    emit MouseMove(button, shift, x, y);
    if (!bPanning_) return;
    const QPoint at = panOffset(event->globalPosition());
    // A value outside the range is refused; the offsets move on all the same.
    if (!hsc_->isHidden()) {
        if (at.x() < lPanX_)
            hbar_.setValue(hbar_.value() + (lPanX_ - at.x()));
        else if (at.x() > lPanX_)
            hbar_.setValue(hbar_.value() - (at.x() - lPanX_));
    }
    if (!vsc_->isHidden()) {
        if (at.y() < lPanY_)
            vbar_.setValue(vbar_.value() + (lPanY_ - at.y()));
        else if (at.y() > lPanY_)
            vbar_.setValue(vbar_.value() - (at.y() - lPanY_));
    }
    lPanX_ = at.x();
    lPanY_ = at.y();
}

void SuperPicCtl::viewMouseUp(QMouseEvent* event) {
    std::int16_t button = buttonCode(event->button());
    std::int16_t shift = shiftCode(event->modifiers());
    float x = static_cast<float>(event->position().x());
    float y = static_cast<float>(event->position().y());
    const bool inside = picView_->rect().contains(event->position().toPoint());
    emit MouseUp(button, shift, x, y);
    bPanning_ = false;
    setViewPointer();
    // The release that ends a double-click raises no second click.
    if (afterDblClick_) {
        afterDblClick_ = false;
        return;
    }
    if (inside) emit Click();
}

void SuperPicCtl::viewKey(QKeyEvent* event, bool down) {
    std::int16_t code = keyCode(event->key());
    std::int16_t shift = shiftCode(event->modifiers());
    if (!down) {
        emit KeyUp(code, shift);
        return;
    }
    emit KeyDown(code, shift);
    const QString text = event->text();
    if (!text.isEmpty() && text.at(0).unicode() < 0x8000) {
        std::int16_t ascii = static_cast<std::int16_t>(text.at(0).unicode());
        emit KeyPress(ascii);
    }
}

}  // namespace zelmora::display
