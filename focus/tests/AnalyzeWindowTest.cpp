#include <gtest/gtest.h>

#include <QEnterEvent>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QtTest/QTest>

#include "focus/FocusAnalysis.h"
#include "focus/FocusFormat.h"
#include "focus/FocusWindows.h"
#include "focus/HistoryListModel.h"
#include "focus/frmAnalyze.h"
#include "focus/hlog.h"
#include "focus/tests/FocusTestUtil.h"
#include "shell/Conv.h"
#include "shell/Globals.h"
#include "shell/MainWindow.h"
#include "shell/Neighbours.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"
#include "testing/TestEnv.h"

using namespace zelmora;
using namespace zelmora::focus;
using namespace zelmora::focus::testutil;

namespace {

// The focus-frame window as the analysis sees it: it hands over its crop and,
// on a star click, unloads the analysis and starts a new history.
class FakeImageDisp : public QWidget, public IImageDispWindow, public IFocusFrameViewer {
public:
    FakeImageDisp() { windows().markLoaded(Win::frmImageDisp, this); }
    ~FakeImageDisp() override { windows().markUnloaded(Win::frmImageDisp); }

    QImage crop;

    void pickStar(const QImage& picture) {
        crop = picture;
        if (QWidget* old = windows().ifLoaded(Win::frmAnalyze)) frameOf(old)->close();
        state().bNewStar = true;
        if (auto* a = windows().showAs<IAnalysisWindow>(Win::frmAnalyze))
            a->updateHistoryOnStarClick();
    }
    void newFrame(const QImage& picture) {
        crop = picture;
        if (!state().bNewStar) return;
        if (auto* a = windows().showAs<IAnalysisWindow>(Win::frmAnalyze)) a->updateHistory();
    }

    void ProcessSpaceBar() override {}
    IFocusFrameViewer* ImageDisp() override { return this; }
    void LoadImage(const QString&) override {}
    void TopLeft() override {}
    void TopCentre() override {}
    void Topright() override {}
    void CentreLeft() override {}
    void centreImage() override {}
    void CentreRight() override {}
    void BottomLeft() override {}
    void BottomCentre() override {}
    void BottomRight() override {}
    QImage GetImage() const override { return crop; }
};

class FakeMain : public IMainWindow {
public:
    FakeMain() {
        for (auto& p : panels) p = new QLabel;
    }
    ~FakeMain() override {
        for (auto* p : panels) delete p;
    }
    QLabel* panels[6];
    void ToolbarEnable(const QString&) override {}
    QAction* button(int) const override { return nullptr; }
    QLabel* statusPanel(int index) const override {
        return index >= 1 && index <= 6 ? panels[index - 1] : nullptr;
    }
    QLineEdit* lbInterval() const override { return nullptr; }
    int zoomFactor() const override { return 1; }
};

class AnalyzeWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        makeDataFiles();
        registerWindows();
        display = new FakeImageDisp;
        setMainWindow(&main);
    }
    void TearDown() override { setMainWindow(nullptr); }

    frmAnalyze* window() { return windows().ifLoadedAs<frmAnalyze>(Win::frmAnalyze); }
    template <typename T>
    T* control(const char* name) {
        T* w = window()->findChild<T*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QString text(const char* name) {
        const QLabel* label = control<QLabel>(name);
        return label ? label->text() : QStringLiteral("<missing>");
    }
    int historyRows() { return control<QListView>("ListView1")->model()->rowCount(); }

    FakeMain main;
    FakeImageDisp* display = nullptr;  // deleted by the registry's reset
    FocusAnalysis& model = FocusAnalysis::instance();
};

TEST_F(AnalyzeWindowTest, LoadStartsTheFocusLogAtTheTopLeft) {
    auto* w = windows().showAs<frmAnalyze>(Win::frmAnalyze);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(bAnalyzeLoaded());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Focus Analysis"));
    EXPECT_EQ(frameOf(w)->pos(), QPoint(0, 0));
    EXPECT_EQ(control<QPushButton>("cmdLog")->text(), QStringLiteral("Stop Log"));
    EXPECT_EQ(readFile(FocusAnalysis::focusLogPath()), hlog::headerLine(hlog::FocusLog));
    for (const char* name : {"lblFWHM0", "lblFWHM1", "lblFWHM2", "Label4"})
        EXPECT_EQ(text(name), QStringLiteral("0.000")) << name;
    EXPECT_EQ(text("Label1"), QStringLiteral("HFMHM"));
    EXPECT_EQ(text("Label6"), QStringLiteral("Radial Sum Value"));
}

