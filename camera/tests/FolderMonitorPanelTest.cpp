#include <gtest/gtest.h>

#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include "camera/FolderMonitor.h"
#include "camera/MonitorCheck.h"
#include "camera/ctlFolderMonitor.h"
#include "platform/time/QtClock.h"
#include "shell/Globals.h"
#include "shell/ProgramState.h"
#include "testing/TestEnv.h"

using namespace zelmora;
using namespace zelmora::camera;
using testenv::vclock;

namespace {

void writeFile(const QString& path, const QByteArray& data, bool append = false) {
    QFile f(path);
    ASSERT_TRUE(f.open(append ? QIODevice::Append : QIODevice::WriteOnly));
    f.write(data);
}

// --- The settling on the virtual clock ----------------------------------------

struct SettleRow {
    const char* name;
    // The file's size at a virtual time (ms from the start of the check);
    // -1 = gone.
    std::function<qint64(qint64)> size;
    qint64 stopAt;  // the check is stopped then (0 = never)
    MonitorCheck::Settle result;
    qint64 minMs, maxMs;  // when the check ends
};

TEST(MonitorSettle, SettlingTable) {
    const SettleRow rows[] = {
        {"stable JPEG", [](qint64) { return 5000; }, 0, MonitorCheck::Settle::Done, 500, 500},
        {"still growing", [](qint64 t) { return t < 1800 ? 1000 + t : 4000; }, 0,
         MonitorCheck::Settle::Done, 2500, 4500},
        {"tiny stable file after more than 20 s", [](qint64) { return 50; }, 0,
         MonitorCheck::Settle::Done, 21000, 22500},
        {"empty file that grows", [](qint64 t) { return t < 3200 ? 0 : 8000; }, 0,
         MonitorCheck::Settle::Done, 3200, 6000},
        {"empty for good: handed over at the 20 s cap", [](qint64) { return 0; }, 0,
         MonitorCheck::Settle::Done, 21000, 22500},
        {"deleted while settling", [](qint64 t) { return t < 2000 ? 40 : -1; }, 0,
         MonitorCheck::Settle::Gone, 2000, 3000},
        {"gone at the first look", [](qint64 t) { return t < 100 ? 500 : -1; }, 0,
         MonitorCheck::Settle::Gone, 500, 500},
        {"stopped while settling", [](qint64) { return 10; }, 3000, MonitorCheck::Settle::Stopped,
         3000, 3000},
    };
    for (const SettleRow& r : rows) {
        SCOPED_TRACE(r.name);
        const qint64 start = vclock().monotonicMs();
        auto wait = std::make_shared<platform::WaitControl>();
        if (r.stopAt) vclock().scheduleAt(start + r.stopAt, [wait] { wait->stop(); });
        QStringList trace;
        MonitorCheck::FileProbe probe;
        probe.size = [&](const QString&) -> std::optional<qint64> {
            const qint64 s = r.size(vclock().monotonicMs() - start);
            if (s < 0) return std::nullopt;
            return s;
        };
        probe.pause = [&](qint64 ms) {
            platform::clock().pumpFor(ms, wait);
            return !wait->stopped();
        };
        probe.trace = [&](const QString& l) { trace << l; };
        EXPECT_EQ(MonitorCheck::settle("/w/IMG_0001.JPG", probe), r.result);
        const qint64 took = vclock().monotonicMs() - start;
        EXPECT_GE(took, r.minMs);
        EXPECT_LE(took, r.maxMs);
        ASSERT_GE(trace.size(), 2);
        EXPECT_TRUE(trace[0].startsWith("Initial Size:"));
        EXPECT_TRUE(trace[1].startsWith("Size after 500ms:"));
        vclock().advance(5000);
    }
}

TEST(MonitorSettle, TraceLinesOfASmallFileThatGrows) {
    const qint64 start = vclock().monotonicMs();
    QStringList trace;
    auto wait = std::make_shared<platform::WaitControl>();
    MonitorCheck::FileProbe probe;
    probe.size = [&](const QString&) -> std::optional<qint64> {
        const qint64 t = vclock().monotonicMs() - start;
        return t < 1000 ? 0 : t < 2000 ? 300 : 600;
    };
    probe.pause = [&](qint64 ms) { return platform::clock().pumpFor(ms, wait); };
    probe.trace = [&](const QString& l) { trace << l; };
    MonitorCheck::settle("/w/a.jpg", probe);
    const QStringList want{
        "Initial Size:0",
        "Size after 500ms:0",
        "Files /w/a.jpg Exists:True",
        "Filesize in size < 100 loop:0 Time = 1/15/2026 9:00:00 PM",
        "Filesize in size < 100 loop:300 Time = 1/15/2026 9:00:01 PM",
        "Filesize in loop:300 Time = 1/15/2026 9:00:01 PM",
        "Newsize in loop:600 Time = 1/15/2026 9:00:02 PM",
        "Elapsed Time:2",
        "Filesize in loop:600 Time = 1/15/2026 9:00:02 PM",
        "Newsize in loop:600 Time = 1/15/2026 9:00:03 PM",
        "Elapsed Time:3",
    };
    EXPECT_EQ(trace.join("\n").toStdString(), want.join("\n").toStdString());
}

// --- Selection ----------------------------------------------------------------

TEST(MonitorSelection, WhichPathIsTakenTable) {
    struct Row {
        QStringList fresh;
        QString last;
        QString ignore;
        QString taken;  // "" = nothing handed over
    };
    const Row rows[] = {
        {{"/w/IMG_0001.JPG"}, "", "eg _T", "/w/IMG_0001.JPG"},
        {{"/w/img_0001.jpg"}, "", "eg _T", "/w/img_0001.jpg"},
        {{"/w/IMG_0001.CRW"}, "", "eg _T", ""},
        {{"/w/IMG_0001.JPG", "/w/IMG_0001.CRW"}, "", "eg _T", "/w/IMG_0001.JPG"},
        {{"/w/IMG_0001_T.JPG"}, "", "_T", ""},
        {{"/w/img_0001_t.jpg"}, "", "_T", ""},
        {{"/w/nonesuch/IMG_0002.JPG"}, "", "NONE", "/w/nonesuch/IMG_0002.JPG"},
        {{"/w/IMG_0001.JPG"}, "/w/IMG_0001.JPG", "NONE", ""},  // the same file re-saved
        // Another program's frame still under its temporary name.
        {{"/w/IMG_0001.JPG.part"}, "", "eg _T", ""},
        {{"/w/IMG_0001.JPG.crdownload"}, "", "eg _T", ""},
        {{"/w/img_0001.jpg.TMP"}, "", "eg _T", ""},
        {{"/w/IMG_0001.JPG", "/w/IMG_0002.JPG.part"}, "", "eg _T", "/w/IMG_0001.JPG"},
        {{}, "/w/IMG_0001.JPG", "NONE", ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.fresh.join(",").toStdString() + " / " + r.ignore.toStdString());
        const auto pick = MonitorCheck::lastNewJpeg(r.fresh, r.last);
        const QString taken = pick && !MonitorCheck::ignored(*pick, r.ignore) ? *pick : QString();
        EXPECT_EQ(taken, r.taken) << taken.toStdString();
    }
    const std::pair<const char*, int> delays[] = {{"0", 0},  {"5", 5000}, {"30", 30000},
                                                  {"33", 0}, {"abc", 0},  {"", 0}};
    for (const auto& [text, ms] : delays) EXPECT_EQ(MonitorCheck::delayMs(text), ms) << text;
}

// --- The panel ----------------------------------------------------------------

class PanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        testenv::enableTrace();
        Settings::save("Options", "MonitorFolder", tmp.path());
        panel = std::make_unique<ctlFolderMonitor>();
        panel->loadFolderMonSettings();
        QObject::connect(panel.get(), &ctlFolderMonitor::LoadANewImage, [this](const QString& p) {
            loaded << p;
            loadedAt << vclock().monotonicMs();
        });
    }
    void TearDown() override {
        panel.reset();
        EXPECT_TRUE(testenv::dialogs().allUsed());
    }
    template <typename T>
    T* child(const char* name) {
        return panel->findChild<T*>(name);
    }
    void at(qint64 ms, std::function<void()> fn) { vclock().scheduleAt(ms, std::move(fn)); }
    // Clicks Start; returns once the scheduled Stop click has ended monitoring.
    void runUntil(qint64 stopMs) {
        at(stopMs, [this] { child<QPushButton>("cmdStop")->click(); });
        child<QPushButton>("cmdStart")->click();
    }
    QString file(const QString& name) const { return tmp.path() + "/" + name; }
    int traced(const QString& prefix) {
        return static_cast<int>(testenv::traceLines().filter(prefix).size());
    }

    QTemporaryDir tmp;
    std::unique_ptr<ctlFolderMonitor> panel;
    QStringList loaded;
    QList<qint64> loadedAt;
};

