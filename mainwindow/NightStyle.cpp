#include "mainwindow/NightStyle.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOption>

#include "shell/NightColours.h"

namespace zelmora {

namespace {

// An icon of the style that shows in red whenever night vision is on, also when
// it was handed out by day (a calendar's arrows, a dialog's buttons).
class NightIconEngine : public QIconEngine {
public:
    explicit NightIconEngine(QIcon icon) : icon_(std::move(icon)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        if (!NightColours::on()) {
            icon_.paint(painter, rect, Qt::AlignCenter, mode, state);
            return;
        }
        const qreal scale = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
        painter->drawPixmap(rect, scaledPixmap(rect.size(), mode, state, scale));
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return NightColours::picture(icon_.pixmap(size, mode, state));
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        return NightColours::picture(icon_.pixmap(size, scale, mode, state));
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon_.actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return icon_.availableSizes(mode, state);
    }
    QString iconName() override { return icon_.name(); }
    bool isNull() override { return icon_.isNull(); }
    QString key() const override { return QStringLiteral("NightIconEngine"); }
    QIconEngine* clone() const override { return new NightIconEngine(icon_); }

private:
    QIcon icon_;
};

// The base style mixes white of its own into some of what it paints (bevels,
// grooves, the toolbar's edge). At night each part is painted into a picture of
// its place first, and the picture shown in red. Parts inside a part are
// painted straight into the picture of the outer one.
int depth = 0;

template <typename Draw>
void inRed(QPainter* painter, const QRect& rect, Draw draw) {
    if (!NightColours::on() || depth > 0 || rect.isEmpty()) {
        draw(painter);
        return;
    }
    const qreal scale = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
    QImage part(rect.size() * scale, QImage::Format_ARGB32_Premultiplied);
    part.setDevicePixelRatio(scale);
    part.fill(Qt::transparent);
    {
        QPainter p(&part);
        p.setRenderHints(painter->renderHints());
        p.setFont(painter->font());
        p.setPen(painter->pen());
        p.setBrush(painter->brush());
        p.setLayoutDirection(painter->layoutDirection());
        p.translate(-rect.topLeft());
        ++depth;
        draw(&p);
        --depth;
    }
    painter->drawImage(rect.topLeft(), NightColours::marks(part));
}

}  // namespace

NightStyle::NightStyle(QStyle* base) : QProxyStyle(base) {}

void NightStyle::install() {
    if (qobject_cast<NightStyle*>(QApplication::style())) return;
    QApplication::setStyle(new NightStyle(QStyleFactory::create(QApplication::style()->name())));
}

void NightStyle::drawItemPixmap(QPainter* painter, const QRect& rect, int alignment,
                                const QPixmap& pixmap) const {
    QProxyStyle::drawItemPixmap(painter, rect, alignment, NightColours::picture(pixmap));
}

// A text in a colour of a style sheet's own (white on a dark swatch) shows in
// the red as light as that colour.
void NightStyle::drawItemText(QPainter* painter, const QRect& rect, int flags, const QPalette& pal,
                              bool enabled, const QString& text,
                              QPalette::ColorRole textRole) const {
    const QColor colour =
        textRole == QPalette::NoRole ? painter->pen().color() : pal.color(textRole);
    if (!NightColours::on() || NightColours::darkAdapted(colour)) {
        QProxyStyle::drawItemText(painter, rect, flags, pal, enabled, text, textRole);
        return;
    }
    QPalette red = pal;
    if (textRole != QPalette::NoRole) red.setColor(textRole, NightColours::mark(colour));
    painter->save();
    painter->setPen(NightColours::mark(colour));
    QProxyStyle::drawItemText(painter, rect, flags, red, enabled, text, textRole);
    painter->restore();
}

void NightStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                               QPainter* painter, const QWidget* widget) const {
    inRed(painter, option->rect,
          [&](QPainter* p) { QProxyStyle::drawPrimitive(element, option, p, widget); });
}

void NightStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                             const QWidget* widget) const {
    const auto* item = qstyleoption_cast<const QStyleOptionViewItem*>(option);
    if (element == CE_ItemViewItem && item && NightColours::on() && !item->icon.isNull()) {
        // A list's pictures (the history's crops, the review's thumbnails).
        QStyleOptionViewItem red = *item;
        red.icon = QIcon(new NightIconEngine(item->icon));
        QProxyStyle::drawControl(element, &red, painter, widget);
        return;
    }
    inRed(painter, option->rect,
          [&](QPainter* p) { QProxyStyle::drawControl(element, option, p, widget); });
}

void NightStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                    QPainter* painter, const QWidget* widget) const {
    const auto* bar = qstyleoption_cast<const QStyleOptionTitleBar*>(option);
    if (control == CC_TitleBar && bar && NightColours::on()) {
        drawTitleBar(bar, painter, widget);
        return;
    }
    inRed(painter, option->rect,
          [&](QPainter* p) { QProxyStyle::drawComplexControl(control, option, p, widget); });
}

// The title bars of the windows inside the main window: the base style writes
// their captions and buttons in white or black whatever the palette says. At
// night the active one shows as a selection does, the others as a window does.
void NightStyle::drawTitleBar(const QStyleOptionTitleBar* bar, QPainter* painter,
                              const QWidget* widget) const {
    const bool active = bar->titleBarState & State_Active;
    const QPalette& pal = bar->palette;
    const QColor back = pal.color(active ? QPalette::Highlight : QPalette::Window);
    const QColor fore = pal.color(active ? QPalette::HighlightedText : QPalette::WindowText);
    const auto rectOf = [&](SubControl sc) {
        return (bar->subControls & sc) ? proxy()->subControlRect(CC_TitleBar, bar, sc, widget)
                                       : QRect();
    };
    painter->save();
    painter->fillRect(bar->rect, back);
    painter->setPen(fore);

    const QRect label = rectOf(SC_TitleBarLabel);
    if (label.isValid()) {
        QFont font = painter->font();
        font.setBold(true);
        painter->setFont(font);
        const QString text =
            painter->fontMetrics().elidedText(bar->text, Qt::ElideRight, label.width() - 4);
        painter->drawText(label, Qt::AlignCenter | Qt::TextSingleLine, text);
    }

    if (const QRect menu = rectOf(SC_TitleBarSysMenu); menu.isValid()) {
        const QIcon icon = bar->icon.isNull()
                               ? proxy()->standardIcon(SP_TitleBarMenuButton, bar, widget)
                               : QIcon(new NightIconEngine(bar->icon));
        icon.paint(painter, menu.adjusted(1, 1, -1, -1));
    }
    // The buttons the base style shows, as a line, a box, two boxes and a cross.
    const auto glyph = [&](SubControl sc, bool shown, auto draw) {
        const QRect r = rectOf(sc);
        if (!shown || !r.isValid()) return;
        if ((bar->activeSubControls & sc) && (bar->state & State_Sunken))
            painter->drawRect(r.adjusted(0, 0, -1, -1));
        draw(r.adjusted(r.width() / 4, r.height() / 4, -r.width() / 4 - 1, -r.height() / 4 - 1));
    };
    const auto flags = bar->titleBarFlags;
    const bool minimised = bar->titleBarState & Qt::WindowMinimized;
    const bool maximised = bar->titleBarState & Qt::WindowMaximized;
    const bool canMinimise = flags & Qt::WindowMinimizeButtonHint;
    const bool canMaximise = flags & Qt::WindowMaximizeButtonHint;
    glyph(SC_TitleBarMinButton, canMinimise && !minimised, [&](const QRect& g) {
        painter->drawLine(g.left(), g.bottom(), g.right(), g.bottom());
        painter->drawLine(g.left(), g.bottom() - 1, g.right(), g.bottom() - 1);
    });
    glyph(SC_TitleBarMaxButton, canMaximise && !maximised, [&](const QRect& g) {
        painter->drawRect(g);
        painter->drawLine(g.left(), g.top() + 1, g.right(), g.top() + 1);
    });
    glyph(SC_TitleBarNormalButton, (canMinimise && minimised) || (canMaximise && maximised),
          [&](const QRect& g) {
              const int d = g.width() / 3;
              painter->drawRect(g.adjusted(d, 0, 0, -d));
              painter->fillRect(g.adjusted(0, d, -d, 0), back);
              painter->drawRect(g.adjusted(0, d, -d, 0));
          });
    glyph(SC_TitleBarCloseButton, flags & Qt::WindowSystemMenuHint, [&](const QRect& g) {
        painter->drawLine(g.topLeft(), g.bottomRight());
        painter->drawLine(g.topRight(), g.bottomLeft());
    });
    painter->restore();
}

QIcon NightStyle::standardIcon(StandardPixmap icon, const QStyleOption* option,
                               const QWidget* widget) const {
    const QIcon base = QProxyStyle::standardIcon(icon, option, widget);
    return base.isNull() ? base : QIcon(new NightIconEngine(base));
}

}  // namespace zelmora
