#pragma once

#include <QString>
#include <array>

namespace zelmora {

// The state of the main window's toolbar and the menu items that follow it.
// Buttons are numbered 1 to 22 as the other windows address them (separators
// count). ToolbarEnable's modes each touch only their own row of controls.
struct ToolbarModel {
    static constexpr int kButtons = 22;
    std::array<bool, kButtons + 1> enabled{};  // index 0 unused
    int focusImage = 2;                        // 2 = analysing, 17 = paused
    int connectImage = 14;                     // 14 = disconnected, 16 = connected
    QString connectTooltip = QStringLiteral("Connect to Camera");
    QString connectMenuCaption = QStringLiteral("Connect to Camera");
    bool connectMenuEnabled = true;
    bool positionMenuEnabled = true;
    bool intervalEnabled = true;

    ToolbarModel() { enabled.fill(true); }

    // Applies one mode; an unknown mode changes nothing. Returns whether it knew it.
    bool apply(const QString& mode);
};

}  // namespace zelmora
