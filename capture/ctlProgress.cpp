#include "capture/ctlProgress.h"

#include <QEvent>
#include <QPainter>

#include "platform/core/AppError.h"
#include "shell/Conv.h"
#include "shell/NightColours.h"
#include "shell/WindowRegistry.h"

namespace zelmora::capture {

ctlProgress::ctlProgress(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ctlProgress"));
    captionFont_ = font();
    resize(200, 20);
}

void ctlProgress::setBorderStyle(std::int16_t s) {
    borderStyle_ = s;
    update();
}

void ctlProgress::setCaptionFont(const QFont& f) {
    captionFont_ = f;
    setFont(f);
}

void ctlProgress::About() {
    windows().show(Win::frmAbout);
}

QString ctlProgress::textFor(std::int32_t v, std::int32_t min, std::int32_t max, int style,
                             const QString& caption) {
    if (style == 0) return {};
    if (style == 1) return caption;
    const double p = double(std::int64_t(v) - min) * 100.0 / double(std::int64_t(max) - min);
    QString text = Conv::zeroPadded(p, 1) + u'%';
    if (style != 2 && !caption.isEmpty()) text = caption + u' ' + text;
    return text;
}

void ctlProgress::setValue(std::int32_t v) {
    value_ = v;
    DrawProgress();
}

void ctlProgress::DrawProgress() {
    std::int32_t v = value_;
    if (v > max_)
        v = max_;
    else if (v < min_)
        v = min_;
    const QSize size = this->size().expandedTo(QSize(1, 1));
    surface_ = QImage(size, QImage::Format_RGB32);
    surface_.fill(NightColours::background(backColor_, palette()));
    update();
    if (max_ == min_)
        throw AppError(AppError::kDivisionByZero, QStringLiteral("ctlProgress"),
                       QStringLiteral("Division by zero"));
    shownText_ = textFor(v, min_, max_, captionStyle_, caption_);
    const int width = int(std::int64_t(v - min_) * size.width() / (std::int64_t(max_) - min_));
    QPainter p(&surface_);
    p.setFont(captionFont_);
    if (NightColours::on()) {
        // The not-XOR mix of a fill and a text gives no red that can be read at
        // night: the bar and the text on it take the palette's selection colours.
        const QPalette& pal = palette();
        p.setPen(pal.color(QPalette::Text));
        p.drawText(surface_.rect(), Qt::AlignCenter, shownText_);
        const QRect bar(0, 0, width, size.height());
        p.fillRect(bar, pal.color(QPalette::Highlight));
        p.setClipRect(bar);
        p.setPen(pal.color(QPalette::HighlightedText));
        p.drawText(surface_.rect(), Qt::AlignCenter, shownText_);
        return;
    }
    p.setPen(foreColor_);
    p.drawText(surface_.rect(), Qt::AlignCenter, shownText_);
    // Not-XOR over the text: where the bar covers the text both stay visible.
    p.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
    p.fillRect(QRect(0, 0, width, size.height()), fillColor_);
    p.end();
}

void ctlProgress::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!surface_.isNull())
        p.drawImage(0, 0, surface_);
    else
        p.fillRect(rect(), NightColours::background(backColor_, palette()));
    if (borderStyle_ == 1) {
        p.setPen(NightColours::mark(Qt::gray));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void ctlProgress::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The surface always covers the whole control.
    redraw();
}

// Night vision switched on or off: the bar is drawn again in the new colours.
void ctlProgress::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) redraw();
}

void ctlProgress::redraw() {
    if (surface_.isNull()) return;
    try {
        DrawProgress();
    } catch (const AppError&) {
    }
}

}  // namespace zelmora::capture
