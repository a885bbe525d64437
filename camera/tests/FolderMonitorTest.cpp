#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <filesystem>

#include "camera/FolderMonitor.h"
#include "platform/core/AppError.h"
#include "platform/os/ChangeNotifier.h"
#include "testing/TestEnv.h"

using namespace zelmora;
using zelmora::camera::FolderMonitor;
using zelmora::testenv::vclock;
namespace fs = std::filesystem;

namespace {

void writeFile(const QString& path, const QByteArray& data = "data") {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

// Moves the file's time on by a second, as a later save would.
void touchLater(const QString& path) {
    const fs::path p = path.toStdString();
    fs::last_write_time(p, fs::last_write_time(p) + std::chrono::seconds(1));
}

class FolderMonitorTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    QString dir(const QString& sub = {}) {
        if (sub.isEmpty()) return tmp.path();
        QDir().mkpath(tmp.path() + "/" + sub);
        return tmp.path() + "/" + sub;
    }
    void at(qint64 ms, std::function<void()> fn) { vclock().scheduleAt(ms, std::move(fn)); }
};

void expectError(const std::function<void()>& fn, int number, const QString& description) {
    try {
        fn();
        ADD_FAILURE() << "no error";
    } catch (const AppError& e) {
        EXPECT_EQ(e.number(), number);
        EXPECT_EQ(e.source(), "FolderMonitor.Folder");
        EXPECT_EQ(e.description(), description);
    }
}

}  // namespace

TEST_F(FolderMonitorTest, NewFileReportedOnceRewriteAgainStopEndsTheRunWithinOneSlice) {
    writeFile(dir() + "/old.jpg");
    FolderMonitor m;
    m.AddFolder(dir());
    m.setWaitTime(500);
    int occurred = 0;
    QObject::connect(&m, &FolderMonitor::ChangeOccurred, [&] { ++occurred; });
    QStringList first, second, third;
    qint64 stopAt = 0;
    at(1000, [&] { writeFile(dir() + "/IMG_0001.JPG"); });
    at(1700, [&] {
        EXPECT_TRUE(m.Changed());
        first = m.ChangedList();
        second = m.ChangedList();
    });
    at(2000, [&] { touchLater(dir() + "/IMG_0001.JPG"); });
    at(2700, [&] { third = m.ChangedList(); });
    at(3100, [&] {
        stopAt = vclock().monotonicMs();
        m.StopMonitoring();
    });
    m.StartMonitoring();
    EXPECT_LE(vclock().monotonicMs() - stopAt, 500);
    EXPECT_GE(occurred, 2);
    EXPECT_EQ(first, QStringList{dir() + "/IMG_0001.JPG"});
    EXPECT_TRUE(second.isEmpty());
    EXPECT_EQ(third, QStringList{dir() + "/IMG_0001.JPG"});
    m.setChanged(true);
    EXPECT_TRUE(m.ChangedList().isEmpty()) << "nothing after stop";
}

TEST_F(FolderMonitorTest, ReadOnlyChangeCountsOnlyWithAttributes) {
    for (const bool attributes : {false, true}) {
        SCOPED_TRACE(attributes);
        QTemporaryDir d;
        writeFile(d.path() + "/a.jpg");
        FolderMonitor m;
        m.AddFolder(d.path());
        m.setAttributes(attributes);
        EXPECT_EQ(m.notifyFilter(), attributes ? 21u : 17u);
        QStringList got;
        int occurred = 0;
        QObject::connect(&m, &FolderMonitor::ChangeOccurred, [&] { ++occurred; });
        const qint64 t0 = vclock().monotonicMs();
        vclock().scheduleAt(
            t0 + 500, [&] { QFile::setPermissions(d.path() + "/a.jpg", QFileDevice::ReadOwner); });
        vclock().scheduleAt(t0 + 900, [&] { got = m.ChangedList(); });
        vclock().scheduleAt(t0 + 1000, [&] { m.StopMonitoring(); });
        m.StartMonitoring();
        EXPECT_EQ(occurred > 0, attributes);
        EXPECT_EQ(got, attributes ? QStringList{d.path() + "/a.jpg"} : QStringList{});
    }
}

