#include <gtest/gtest.h>

#include <QScrollBar>
#include <vector>

#include "display/BarModel.h"
#include "display/FocusFramePolicy.h"
#include "display/ZoomerPolicy.h"

using namespace zelmora;
using namespace zelmora::display;
using namespace zelmora::display::policy;

namespace {

TEST(FocusFramePolicy, EdgeTestKeepsTheWholeBoxOnEverySide) {
    // A 1000 x 800 pixel frame at 15 twips a pixel; the box is 100 x 100.
    const aPoint box{100, 100};
    const double w = 1000 * 15.0, h = 800 * 15.0;
    const struct {
        int px, py;
        bool nearEdge;
    } cases[] = {
        {100, 400, false}, {99, 400, true},   // left margin exactly, one pixel closer
        {900, 400, false}, {901, 400, true},  // right
        {500, 100, false}, {500, 99, true},   // top
        {500, 700, false}, {500, 701, true},  // bottom
    };
    for (const auto& c : cases)
        EXPECT_EQ(isNearEdge(c.px * 15.0, c.py * 15.0, box, {}, w, h), c.nearEdge)
            << c.px << "," << c.py;
    EXPECT_EQ(kEdgeMessage,
              QStringLiteral("Select a star that is not near the edge of the picture."));
}

TEST(FocusFramePolicy, DifferentStarFromTenPixelsInEitherAxis) {
    EXPECT_FALSE(isDifferentStar(509, 300, 500, 300));
    EXPECT_TRUE(isDifferentStar(510, 300, 500, 300));
    EXPECT_FALSE(isDifferentStar(500, 291, 500, 300));
    EXPECT_TRUE(isDifferentStar(500, 290, 500, 300));
    EXPECT_TRUE(isDifferentStar(491 - 1, 309, 500, 300));
}

TEST(FocusFramePolicy, CropCornerAndBlockRoundHalfToEven) {
    const struct {
        aPoint click, size;
        float theX, theY;
        QRect block;
    } cases[] = {
        {{300, 200}, {100, 100}, 250.0f, 150.0f, QRect(250, 150, 100, 100)},
        // X halves the rounded width with truncation, Y the exact height.
        {{300, 200}, {101, 101}, 250.0f, 149.5f, QRect(250, 150, 101, 101)},
        {{300.5, 200.5}, {100, 100}, 250.5f, 150.5f, QRect(250, 150, 100, 100)},
        {{301.5, 201.5}, {100, 100}, 251.5f, 151.5f, QRect(252, 152, 100, 100)},
        {{40, 30}, {100, 100}, -10.0f, -20.0f, QRect(-10, -20, 100, 100)},
    };
    for (const auto& c : cases) {
        const BoxCorner corner = boxCorner(c.click, c.size);
        EXPECT_FLOAT_EQ(corner.theX, c.theX);
        EXPECT_FLOAT_EQ(corner.theY, c.theY);
        EXPECT_EQ(cropRect(corner.theX, corner.theY, c.size), c.block);
    }
}

TEST(FocusFramePolicy, BarMaximaAreThirtyTwoBitAndMayBeNegative) {
    const struct {
        double picture, view;
        std::int32_t max;
    } cases[] = {
        {6000 * 15.0, 480 * 15.0, 20700},
        {10 * 15.0, 0, 38},  // 37.5 -> 38
        {11 * 15.0, 0, 41},  // 41.25
        {9 * 15.0, 0, 34},   // 33.75
        {2 + 4 * 32.5, 0, 33},
        {4 * 32.5, 0, 32},  // 32.5 -> 32
        {4 * 33.5, 0, 34},
        {300 * 15.0, 480 * 15.0, -675},     // smaller than the view
        {12000 * 15.0, 300 * 15.0, 43875},  // past a 16-bit bar: still fine
    };
    for (const auto& c : cases) EXPECT_EQ(barMaximum(c.picture, c.view), c.max) << c.picture;
}

TEST(FocusFramePolicy, NinePositionsVerticalFirst) {
    const struct {
        ViewPosition p;
        BarEnd v, h;
    } table[] = {
        {ViewPosition::centreImage, BarEnd::Middle, BarEnd::Middle},
        {ViewPosition::TopLeft, BarEnd::Minimum, BarEnd::Minimum},
        {ViewPosition::TopCentre, BarEnd::Minimum, BarEnd::Middle},
        {ViewPosition::Topright, BarEnd::Minimum, BarEnd::Maximum},
        {ViewPosition::CentreLeft, BarEnd::Middle, BarEnd::Minimum},
        {ViewPosition::CentreRight, BarEnd::Middle, BarEnd::Maximum},
        {ViewPosition::BottomLeft, BarEnd::Maximum, BarEnd::Minimum},
        {ViewPosition::BottomCentre, BarEnd::Maximum, BarEnd::Middle},
        {ViewPosition::BottomRight, BarEnd::Maximum, BarEnd::Maximum},
    };
    for (const auto& row : table) {
        EXPECT_EQ(placementOf(row.p).vertical, row.v);
        EXPECT_EQ(placementOf(row.p).horizontal, row.h);
    }
    EXPECT_EQ(barTarget(BarEnd::Middle, 0, 101), 50);     // 50.5 -> 50
    EXPECT_EQ(barTarget(BarEnd::Middle, 0, 103), 52);     // 51.5 -> 52
    EXPECT_EQ(barTarget(BarEnd::Middle, 0, -675), -338);  // -337.5 -> -338
    EXPECT_EQ(barTarget(BarEnd::Maximum, 0, -675), -675);
    EXPECT_EQ(barTarget(BarEnd::Minimum, 0, -675), 0);
}

TEST(FocusFramePolicy, CursorOffsetRoundTripsAtFifteen) {
    const QPoint window(1500, 300);  // twips
    for (const QPoint cursor : {QPoint(400, 250), QPoint(0, 0), QPoint(1919, 1079)}) {
        const QPoint offset = cursorOffset(cursor, window);
        EXPECT_EQ(offset, QPoint(cursor.x() * 15 - 1500, cursor.y() * 15 - 300));
        EXPECT_EQ(cursorFromOffset(offset, window), cursor);
    }
    // A window moved by 10 pixels moves the pointer by the same 10 pixels.
    const QPoint offset = cursorOffset(QPoint(400, 250), window);
    EXPECT_EQ(cursorFromOffset(offset, window + QPoint(150, 0)), QPoint(410, 250));
    EXPECT_EQ(pairText(250, 12.5), QStringLiteral("(250, 12.5)"));
}

TEST(FocusFramePolicy, LoadRetriesTheFailingStepOnce) {
    struct Run {
        std::vector<int> failures;  // how often each step fails before it works
        std::vector<QString> log;
    };
    const auto run = [](Run& r) {
        std::vector<std::function<void()>> steps;
        for (std::size_t i = 0; i < r.failures.size(); ++i)
            steps.push_back([&r, i] {
                if (r.failures[i]-- > 0) throw std::runtime_error("no");
                r.log.push_back(QStringLiteral("step %1").arg(i));
            });
        RetryHooks hooks;
        hooks.trace = [&r](int n) { r.log.push_back(QStringLiteral("trace %1").arg(n)); };
        hooks.pause = [&r] { r.log.push_back(QStringLiteral("pause")); };
        hooks.message = [&r] { r.log.push_back(QStringLiteral("message")); };
        return runWithOneRetry(steps, hooks);
    };
    Run once{{0, 1, 0}, {}};
    EXPECT_TRUE(run(once));
    EXPECT_EQ(once.log, (std::vector<QString>{"step 0", "trace 1", "pause", "step 1", "step 2"}));
    Run twice{{2, 0}, {}};
    EXPECT_FALSE(run(twice));
    EXPECT_EQ(twice.log, (std::vector<QString>{"trace 1", "pause", "message", "trace 2"}));
    // Two different steps failing once each: the second failure ends the load.
    Run apart{{1, 0, 1, 0}, {}};
    EXPECT_FALSE(run(apart));
    EXPECT_EQ(apart.log,
              (std::vector<QString>{"trace 1", "pause", "step 0", "step 1", "message", "trace 2"}));
}

TEST(FocusFramePolicy, SpaceBarRoutes) {
    using R = SpaceBarRoute;
    const struct {
        bool monitor, folder;
        std::int32_t task;
        bool simulation;
        R route;
    } table[] = {
        {true, false, 999, false, R::RemoteStatusOnly}, {true, false, 4242, false, R::RemoteKeys},
        {false, true, 4242, true, R::RemoteKeys},  // folder monitoring counts as monitor mode
        {false, true, 999, false, R::RemoteStatusOnly}, {false, false, 4242, true, R::Simulate},
        {false, false, 999, false, R::Release},
    };
    for (const auto& row : table)
        EXPECT_EQ(spaceBarRoute(row.monitor, row.folder, row.task, row.simulation), row.route);
    EXPECT_EQ(hotKeySequence("SPACE"), QStringLiteral(" "));
    EXPECT_EQ(hotKeySequence("Ctrl+Shift+F"), QStringLiteral("^+F"));
    EXPECT_EQ(hotKeySequence("{F1}"), QStringLiteral("{F1}"));
    EXPECT_EQ(hotKeySequence("{F9}"), QStringLiteral("{F9}"));
}

TEST(FocusFramePolicy, FirstPlacementIs200TwipsInsideTheMainWindow) {
    // 1200 px main window, 500 px window: (18000 - 7500 - 200) / 15 = 686.67 -> 687.
    EXPECT_EQ(firstPlacement(1200, 500), QPoint(687, 0));
}

TEST(BarModelTest, EitherOrderAndTheViewFollows) {
    BarModel bar;
    std::vector<int> changes;
    bar.onChange = [&](int v) { changes.push_back(v); };
    QScrollBar view(Qt::Horizontal);
    bar.attach(&view);
    bar.setMin(0);
    bar.setMax(-40);
    EXPECT_EQ(view.minimum(), -40);
    EXPECT_EQ(view.maximum(), 0);
    EXPECT_TRUE(view.invertedAppearance());
    EXPECT_TRUE(bar.setValue(-40));
    EXPECT_FALSE(bar.setValue(1));  // outside: ignored
    EXPECT_EQ(bar.value(), -40);
    EXPECT_EQ(view.value(), -40);
    view.setValue(-10);  // the user drags
    EXPECT_EQ(bar.value(), -10);
    bar.setMax(50);  // the value stays inside the new range
    EXPECT_FALSE(view.invertedAppearance());
    EXPECT_EQ(bar.value(), 0);
    EXPECT_EQ(changes, (std::vector<int>{-40, -10, 0}));
}

TEST(ZoomerPolicyTest, SideBySourceSquare) {
    const int sides[] = {128, 100, 80, 65, 35, 20, 10, 5, 1};
    for (int f = 1; f <= 9; ++f) EXPECT_EQ(zoom::sideFor(f, 77), sides[f - 1]);
    EXPECT_EQ(zoom::sideFor(0, 77), 77);
    EXPECT_EQ(zoom::sideFor(10, 77), 77);
    // 35: 100 - 17.5 = 82.5 -> 82; 101 - 17.5 = 83.5 -> 84.
    EXPECT_EQ(zoom::sourceSquare(QPoint(100, 101), 35), QRect(82, 84, 35, 35));
    EXPECT_EQ(zoom::sourceSquare(QPoint(100, 100), 1), QRect(100, 100, 1, 1));  // 99.5 -> 100
    EXPECT_EQ(zoom::sourceSquare(QPoint(101, 101), 1), QRect(100, 100, 1, 1));  // 100.5 -> 100
    EXPECT_EQ(zoom::unscaledSource(QPoint(300, 200), 109), QRect(250, 150, 109, 109));
}

}  // namespace
