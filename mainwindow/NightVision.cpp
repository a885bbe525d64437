#include "mainwindow/NightVision.h"

#include <QApplication>
#include <QEvent>
#include <QGraphicsEffect>
#include <QLineEdit>
#include <QMdiArea>
#include <QPainter>
#include <QPointer>
#include <QToolTip>
#include <QWidget>
#include <utility>

#include "mainwindow/NightStyle.h"
#include "shell/Conv.h"
#include "shell/NightColours.h"

namespace zelmora {

namespace {

enum Element {
    SCROLLBAR,
    BACKGROUND,
    ACTIVECAPTION,
    INACTIVECAPTION,
    MENU,
    WINDOW,
    WINDOWFRAME,
    MENUTEXT,
    WINDOWTEXT,
    CAPTIONTEXT,
    ACTIVEBORDER,
    INACTIVEBORDER,
    APPWORKSPACE,
    HIGHLIGHT,
    HIGHLIGHTTEXT,
    BTNFACE,
    BTNSHADOW,
    GRAYTEXT,
    BTNTEXT,
    INACTIVECAPTIONTEXT,
    BTNHIGHLIGHT,
    DKSHADOW3D,
    LIGHT3D,
    INFOTEXT,
    INFOBK,
    ELEMENT25,
    HOTLIGHT,
    GRADIENTACTIVECAPTION,
    GRADIENTINACTIVECAPTION,
    MENUHILIGHT
};

struct RoleMap {
    int element;
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// Which element each palette entry takes its colour from. The table's own
// pairs cannot be read in the dark (black texts on dark reds, a grey highlight
// text, a near-white tooltip), nor do they all stay red: every text takes the
// table's brightest red, and every background behind a text one of its darkest
// reds, which keeps each text at 4.5:1 against its background or more. Only
// disabled texts stay dim, in the caption red. Captions, borders, the desktop
// and the scroll bar have no counterpart in the program's own palette.
const RoleMap kRoles[] = {
    {BTNHIGHLIGHT, QPalette::All, QPalette::WindowText},
    {BTNHIGHLIGHT, QPalette::All, QPalette::Text},
    {BTNHIGHLIGHT, QPalette::All, QPalette::ButtonText},
    {BTNHIGHLIGHT, QPalette::All, QPalette::BrightText},
    {BTNHIGHLIGHT, QPalette::All, QPalette::ToolTipText},
    {BTNHIGHLIGHT, QPalette::All, QPalette::Highlight},
    {BTNHIGHLIGHT, QPalette::All, QPalette::Light},
    {BTNHIGHLIGHT, QPalette::All, QPalette::Link},
    {BTNHIGHLIGHT, QPalette::All, QPalette::LinkVisited},
    {BTNSHADOW, QPalette::All, QPalette::Window},
    {BTNSHADOW, QPalette::All, QPalette::AlternateBase},
    {BTNSHADOW, QPalette::All, QPalette::Mid},
    {WINDOWFRAME, QPalette::All, QPalette::Base},
    {WINDOWFRAME, QPalette::All, QPalette::Button},
    {WINDOWFRAME, QPalette::All, QPalette::ToolTipBase},
    {WINDOWFRAME, QPalette::All, QPalette::HighlightedText},
    {DKSHADOW3D, QPalette::All, QPalette::Dark},
    {DKSHADOW3D, QPalette::All, QPalette::Shadow},
    {LIGHT3D, QPalette::All, QPalette::Midlight},
    {ACTIVECAPTION, QPalette::All, QPalette::PlaceholderText},
    {ACTIVECAPTION, QPalette::Disabled, QPalette::Text},
    {ACTIVECAPTION, QPalette::Disabled, QPalette::WindowText},
    {ACTIVECAPTION, QPalette::Disabled, QPalette::ButtonText},
};

constexpr QPalette::ColorGroup kGroups[] = {QPalette::Active, QPalette::Inactive,
                                            QPalette::Disabled};

// The background each text role is written on; NoRole for the backgrounds.
QPalette::ColorRole backgroundOf(QPalette::ColorRole role) {
    switch (role) {
        case QPalette::WindowText:
        case QPalette::BrightText:
            return QPalette::Window;
        case QPalette::Text:
        case QPalette::PlaceholderText:
            return QPalette::Base;
        case QPalette::ButtonText:
            return QPalette::Button;
        case QPalette::ToolTipText:
            return QPalette::ToolTipBase;
        case QPalette::HighlightedText:
            return QPalette::Highlight;
        default:
            return QPalette::NoRole;
    }
}

// Qt writes a text box's caret by inverting what lies under it, which on the
// night's dark reds is a pale blue line: at night a text box shows through this.
class RedCaret : public QGraphicsEffect {
protected:
    void draw(QPainter* painter) override {
        QPoint offset;
        const QPixmap source = sourcePixmap(Qt::DeviceCoordinates, &offset, NoPad);
        painter->save();
        painter->setWorldTransform(QTransform());
        painter->drawImage(offset, NightColours::marks(source.toImage()));
        painter->restore();
    }
};

}  // namespace

// The colours a window sets on its own widgets (its text colour, a lamp) would
// stay as they are under the night palette. At night a colour that keeps the
// eyes dark-adapted stays, a text colour too when it stands out from its
// background by 4.5:1; any other text colour takes the night palette's, and any
// other colour shows as a red as light as itself (a lamp still tells on from
// off). By day each widget gets back exactly what its window set, including what
// it set while night vision was on.
class NightVision::WidgetColours : public QObject {
public:
    WidgetColours() { qApp->installEventFilter(this); }
    ~WidgetColours() override { qApp->removeEventFilter(this); }