TEST_F(PanelTest, SettingsLoadWithTheirDefaultsAndSaveOnStart) {
    EXPECT_EQ(child<QLineEdit>("txtFolderToMonitor")->text(), tmp.path());
    EXPECT_EQ(panel->RemoteHotKey(), "SPACE");
    EXPECT_EQ(child<QLineEdit>("txtIgnore")->text(), "eg _T");
    EXPECT_EQ(child<QComboBox>("cbDelay")->currentText(), "0");
    child<QComboBox>("lbHotkey")->setCurrentText("{F5}");
    // Typed without Browse: not the folder that is watched or saved.
    child<QLineEdit>("txtFolderToMonitor")->setText("/elsewhere");
    at(100, [&] { EXPECT_TRUE(state().bFolderMonitoring); });
    runUntil(1000);
    EXPECT_EQ(Settings::get("Options", "HotKey", ""), "{F5}");
    EXPECT_EQ(Settings::get("Options", "MonitorFolder", ""), tmp.path());
    EXPECT_EQ(panel->objFolderMonitor()->Folders(), QStringList{tmp.path()});
    EXPECT_FALSE(state().bFolderMonitoring);
    EXPECT_EQ(state().lRemoteAppTaskId, 999);

    QDir().mkpath(tmp.path() + "/sub");
    testenv::dialogs().expectFolder(tmp.path() + "/sub");
    child<QPushButton>("cmdBrowseMonitor")->click();
    EXPECT_EQ(panel->sMonitorFolder(), tmp.path() + "/sub");
    testenv::dialogs().expectFolder("");  // cancelled: clears both
    child<QPushButton>("cmdBrowseMonitor")->click();
    EXPECT_EQ(panel->sMonitorFolder(), "");
}