TEST_F(FolderMonitorTest, SeveralFoldersFiringInOneWaitLoseNothingAndSubFoldersAreWatched) {
    FolderMonitor m;
    const QString a = dir("a"), b = dir("b"), c = dir("c");
    m.AddFolder(QStringList{a, "  " + b + " "});
    m.AddFolder(c);
    EXPECT_EQ(m.Folders(), (QStringList{a, b, c}));
    m.setIncludeSubFolders(true);
    m.setMask("*.jpg");
    QStringList got, later;
    at(500, [&] {
        writeFile(a + "/1.jpg");
        writeFile(c + "/3.jpg");
        writeFile(b + "/skip.txt");
        QDir().mkpath(b + "/night");
    });
    at(700, [&] { writeFile(b + "/night/2.jpg"); });  // a folder made while watching
    at(1500, [&] { got = m.ChangedList(); });
    at(2000, [&] { m.StopMonitoring(); });
    m.StartMonitoring();
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, (QStringList{a + "/1.jpg", b + "/night/2.jpg", c + "/3.jpg"}));
}

TEST_F(FolderMonitorTest, DeletedFilesOfTheListedFolderOnly) {
    const QString a = dir("a"), b = dir("b");
    writeFile(a + "/x.jpg");
    writeFile(b + "/y.jpg");
    FolderMonitor m;
    m.AddFolder(QStringList{a, b});
    m.setDeleted(true);
    QStringList got;
    at(500, [&] { QFile::remove(a + "/x.jpg"); });
    at(900, [&] { got = m.ChangedList(); });
    at(1000, [&] { m.StopMonitoring(); });
    m.StartMonitoring();
    EXPECT_EQ(got, QStringList{a + "/x.jpg"});
}

TEST_F(FolderMonitorTest, AddFolderErrorsWithTheirNumbersAndTexts) {
    FolderMonitor m;
    expectError([&] { m.AddFolder(dir() + "/missing"); }, AppError::kPathNotFound,
                "Invalid path specified for monitoring " + dir() + "/missing");
    for (int i = 0; i < 62; ++i) m.AddFolder(dir());
    // A call with two paths would pass 63: refused whole.
    expectError(
        [&] {
            m.AddFolder(QStringList{dir(), dir()});
        },
        -2147213649, "Only 63 folders can be monitored simultaneously");
    EXPECT_EQ(m.Folders().size(), 62);
    m.AddFolder(dir());
    expectError([&] { m.AddFolder(dir()); }, -2147213649,
                "Only 63 folders can be monitored simultaneously");

    FolderMonitor running;
    running.AddFolder(dir());
    at(100, [&] {
        expectError([&] { running.AddFolder(dir()); }, -2147213650,
                    "Can not add folder to monitor while monitoring in progess");
        running.StopMonitoring();
    });
    running.StartMonitoring();
    EXPECT_EQ(running.Folders().size(), 1);

    FolderMonitor empty;
    const qint64 t = vclock().monotonicMs();
    empty.StartMonitoring();  // no folders: returns at once, never monitoring
    EXPECT_EQ(vclock().monotonicMs(), t);
    EXPECT_FALSE(empty.isMonitoring());
}

TEST_F(FolderMonitorTest, HandlesAreClosedExactlyOnceOnStopRestartAndDestruction) {
    auto fake = std::make_unique<platform::RecordingChangeNotifier>();
    auto* n = fake.get();
    auto journal = n->journal;
    n->failOpen << dir("bad");
    auto* m = new FolderMonitor(std::move(fake));
    m->AddFolder(QStringList{dir("good"), dir("bad")});
    at(100, [&] { m->StopMonitoring(); });
    m->StartMonitoring();
    EXPECT_EQ(m->notes(), QStringList{"FileNotification.StartMonitoring(): Failed to initialize "
                                      "folder for monitoring"});
    m->StopMonitoring();  // a second stop closes nothing again
    at(200, [&] { m->StopMonitoring(); });
    m->StartMonitoring();  // a second run on the same object
    EXPECT_EQ(n->journal->calls.filter("close"), (QStringList{"close 100", "close 101"}));

    // Destroyed from a handler while its run waits: the run ends, nothing leaks
    // and the handle is closed once.
    bool signalled = false;
    QObject::connect(m, &FolderMonitor::ChangeOccurred, [&] { signalled = true; });
    at(300, [&] { n->signal(102); });
    at(400, [&] { delete m; });
    const qint64 before = vclock().monotonicMs();
    m->StartMonitoring();
    EXPECT_TRUE(signalled);
    EXPECT_LE(vclock().monotonicMs() - before, 400 + 100);
    EXPECT_EQ(journal->calls.filter("close"), (QStringList{"close 100", "close 101", "close 102"}));
    EXPECT_TRUE(journal->openNow.empty());
}