    void nightAll() {
        for (QWidget* w : QApplication::allWidgets()) night(w);
    }

    void restoreAll() {
        qApp->removeEventFilter(this);
        for (const Kept& k : std::as_const(kept_))
            if (k.widget) k.widget->setPalette(k.day);
        kept_.clear();
        for (const QPointer<QLineEdit>& box : std::as_const(carets_))
            if (box && dynamic_cast<RedCaret*>(box->graphicsEffect()))
                box->setGraphicsEffect(nullptr);
        carets_.clear();
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        const auto type = event->type();
        if ((type == QEvent::PaletteChange || type == QEvent::Polish) && !busy_ &&
            watched->isWidgetType())
            night(static_cast<QWidget*>(watched));
        return false;
    }

private:
    struct Kept {
        QPointer<QWidget> widget;  // a widget made where a closed one was is another
        QPalette day;              // as the window set it
        QPalette night;            // as it shows now
    };

    void night(QWidget* w) {
        if (auto* box = qobject_cast<QLineEdit*>(w); box && !box->graphicsEffect()) {
            box->setGraphicsEffect(new RedCaret);
            carets_ << box;
        }
        const QPalette current = w->palette();
        auto it = kept_.find(w);
        QPalette day = current;
        if (it != kept_.end() && it->widget == w) {
            // What the window changed since: its colour for the next day.
            day = it->day;
            for (QPalette::ColorGroup g : kGroups)
                for (int r = 0; r < QPalette::NColorRoles; ++r) {
                    const auto role = QPalette::ColorRole(r);
                    if (current.isBrushSet(g, role) &&
                        current.brush(g, role) != it->night.brush(g, role))
                        day.setBrush(g, role, current.brush(g, role));
                }
        }
        const QPalette app = QApplication::palette(w);
        // A colour the night palette gives a text or a background (a calendar's
        // heading, made from the palette) is the night's own.
        const auto nightOwn = [&](QPalette::ColorGroup g, QPalette::ColorRole role) {
            const QColor c = day.color(g, role);
            const bool text = backgroundOf(role) != QPalette::NoRole;
            for (int r = 0; r < QPalette::NColorRoles; ++r) {
                const auto other = QPalette::ColorRole(r);
                if (other != QPalette::PlaceholderText &&
                    (backgroundOf(other) != QPalette::NoRole) == text && app.color(g, other) == c)
                    return true;
            }
            return false;
        };
        QPalette shown = day;
        bool own = false;
        for (QPalette::ColorGroup g : kGroups)
            for (int r = 0; r < QPalette::NColorRoles; ++r) {
                const auto role = QPalette::ColorRole(r);
                if (!day.isBrushSet(g, role)) continue;
                own = true;
                if (backgroundOf(role) == QPalette::NoRole && !nightOwn(g, role))
                    shown.setColor(g, role, NightColours::mark(day.color(g, role)));
            }
        // Texts are judged against the backgrounds they will show on.
        const QPalette resolved = shown.resolve(app);
        for (QPalette::ColorGroup g : kGroups)
            for (int r = 0; r < QPalette::NColorRoles; ++r) {
                const auto role = QPalette::ColorRole(r);
                const QPalette::ColorRole under = backgroundOf(role);
                if (!day.isBrushSet(g, role) || under == QPalette::NoRole) continue;
                const QColor c = day.color(g, role);
                if (nightOwn(g, role)) continue;
                if (!NightColours::darkAdapted(c) ||
                    NightColours::contrast(c, resolved.color(g, under)) < 4.5)
                    shown.setColor(g, role, app.color(g, role));
            }
        if (!own) {
            kept_.remove(w);
            return;
        }
        kept_.insert(w, Kept{w, day, shown});
        busy_ = true;
        w->setPalette(shown);
        busy_ = false;
    }