TEST_F(AnalyzeWindowTest, UnloadClosesBothLogsAndAReloadStartsOnlyTheFocusLog) {
    windows().show(Win::frmAnalyze);
    control<QPushButton>("cbLogTrack")->click();
    EXPECT_EQ(control<QPushButton>("cbLogTrack")->text(), QStringLiteral("Stop Tracking Data Log"));
    EXPECT_EQ(readFile(FocusAnalysis::trackingLogPath()), hlog::headerLine(hlog::TrackingLog));
    state().bNewStar = true;
    frameOf(window())->close();
    EXPECT_FALSE(bAnalyzeLoaded());
    EXPECT_FALSE(state().bNewStar);
    EXPECT_FALSE(model.focusLogOn());
    EXPECT_FALSE(model.trackingLogOn());

    windows().show(Win::frmAnalyze);
    EXPECT_TRUE(model.focusLogOn());
    EXPECT_FALSE(model.trackingLogOn());
    EXPECT_EQ(control<QPushButton>("cbLogTrack")->text(), QStringLiteral("Log Tracking Data"));
    // The log buttons toggle.
    control<QPushButton>("cmdLog")->click();
    EXPECT_FALSE(model.focusLogOn());
    EXPECT_EQ(control<QPushButton>("cmdLog")->text(), QStringLiteral("Log Focus"));
}

TEST_F(AnalyzeWindowTest, StarClickShowsThatStarsFiguresAndTheDrift) {
    display->pickStar(starCrop(5.0));
    ASSERT_NE(window(), nullptr);
    auto* analysis = windows().ifLoadedAs<IAnalysisWindow>(Win::frmAnalyze);
    ASSERT_TRUE(analysis->GetCurrentHFWHM());
    EXPECT_GT(*analysis->GetCurrentHFWHM(), 3.0f);
    EXPECT_EQ(text("lblFWHM0"), groupedTwoDecimals(*analysis->GetCurrentHFWHM()));
    EXPECT_EQ(text("lblFWHM1"), groupedTwoDecimals(*analysis->GetCurrentVFWHM()));
    EXPECT_EQ(text("lblFWHM2"), floatText(*analysis->GetCurrentPeakValue()));
    EXPECT_EQ(text("Label4"), groupedTwoDecimals(*analysis->GetCurrentRadialSum()));
    EXPECT_FALSE(control<QLabel>("SourcePic")->pixmap().isNull());
    EXPECT_EQ(historyRows(), 1);
    // The first drift is the absolute centroid.
    const aPoint c = model.oCentroid();
    EXPECT_EQ(main.statusPanel(6)->text(), QStringLiteral("X:%1 Y:%2")
                                               .arg(Conv::numberText(roundTo2(c.X)))
                                               .arg(Conv::numberText(roundTo2(c.Y))));
    // The next frame: the star moved two pixels left.
    display->newFrame(ringCrop(0.0, 3.0, 200, 48.0, 50.0));
    display->newFrame(ringCrop(0.0, 3.0, 200, 46.0, 50.0));
    EXPECT_EQ(main.statusPanel(6)->text(), QStringLiteral("X:-2 Y:0"));
    EXPECT_EQ(historyRows(), 3);
    // One line per analysed frame in the focus log.
    EXPECT_EQ(readFile(FocusAnalysis::focusLogPath()).count("\r\n"), 4);
}

TEST_F(AnalyzeWindowTest, PickingAnotherStarStartsAFreshHistory) {
    display->pickStar(starCrop(5.0));
    display->newFrame(starCrop(6.0));
    ASSERT_GT(*model.GetCurrentHFWHM(), 0.0f);
    // The new star is too faint: the old star's figures must not stand in.
    testenv::dialogs().expectMsgBox(FocusAnalysis::kNoCentroidMessage);
    display->pickStar(starCrop(4.0, 8.0, 5.0, 0.0));
    EXPECT_EQ(historyRows(), 1);
    auto* analysis = windows().ifLoadedAs<IAnalysisWindow>(Win::frmAnalyze);
    EXPECT_EQ(*analysis->GetCurrentHFWHM(), 0.0f);
    EXPECT_EQ(readFile(FocusAnalysis::focusLogPath()), hlog::headerLine(hlog::FocusLog));
    EXPECT_TRUE(testenv::dialogs().allUsed());
}

