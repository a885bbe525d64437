#include <gtest/gtest.h>

#include <cstdio>

#include "focus/FocusAnalysis.h"
#include "focus/FocusFormat.h"
#include "focus/tests/FocusTestUtil.h"
#include "image/StarData.h"
#include "platform/core/AppError.h"
#include "shell/Conv.h"
#include "shell/ProgramState.h"
#include "testing/TestEnv.h"

using namespace zelmora;
using namespace zelmora::focus;
using namespace zelmora::focus::testutil;
using Outcome = FocusAnalysis::Outcome;

namespace {

class FocusAnalysisTest : public ::testing::Test {
protected:
    FocusAnalysis& model = FocusAnalysis::instance();

    struct Figures {
        float h, v, peak, radial;
    };
    Figures figures() const {
        return {*model.GetCurrentHFWHM(), *model.GetCurrentVFWHM(), *model.GetCurrentPeakValue(),
                *model.GetCurrentRadialSum()};
    }
    // The star measured as on a running night: the background found on the
    // frame before is the one subtracted.
    Figures measureSteady(double fwhm, double peak = 200.0) {
        model.startAfresh();
        EXPECT_EQ(analyse(model, starCrop(fwhm, peak, 10.0, 2.0, 1)), Outcome::Measured);
        EXPECT_EQ(analyse(model, starCrop(fwhm, peak, 10.0, 2.0, 2)), Outcome::Measured);
        return figures();
    }
};

TEST_F(FocusAnalysisTest, MeasuredWidthsFollowTheTrueWidthWithinOnePixel) {
    float lastH = 0.0f;
    float lastV = 0.0f;
    std::printf("true FWHM | HFWHM | VFWHM | radial\n");
    for (int fwhm = 2; fwhm <= 12; ++fwhm) {
        const Figures f = measureSteady(fwhm);
        std::printf("%9d | %5.1f | %5.1f | %6.2f\n", fwhm, f.h, f.v, f.radial);
        EXPECT_NEAR(f.h, fwhm, 1.0) << "HFWHM at " << fwhm;
        EXPECT_NEAR(f.v, fwhm, 1.0) << "VFWHM at " << fwhm;
        EXPECT_GE(f.h, lastH) << "HFWHM shrank at " << fwhm;
        EXPECT_GE(f.v, lastV) << "VFWHM shrank at " << fwhm;
        lastH = f.h;
        lastV = f.v;
    }
    // Over the whole range the widths grow by the true growth.
    EXPECT_GE(lastH, 11.0f);
    EXPECT_GE(lastV, 11.0f);
}

TEST_F(FocusAnalysisTest, SaturatedStarGivesPeak255) {
    // On a black sky; over a sky background the profiles lose the background.
    ASSERT_EQ(analyse(model, starCrop(5.0, 400.0, 0.0, 0.0)), Outcome::Measured);
    EXPECT_EQ(*model.GetCurrentPeakValue(), 255.0f);
    EXPECT_EQ(model.graphs().lblFWHM[2], QStringLiteral("255"));
}

TEST_F(FocusAnalysisTest, AStarsFirstFrameReadsAsEveryLaterOne) {
    // A saturated star over a bright sky: the first frame of a star is
    // measured above its own sky as the later ones are, not above black nor
    // above the sky of the star before.
    for (int star = 0; star < 2; ++star) {
        const double sky = star == 0 ? 60.0 : 20.0;
        const QImage crop = starCrop(5.0, 400.0, sky, 0.0);
        model.startAfresh();
        ASSERT_EQ(analyse(model, crop), Outcome::Measured);
        const Figures first = figures();
        for (int frame = 2; frame <= 3; ++frame) {
            ASSERT_EQ(analyse(model, crop), Outcome::Measured);
            EXPECT_EQ(figures().peak, first.peak) << "star " << star << " frame " << frame;
            EXPECT_EQ(figures().h, first.h) << "star " << star << " frame " << frame;
            EXPECT_EQ(figures().v, first.v) << "star " << star << " frame " << frame;
            EXPECT_EQ(figures().radial, first.radial) << "star " << star << " frame " << frame;
        }
        EXPECT_EQ(first.peak, float(255 - sky));
    }
}

TEST_F(FocusAnalysisTest, UniformDiscGivesItsHalfFluxRadius) {
    for (double r : {6.0, 10.0, 14.0}) {
        model.startAfresh();
        ASSERT_EQ(analyse(model, ringCrop(0.0, r, 200)), Outcome::Measured);
        EXPECT_NEAR(*model.GetCurrentRadialSum(), r / std::sqrt(2.0), 0.5) << "radius " << r;
    }
}

TEST_F(FocusAnalysisTest, DoughnutStarGivesItsOuterEdges) {
    // A defocused star: a bright ring around a dark hole.
    ASSERT_EQ(analyse(model, ringCrop(6.0, 12.0, 180)), Outcome::Measured);
    const Figures f = figures();
    EXPECT_NEAR(f.h, 24.0f, 2.0f);
    EXPECT_NEAR(f.v, 24.0f, 2.0f);
}

TEST_F(FocusAnalysisTest, GettersHaveNoValueBeforeAnyAnalysis) {
    EXPECT_FALSE(model.GetCurrentHFWHM());
    EXPECT_FALSE(model.GetCurrentVFWHM());
    EXPECT_FALSE(model.GetCurrentPeakValue());
    EXPECT_FALSE(model.GetCurrentRadialSum());
    // A stored frame without a located star does not give one either.
    model.addPicture(starCrop(4.0), QStringLiteral("t"));
    EXPECT_FALSE(model.GetCurrentHFWHM());
}

TEST_F(FocusAnalysisTest, PausedFramesAreStoredWithoutGrowingTheTable) {
    ASSERT_EQ(analyse(model, starCrop(4.0)), Outcome::Measured);
    const Figures before = figures();
    const int columns = model.History().lastIndex();
    // What updateHistory does while analysis is paused: store only.
    model.addPicture(starCrop(9.0), QStringLiteral("t"));
    model.addPicture(starCrop(9.0), QStringLiteral("t"));
    EXPECT_EQ(model.count(), 3);
    EXPECT_EQ(model.History().lastIndex(), columns);
    EXPECT_EQ(figures().h, before.h);
    EXPECT_EQ(figures().peak, before.peak);
}

TEST_F(FocusAnalysisTest, FaintStarIsTracedAndNotedWithoutABoxAndLeavesAZeroColumnAndNoLogLine) {
    // Frames come unattended: the analysis itself never holds them on a box
    // (the window asks for one when the user picked the star by hand).
    makeDataFiles();
    testenv::enableTrace();
    ASSERT_EQ(analyse(model, starCrop(4.0)), Outcome::Measured);
    EXPECT_EQ(model.notice(), QString());
    model.StartTheFocusLog();
    const QByteArray logged = readFile(FocusAnalysis::focusLogPath());
    model.startAfresh();
    EXPECT_EQ(analyse(model, starCrop(4.0, 8.0, 5.0, 0.0)), Outcome::NoCentroid);
    EXPECT_EQ(model.lastOutcome(), Outcome::NoCentroid);
    EXPECT_TRUE(testenv::dialogs().shown().empty());
    EXPECT_EQ(model.notice(), QStringLiteral("21:45:03 ") + FocusAnalysis::kNoCentroidMessage);
    EXPECT_EQ(testenv::traceLines().count(FocusAnalysis::kNoCentroidMessage), 1);
    const Figures f = figures();
    EXPECT_EQ(f.h, 0.0f);
    EXPECT_EQ(f.v, 0.0f);
    EXPECT_EQ(f.peak, 0.0f);
    EXPECT_EQ(f.radial, 0.0f);
    EXPECT_EQ(readFile(FocusAnalysis::focusLogPath()), logged);
    // The next measured frame clears the notice.
    ASSERT_EQ(analyse(model, starCrop(4.0)), Outcome::Measured);
    EXPECT_EQ(model.notice(), QString());
}

TEST_F(FocusAnalysisTest, ASkyNearFullScaleGivesNoPositionUnlessAStarStandsOutOfIt) {
    // Nothing stands out of a sky this bright: no centroid, rather than the
    // window's middle read as the star.
    makeDataFiles();
    model.StartTrackingLog();
    const QByteArray logged = readFile(FocusAnalysis::trackingLogPath());
    EXPECT_EQ(analyse(model, starCrop(4.0, 0.0, 240.0, 2.0)), Outcome::NoCentroid);
    EXPECT_EQ(figures().h, 0.0f);
    EXPECT_EQ(readFile(FocusAnalysis::trackingLogPath()), logged);
    // A star standing clearly out of it, its top cut at full scale, is followed.
    model.startAfresh();
    EXPECT_EQ(analyse(model, starCrop(4.0, 200.0, 235.0, 0.0, 1, 44.0, 53.0)), Outcome::Measured);
    EXPECT_NEAR(model.oCentroid().X, 44.05, 0.1);
    EXPECT_NEAR(model.oCentroid().Y, 53.95, 0.1);
}

TEST_F(FocusAnalysisTest, ReanalysingAnOlderEntryWritesItsColumnAndTheGettersReadTheLast) {
    ASSERT_EQ(analyse(model, starCrop(3.0)), Outcome::Measured);
    ASSERT_EQ(analyse(model, starCrop(8.0)), Outcome::Measured);
    ASSERT_EQ(analyse(model, starCrop(5.0)), Outcome::Measured);
    const float newest = *model.GetCurrentHFWHM();
    const float secondBefore = model.History().at(0, 3);
    // Entry 2 again, without locating the star again.
    ASSERT_EQ(model.Update(2), Outcome::Measured);
    EXPECT_EQ(model.WhichHist(), 2);
    EXPECT_EQ(model.History().lastIndex(), 4);
    EXPECT_NEAR(model.History().at(0, 3), secondBefore, 1.0f);
    EXPECT_GT(model.History().at(0, 3), newest);
    EXPECT_EQ(*model.GetCurrentHFWHM(), newest);
}

TEST_F(FocusAnalysisTest, TheStarIsAlwaysLocatedOnTheFirstPicture) {
    ASSERT_EQ(analyse(model, starCrop(4.0, 200.0, 10.0, 0.0, 1, 40.0, 45.0)), Outcome::Measured);
    // A brighter star elsewhere on a later frame does not move the window.
    ASSERT_EQ(analyse(model, starCrop(4.0, 250.0, 10.0, 0.0, 1, 80.0, 80.0)), Outcome::NoCentroid)
        << "the window stays at the first picture's star";
}

TEST_F(FocusAnalysisTest, FailingMeasurementGivesNoFiguresAndNoLogLine) {
    makeDataFiles();
    testenv::enableTrace();
    ASSERT_EQ(analyse(model, starCrop(4.0)), Outcome::Measured);
    model.StartTheFocusLog();
    const QByteArray logged = readFile(FocusAnalysis::focusLogPath());
    model.setStarProcessor([](cDIBSection&, const aPoint&, aPoint&, cDIBSection&, std::int32_t) {
        throw AppError(9, QStringLiteral("cDIBSection.ProcessStar"),
                       QStringLiteral("Subscript out of range"));
    });
    EXPECT_EQ(analyse(model, starCrop(9.0)), Outcome::MeasureFailed);
    // The previous frame's profiles are not taken as this frame's figures.
    EXPECT_EQ(*model.GetCurrentHFWHM(), 0.0f);
    EXPECT_EQ(*model.GetCurrentPeakValue(), 0.0f);
    EXPECT_EQ(readFile(FocusAnalysis::focusLogPath()), logged);
    EXPECT_TRUE(testenv::traceLines().contains(
        QStringLiteral("Error in: frmAnalyze.Update with error:Subscript out of range 9")))
        << testenv::traceLines().join('\n').toStdString();
}

TEST_F(FocusAnalysisTest, ANewStarStartsWithNoFiguresOfTheOldOne) {
    ASSERT_EQ(analyse(model, starCrop(6.0)), Outcome::Measured);
    ASSERT_GT(*model.GetCurrentHFWHM(), 0.0f);
    model.startAfresh();  // the window loads for a new star
    EXPECT_FALSE(model.GetCurrentHFWHM());
    EXPECT_EQ(model.count(), 0);
    EXPECT_EQ(analyse(model, starCrop(4.0, 8.0, 5.0, 0.0)), Outcome::NoCentroid);
    EXPECT_EQ(*model.GetCurrentHFWHM(), 0.0f);
    EXPECT_EQ(model.History().lastIndex(), 2);
}

TEST_F(FocusAnalysisTest, DriftShowsTheAbsoluteCentroidFirstAndThenTheMoves) {
    ASSERT_EQ(analyse(model, ringCrop(0.0, 4.0, 200, 50.0, 50.0)), Outcome::Measured);
    const aPoint first = model.oCentroid();
    EXPECT_EQ(model.driftText(), QStringLiteral("X:%1 Y:%2")
                                     .arg(Conv::numberText(roundTo2(first.X)))
                                     .arg(Conv::numberText(roundTo2(first.Y))));
    // The star moves one pixel right and two up.
    ASSERT_EQ(analyse(model, ringCrop(0.0, 4.0, 200, 51.0, 48.0)), Outcome::Measured);
    EXPECT_EQ(model.driftText(), QStringLiteral("X:1 Y:-2"));
    // A reload counts from the absolute position again.
    model.startAfresh();
    ASSERT_EQ(analyse(model, ringCrop(0.0, 4.0, 200, 51.0, 48.0)), Outcome::Measured);
    EXPECT_TRUE(model.driftText().startsWith(QStringLiteral("X:51.05")))
        << model.driftText().toStdString();
}

TEST_F(FocusAnalysisTest, StarNearTheCropEdgeIsMeasuredFromThePixelsInside) {
    ASSERT_EQ(analyse(model, starCrop(4.0, 200.0, 10.0, 0.0, 1, 50.0, 50.0)), Outcome::Measured);
    const Figures centred = figures();
    // The 64 x 64 window reaches past the right and bottom edges.
    model.startAfresh();
    ASSERT_EQ(analyse(model, starCrop(4.0, 200.0, 10.0, 0.0, 1, 88.0, 90.0)), Outcome::Measured);
    EXPECT_NEAR(model.oCentroid().X, 88.0, 0.6);
    EXPECT_EQ(figures().h, centred.h);
    EXPECT_EQ(figures().peak, centred.peak);
    // And past the left and top edges.
    model.startAfresh();
    ASSERT_EQ(analyse(model, starCrop(4.0, 200.0, 10.0, 0.0, 1, 6.0, 5.0)), Outcome::Measured);
    EXPECT_NEAR(model.oCentroid().X, 6.0, 0.6);
}

TEST_F(FocusAnalysisTest, HistoryKeepsCropsCompact) {
    for (int i = 0; i < 450; ++i) model.addPicture(starCrop(4.0), QStringLiteral("t"));
    qsizetype bytes = 0;
    for (int i = 1; i <= model.count(); ++i) {
        const QImage& p = model.entry(i)->picture;
        EXPECT_EQ(p.format(), QImage::Format_RGB888);
        bytes += p.sizeInBytes();
    }
    // An hour of continuous focusing: crops only, 30 000 bytes each.
    EXPECT_EQ(bytes, qsizetype{450} * 30000);
}

}  // namespace