TEST_F(PanelTest, NewJpegsHandedOverOnceAfterTheirTraceLines) {
    struct Row {
        const char* name;
        const char* ignore;
        bool handed;
        // Written under `name` by another program, which renames it when done
        // (after the monitor has listed the temporary name).
        const char* renamedTo = nullptr;
    };
    const Row rows[] = {
        {"IMG_0001.JPG", "eg _T", true},
        {"img_0002.jpg", "eg _T", true},
        {"IMG_0003.CRW", "eg _T", false},
        {"IMG_0004_T.JPG", "_T", false},
        {"IMG_0006.JPG.part", "eg _T", true, "IMG_0006.JPG"},
        {"IMG_0007.JPG.crdownload", "eg _T", true, "IMG_0007.JPG"},
        {"img_0008.jpg.tmp", "eg _T", true, "img_0008.jpg"},
        {"IMG_0005.JPG", "", true},
    };
    qint64 t = 0;
    QStringList expected;
    for (const Row& r : rows) {
        const qint64 begin = t + 200;
        at(begin, [&, r] {
            child<QLineEdit>("txtIgnore")->setText(r.ignore);
            writeFile(file(r.name), QByteArray(4000, 'j'));
        });
        if (r.renamedTo)
            at(begin + 1500,
               [&, r] { ASSERT_TRUE(QFile::rename(file(r.name), file(r.renamedTo))); });
        if (r.handed) expected << file(r.renamedTo ? r.renamedTo : r.name);
        t += 3000;
    }
    // The first file saved again: not handed over a second time; the last one
    // saved again as it was: nor that (a grown one would be, see below).
    at(t + 200, [&] { writeFile(file("IMG_0001.JPG"), QByteArray(4000, 'k')); });
    at(t + 250, [&] { writeFile(file("IMG_0005.JPG"), QByteArray(4000, 'k')); });
    runUntil(t + 3000);
    EXPECT_EQ(loaded, expected) << loaded.join(", ").toStdString();
    EXPECT_EQ(child<QLineEdit>("txtIgnore")->text(), "NONE");
    EXPECT_EQ(traced("Loading File: " + file("IMG_0001.JPG") + " Size=4000"), 1);
    // Each name the folder showed is listed, the temporary ones included.
    auto* list = child<QListWidget>("List1");
    for (const Row& r : rows)
        EXPECT_FALSE(list->findItems(r.name, Qt::MatchExactly).isEmpty()) << r.name;
    EXPECT_EQ(panel->LastUpdate(), file("IMG_0005.JPG"));
}

