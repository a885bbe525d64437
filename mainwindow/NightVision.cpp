#include "mainwindow/NightVision.h"

#include <QApplication>
#include <QMdiArea>

#include "shell/Conv.h"

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

// Which palette entries each element colours. Captions, borders, the desktop
// and the scroll bar have no counterpart in the program's own palette.
const RoleMap kRoles[] = {
    {WINDOW, QPalette::All, QPalette::Base},
    {WINDOW, QPalette::All, QPalette::AlternateBase},
    {BTNFACE, QPalette::All, QPalette::Window},
    {BTNFACE, QPalette::All, QPalette::Button},
    {WINDOWTEXT, QPalette::All, QPalette::Text},
    {BTNTEXT, QPalette::All, QPalette::WindowText},
    {BTNTEXT, QPalette::All, QPalette::ButtonText},
    {HIGHLIGHT, QPalette::All, QPalette::Highlight},
    {HIGHLIGHTTEXT, QPalette::All, QPalette::HighlightedText},
    {BTNSHADOW, QPalette::All, QPalette::Mid},
    {BTNSHADOW, QPalette::All, QPalette::Dark},
    {BTNHIGHLIGHT, QPalette::All, QPalette::Light},
    {DKSHADOW3D, QPalette::All, QPalette::Shadow},
    {LIGHT3D, QPalette::All, QPalette::Midlight},
    {INFOTEXT, QPalette::All, QPalette::ToolTipText},
    {INFOBK, QPalette::All, QPalette::ToolTipBase},
    {HOTLIGHT, QPalette::All, QPalette::Link},
    {GRAYTEXT, QPalette::Disabled, QPalette::Text},
    {GRAYTEXT, QPalette::Disabled, QPalette::WindowText},
    {GRAYTEXT, QPalette::Disabled, QPalette::ButtonText},
};

}  // namespace

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

void NightVision::SaveOriginalColors() {
    savedPalette_ = QApplication::palette();
    savedWorkspace_ = workspace_ ? workspace_->background() : QBrush();
    haveSaved_ = true;
}

void NightVision::SetNightVision() {
    const QPalette base = haveSaved_ ? savedPalette_ : QApplication::palette();
    QApplication::setPalette(applyElements(base, NightVisionColors()));
    if (workspace_)
        workspace_->setBackground(Conv::colorFromBgr(NightVisionColors()[APPWORKSPACE]));
}

void NightVision::RestoreOriginalColors() {
    if (!haveSaved_) return;
    QApplication::setPalette(savedPalette_);
    if (workspace_) workspace_->setBackground(savedWorkspace_);
}

}  // namespace zelmora
