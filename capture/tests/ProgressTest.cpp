#include <gtest/gtest.h>

#include <set>

#include "capture/ctlProgress.h"
#include "platform/core/AppError.h"
#include "shell/NightColours.h"

using namespace zelmora;
using namespace zelmora::capture;

TEST(ProgressTest, CaptionTexts) {
    struct Case {
        std::int32_t v, min, max;
        int style;
        QString caption, text;
    };
    const std::vector<Case> cases = {
        {1, 0, 3, 3, "Progress:", "Progress: 33%"},
        {2, 0, 3, 3, "Progress:", "Progress: 67%"},
        {1, 0, 3, 3, "", "33%"},
        {1, 0, 3, 2, "Progress:", "33%"},
        {1, 0, 3, 1, "Progress:", "Progress:"},
        {1, 0, 3, 0, "Progress:", ""},
        {1, 0, 8, 3, "P", "P 13%"},
        {-5, -10, 10, 7, "", "25%"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ctlProgress::textFor(c.v, c.min, c.max, c.style, c.caption), c.text)
            << c.v << "/" << c.max;
}

TEST(ProgressTest, ValueIsKeptAndTheDrawingClamped) {
    ctlProgress p;
    p.resize(300, 20);
    p.setCaption("  Progress:  ");
    EXPECT_EQ(p.Caption(), "Progress:");
    p.setCaptionStyle(3);
    p.setMax(3);
    p.setFillColor(QColor(0, 255, 255));
    p.setBackColor(Qt::white);
    p.setForeColor(Qt::black);
    p.setValue(1);
    EXPECT_EQ(p.shownText(), "Progress: 33%");
    // A third of the width is bar: cyan on white (away from the text).
    EXPECT_EQ(QColor(p.surface().pixel(5, 2)), QColor(0, 255, 255));
    EXPECT_EQ(QColor(p.surface().pixel(99, 2)), QColor(0, 255, 255));
    EXPECT_EQ(QColor(p.surface().pixel(101, 2)), QColor(Qt::white));

    p.setValue(7);  // above Max
    EXPECT_EQ(p.value(), 7);
    EXPECT_EQ(p.shownText(), "Progress: 100%");
    EXPECT_EQ(QColor(p.surface().pixel(299, 2)), QColor(0, 255, 255));

    // A new caption shows only at the next value write.
    p.setCaption("Frames");
    EXPECT_EQ(p.shownText(), "Progress: 100%");
    p.setValue(0);
    EXPECT_EQ(p.shownText(), "Frames 0%");
    EXPECT_EQ(QColor(p.surface().pixel(5, 2)), QColor(Qt::white));
}

TEST(ProgressTest, BarAndTextCombineSoTheTextStaysReadable) {
    ctlProgress p;
    p.resize(200, 30);
    p.setCaptionStyle(2);
    p.setFillColor(QColor(0, 0, 255));
    p.setBackColor(Qt::white);
    p.setForeColor(Qt::black);
    p.setValue(100);  // full bar over the text
    // The text's pixels differ from the bar's under not-XOR drawing.
    int differing = 0;
    for (int x = 0; x < 200; ++x)
        for (int y = 0; y < 30; ++y)
            if (QColor(p.surface().pixel(x, y)) != QColor(0, 0, 255)) ++differing;
    EXPECT_GT(differing, 10);
}

// At night the bar and the text on it take the palette's selection colours:
// every pixel is a red, and the text shows on the bar as it does beside it.
TEST(ProgressTest, AtNightTheBarAndItsTextAreRed) {
    ctlProgress p;
    p.resize(200, 30);
    p.setCaptionStyle(2);
    p.setFillColor(QColor(0, 255, 255));
    p.setBackColor(Qt::white);
    p.setForeColor(Qt::black);
    QPalette night;
    night.setColor(QPalette::Base, Qt::black);
    night.setColor(QPalette::Text, QColor(255, 43, 43));
    night.setColor(QPalette::Highlight, QColor(255, 43, 43));
    night.setColor(QPalette::HighlightedText, Qt::black);
    p.setPalette(night);
    NightColours::setOn(true);
    p.setValue(50);  // the bar ends in the middle of "50%"
    std::set<QRgb> onBar, beside;
    for (int x = 0; x < 200; ++x)
        for (int y = 0; y < 30; ++y) {
            const QRgb c = p.surface().pixel(x, y);
            EXPECT_TRUE(NightColours::darkAdapted(QColor(c))) << x << "," << y;
            (x < 100 ? onBar : beside).insert(c);
        }
    EXPECT_TRUE(onBar.count(qRgb(255, 43, 43)) && onBar.count(qRgb(0, 0, 0)));
    EXPECT_TRUE(beside.count(qRgb(255, 43, 43)) && beside.count(qRgb(0, 0, 0)));

    NightColours::setOn(false);
    p.setValue(50);
    EXPECT_EQ(QColor(p.surface().pixel(5, 2)), QColor(0, 255, 255));
}

TEST(ProgressTest, EqualRangeIsAnError) {
    ctlProgress p;
    p.setMin(5);
    p.setMax(5);
    try {
        p.setValue(5);
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_EQ(e.number(), 11);
    }
    EXPECT_EQ(p.value(), 5);
}