    QHash<QWidget*, Kept> kept_;
    QList<QPointer<QLineEdit>> carets_;
    bool busy_ = false;
};

NightVision::NightVision(QMdiArea* workspace) : workspace_(workspace) {}
NightVision::~NightVision() = default;
NightVision::NightVision(NightVision&&) noexcept = default;
NightVision& NightVision::operator=(NightVision&&) noexcept = default;

const NightVision::Colors& NightVision::NightVisionColors() {
    static const Colors c = {0x2B2BFF, 0x000040, 0x000080, 0x000037, 0x000055, 0x000066,
                             0x000000, 0x000000, 0x000000, 0x000000, 0x000055, 0x000055,
                             0x000037, 0x404080, 0xC0C0C0, 0x000055, 0x000037, 0x000037,
                             0x000000, 0x9098A8, 0x2B2BFF, 0x000000, 0x000055, 0x580030,
                             0xC8CCD5, 0xC0C0C0, 0x604048, 0x000080, 0x000055, 0x000000};
    return c;
}

std::uint32_t NightVision::readElement(int element, const QPalette& palette,
                                       const QBrush& workspace) {
    if (element == APPWORKSPACE) return Conv::bgrFromColor(workspace.color());
    for (const auto& r : kRoles) {
        if (r.element != element) continue;
        const auto group = r.group == QPalette::All ? QPalette::Active : r.group;
        return Conv::bgrFromColor(palette.color(group, r.role));
    }
    return 0;
}

QPalette NightVision::applyElements(const QPalette& base, const Colors& colors) {
    QPalette p = base;
    for (const auto& r : kRoles)
        p.setColor(r.group, r.role, Conv::colorFromBgr(colors[static_cast<size_t>(r.element)]));
    return p;
}

void NightVision::useNightStyle() {
    NightStyle::install();
}

void NightVision::SaveOriginalColors() {
    savedPalette_ = QApplication::palette();
    savedToolTips_ = QToolTip::palette();
    savedWorkspace_ = workspace_ ? workspace_->background() : QBrush();
    haveSaved_ = true;
}

void NightVision::SetNightVision() {
    const QPalette base = haveSaved_ ? savedPalette_ : QApplication::palette();
    const QPalette night = applyElements(base, NightVisionColors());
    NightColours::setOn(true);
    if (!widgets_) widgets_ = std::make_unique<WidgetColours>();
    QApplication::setPalette(night);
    QToolTip::setPalette(night);
    widgets_->nightAll();
    if (workspace_)
        workspace_->setBackground(Conv::colorFromBgr(NightVisionColors()[APPWORKSPACE]));
}

void NightVision::RestoreOriginalColors() {
    if (!haveSaved_) return;
    NightColours::setOn(false);
    if (widgets_) {
        widgets_->restoreAll();
        widgets_.reset();
    }
    QApplication::setPalette(savedPalette_);
    QToolTip::setPalette(savedToolTips_);
    if (workspace_) workspace_->setBackground(savedWorkspace_);
}

}  // namespace zelmora