TEST_F(AnalyzeWindowTest, PausedFramesJoinTheListOnlyAndAnEntryCanBeAnalysedAgain) {
    display->pickStar(starCrop(5.0));
    state().bAnalysisPaused = true;
    display->newFrame(starCrop(9.0));
    EXPECT_EQ(historyRows(), 2);
    EXPECT_EQ(model.History().lastIndex(), 2);
    state().bAnalysisPaused = false;
    window()->ListView1_ItemClick(2);  // analysed now, where the star was last found
    EXPECT_EQ(model.History().lastIndex(), 3);
    EXPECT_GT(model.History().at(0, 3), model.History().at(0, 2));
}

TEST_F(AnalyzeWindowTest, AutofocusButtonFlagIsClearedWhenThePointerLeaves) {
    windows().show(Win::frmAnalyze);
    auto* button = control<QPushButton>("cbAutofocus");
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(button, &enter);
    EXPECT_TRUE(state().bMsgBoxShowing);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(button, &leave);
    EXPECT_FALSE(state().bMsgBoxShowing);
    // Pressed and released: cleared before the click opens the autofocus window
    // (which links the stored focuser without asking).
    Settings::save(QStringLiteral("Focuser"), QStringLiteral("ID"),
                   QStringLiteral("Simulator.AbsoluteFocuser"));
    QTest::mousePress(button, Qt::LeftButton);
    EXPECT_TRUE(state().bMsgBoxShowing);
    QTest::mouseRelease(button, Qt::LeftButton);
    EXPECT_FALSE(state().bMsgBoxShowing);
    // A flag that a message box holds is not the button's to clear.
    state().bMsgBoxShowing = true;
    QCoreApplication::sendEvent(button, &enter);
    QCoreApplication::sendEvent(button, &leave);
    EXPECT_TRUE(state().bMsgBoxShowing);
}

TEST_F(AnalyzeWindowTest, ChangeColorsAppliesTheTextColour) {
    windows().show(Win::frmAnalyze);
    state().lForeColor = 0x000000C0;  // red, as 0x00BBGGRR
    window()->ChangeColors();
    for (const char* name : {"Label1", "lblFWHM0", "Label7"})
        EXPECT_EQ(control<QLabel>(name)->palette().color(QPalette::WindowText), QColor(192, 0, 0))
            << name;
    EXPECT_EQ(control<QWidget>("Frame1")->palette().color(QPalette::WindowText), QColor(192, 0, 0));
}

TEST_F(AnalyzeWindowTest, FiguresOutliveTheWindow) {
    // An autofocus run reads the model: closing the window keeps the figures.
    display->pickStar(starCrop(5.0));
    const float h = *model.GetCurrentHFWHM();
    frameOf(window())->close();
    ASSERT_TRUE(model.GetCurrentHFWHM());
    EXPECT_EQ(*model.GetCurrentHFWHM(), h);
}

TEST_F(AnalyzeWindowTest, WindowClosedWhileTheNoCentroidBoxIsUp) {
    display->pickStar(starCrop(5.0));
    testenv::dialogs().expectMsgBox(FocusAnalysis::kNoCentroidMessage).whileShowing([] {
        // Another star is picked while the box is up.
        frameOf(windows().ifLoaded(Win::frmAnalyze))->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    });
    display->pickStar(starCrop(4.0, 8.0, 5.0, 0.0));
    EXPECT_FALSE(bAnalyzeLoaded());
}

TEST_F(AnalyzeWindowTest, AFrameWithoutACentroidIsToldInTheWindowAndTheTraceWithoutABox) {
    // Frames come unattended (continuous focusing, an autofocus run): a box
    // would hold them until someone answered it. The user's own pick of a
    // star, and of a history entry, still gets the box.
    testenv::enableTrace();
    display->pickStar(starCrop(5.0));
    EXPECT_EQ(text("lblNotice"), QString());
    display->newFrame(starCrop(4.0, 200.0, 10.0, 0.0, 1, 95.0, 95.0));  // the star left the window
    EXPECT_TRUE(testenv::dialogs().shown().empty());
    EXPECT_EQ(historyRows(), 2);
    EXPECT_EQ(*model.GetCurrentHFWHM(), 0.0f);
    EXPECT_TRUE(text("lblNotice").endsWith(FocusAnalysis::kNoCentroidMessage))
        << text("lblNotice").toStdString();
    EXPECT_EQ(testenv::traceLines().count(FocusAnalysis::kNoCentroidMessage), 1);
    // The next measured frame clears the line.
    display->newFrame(starCrop(5.0));
    EXPECT_GT(*model.GetCurrentHFWHM(), 0.0f);
    EXPECT_EQ(text("lblNotice"), QString());
    // Entry 2 chosen again by hand: the box (OK only), flagged while it is up.
    bool flagWhileShowing = false;
    testenv::dialogs().expectMsgBox(FocusAnalysis::kNoCentroidMessage).whileShowing([&] {
        flagWhileShowing = state().bMsgBoxShowing;
    });
    window()->ListView1_ItemClick(2);
    EXPECT_TRUE(testenv::dialogs().allUsed());
    EXPECT_TRUE(flagWhileShowing);
    EXPECT_FALSE(state().bMsgBoxShowing);
    EXPECT_EQ(testenv::dialogs().shown().at(0).style, 0);
    EXPECT_TRUE(text("lblNotice").endsWith(FocusAnalysis::kNoCentroidMessage));
}

