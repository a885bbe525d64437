#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "focus/FocusAnalysis.h"
#include "focus/FocusFormat.h"
#include "focus/FocusHistory.h"
#include "focus/hlog.h"
#include "focus/tests/FocusTestUtil.h"
#include "shell/AppPaths.h"
#include "testing/TestEnv.h"

using namespace zelmora;
using namespace zelmora::focus;
using namespace zelmora::focus::testutil;

namespace {

FocusHistory tableWithLast(int lastColumn, float h, float v, float peak, float radial) {
    FocusHistory t;
    t.redim(lastColumn);
    t.set(0, lastColumn, h);
    t.set(1, lastColumn, v);
    t.set(2, lastColumn, peak);
    t.set(3, lastColumn, radial);
    return t;
}

QString path(const char* name) {
    return AppPaths::join(AppPaths::dataFiles(), QLatin1String(name));
}

TEST(FocusLogTest, FocusLogWritesItsHeaderAndOneLinePerNewColumn) {
    makeDataFiles();
    hlog log;
    log.LogFile = path("analyze.log");
    log.Kind = hlog::FocusLog;
    EXPECT_EQ(log.lastlog, -1);
    FocusHistory t;
    log.Log(t, {});  // no column yet: the header alone
    EXPECT_EQ(readFile(log.LogFile), QByteArray("\"HFWHM\",\"VFWHM\",\"PEAK\",\"RSV\"\r\n"));

    t = tableWithLast(2, 4.0f, 5.0f, 127.5f, 8.25f);
    log.Log(t, {});
    log.Log(t, {});  // the same column again (a re-analysis): nothing
    t.redim(3);
    t.set(0, 3, 1234.5f);
    t.set(1, 3, 0.5f);
    t.set(2, 3, 1.0f / 3.0f);
    log.Log(t, {});
    EXPECT_EQ(readFile(log.LogFile), QByteArray("\"HFWHM\",\"VFWHM\",\"PEAK\",\"RSV\"\r\n"
                                                "4,5,127.5,8.25\r\n"
                                                "1234.5,0.5,0.3333333,0\r\n"));
    EXPECT_EQ(log.lastlog, 3);
}

TEST(FocusLogTest, TrackingLogWritesTimeAndCentroidRoundedHalfToEven) {
    makeDataFiles();
    testenv::vclock().advance((45 * 60 + 3) * 1000);  // from 21:00:00
    hlog log;
    log.LogFile = path("Tracking.log");
    log.Kind = hlog::TrackingLog;
    FocusHistory t = tableWithLast(2, 1, 1, 1, 1);
    log.Log(t, {50.125, 49.375});
    t.redim(3);
    log.Log(t, {50.0, 0.5});
    EXPECT_EQ(readFile(log.LogFile), QByteArray("\"t\",\"DeltaX\",\"DeltaY\"\r\n"
                                                "\"21:45:03\",50.12,49.38\r\n"
                                                "\"21:45:03\",50,0.5\r\n"));
}

TEST(FocusLogTest, UnwritableFolderGivesNoFileAndALaterCallStartsWithTheHeader) {
    // No DataFiles folder: the open fails, quietly.
    hlog log;
    log.LogFile = path("analyze.log");
    const FocusHistory t = tableWithLast(2, 3, 3, 100, 5);
    EXPECT_NO_THROW(log.Log(t, {}));
    EXPECT_FALSE(QFile::exists(log.LogFile));
    EXPECT_EQ(log.lastlog, -1);
    makeDataFiles();
    log.Log(t, {});
    EXPECT_EQ(readFile(log.LogFile),
              QByteArray("\"HFWHM\",\"VFWHM\",\"PEAK\",\"RSV\"\r\n3,3,100,5\r\n"));
}

TEST(FocusLogTest, NumberTexts) {
    const struct {
        float value;
        const char* text;
    } floats[] = {{0.0f, "0"},
                  {12.0f, "12"},
                  {0.5f, "0.5"},
                  {-2.25f, "-2.25"},
                  {255.0f, "255"},
                  {1.0f / 3.0f, "0.3333333"},
                  {12.345678f, "12.34568"},
                  {0.0001f, "0.0001"}};
    for (const auto& c : floats) EXPECT_EQ(floatText(c.value), QLatin1String(c.text)) << c.value;

    const struct {
        double value;
        const char* text;
    } grouped[] = {
        {0.0, ".00"},   {3.0, "3.00"},   {1234.5, "1,234.50"}, {-5.0, "-5.00"},
        {0.125, ".13"}, {2.675, "2.68"}, {-0.5, "-.50"},       {1234567.0, "1,234,567.00"}};
    for (const auto& c : grouped)
        EXPECT_EQ(groupedTwoDecimals(c.value), QLatin1String(c.text)) << c.value;

    EXPECT_EQ(roundTo2(0.125), 0.12);
    EXPECT_EQ(roundTo2(0.375), 0.38);
    EXPECT_EQ(roundTo2(-0.125), -0.12);
}

// The logs as the analysis drives them.
class AnalysisLogTest : public ::testing::Test {
protected:
    void SetUp() override { makeDataFiles(); }
    FocusAnalysis& model = FocusAnalysis::instance();
    static int lines(const QString& file) { return readFile(file).count("\r\n"); }
};

TEST_F(AnalysisLogTest, StartingAfterFiveFramesLogsTheFifthThenOneLinePerFrame) {
    for (int i = 0; i < 5; ++i) analyse(model, starCrop(3.0 + i));
    model.StartTheFocusLog();
    const QString file = FocusAnalysis::focusLogPath();
    EXPECT_EQ(lines(file), 2);
    EXPECT_TRUE(readFile(file).endsWith(hlog::focusLine(model.History())));
    analyse(model, starCrop(4.0));
    EXPECT_EQ(lines(file), 3);
    // A re-analysis of an older entry adds no column and no line.
    model.Update(2);
    EXPECT_EQ(lines(file), 3);
    // Stopping and starting again cuts the file to the header and the newest column.
    model.StopTheFocusLog();
    model.StartTheFocusLog();
    EXPECT_EQ(readFile(file), hlog::headerLine(hlog::FocusLog) + hlog::focusLine(model.History()));
}

TEST_F(AnalysisLogTest, FailedCentroidFrameIsSkippedAndTheNextGoodFrameLogged) {
    analyse(model, starCrop(4.0));
    model.StartTheFocusLog();
    model.StartTrackingLog();
    // The star leaves the window: no centroid, no lines.
    analyse(model, starCrop(4.0, 200.0, 10.0, 0.0, 1, 95.0, 95.0));
    EXPECT_EQ(lines(FocusAnalysis::focusLogPath()), 2);
    EXPECT_EQ(lines(FocusAnalysis::trackingLogPath()), 2);
    analyse(model, starCrop(5.0));
    EXPECT_EQ(lines(FocusAnalysis::focusLogPath()), 3);
    EXPECT_EQ(lines(FocusAnalysis::trackingLogPath()), 3);
}

}  // namespace
