#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QListView>
#include <QPointer>
#include <QTest>
#include <functional>
#include <tuple>

#include "display/ScrollingImage.h"
#include "display/frmImageDisp.h"
#include "display/tests/DisplayTestSupport.h"
#include "focus/FocusAnalysis.h"
#include "focus/FocusFormat.h"
#include "focus/FocusWindows.h"
#include "focus/frmAnalyze.h"
#include "focus/hlog.h"
#include "focus/tests/FocusTestUtil.h"
#include "platform/os/Dialogs.h"
#include "platform/time/Clock.h"
#include "shell/WindowRegistry.h"

using namespace zelmora;
using namespace zelmora::focus;
using zelmora::display::frmImageDisp;

namespace {

// The real focus-frame window hands its crops to the real analysis window.
class FocusRoadTest : public ::testing::Test {
public:
    void SetUp() override {
        testutil::makeDataFiles();
        cursor = std::make_shared<platform::RecordingCursor>();
        platform::CursorService::setInstance(cursor);
        display::registerWindows();
        focus::registerWindows();
        main = std::make_unique<display::testing::FakeMain>();
        main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
        image = windows().showAs<frmImageDisp>(Win::frmImageDisp);
        QApplication::processEvents();
    }
    void TearDown() override {
        main.reset();
        platform::CursorService::setInstance(nullptr);
    }
    // A frame on a dark sky, so that only star light passes the centroid's threshold.
    QString frame(const char* name, double x, double y, double fwhm) {
        cDIBSection dib;
        dib.Create(800, 600);
        synth::renderStars(dib, {{x, y, fwhm, 220.0}, {400, 380, 3.0, 150.0}},
                           {5.0, 2.0, 7, false});
        const QByteArray jpeg = synth::encodeJpeg(dib, 92);
        const QString path = AppPaths::join(testenv::appDir(), QLatin1String(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(jpeg);
        return path;
    }
    void clickAt(const QPoint& at) {
        cursor->place(QPoint(640, 420));
        QTest::mouseClick(image->viewer(), Qt::LeftButton, Qt::NoModifier, at);
    }
    frmAnalyze* analysis() { return windows().ifLoadedAs<frmAnalyze>(Win::frmAnalyze); }
    QString label(const char* name) {
        return analysis()->findChild<QLabel*>(QLatin1String(name))->text();
    }
    int historyRows() {
        return analysis()->findChild<QListView*>(QStringLiteral("ListView1"))->model()->rowCount();
    }

    std::shared_ptr<platform::RecordingCursor> cursor;
    std::unique_ptr<display::testing::FakeMain> main;
    frmImageDisp* image = nullptr;
    FocusAnalysis& model = FocusAnalysis::instance();
};

TEST_F(FocusRoadTest, StarClickShowsThatStarsFiguresFrameAfterFrame) {
    image->LoadImage(frame("a.jpg", 300, 250, 4.0));
    EXPECT_FALSE(bAnalyzeLoaded());
    clickAt(QPoint(300, 250));
    ASSERT_NE(analysis(), nullptr);
    EXPECT_EQ(frameOf(analysis())->pos(), QPoint(0, 0));
    ASSERT_TRUE(analysis()->GetCurrentHFWHM());
    EXPECT_NEAR(*analysis()->GetCurrentHFWHM(), 4.0f, 1.5f);
    EXPECT_NEAR(*analysis()->GetCurrentVFWHM(), 4.0f, 1.5f);
    EXPECT_EQ(label("lblFWHM0"), groupedTwoDecimals(*analysis()->GetCurrentHFWHM()));
    EXPECT_EQ(historyRows(), 1);
    // The first drift is where the centre lies in the crop.
    const QString first = main->panels[5]->text();
    EXPECT_TRUE(first.startsWith(QStringLiteral("X:5"))) << first.toStdString();

    // The star drifts 2 pixels right and 1 down, and blurs.
    image->LoadImage(frame("b.jpg", 302, 251, 7.0));
    EXPECT_EQ(historyRows(), 2);
    const QStringList drift = main->panels[5]->text().split(u' ');
    ASSERT_EQ(drift.size(), 2);
    EXPECT_NEAR(drift[0].mid(2).toDouble(), 2.0, 0.3);
    EXPECT_NEAR(drift[1].mid(2).toDouble(), 1.0, 0.3);
    EXPECT_NEAR(*analysis()->GetCurrentHFWHM(), 7.0f, 1.5f);
    EXPECT_EQ(testutil::readFile(FocusAnalysis::focusLogPath()).count("\r\n"), 3);
}

TEST_F(FocusRoadTest, AnotherStarStartsAFreshHistoryAndLog) {
    image->LoadImage(frame("a.jpg", 300, 250, 4.0));
    clickAt(QPoint(300, 250));
    image->LoadImage(frame("b.jpg", 300, 250, 5.0));
    ASSERT_EQ(historyRows(), 2);
    testenv::dialogs().expectMsgBox(
        QStringLiteral("Are you sure you want to focus on a different star?"), platform::Msg::Yes);
    clickAt(QPoint(400, 380));
    ASSERT_NE(analysis(), nullptr);
    EXPECT_EQ(historyRows(), 1);
    EXPECT_EQ(model.History().lastIndex(), 2);
    EXPECT_NEAR(*model.GetCurrentHFWHM(), 3.0f, 1.5f);
    EXPECT_EQ(testutil::readFile(FocusAnalysis::focusLogPath()),
              hlog::headerLine(hlog::FocusLog) + hlog::focusLine(model.History()));
}

// A box of the focus road lets events run: the program may be left, or the
// image window closed, while it is up. Nothing may touch the window after.
enum class Arrival { ProgramExit, WindowClose };

struct BoxCase {
    const char* name;
    const char* box;
    std::function<void(FocusRoadTest&)> before;  // up to the moment the box would come
    std::function<void(FocusRoadTest&)> bring;   // what brings the box
};

std::string boxName(const ::testing::TestParamInfo<std::tuple<BoxCase, Arrival>>& info) {
    return std::string(std::get<0>(info.param).name) +
           (std::get<1>(info.param) == Arrival::ProgramExit ? "_ProgramExit" : "_WindowClose");
}

class FocusRoadBoxes : public FocusRoadTest,
                       public ::testing::WithParamInterface<std::tuple<BoxCase, Arrival>> {
public:
    void pickStar() {
        image->LoadImage(frame("a.jpg", 300, 250, 4.0));
        clickAt(QPoint(300, 250));
        ASSERT_NE(analysis(), nullptr);
    }
    QString unreadable() {
        const QString path = AppPaths::join(testenv::appDir(), QStringLiteral("broken.jpg"));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a picture");
        return path;
    }
    QString starless() {
        cDIBSection dib;
        dib.Create(800, 600);
        synth::renderStars(dib, {}, {5.0, 0.0, 7, false});
        const QString path = AppPaths::join(testenv::appDir(), QStringLiteral("dark.jpg"));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(synth::encodeJpeg(dib, 92));
        return path;
    }
};

TEST_P(FocusRoadBoxes, NothingTouchesTheImageWindowOnceItHasGone) {
    const auto& [c, arrival] = GetParam();
    QPointer<frmImageDisp> window = image;
    c.before(*this);
    bool arrived = false;
    testenv::dialogs().expectMsgBox(QString::fromUtf8(c.box)).whileShowing([&] {
        if (arrival == Arrival::ProgramExit) {
            platform::setShuttingDown(true);
            windows().closeAll();
        } else {
            frameOf(window)->close();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        arrived = true;
    });
    c.bring(*this);
    QCoreApplication::processEvents();
    EXPECT_TRUE(arrived) << c.name;
    EXPECT_FALSE(window) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, FocusRoadBoxes,
    ::testing::Combine(
        ::testing::Values(
            BoxCase{"DifferentStarQuestion", "Are you sure you want to focus on a different star?",
                    [](FocusRoadTest& t) { static_cast<FocusRoadBoxes&>(t).pickStar(); },
                    [](FocusRoadTest& t) {
                        // The press alone: the window goes while it is handled.
                        t.cursor->place(QPoint(640, 420));
                        t.image->viewer()->Image1_MouseDown(QPoint(400, 380));
                    }},
            BoxCase{"FrameThatCannotBeRead", "An error in Set Image occured trying to open file",
                    [](FocusRoadTest& t) { static_cast<FocusRoadBoxes&>(t).pickStar(); },
                    [](FocusRoadTest& t) {
                        t.image->LoadImage(static_cast<FocusRoadBoxes&>(t).unreadable());
                    }},
            // A frame without a centroid brings no box; the user's click on
            // its star does.
            BoxCase{"StarWithoutACentroid", "Centroid not found!",
                    [](FocusRoadTest& t) {
                        static_cast<FocusRoadBoxes&>(t).pickStar();
                        t.image->LoadImage(static_cast<FocusRoadBoxes&>(t).starless());
                    },
                    [](FocusRoadTest& t) {
                        // The press alone: the window goes while it is handled.
                        t.cursor->place(QPoint(640, 420));
                        t.image->viewer()->Image1_MouseDown(QPoint(300, 250));
                    }}),
        ::testing::Values(Arrival::ProgramExit, Arrival::WindowClose)),
    boxName);
}  // namespace
