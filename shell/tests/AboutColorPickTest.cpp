#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "shell/AboutStars.h"
#include "shell/Conv.h"
#include "shell/Neighbours.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"
#include "shell/frmAbout.h"
#include "shell/frmColorPick.h"
#include "testing/TestEnv.h"

using namespace zelmora;

namespace {

std::vector<QString>* gLog = nullptr;

class FakeCapture : public QWidget, public ICaptureWindow {
public:
    FakeCapture() { windows().markLoaded(Win::frmCapture, this); }
    ~FakeCapture() override { windows().markUnloaded(Win::frmCapture); }
    void LoadAThumb(const QString&) override {}
    void ChangeColors() override {
        gLog->push_back(QStringLiteral("frmCapture.ChangeColors ") +
                        QString::number(state().lForeColor));
    }
    QString sPicToshow() const override { return {}; }
};

class FakeAnalysis : public QWidget, public IAnalysisWindow {
public:
    FakeAnalysis() { windows().markLoaded(Win::frmAnalyze, this); }
    ~FakeAnalysis() override { windows().markUnloaded(Win::frmAnalyze); }
    void updateHistory() override {}
    void ChangeColors() override {
        gLog->push_back(QStringLiteral("frmAnalyze.ChangeColors ") +
                        QString::number(state().lForeColor));
    }
};

}  // namespace

TEST(AboutStarsTest, StepKeepsDInRangeForEveryDepth) {
    for (int z = -256; z <= 255; ++z) {
        AboutStars::Star s;
        s.X = -512;
        s.Y = 511;
        s.Z = std::int16_t(z);
        AboutStars::step(s, AboutStars::kSpeed, 3000, 1800);
        EXPECT_GE(s.D, 1) << z;
        EXPECT_LE(s.D, 511) << z;
        EXPECT_EQ(s.D, s.Z + 256) << z;
        EXPECT_TRUE(std::isfinite(s.screenX) && std::isfinite(s.screenY)) << z;
    }
    struct Case {
        int z, after;
    };
    for (const Case c : {Case{-255, 255}, Case{-256, 255}, Case{255, 254}, Case{0, -1}}) {
        AboutStars::Star s;
        s.Z = std::int16_t(c.z);
        AboutStars::step(s, AboutStars::kSpeed, 0, 0);
        EXPECT_EQ(s.Z, c.after) << c.z;
    }
}

TEST(AboutStarsTest, ProjectionAndBrightness) {
    AboutStars::Star s;
    s.X = 100;
    s.Y = -50;
    s.Z = 0;
    AboutStars::step(s, -1, 3000, 1800);  // Z -1, D 255
    EXPECT_DOUBLE_EQ(s.screenX, 100.0 * 2038 / 255 + 3000);
    EXPECT_DOUBLE_EQ(s.screenY, -50.0 * 2038 / 255 + 1800);
    struct Case {
        int z, grey;
    };
    for (const Case c : {Case{255, 1}, Case{2, 254}, Case{1, 255}, Case{0, 255}, Case{-255, 255}})
        EXPECT_EQ(AboutStars::brightness(c.z), c.grey) << c.z;
}

TEST(AboutStarsTest, SeedStaysInItsRanges) {
    std::mt19937 rng(7);
    AboutStars::Field field{};
    for (int round = 0; round < 50; ++round) {
        AboutStars::seed(field, rng);
        for (const auto& s : field) {
            EXPECT_TRUE(s.X >= -512 && s.X <= 511 && s.X == std::floor(s.X));
            EXPECT_TRUE(s.Y >= -512 && s.Y <= 511);
            EXPECT_TRUE(s.Z >= -256 && s.Z <= 255);
        }
    }
}

TEST(AboutBoxTest, CaptionWebsiteAndAnimationOnTheClock) {
    auto* about = new frmAbout;
    QPointer<frmAbout> guard(about);
    EXPECT_EQ(about->windowTitle(), "About Zelmora 3.0.0");
    EXPECT_TRUE(windows().isLoaded(Win::frmAbout));
    about->show();

    QTest::mouseClick(about->findChild<QPushButton*>("cmdWebsite"), Qt::LeftButton);
    ASSERT_EQ(testenv::desktop().opened.size(), 1u);
    const QUrl url = testenv::desktop().opened[0];
    EXPECT_EQ(url.toString(), frmAbout::kWebAddress);
    EXPECT_TRUE(url.host().endsWith(".invalid")) << "a placeholder, never a real site";

    const int creditsTop = about->credits()->y();
    testenv::vclock().advance(400);  // 20 frames, 10 credit steps
    EXPECT_EQ(about->credits()->y(), creditsTop - 10) << "15 twips (one pixel) every 40 ms";
    const QImage img = about->frameImage();
    int lit = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) lit += qGray(img.pixel(x, y)) > 0;
    EXPECT_GT(lit, 0) << "stars are drawn";

    about->credits()->move(0, -139);
    about->scrollCredits();  // reaches -2100 twips: back in at the bottom
    EXPECT_EQ(about->credits()->y(), about->findChild<QWidget*>("creditsArea")->height());

    about->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
    EXPECT_FALSE(windows().isLoaded(Win::frmAbout));
}

