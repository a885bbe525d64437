#include "display/ScrollingImage.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QScrollBar>
#include <QStyle>
#include <QtEndian>
#include <algorithm>
#include <cstring>

#include "display/AnalysisLink.h"
#include "platform/os/Dialogs.h"
#include "platform/os/PointerScreen.h"
#include "platform/time/Clock.h"
#include "shell/Conv.h"
#include "shell/Errors.h"
#include "shell/Globals.h"
#include "shell/MainWindow.h"
#include "shell/NightColours.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"

namespace zelmora::display {

using platform::Dialogs;
namespace Msg = platform::Msg;

namespace {

void setStatusPanel(int index, const QString& text) {
    if (IMainWindow* m = mainWindow())
        if (QLabel* panel = m->statusPanel(index)) panel->setText(text);
}

}  // namespace

ScrollingImage::ScrollingImage(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    vsView_ = new QScrollBar(Qt::Vertical, this);
    vsView_->setObjectName(QStringLiteral("vs"));
    hsView_ = new QScrollBar(Qt::Horizontal, this);
    hsView_->setObjectName(QStringLiteral("hs"));
    Picture1 = new QWidget(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setAutoFillBackground(true);
    Picture1->raise();

    // Scrolling moves the picture: 4 twips per unit, formed in 32 bits.
    vs_.onChange = [this](std::int32_t v) {
        top_ = -policy::kTwipsPerBarUnit * v;
        update();
    };
    hs_.onChange = [this](std::int32_t v) {
        left_ = -policy::kTwipsPerBarUnit * v;
        update();
    };
    vs_.attach(vsView_);
    hs_.attach(hsView_);
    vs_.setEnabled(false);
    hs_.setEnabled(false);

    picFocus_ = QImage(policy::kFocusSidePx, policy::kFocusSidePx, QImage::Format_RGB32);
    picFocus_.fill(Qt::black);
    layoutBars();
}

ScrollingImage::~ScrollingImage() = default;

policy::TwipsPerPixel ScrollingImage::twipsPerPixel() const {
    return {1440.0 / logicalDpiX(), 1440.0 / logicalDpiY()};
}

QRect ScrollingImage::viewArea() const {
    return QRect(0, 0, std::max(vsView_->x(), 0), std::max(hsView_->y(), 0));
}

QPoint ScrollingImage::picturePixelOffset() const {
    const policy::TwipsPerPixel tp = twipsPerPixel();
    return QPoint(static_cast<int>(Conv::roundHalfEven(left_ / tp.x)),
                  static_cast<int>(Conv::roundHalfEven(top_ / tp.y)));
}

// --- Loading -----------------------------------------------------------------

bool ScrollingImage::SetImage(const QString& Path) {
    Globals::WriteLogLine(QStringLiteral("Loading Image:") + Path);
    const std::vector<std::function<void()>> steps = {
        [&] { loader_.load(Path, frame_); },
        [&] { update(); },  // Image1 shows the frame at natural size
        [&] {
            top_ = 0;
            left_ = 0;
        },
        [&] {
            const policy::TwipsPerPixel tp = twipsPerPixel();
            setBarRange(vs_, frame_.Height() * tp.y, viewArea().height() * tp.y);
        },
        [&] {
            const policy::TwipsPerPixel tp = twipsPerPixel();
            setBarRange(hs_, frame_.Width() * tp.x, viewArea().width() * tp.x);
        },
        [&] { DrawFocusPicture(); },
    };
    policy::RetryHooks hooks;
    hooks.trace = [&](int attempt) {
        Globals::WriteLogLine(
            QStringLiteral("An error occured in Set Image trying to open file - Attempt:") +
            QString::number(attempt) + u' ' + Path);
    };
    hooks.pause = [] { platform::clock().sleepMs(1000); };
    hooks.message = [&] {
        Dialogs::msgBox(QStringLiteral("An error in Set Image occured trying to open file: ") +
                        Path);
    };
    return policy::runWithOneRetry(steps, hooks);
}

void ScrollingImage::setBarRange(BarModel& bar, double pictureTwips, double viewTwips) {
    bar.setEnabled(true);
    bar.setMin(0);
    bar.setMax(policy::barMaximum(pictureTwips, viewTwips));
    bar.setValue(0);
    const policy::TwipsPerPixel tp = twipsPerPixel();
    // An arrow click moves 4 pixels, a page click the view's extent.
    const double viewUnits = viewTwips / policy::kTwipsPerBarUnit;
    bar.setSteps(static_cast<int>(4 * tp.x / policy::kTwipsPerBarUnit),
                 static_cast<int>(std::clamp(viewUnits, 1.0, 1e9)));
}

// --- Positions and bars ------------------------------------------------------

void ScrollingImage::SetStartPos() {
    top_ = 0;
    left_ = 0;
    update();
}

void ScrollingImage::setHPosition(std::int32_t hpos) {
    left_ = hpos;
    update();
}

void ScrollingImage::setVPosition(std::int32_t vpos) {
    top_ = vpos;
    update();
}

// Bars are 32-bit here, so a frame of any width keeps its place from frame to
// frame; a value outside the bar's range is ignored.
void ScrollingImage::SetHS(std::int32_t value) {
    hs_.setValue(value);
}

void ScrollingImage::SetVS(std::int32_t value) {
    vs_.setValue(value);
}

void ScrollingImage::applyPosition(policy::ViewPosition p) {
    const policy::Placement place = policy::placementOf(p);
    guarded([&] { vs_.setValue(policy::barTarget(place.vertical, vs_.min(), vs_.max())); });
    guarded([&] { hs_.setValue(policy::barTarget(place.horizontal, hs_.min(), hs_.max())); });
}

void ScrollingImage::TopLeft() {
    applyPosition(policy::ViewPosition::TopLeft);
}
void ScrollingImage::TopCentre() {
    applyPosition(policy::ViewPosition::TopCentre);
}
void ScrollingImage::Topright() {
    applyPosition(policy::ViewPosition::Topright);
}
void ScrollingImage::CentreLeft() {
    applyPosition(policy::ViewPosition::CentreLeft);
}
void ScrollingImage::centreImage() {
    applyPosition(policy::ViewPosition::centreImage);
}
void ScrollingImage::CentreRight() {
    applyPosition(policy::ViewPosition::CentreRight);
}
void ScrollingImage::BottomLeft() {
    applyPosition(policy::ViewPosition::BottomLeft);
}
void ScrollingImage::BottomCentre() {
    applyPosition(policy::ViewPosition::BottomCentre);
}
void ScrollingImage::BottomRight() {
    applyPosition(policy::ViewPosition::BottomRight);
}

// --- The crop ------------------------------------------------------------------

QImage ScrollingImage::GetImage() const {
    return picFocus_;
}

QImage ScrollingImage::GetImage2() const {
    return frame_.toImage();
}

cDIBSection& ScrollingImage::FocusPicture() {
    if (!focusPicture_) focusPicture_ = std::make_unique<cDIBSection>();
    return *focusPicture_;
}

void ScrollingImage::DrawFocusPicture() {
    // The crop surface is always 100 x 100; what the block does not cover
    // (a box reaching past the frame) is black.
    picFocus_.fill(Qt::black);
    const std::uint8_t* bits = frame_.DIBSectionBitsPtr();
    if (!bits) return;
    const QRect block = policy::cropRect(theX_, theY_, focusSize_);
    const QRect wanted(block.topLeft(), QSize(std::min(block.width(), picFocus_.width()),
                                              std::min(block.height(), picFocus_.height())));
    const QRect part = wanted.intersected(QRect(0, 0, frame_.Width(), frame_.Height()));
    if (part.isEmpty()) return;
    const qsizetype bpl = frame_.BytesPerScanLine();
    for (int y = part.top(); y <= part.bottom(); ++y) {
        // Storage rows run bottom-up.
        const std::uint8_t* row = bits + qsizetype(frame_.Height() - 1 - y) * bpl;
        auto* out = reinterpret_cast<QRgb*>(picFocus_.scanLine(y - block.y()));
        for (int x = part.left(); x <= part.right(); ++x)
            out[x - block.x()] = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    }
}

// --- The pointer and the star click -----------------------------------------

QWidget* ScrollingImage::hostFrame() const {
    if (host_) return frameOf(host_);
    if (parentWidget()) return frameOf(parentWidget());
    return const_cast<ScrollingImage*>(this);
}

QPoint ScrollingImage::hostTwips() const {
    const QPoint p = hostFrame()->pos();
    return QPoint(Conv::pixelsToTwips(p.x()), Conv::pixelsToTwips(p.y()));
}

void ScrollingImage::raiseHost() const {
    hostFrame()->raise();
}

void ScrollingImage::SetCursorWithOffset(std::int32_t ValueX, std::int32_t ValueY) {
    platform::CursorService::instance().setPos(
        policy::cursorFromOffset(QPoint(ValueX, ValueY), hostTwips()));
}

bool ScrollingImage::pictureTwipsAt(const QPoint& at, double& x, double& y) const {
    if (!frame_.DIBSectionBitsPtr() || !viewArea().contains(at)) return false;
    const QPoint origin = picturePixelOffset();
    const QPoint p = at - origin;
    if (p.x() < 0 || p.y() < 0 || p.x() >= frame_.Width() || p.y() >= frame_.Height()) return false;
    const policy::TwipsPerPixel tp = twipsPerPixel();
    x = p.x() * tp.x;
    y = p.y() * tp.y;
    return true;
}

void ScrollingImage::Image1_MouseMove(const QPoint& at) {
    double x = 0, y = 0;
    if (!pictureTwipsAt(at, x, y)) return;
    const policy::TwipsPerPixel tp = twipsPerPixel();
    guarded([&] {
        setStatusPanel(4, policy::pairText(x / tp.x, y / tp.y));
        setStatusPanel(5, policy::pairText(x, y));
    });
}

void ScrollingImage::Image1_MouseDown(const QPoint& at) {
    double x = 0, y = 0;
    if (!pictureTwipsAt(at, x, y)) return;
    trapAndTrace(QStringLiteral("Image1_MouseDown"), [&] {
        ProgramState& s = state();
        const policy::TwipsPerPixel tp = twipsPerPixel();
        raiseHost();
        if (policy::isNearEdge(x, y, focusSize_, tp, frame_.Width() * tp.x,
                               frame_.Height() * tp.y)) {
            Dialogs::msgBox(policy::kEdgeMessage, Msg::OKOnly | Msg::Exclamation,
                            QStringLiteral("Problem"));
            return;
        }
        const QPoint offset =
            policy::cursorOffset(platform::CursorService::instance().pos(), hostTwips());
        const std::int32_t px = Conv::toInt32(x / tp.x);
        const std::int32_t py = Conv::toInt32(y / tp.y);
        if (policy::isDifferentStar(px, py, s.lStarX, s.lStarY)) {
            if (s.lStarX != 0 || s.lStarY != 0) {
                // The question lets events run: the window may close meanwhile.
                const QPointer<ScrollingImage> self(this);
                const int answer = Dialogs::msgBox(policy::kDifferentStarQuestion,
                                                   Msg::YesNo | Msg::Critical | Msg::DefaultButton2,
                                                   QStringLiteral("Warning"));
                if (!self) return;
                if (answer != Msg::Yes) {
                    s.bStarChosen = false;
                    SetCursorWithOffset(s.lCursorOffsetX, s.lCursorOffsetY);
                    return;
                }
                s.lStarX = px;
                s.lStarY = py;
                s.bStarChosen = true;
                analysis::close();
            } else {
                s.lStarX = px;
                s.lStarY = py;
                s.bStarChosen = true;
            }
        }
        SetCursorWithOffset(offset.x(), offset.y());
        s.lCursorOffsetX = offset.x();
        s.lCursorOffsetY = offset.y();
        // Every accepted click starts the analysis afresh.
        analysis::close();
        raiseHost();
        // The pixel box and the twips box, as the pointer moving over the
        // picture fills them.
        setStatusPanel(4, policy::pairText(x / tp.x, y / tp.y));
        setStatusPanel(5, policy::pairText(x, y));
        focusClick_ = aPoint{x / tp.x, y / tp.y};
        const policy::BoxCorner corner = policy::boxCorner(focusClick_, focusSize_);
        theX_ = corner.theX;
        theY_ = corner.theY;
        DrawFocusPicture();
        s.bNewStar = true;
        analysis::showBehind(host_ ? host_.data() : parentWidget());
        analysis::updateHistoryOnStarClick();
    });
}

// --- Events --------------------------------------------------------------------

void ScrollingImage::mousePressEvent(QMouseEvent* event) {
    Image1_MouseDown(event->position().toPoint());
    event->accept();
}

void ScrollingImage::mouseMoveEvent(QMouseEvent* event) {
    Image1_MouseMove(event->position().toPoint());
}

void ScrollingImage::resizeEvent(QResizeEvent*) {
    layoutBars();
}

void ScrollingImage::layoutBars() {
    const int e = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const int vsLeft = std::max(width() - e, 0);
    const int hsTop = std::max(height() - e, 0);
    vsView_->setGeometry(vsLeft, 0, e, hsTop);
    hsView_->setGeometry(0, hsTop, vsLeft, e);
    Picture1->setGeometry(vsLeft, hsTop, e, e);
    update();
}

void ScrollingImage::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect area = viewArea().intersected(event->rect());
    painter.setClipRect(area);
    const std::uint8_t* bits = frame_.DIBSectionBitsPtr();
    const int w = bits ? frame_.Width() : 0;
    const int h = bits ? frame_.Height() : 0;
    const QPoint origin = picturePixelOffset();
    // The part of the picture (top-down pixels) that the view shows; the rest
    // of the view is background.
    const QRect visible = area.translated(-origin).intersected(QRect(0, 0, w, h));
    const QRegion background = QRegion(area).subtracted(QRegion(visible.translated(origin)));
    for (const QRect& r : background) painter.fillRect(r, palette().color(QPalette::Window));
    if (visible.isEmpty()) return;
    // The buffer is bottom-up BGR: only the rows and columns in sight are
    // turned into screen pixels, into a surface kept from paint to paint.
    if (shown_.size() != visible.size()) shown_ = QImage(visible.size(), QImage::Format_RGB32);
    const qsizetype bpl = frame_.BytesPerScanLine();
    for (int y = 0; y < visible.height(); ++y) {
        const std::uint8_t* in =
            bits + qsizetype(h - 1 - (visible.y() + y)) * bpl + qsizetype(visible.x()) * 3;
        auto* out = reinterpret_cast<QRgb*>(shown_.scanLine(y));
        // Blue, green, red and the next byte read as one word are the screen
        // pixel once the fourth byte is made opaque; the row's last pixel is
        // read bytewise, as its fourth byte may lie past the buffer.
        const int last = visible.width() - 1;
        for (int x = 0; x < last; ++x, in += 3) {
            std::uint32_t word;
            std::memcpy(&word, in, sizeof word);
            out[x] = qFromLittleEndian(word) | 0xFF000000u;
        }
        out[last] = qRgb(in[2], in[1], in[0]);
    }
    painter.drawImage(visible.topLeft() + origin, NightColours::picture(shown_));
}

}  // namespace zelmora::display
