#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "shell/AppPaths.h"
#include "shell/Errors.h"
#include "shell/Globals.h"
#include "shell/ProgramState.h"
#include "testing/TestEnv.h"

using namespace zelmora;

namespace {
QByteArray traceBytes() {
    QFile f(AppPaths::join(AppPaths::dataFiles(), "tracefile.log"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}
}  // namespace

TEST(TraceLogTest, FirstLineOfARunEmptiesTheFileLaterLinesAppend) {
    testenv::enableTrace();
    {
        QFile old(AppPaths::join(AppPaths::dataFiles(), "tracefile.log"));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("\"previous run\"\r\n");
    }
    Globals::WriteLogLine("abc");
    Globals::WriteLogLine(QString::fromUtf8("second \"quoted\" line °"));
    EXPECT_EQ(traceBytes(), QByteArray("\"abc\"\r\n\"second \"quoted\" line \xc2\xb0\"\r\n"));

    Globals::closeTraceLog();  // a new run
    Globals::WriteLogLine("new run");
    EXPECT_EQ(traceBytes(), QByteArray("\"new run\"\r\n"));
}

TEST(TraceLogTest, NothingIsWrittenWhileTracingIsOff) {
    QDir().mkpath(AppPaths::dataFiles());
    state().bTraceOn = false;
    Globals::WriteLogLine("dropped");
    EXPECT_FALSE(QFile::exists(AppPaths::join(AppPaths::dataFiles(), "tracefile.log")));
    state().bTraceOn = true;
    Globals::WriteLogLine("kept");
    EXPECT_EQ(testenv::traceLines(), QStringList{"kept"});
}

// Lines that cannot be written are dropped without an error, and the reason is
// said once on standard error and kept for the status bar; once the folder is
// there, tracing picks up again.
TEST(TraceLogTest, MissingOrBlockedDataFilesIsSaidOnceAndTracingGoesOn) {
    state().bTraceOn = true;
    EXPECT_EQ(Globals::traceLogProblem(), "");
    ::testing::internal::CaptureStderr();
    Globals::WriteLogLine("no folder");  // DataFiles missing
    QFile blocker(AppPaths::dataFiles());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));  // DataFiles is a file
    blocker.close();
    Globals::WriteLogLine("still no folder");
    const std::string err = ::testing::internal::GetCapturedStderr();
    const QString path = AppPaths::join(AppPaths::dataFiles(), "tracefile.log");
    const QString expected =
        "The trace log " + path +
        " cannot be written (No such file or directory); tracing goes on without it.";
    EXPECT_EQ(QString::fromLocal8Bit(err), expected + "\n");
    EXPECT_EQ(Globals::traceLogProblem(), expected);
    EXPECT_FALSE(QFileInfo(path).exists());

    ASSERT_TRUE(QFile::remove(AppPaths::dataFiles()));
    ASSERT_TRUE(QDir().mkpath(AppPaths::dataFiles()));
    Globals::WriteLogLine("folder back");
    EXPECT_EQ(Globals::traceLogProblem(), "");
    EXPECT_EQ(testenv::traceLines(), QStringList{"folder back"});
}

TEST(TraceLogTest, TrapAndTraceWritesTheErrorLineAndSkipOnFailureIsSilent) {
    testenv::enableTrace();
    const bool ok =
        trapAndTrace("setupFocusMode", [] { throw AppError(13, "x", "Type mismatch"); });
    EXPECT_FALSE(ok);
    EXPECT_EQ(state().sCurrentProc, "setupFocusMode");
    bool second = false;
    EXPECT_FALSE(guarded([] { throw std::runtime_error("boom"); }));
    EXPECT_TRUE(guarded([&] { second = true; }));
    EXPECT_TRUE(second);
    EXPECT_TRUE(trapAndTrace("LoadAThumb", [] { throw std::out_of_range("v"); }) == false);
    EXPECT_EQ(testenv::traceLines(),
              (QStringList{"Error in: setupFocusMode with error:Type mismatch 13",
                           "Error in: LoadAThumb with error:Subscript out of range 9"}));
}