TEST(ColorPickTest, ButtonsCarryTheirColoursAndCaptions) {
    frmColorPick picker;
    EXPECT_EQ(picker.windowTitle(), "Color Picker");
    const QStringList captions = {" ", "Black", " ", "", "", "", "", "", "", "", "", " "};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(picker.cbColor(i)->text(), captions[i]) << i;
    EXPECT_EQ(Conv::colorFromBgr(frmColorPick::kColors[3]), QColor(0, 0, 192))
        << "0xC00000 is blue";
    EXPECT_EQ(Conv::colorFromBgr(frmColorPick::kColors[7]), QColor(128, 64, 0));
    EXPECT_TRUE(picker.cbColor(3)->styleSheet().contains("#0000c0"));
}

TEST(ColorPickTest, PickThenCancelOkOrCloseBox) {
    enum class End { Cancel, OK, CloseBox };
    struct Case {
        const char* name;
        std::vector<int> picks;
        End end;
        bool windowsLoaded;
        std::uint32_t color;  // lForeColor afterwards
        QString saved;        // "" = nothing written
        std::vector<QString> calls;
        bool stillOpen;
    };
    const Case cases[] = {
        {"pick then Cancel", {3}, End::Cancel, true, 192, "", {}, true},
        {"two picks then Cancel: the colour from opening",
         {5, 7},
         End::Cancel,
         false,
         192,
         "",
         {},
         true},
        {"Black then OK saves 0", {1}, End::OK, false, 0, "0", {}, false},
        {"OK pushes to the loaded windows",
         {3},
         End::OK,
         true,
         0xC00000,
         "12582912",
         {"frmCapture.ChangeColors 12582912", "frmAnalyze.ChangeColors 12582912"},
         false},
        {"OK without a pick keeps the colour", {}, End::OK, false, 192, "192", {}, false},
        {"close box is a cancel", {11}, End::CloseBox, true, 192, "", {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<QString> log;
        gLog = &log;
        state().lForeColor = 192;
        testenv::memSettings().clearWrites();
        std::unique_ptr<FakeCapture> capture;
        std::unique_ptr<FakeAnalysis> analysis;
        if (c.windowsLoaded) {
            capture = std::make_unique<FakeCapture>();
            analysis = std::make_unique<FakeAnalysis>();
        }
        windows().registerWindow(
            Win::frmColorPicker, [] { return new frmColorPick; }, false);
        QPointer<frmColorPick> picker = windows().showAs<frmColorPick>(Win::frmColorPicker);
        ASSERT_TRUE(picker);
        for (int i : c.picks) {
            QTest::mouseClick(picker->cbColor(i), Qt::LeftButton);
            EXPECT_EQ(state().lForeColor, frmColorPick::kColors[size_t(i)]) << "applies at once";
        }
        switch (c.end) {
            case End::Cancel:
                QTest::mouseClick(picker->findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
                break;
            case End::OK:
                QTest::mouseClick(picker->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
                break;
            case End::CloseBox:
                picker->close();
                break;
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(state().lForeColor, c.color);
        const auto& writes = testenv::memSettings().writes();
        if (c.saved.isEmpty()) {
            EXPECT_TRUE(writes.empty());
        } else {
            ASSERT_EQ(writes.size(), 1u);
            EXPECT_EQ(writes[0].section, "Options");
            EXPECT_EQ(writes[0].key, "Color");
            EXPECT_EQ(writes[0].value, c.saved);
        }
        EXPECT_EQ(log, c.calls);
        EXPECT_EQ(!picker.isNull(), c.stillOpen);
        EXPECT_EQ(windows().isLoaded(Win::frmColorPicker), c.stillOpen);
        delete picker.data();
        gLog = nullptr;
    }
}