TEST_F(PanelTest, DelayBoxWaitsBeforeTheHandOver) {
    child<QComboBox>("cbDelay")->setCurrentText("5");
    at(200, [&] { writeFile(file("IMG_0001.JPG"), QByteArray(4000, 'j')); });
    runUntil(9000);
    ASSERT_EQ(loaded.size(), 1);
    // Listed at the 1 s tick, 500 ms of settling, then the 5 s delay.
    EXPECT_EQ(loadedAt[0], 1000 + 500 + 5000);
}

TEST_F(PanelTest, TicksDuringSettlingStartNoSecondCheckAndStopEndsTheSettling) {
    at(200, [&] { writeFile(file("IMG_0001.JPG"), QByteArray(50, 'j')); });  // tiny: ~21 s
    at(3200, [&] { writeFile(file("IMG_0002.JPG"), QByteArray(4000, 'j')); });
    runUntil(8000);  // stopped in the middle of the first file's settling
    EXPECT_TRUE(loaded.isEmpty());
    EXPECT_EQ(traced("Initial Size:"), 1);
    EXPECT_FALSE(state().bFolderMonitoring);
    EXPECT_TRUE(child<QPushButton>("cmdStart")->isEnabled());
}

TEST_F(PanelTest, FileDeletedWhileSettlingIsNotHandedOver) {
    at(200, [&] { writeFile(file("IMG_0001.JPG"), QByteArray(50, 'j')); });
    at(4000, [&] { QFile::remove(file("IMG_0001.JPG")); });
    runUntil(30000);
    EXPECT_TRUE(loaded.isEmpty());
    EXPECT_EQ(traced("Loading File:"), 0);
}

TEST_F(PanelTest, InvalidFolderIsReportedAndThePanelStaysIdle) {
    Settings::save("Options", "MonitorFolder", tmp.path() + "/missing");
    panel->loadFolderMonSettings();
    testenv::dialogs().expectMsgBox("Invalid path specified for monitoring " + tmp.path() +
                                    "/missing");
    const qint64 t0 = vclock().monotonicMs();
    child<QPushButton>("cmdStart")->click();
    EXPECT_EQ(vclock().monotonicMs(), t0);
    EXPECT_FALSE(state().bFolderMonitoring);
    EXPECT_TRUE(child<QPushButton>("cmdStart")->isEnabled());
    EXPECT_EQ(traced("Folder monitor: Invalid path specified for monitoring"), 1);
}