TEST_F(AnalyzeWindowTest, TheFiguresShownAreTheFrameShownsOwn) {
    // HFWHM, VFWHM, peak and radial value as the window shows them, and the
    // newest column's as it formats them; "0.000" is its text for no figure.
    auto shown = [&] {
        return QStringList{text("lblFWHM0"), text("lblFWHM1"), text("lblFWHM2"), text("Label4")}
            .join(QStringLiteral(" | "))
            .toStdString();
    };
    auto measured = [&] {
        return QStringList{groupedTwoDecimals(*model.GetCurrentHFWHM()),
                           groupedTwoDecimals(*model.GetCurrentVFWHM()),
                           floatText(*model.GetCurrentPeakValue()),
                           groupedTwoDecimals(*model.GetCurrentRadialSum())}
            .join(QStringLiteral(" | "))
            .toStdString();
    };
    auto blank = [](const QImage& image) {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if ((image.pixel(x, y) & 0xFFFFFFu) != 0) return false;
        return true;
    };
    const std::string none = "0.000 | 0.000 | 0.000 | 0.000";

    display->pickStar(starCrop(5.0));
    EXPECT_EQ(shown(), measured());

    // The star left the window: the notice, and nothing of the frame before.
    display->newFrame(starCrop(4.0, 200.0, 10.0, 0.0, 1, 95.0, 95.0));
    ASSERT_TRUE(text("lblNotice").endsWith(FocusAnalysis::kNoCentroidMessage));
    ASSERT_EQ(*model.GetCurrentHFWHM(), 0.0f);
    EXPECT_EQ(shown(), none);
    EXPECT_TRUE(blank(model.graphs().picFWHM.image())) << "the earlier frame's profiles";
    EXPECT_TRUE(blank(model.graphs().PicRII.image())) << "the earlier frame's radial curve";
    EXPECT_TRUE(blank(model.PicCal())) << "the earlier frame's star";

    display->newFrame(starCrop(5.0));
    EXPECT_EQ(text("lblNotice"), QString());
    EXPECT_EQ(shown(), measured());
    EXPECT_FALSE(blank(model.graphs().picFWHM.image()));

    // A star three levels above a bright sky: found, and its light sums up to
    // a radial value, but above the sky of the frame before its profiles are
    // too low for widths. (The first such frame is measured above the dark
    // sky of the one before it.)
    const QImage faint = starCrop(5.0, 3.0, 79.0, 0.0);
    display->newFrame(faint);
    display->newFrame(faint);
    ASSERT_EQ(model.lastOutcome(), FocusAnalysis::Outcome::Measured);
    ASSERT_EQ(*model.GetCurrentHFWHM(), 0.0f);
    ASSERT_EQ(*model.GetCurrentVFWHM(), 0.0f);
    ASSERT_EQ(*model.GetCurrentPeakValue(), 0.0f);
    EXPECT_EQ(shown(), "0.000 | 0.000 | 0.000 | " +
                           groupedTwoDecimals(*model.GetCurrentRadialSum()).toStdString());
    EXPECT_TRUE(blank(model.graphs().picFWHM.image())) << "the earlier frame's profiles";
    EXPECT_FALSE(blank(model.graphs().PicRII.image()));
}

TEST_F(AnalyzeWindowTest, HistoryIconsAreMadeOnlyForWhatIsShown) {
    testenv::enableTrace();
    display->pickStar(starCrop(5.0));
    EXPECT_TRUE(testenv::traceLines().contains(QStringLiteral("Updating History")));
    state().bAnalysisPaused = true;
    for (int i = 0; i < 450; ++i) display->newFrame(starCrop(5.0));
    EXPECT_EQ(historyRows(), 451);
    window()->grab();  // paints the visible icons
    auto* list = static_cast<HistoryListModel*>(control<QListView>("ListView1")->model());
    EXPECT_GT(list->cachedIcons(), 0);
    EXPECT_LT(list->cachedIcons(), 60);
}

}  // namespace
