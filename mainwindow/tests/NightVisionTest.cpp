#include <gtest/gtest.h>

#include <QApplication>
#include <QMdiArea>

#include "mainwindow/NightVision.h"
#include "shell/Conv.h"

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
    EXPECT_NE(QApplication::palette(), before);
    EXPECT_EQ(QApplication::palette().color(QPalette::Active, QPalette::Base), QColor(102, 0, 0));
    EXPECT_EQ(QApplication::palette().color(QPalette::Active, QPalette::ToolTipText),
              QColor(48, 0, 88));
    EXPECT_EQ(area.background().color(), QColor(55, 0, 0));

    nv.RestoreOriginalColors();
    EXPECT_EQ(QApplication::palette(), before);
    EXPECT_EQ(area.background(), workspaceBefore);
}

TEST(NightVisionTest, TableAndElementReading) {
    const auto& t = NightVision::NightVisionColors();
    EXPECT_EQ(t[23], 0x580030u);
    EXPECT_EQ(Conv::colorFromBgr(t[23]), QColor(48, 0, 88));
    EXPECT_EQ(t[13], 0x404080u);
    const QPalette night = NightVision::applyElements(QApplication::palette(), t);
    for (int e : {5, 8, 13, 14, 15, 17, 18, 23, 24, 26})
        EXPECT_EQ(NightVision::readElement(e, night, QBrush()), t[static_cast<size_t>(e)]) << e;
}