TEST_F(PanelTest, FolderThatCannotBeWatchedOrAFailedWaitIsReportedAndThePanelGoesIdle) {
    struct Row {
        bool failOpen;
        const char* message;
    };
    for (const Row& r :
         {Row{true, "Failed to initialize folder for monitoring"}, Row{false, "Wait failed"}}) {
        SCOPED_TRACE(r.message);
        platform::RecordingChangeNotifier* fake = nullptr;
        FolderMonitor::setNotifierFactory([&] {
            auto n = std::make_unique<platform::RecordingChangeNotifier>();
            if (r.failOpen) n->failOpen << tmp.path();
            fake = n.get();
            return n;
        });
        const qint64 t0 = vclock().monotonicMs();
        if (!r.failOpen) {
            vclock().scheduleAt(t0 + 300, [&] { fake->signal(100); });
            vclock().scheduleAt(t0 + 600, [&] {
                fake->failNextWait();
                fake->signal(100);
            });
        }
        testenv::dialogs().expectMsgBox(r.message);
        child<QPushButton>("cmdStart")->click();
        if (r.failOpen) {
            // Reported by the first tick, which stops the run.
            EXPECT_LE(vclock().monotonicMs() - t0, 1100);
        }
        EXPECT_FALSE(state().bFolderMonitoring);
        EXPECT_TRUE(child<QPushButton>("cmdStart")->isEnabled());
        vclock().advance(2000);  // no tick left running
        EXPECT_TRUE(testenv::dialogs().allUsed());
    }
}

TEST_F(PanelTest, RemoteApplicationStartedAndItsProcessKept) {
    QStringList started;
    ctlFolderMonitor::setLauncher([&](const QString& p) {
        started << p;
        return qint64(4321);
    });
    testenv::dialogs().expectOpenFile("/opt/remote/capture");
    child<QPushButton>("cmdRemoteApp")->click();
    at(100, [&] { EXPECT_EQ(state().lRemoteAppTaskId, 4321); });
    runUntil(500);
    EXPECT_EQ(started, QStringList{"/opt/remote/capture"});
    EXPECT_EQ(Settings::get("Options", "RemoteApp", ""), "/opt/remote/capture");
    testenv::dialogs().expectOpenFile("");  // cancelled: the name stays
    child<QPushButton>("cmdRemoteApp")->click();
    EXPECT_EQ(panel->findChild<QLabel*>("lblRemoteapp")->text(), "/opt/remote/capture");
}

TEST_F(PanelTest, PanelEndedWhileMonitoringStopsTheRunWithoutAUseAfterFree) {
    std::weak_ptr<FolderMonitor> mon;
    at(100, [&] { mon = panel->objFolderMonitor(); });
    at(1500, [&] { panel.reset(); });
    child<QPushButton>("cmdStart")->click();
    EXPECT_TRUE(mon.expired());
    EXPECT_FALSE(state().bFolderMonitoring);
}

// The whole road on virtual time: a JPEG written in two chunks, the second
// after the first check has seen the first.
TEST_F(PanelTest, JpegWrittenInTwoChunksIsHandedOverOnceAfterTheLastWrite) {
    QImage img(64, 48, QImage::Format_RGB32);
    img.fill(Qt::darkBlue);
    QByteArray jpeg;
    QBuffer buf(&jpeg);
    buf.open(QIODevice::WriteOnly);
    ASSERT_TRUE(img.save(&buf, "JPG"));
    const QString path = file("IMG_0100.JPG");
    qint64 lastWrite = 0;
    at(900, [&] { writeFile(path, jpeg.left(jpeg.size() / 2)); });
    at(1300, [&] {
        writeFile(path, jpeg.mid(jpeg.size() / 2), true);
        lastWrite = vclock().monotonicMs();
    });
    runUntil(6000);
    ASSERT_EQ(loaded, QStringList{path});
    EXPECT_GT(loadedAt[0], lastWrite);
    EXPECT_FALSE(QImage(path).isNull());
    std::printf("virtual clock: last write %lld ms, hand-over %lld ms (delay %lld ms)\n",
                static_cast<long long>(lastWrite), static_cast<long long>(loadedAt[0]),
                static_cast<long long>(loadedAt[0] - lastWrite));
}

