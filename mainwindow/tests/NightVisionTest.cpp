#include <gtest/gtest.h>

#include <QApplication>
#include <QMdiArea>

#include "mainwindow/NightVision.h"
#include "shell/Conv.h"
#include "shell/NightColours.h"

using namespace zelmora;

TEST(NightVisionTest, ApplyThenRestoreGivesTheIdenticalPalette) {
    const QPalette before = QApplication::palette();
    QMdiArea area;
    const QBrush workspaceBefore = area.background();
    NightVision nv(&area);
    nv.RestoreOriginalColors();  // nothing saved yet: no change
    EXPECT_EQ(QApplication::palette(), before);

    nv.SaveOriginalColors();
    nv.SetNightVision();
    EXPECT_TRUE(NightColours::on());
    EXPECT_NE(QApplication::palette(), before);
    EXPECT_EQ(QApplication::palette().color(QPalette::Active, QPalette::Base), QColor(0, 0, 0));
    EXPECT_EQ(QApplication::palette().color(QPalette::Active, QPalette::Text), QColor(255, 43, 43));
    EXPECT_EQ(area.background().color(), QColor(55, 0, 0));

    nv.RestoreOriginalColors();
    EXPECT_FALSE(NightColours::on());
    EXPECT_EQ(QApplication::palette(), before);
    EXPECT_EQ(area.background(), workspaceBefore);
}

// The table stays as it is; the palette takes each of its colours from one of
// the table's elements.
TEST(NightVisionTest, TableAndElementReading) {
    const auto& t = NightVision::NightVisionColors();
    EXPECT_EQ(t[23], 0x580030u);
    EXPECT_EQ(Conv::colorFromBgr(t[23]), QColor(48, 0, 88));
    EXPECT_EQ(t[13], 0x404080u);
    const QPalette night = NightVision::applyElements(QApplication::palette(), t);
    for (int e : {2, 6, 16, 20, 21, 22})
        EXPECT_EQ(NightVision::readElement(e, night, QBrush()), t[static_cast<size_t>(e)]) << e;
}

// Every text of the night palette stands out from the background it is written
// on by 4.5:1 at least, in dark-adapted reds only (the table's own pairs, black
// on dark red and a near-white tooltip, did not).
TEST(NightVisionTest, EveryTextOfTheNightPaletteCanBeRead) {
    const QPalette night =
        NightVision::applyElements(QApplication::palette(), NightVision::NightVisionColors());
    const std::pair<QPalette::ColorRole, QPalette::ColorRole> pairs[] = {
        {QPalette::WindowText, QPalette::Window},
        {QPalette::Text, QPalette::Base},
        {QPalette::ButtonText, QPalette::Button},
        {QPalette::HighlightedText, QPalette::Highlight},
        {QPalette::ToolTipText, QPalette::ToolTipBase},
        {QPalette::Text, QPalette::AlternateBase},
    };
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive})
        for (const auto& [text, back] : pairs) {
            const QColor fore = night.color(g, text), under = night.color(g, back);
            EXPECT_GE(NightColours::contrast(fore, under), 4.5) << text << " on " << back;
            EXPECT_TRUE(NightColours::darkAdapted(fore)) << text;
            EXPECT_TRUE(NightColours::darkAdapted(under)) << back;
        }
}