TEST_F(FolderMonitorTest, FailedWaitIsNotedAndStopsTheObject) {
    auto fake = std::make_unique<platform::RecordingChangeNotifier>();
    auto* n = fake.get();
    FolderMonitor m(std::move(fake));
    m.AddFolder(QStringList{dir("one"), dir("two")});
    at(100, [&] { n->signal(101); });
    at(300, [&] {
        n->signal(100);
        n->signal(101);  // both in one wait
    });
    at(400, [&] { EXPECT_TRUE(m.Changed()); });
    at(500, [&] {
        n->failNextWait();
        n->signal(100);
    });
    m.StartMonitoring();
    EXPECT_FALSE(m.isMonitoring());
    EXPECT_EQ(m.notes(), QStringList{"FolderNotification.StartMonitoring(): Wait failed"});
    EXPECT_EQ(n->journal->calls.filter("close"), (QStringList{"close 100", "close 101"}));
}

// A watched folder that goes away (deleted, moved) is noticed and traced; once
// its path is a folder again it is watched anew and what it holds is listed.
TEST_F(FolderMonitorTest, ReplacedFolderIsWatchedAgainAndWhatItHoldsListed) {
    testenv::enableTrace();
    struct Row {
        const char* name;
        std::function<void(const QString&)> takeAway;
    };
    const Row rows[] = {
        {"deleted", [](const QString& f) { ASSERT_TRUE(QDir(f).removeRecursively()); }},
        {"moved away", [](const QString& f) { ASSERT_TRUE(QDir().rename(f, f + ".old")); }},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const QString folder = dir(QString::fromLatin1(r.name).replace(' ', '_'));
        writeFile(folder + "/IMG_0001.JPG");
        FolderMonitor m;
        m.AddFolder(folder);
        m.setWaitTime(500);
        QStringList listed;
        const qint64 t0 = vclock().monotonicMs();
        vclock().scheduleAt(t0 + 1000, [&] { r.takeAway(folder); });
        vclock().scheduleAt(t0 + 1700, [&] {
            // Made again with a frame already in it (the same name, too).
            QDir().mkpath(folder);
            writeFile(folder + "/IMG_0001.JPG");
            writeFile(folder + "/IMG_0002.JPG");
        });
        vclock().scheduleAt(t0 + 3000, [&] { listed << m.ChangedList(); });
        vclock().scheduleAt(t0 + 3500, [&] { writeFile(folder + "/IMG_0003.JPG"); });
        vclock().scheduleAt(t0 + 4500, [&] {
            listed << m.ChangedList();
            EXPECT_TRUE(m.isMonitoring());
            m.StopMonitoring();
        });
        m.StartMonitoring();
        EXPECT_EQ(listed, (QStringList{folder + "/IMG_0001.JPG", folder + "/IMG_0002.JPG",
                                       folder + "/IMG_0003.JPG"}));
        EXPECT_TRUE(m.notes().isEmpty());
        const QStringList trace = testenv::traceLines();
        EXPECT_EQ(trace.filter("the watched folder is gone").filter(folder).size(), 1);
        EXPECT_EQ(trace.filter("watching again: " + folder).size(), 1);
    }
}

// Gone for good (a card taken out): the run ends as a failed wait ends, noted.
TEST_F(FolderMonitorTest, FolderGoneForGoodEndsTheRunWithANote) {
    const QString folder = dir("card");
    FolderMonitor m;
    m.AddFolder(folder);
    m.setWaitTime(500);
    at(1000, [&] { QDir(folder).removeRecursively(); });
    at(30000, [&] { m.StopMonitoring(); });  // only if the run went on
    m.StartMonitoring();
    const qint64 ended = vclock().monotonicMs();
    EXPECT_GE(ended, 1000 + FolderMonitor::kGoneGraceMs);
    EXPECT_LE(ended, 1000 + FolderMonitor::kGoneGraceMs + 1000);
    EXPECT_FALSE(m.isMonitoring());
    EXPECT_EQ(
        m.notes(),
        QStringList{"FolderNotification.StartMonitoring(): The watched folder is gone: " + folder});
}

// The same through a notifier that reports the loss: the lost handle is closed
// once and a new one opened on the folder.
TEST_F(FolderMonitorTest, LostHandleIsClosedAndTheFolderOpenedAgain) {
    auto fake = std::make_unique<platform::RecordingChangeNotifier>();
    auto* n = fake.get();
    auto journal = n->journal;
    const QString folder = dir("one");
    FolderMonitor m(std::move(fake));
    m.AddFolder(folder);
    at(100, [&] { n->lose(100); });  // still there: watched again at once
    at(300, [&] { m.StopMonitoring(); });
    m.StartMonitoring();
    EXPECT_EQ(journal->calls,
              (QStringList{"open " + folder + " 0 17 -> 100", "lost 100", "close 100",
                           "open " + folder + " 0 17 -> 101", "close 101"}));
    EXPECT_TRUE(journal->openNow.empty());
}