// A JPEG of noise, so that it is large and its pieces do not end in a marker.
QByteArray noiseJpeg(int w, int h, quint32 seed) {
    QImage img(w, h, QImage::Format_RGB32);
    QRandomGenerator rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.setPixel(x, y, rng.generate() | 0xFF000000u);
    QByteArray jpeg;
    QBuffer buf(&jpeg);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "JPG", 95);
    return jpeg;
}

// A slow writer: a JPEG written in five pieces 1.5 s apart is handed over once,
// whole, after its last piece, however the settling reads the pieces between.
TEST_F(PanelTest, FrameWrittenInFivePiecesIsHandedOverOnceWhole) {
    const QByteArray jpeg = noiseJpeg(640, 480, 7);
    ASSERT_GT(jpeg.size(), 100000);
    const QString path = file("IMG_0400.JPG");
    QList<qint64> sizes;
    QObject::connect(panel.get(), &ctlFolderMonitor::LoadANewImage,
                     [&](const QString& p) { sizes << QFileInfo(p).size(); });
    const qsizetype piece = jpeg.size() / 5 + 1;
    qint64 lastWrite = 0;
    for (int i = 0; i < 5; ++i) {
        const QByteArray part = jpeg.mid(i * piece, piece);
        ASSERT_FALSE(i < 4 && part.endsWith("\xFF\xD9"));
        at(900 + i * 1500, [&, part, i] {
            writeFile(path, part, i > 0);
            lastWrite = vclock().monotonicMs();
        });
    }
    runUntil(900 + 4 * 1500 + 6000);
    ASSERT_EQ(loaded, QStringList{path});
    EXPECT_EQ(sizes, QList<qint64>{jpeg.size()});
    EXPECT_GT(loadedAt[0], lastWrite);
    EXPECT_GE(traced("Frame not complete yet: " + path), 1);
    EXPECT_FALSE(QImage(path).isNull());
}

// A file that grows after it was handed over is handed over again once whole:
// its first piece (the header with a thumbnail in it, whose end marker is not the
// frame's) held its size for the settle time.
TEST_F(PanelTest, FrameThatGrowsAfterItWasHandedOverIsHandedOverAgain) {
    const QByteArray thumb = noiseJpeg(80, 60, 1);
    const QByteArray main = noiseJpeg(320, 240, 2);
    QByteArray payload = QByteArray("Exif\0\0", 6) + thumb;
    const int len = int(payload.size()) + 2;
    const QByteArray first =
        QByteArray("\xFF\xD8\xFF\xE1", 4) + char(len >> 8) + char(len & 0xFF) + payload;
    const QByteArray rest = main.mid(2);
    const QString path = file("IMG_0450.JPG");
    QList<qint64> sizes;
    QObject::connect(panel.get(), &ctlFolderMonitor::LoadANewImage,
                     [&](const QString& p) { sizes << QFileInfo(p).size(); });
    at(900, [&] { writeFile(path, first); });
    at(25000, [&] { writeFile(path, rest, true); });
    // Saved again as it was: not a third time.
    at(29000, [&] { writeFile(path, first + rest); });
    runUntil(33000);
    EXPECT_EQ(loaded, (QStringList{path, path}));
    EXPECT_EQ(sizes, (QList<qint64>{first.size(), first.size() + rest.size()}));
    ASSERT_EQ(loadedAt.size(), 2);
    EXPECT_GE(loadedAt[0], 900 + 20000);
    EXPECT_FALSE(QImage(path).isNull());
}

