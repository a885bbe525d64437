#include <gtest/gtest.h>

#include "mainwindow/ToolbarModel.h"

using namespace zelmora;

namespace {
std::vector<int> disabled(const ToolbarModel& m) {
    std::vector<int> out;
    for (int i = 1; i <= ToolbarModel::kButtons; ++i)
        if (!m.enabled[static_cast<size_t>(i)]) out.push_back(i);
    return out;
}
}  // namespace

TEST(ToolbarModelTest, EachModeFromAllEnabled) {
    struct Case {
        QString mode;
        std::vector<int> disabledButtons;
        bool positionMenu, interval;
        int connectImage;
        QString connectCaption, connectTooltip;
    };
    const std::vector<Case> cases = {
        {"Startup",
         {3, 5, 6, 7, 8, 9, 10, 11, 13, 14, 15, 19},
         false,
         false,
         14,
         "Connect to Camera",
         "Connect to Camera"},
        {"Connected", {}, true, true, 16, "Disconnect Camera", "Disconnect from Camera"},
        {"Disconnected", {13, 19}, true, false, 14, "Connect to Camera", "Connect to Camera"},
        {"ImageWindowOpen", {}, true, true, 14, "Connect to Camera", "Connect to Camera"},
        {"ImageWindowClose",
         {3, 5, 6, 7, 8, 9, 10, 11},
         false,
         true,
         14,
         "Connect to Camera",
         "Connect to Camera"},
        {"startup", {}, true, true, 14, "Connect to Camera", "Connect to Camera"},  // unknown: no
                                                                                    // change
    };
    for (const auto& c : cases) {
        ToolbarModel m;
        m.apply(c.mode);
        EXPECT_EQ(disabled(m), c.disabledButtons) << c.mode.toStdString();
        EXPECT_EQ(m.positionMenuEnabled, c.positionMenu) << c.mode.toStdString();
        EXPECT_EQ(m.intervalEnabled, c.interval) << c.mode.toStdString();
        EXPECT_EQ(m.connectImage, c.connectImage) << c.mode.toStdString();
        EXPECT_EQ(m.connectMenuCaption, c.connectCaption) << c.mode.toStdString();
        EXPECT_EQ(m.connectTooltip, c.connectTooltip) << c.mode.toStdString();
    }
}

TEST(ToolbarModelTest, SequencesKeepWhatEachModeDoesNotTouch) {
    ToolbarModel m;
    m.apply("Startup");
    m.apply("ImageWindowOpen");
    m.apply("Connected");
    EXPECT_EQ(disabled(m),
              (std::vector<int>{14, 15, 19}));  // Connected never enables Shutter Release
    m.apply("ImageWindowClose");
    EXPECT_TRUE(m.enabled[22]);  // Frame stays
    m.apply("Disconnected");
    EXPECT_EQ(disabled(m), (std::vector<int>{3, 5, 6, 7, 8, 9, 10, 11, 13, 14, 15, 19}));
}
