#include "mainwindow/ToolbarModel.h"

#include <initializer_list>

namespace zelmora {

bool ToolbarModel::apply(const QString& mode) {
    auto set = [this](std::initializer_list<int> buttons, bool on) {
        for (int b : buttons) enabled[static_cast<size_t>(b)] = on;
    };
    if (mode == QLatin1String("Startup")) {
        set({1}, true);
        set({3, 5, 6, 7, 8, 9, 10, 11, 13, 14, 15, 19}, false);
        set({17, 22}, true);
        positionMenuEnabled = false;
        connectMenuEnabled = true;
        set({21}, true);
        intervalEnabled = false;
    } else if (mode == QLatin1String("Connected")) {
        connectImage = 16;
        connectMenuCaption = QStringLiteral("Disconnect Camera");
        set({13}, true);
        intervalEnabled = true;
        connectTooltip = QStringLiteral("Disconnect from Camera");
    } else if (mode == QLatin1String("Disconnected")) {
        connectMenuCaption = QStringLiteral("Connect to Camera");
        connectImage = 14;
        connectTooltip = QStringLiteral("Connect to Camera");
        set({13, 19}, false);
        intervalEnabled = false;
    } else if (mode == QLatin1String("ImageWindowOpen")) {
        set({3, 5, 6, 7, 8, 9, 10, 11, 22}, true);
        positionMenuEnabled = true;
    } else if (mode == QLatin1String("ImageWindowClose")) {
        set({3, 5, 6, 7, 8, 9, 10, 11}, false);
        positionMenuEnabled = false;
    } else {
        return false;
    }
    return true;
}

}  // namespace zelmora