// The program's own downloads under their temporary names are neither listed nor
// handed over; renamed to their own name, they are. Another program's ".part" is
// listed (and never handed over: see the table above).
TEST_F(PanelTest, OwnTemporaryFilesAreNeitherListedNorHandedOver) {
    const QByteArray jpeg = noiseJpeg(64, 48, 3);
    at(900, [&] { writeFile(file("IMG_0500.JPG.zelmora-part"), jpeg); });
    // A writer may tag its temporary name with digits and "_".
    at(1200, [&] { writeFile(file("IMG_0501.JPG.zelmora-part812_3"), jpeg); });
    at(1500, [&] { writeFile(file("notes.odt.part"), "a browser's download"); });
    at(4000, [&] { QFile::rename(file("IMG_0500.JPG.zelmora-part"), file("IMG_0500.JPG")); });
    runUntil(8000);
    EXPECT_EQ(loaded, QStringList{file("IMG_0500.JPG")});
    auto* list = child<QListWidget>("List1");
    EXPECT_TRUE(list->findItems("zelmora-part", Qt::MatchContains).isEmpty());
    EXPECT_EQ(list->findItems("notes.odt.part", Qt::MatchEndsWith).size(), 1);
}

// The list is narrow: each entry shows its file's name, the full path on hover.
TEST_F(PanelTest, TheListShowsEachFilesNameAndItsPathOnHover) {
    QDir().mkpath(file("rel/watched"));
    Settings::save("Options", "MonitorFolder", file("rel/watched"));
    panel->loadFolderMonSettings();
    at(900, [&] { writeFile(file("rel/watched/IMG_0700.JPG"), noiseJpeg(64, 48, 5)); });
    at(1900, [&] { writeFile(file("rel/watched/IMG_0700.CR2"), "raw"); });
    runUntil(4000);
    auto* list = child<QListWidget>("List1");
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), "IMG_0700.JPG");
    EXPECT_EQ(list->item(0)->toolTip(), file("rel/watched/IMG_0700.JPG"));
    EXPECT_EQ(list->item(1)->text(), "IMG_0700.CR2");
    EXPECT_EQ(list->item(1)->toolTip(), file("rel/watched/IMG_0700.CR2"));
    EXPECT_EQ(loaded, QStringList{file("rel/watched/IMG_0700.JPG")});
}

// A whole frame is handed over once, soon, whatever follows its end marker; a
// frame written in pieces once whole; one whose end never comes once its size
// has held for the settle time (the loader then says what is wrong with it).
TEST_F(PanelTest, FramesAreHandedOverOnceWholeWhateverFollowsTheirEnd) {
    const QByteArray jpeg = noiseJpeg(320, 240, 9);
    const QByteArray trailer = QByteArray("TRAILER\xFF\xD9 and more after it");
    struct Row {
        const char* name;
        QList<QByteArray> pieces;  // written 1.5 s apart
        qint64 minMs, maxMs;       // the hand-over after the last write
    };
    const qsizetype third = jpeg.size() / 3;
    const Row rows[] = {
        {"trailing zeros", {jpeg + QByteArray(16, 0)}, 0, 3000},
        {"appended trailer", {jpeg + trailer}, 0, 3000},
        {"written in pieces",
         {jpeg.left(third), jpeg.mid(third, third), jpeg.mid(2 * third) + QByteArray(16, 0)},
         0,
         3000},
        {"cut short for good", {jpeg.left(jpeg.size() / 2)}, 20000, 24000},
    };
    QList<qint64> sizes;
    QObject::connect(panel.get(), &ctlFolderMonitor::LoadANewImage,
                     [&](const QString& p) { sizes << QFileInfo(p).size(); });
    QStringList names;
    QList<qint64> lastWrites;
    QList<qint64> wholeSizes;
    qint64 t = 900;
    for (int i = 0; i < int(std::size(rows)); ++i) {
        const Row& r = rows[i];
        const QString path = file(QString("IMG_08%1.JPG").arg(i, 2, 10, QChar('0')));
        qint64 whole = 0;
        for (int k = 0; k < r.pieces.size(); ++k) {
            const QByteArray piece = r.pieces[k];
            at(t, [=] { writeFile(path, piece, k > 0); });
            whole += piece.size();
            if (k + 1 < r.pieces.size()) t += 1500;
        }
        names << path;
        lastWrites << t;
        wholeSizes << whole;
        t += r.maxMs + 2000;
    }
    runUntil(t);
    EXPECT_EQ(loaded, names);
    EXPECT_EQ(sizes, wholeSizes);
    for (int i = 0; i < std::min(int(loaded.size()), int(std::size(rows))); ++i) {
        SCOPED_TRACE(rows[i].name);
        EXPECT_GE(loadedAt[i] - lastWrites[i], rows[i].minMs);
        EXPECT_LE(loadedAt[i] - lastWrites[i], rows[i].maxMs);
    }
}

// The watched folder removed and made again: frames written into the new one
// are handed over. Removed for good: the panel goes idle and says so.
TEST_F(PanelTest, ReplacedFolderIsWatchedAgainAndAFolderGoneForGoodIsReported) {
    const QByteArray jpeg = noiseJpeg(64, 48, 4);
    at(1000, [&] { ASSERT_TRUE(QDir(tmp.path()).removeRecursively()); });
    at(1600, [&] { QDir().mkpath(tmp.path()); });
    at(3000, [&] { writeFile(file("IMG_0600.JPG"), jpeg); });
    runUntil(7000);
    EXPECT_EQ(loaded, QStringList{file("IMG_0600.JPG")});
    EXPECT_FALSE(state().bFolderMonitoring);

    const qint64 t0 = vclock().monotonicMs();
    at(t0 + 1000, [&] { QDir(tmp.path()).removeRecursively(); });
    testenv::dialogs().expectMsgBox("The watched folder is gone: " + tmp.path());
    child<QPushButton>("cmdStart")->click();  // returns by itself
    EXPECT_LE(vclock().monotonicMs() - t0, 1000 + FolderMonitor::kGoneGraceMs + 1500);
    EXPECT_FALSE(state().bFolderMonitoring);
    EXPECT_TRUE(child<QPushButton>("cmdStart")->isEnabled());
    QDir().mkpath(tmp.path());  // for the temporary folder's own clean-up
}

}  // namespace

namespace {

// The same road on the real clock: the wait is woken by the inotify descriptor
// inside Qt's event loop. Only the outcome is checked; the delay is printed.
TEST(PanelRealClock, JpegWrittenInTwoChunksIsHandedOverOnceAfterTheLastWrite) {
    platform::setClock(std::make_shared<platform::QtClock>());
    QTemporaryDir tmp;
    Settings::save("Options", "MonitorFolder", tmp.path());
    ctlFolderMonitor panel;
    panel.loadFolderMonSettings();
    QImage img(64, 48, QImage::Format_RGB32);
    img.fill(Qt::darkGreen);
    QByteArray jpeg;
    QBuffer buf(&jpeg);
    buf.open(QIODevice::WriteOnly);
    ASSERT_TRUE(img.save(&buf, "JPG"));
    const QString path = tmp.path() + "/IMG_0200.JPG";
    QElapsedTimer clock;
    clock.start();
    qint64 lastWrite = -1, handed = -1;
    QStringList loaded;
    QObject::connect(&panel, &ctlFolderMonitor::LoadANewImage, [&](const QString& p) {
        loaded << p;
        handed = clock.elapsed();
    });
    // Around the first tick (at 1 s), close together so that a busy machine
    // still finishes the file before the check's second look.
    QTimer::singleShot(950, [&] { writeFile(path, jpeg.left(jpeg.size() / 2)); });
    QTimer::singleShot(1050, [&] {
        writeFile(path, jpeg.mid(jpeg.size() / 2), true);
        lastWrite = clock.elapsed();
    });
    QTimer::singleShot(4500, [&] { panel.findChild<QPushButton*>("cmdStop")->click(); });
    panel.findChild<QPushButton*>("cmdStart")->click();
    ASSERT_EQ(loaded, QStringList{path});
    EXPECT_GT(handed, lastWrite);
    EXPECT_FALSE(QImage(path).isNull());
    std::printf("real clock: last write %lld ms, hand-over %lld ms (delay %lld ms)\n",
                static_cast<long long>(lastWrite), static_cast<long long>(handed),
                static_cast<long long>(handed - lastWrite));
}

}  // namespace
