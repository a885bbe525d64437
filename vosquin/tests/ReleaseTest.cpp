// Release and download on the simulated camera, end to end: the library's thread
// reports images, the dialog queues them, downloads each on the GUI thread, names
// the file and tells the host.

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

#include "platform/os/FileWrite.h"
#include "platform/os/PartialFiles.h"
#include "testing/TestEnv.h"
#include "vosquin/tests/VosquinFixture.h"

namespace zelmora::vosquin {
namespace {

using automation::toI4;
using automation::Variant;
using simrc::CameraProfile;
namespace profiles = simrc::profiles;

constexpr RCResult kDead = RC_COMP_CAMERA | RC_ERR_COMMUNICATION;

bool isJpeg(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.read(2) == QByteArray("\xFF\xD8", 2);
}

class VosquinReleaseTest : public test::VosquinTest {
protected:
    void SetUp() override {
        VosquinTest::SetUp();
        folder = testenv::appDir() + "/night/";
        QDir().mkpath(folder);
    }
    void prepare(CameraProfile p = profiles::eos20D(), bool thumbnails = false) {
        simrc::setDevices({p});
        connectReady(thumbnails);
        put("SavePath", folder.toStdString());
        put("FileName", std::string("M31-"));
    }
    std::vector<std::string> completions() {
        std::vector<std::string> out;
        for (const std::string& e : rec.named("OnComplete"))
            out.push_back(e.substr(11, e.size() - 12));
        return out;
    }
    QString folder;
};

TEST_F(VosquinReleaseTest, OneReleaseAsTheHostSeesIt) {
    prepare(profiles::eos20D(), true);
    put("WaitingForDownload", true);
    releaseAndDeliver();
    const std::string thm = folder.toStdString() + "THM_M31-0001.JPG";
    const std::string pic = folder.toStdString() + "M31-0001.JPG";
    EXPECT_EQ(rec.take(), (std::vector<std::string>{
                              "OnStatusUpdate(Taking Picture)",
                              "OnStatusUpdate(Downloading)",
                              "OnComplete(" + thm + ")",
                              "OnStatusUpdate(Waiting)",
                              "OnStatusUpdate(Downloading)",
                              "OnComplete(" + pic + ")",
                              "OnStatusUpdate(Waiting)",
                              // the camera reports its settings changed (shots left)
                              "OnReadyForRelease(True)",
                              "OnBulbMode(False)",
                          }));
    EXPECT_TRUE(isJpeg(QString::fromStdString(thm)));
    EXPECT_TRUE(isJpeg(QString::fromStdString(pic)));
    EXPECT_FALSE(flag("WaitingForDownload"));
    EXPECT_TRUE(dlg().releaseEnabled());
    EXPECT_EQ(dlg().progress(), 0);
    const QStringList log = logMessages();
    for (const char* line :
         {"Release Pressed.", "Thumb - PC: TRUE", "Pict - PC: TRUE",
          "cdRESEASE_EVENT_RELEASE_COMPLETE Fired", "cdRESEASE_EVENT_IMAGE_READY Fired Queing Data",
          "Writing File to PC", "Waiting for download: FALSE"})
        EXPECT_TRUE(log.contains(line)) << line;
    EXPECT_TRUE(log.contains(QString::fromStdString(pic)));
    // No temporary file is left behind.
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 2);
}

TEST_F(VosquinReleaseTest, FileNamesForEveryCaseOfTheNamingTable) {
    struct Case {
        const char* what;
        CameraProfile profile;
        bool thumbnails;
        bool focus, keep;
        std::vector<std::string> files;  // relative to the save folder, "@" the focus folder
    };
    auto raw = [](CameraProfile p, bool plusJpeg = false) {
        p.format = {4, 0};
        p.rawPlusJpeg = plusJpeg;
        return p;
    };
    auto numbered = [](CameraProfile p, std::uint32_t first) {
        p.firstImageNumber = first;
        return p;
    };
    const Case cases[] = {
        {"thumbnail and picture",
         numbered(profiles::eos20D(), 7),
         true,
         false,
         false,
         {"THM_M31-0007.JPG", "M31-0007.JPG"}},
        {"RAW on a 20D", raw(profiles::eos20D()), false, false, false, {"M31-0001.CR2"}},
        {"RAW on a 300D", raw(profiles::eos300D()), false, false, false, {"M31-0001.CRW"}},
        {"RAW on a 10D", raw(profiles::eos10D()), false, false, false, {"M31-0001.CRW"}},
        {"RAW on a 350D", raw(profiles::eos350D()), false, false, false, {"M31-0001.CR2"}},
        {"RAW and JPEG",
         raw(profiles::eos20D(), true),
         false,
         false,
         false,
         {"M31-0001.CR2", "M31-0001.JPG"}},
        {"five-digit number",
         numbered(profiles::eos20D(), 12345),
         false,
         false,
         false,
         {"M31-12345.JPG"}},
        {"focus, keeping frames",
         numbered(profiles::eos20D(), 12),
         false,
         true,
         true,
         {"FocusImages/0012Focus.jpg"}},
        {"focus, one frame",
         numbered(profiles::eos20D(), 12),
         false,
         true,
         false,
         {"@FocusImages/Focus.jpg"}},
        // The thumbnail never takes the focus frame's name.
        {"focus, keeping frames, with thumbnails",
         numbered(profiles::eos20D(), 12),
         true,
         true,
         true,
         {"FocusImages/THM_0012Focus.jpg", "FocusImages/0012Focus.jpg"}},
        {"focus, one frame, with thumbnails",
         numbered(profiles::eos20D(), 12),
         true,
         true,
         false,
         {"@FocusImages/THM_Focus.jpg", "@FocusImages/Focus.jpg"}},
    };
    const QString focusFolder = testenv::appDir() + "/app";  // no final separator
    for (const Case& c : cases) {
        simrc::reset();
        QDir(folder).removeRecursively();
        QDir(focusFolder).removeRecursively();  // FocusImages is made when missing
        QDir().mkpath(folder);
        make();
        prepare(c.profile, c.thumbnails);
        put("FocusMode", c.focus);
        put("SaveFocusImages", c.keep);
        put("FocusSavePath", focusFolder.toStdString());
        releaseAndDeliver();
        std::vector<std::string> expected;
        for (const std::string& f : c.files)
            expected.push_back(f[0] == '@' ? focusFolder.toStdString() + "/" + f.substr(1)
                                           : folder.toStdString() + f);
        EXPECT_EQ(completions(), expected) << c.what;
        for (const std::string& f : expected)
            EXPECT_TRUE(QFileInfo(QString::fromStdString(f)).size() > 0) << c.what << " " << f;
        ctrl_.reset();
        rec.take();
    }
}

TEST_F(VosquinReleaseTest, TwoQuickReleasesGiveTwoFilesInOrder) {
    prepare();
    call("Release");
    ASSERT_TRUE(simrc::waitUntilIdle());  // the first images are queued, not yet fetched
    EXPECT_EQ(dlg().queuedImages(), 1u);
    call("Release");
    deliver();
    EXPECT_EQ(completions(), (std::vector<std::string>{folder.toStdString() + "M31-0001.JPG",
                                                       folder.toStdString() + "M31-0002.JPG"}));
    EXPECT_EQ(simrc::captures().size(), 2u);
    EXPECT_TRUE(dlg().releaseEnabled());
}

// The camera library pushes from its own thread while the GUI thread downloads.
TEST_F(VosquinReleaseTest, ReleasesWhileTheLibraryThreadIsStillDelivering) {
    prepare(profiles::eos20D(), true);
    constexpr int kReleases = 15;
    for (int i = 0; i < kReleases; ++i) {
        call("Release");
        // Downloads run as the library's thread posts them, while it goes on: the loop
        // sleeps until the next posted event, and stops once everything is delivered.
        const std::size_t want = std::size_t(2 * (i + 1));
        for (;;) {
            const bool idle = simrc::waitUntilIdle(0);
            QCoreApplication::sendPostedEvents();
            if (completions().size() >= want || idle) break;
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        ASSERT_EQ(completions().size(), want) << "release " << i;
    }
    deliver();
    const auto files = completions();
    for (int i = 0; i < kReleases; ++i) {
        char number[8];
        std::snprintf(number, sizeof number, "%04d", i + 1);
        EXPECT_EQ(files[std::size_t(2 * i)], folder.toStdString() + "THM_M31-" + number + ".JPG");
        EXPECT_EQ(files[std::size_t(2 * i + 1)], folder.toStdString() + "M31-" + number + ".JPG");
    }
}

// Each OnComplete tells the host how many pictures of its release are still
// to come: the frame is whole when none is.
TEST_F(VosquinReleaseTest, EachPictureSaysHowManyOfItsReleaseAreStillToCome) {
    struct Row {
        const char* name;
        CameraProfile camera;
        bool thumbnails;
        const char* failing;             // the library call that fails once, at its first call
        std::vector<std::string> heard;  // "@" is the save folder
    };
    CameraProfile rawPlusJpeg = profiles::eos20D();
    rawPlusJpeg.format = {4, 0};
    rawPlusJpeg.rawPlusJpeg = true;
    const Row rows[] = {
        {"one picture", profiles::eos20D(), false, nullptr, {"@M31-0001.JPG 0", "@M31-0002.JPG 0"}},
        {"RAW and JPEG",
         rawPlusJpeg,
         false,
         nullptr,
         {"@M31-0001.CR2 1", "@M31-0001.JPG 0", "@M31-0002.CR2 1", "@M31-0002.JPG 0"}},
        {"thumbnail and picture, the first thumbnail failing",
         profiles::eos20D(),
         true,
         "RCTakeCapturedImage",
         {"Error:3145740 1", "@M31-0001.JPG 0", "@THM_M31-0002.JPG 1", "@M31-0002.JPG 0"}},
        // Refused at once: nothing of that release is to come.
        {"RAW and JPEG, the first release refused",
         rawPlusJpeg,
         false,
         "RCCapture",
         {"Error:2097280 0", "@M31-0001.CR2 1", "@M31-0001.JPG 0"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        testenv::resetEnvironment();
        SetUp();
        prepare(r.camera, r.thumbnails);
        if (r.failing)
            simrc::failCall(r.failing, std::string(r.failing) == "RCCapture"
                                           ? kDead
                                           : RC_COMP_TRANSFER | RC_ERR_FILE_IO);
        std::vector<std::string> heard;
        rec.onEach = [&](const std::string& e) {
            if (e.rfind("OnComplete(", 0) != 0) return;
            std::string file = e.substr(11, e.size() - 12);
            if (file.rfind(folder.toStdString(), 0) == 0)
                file = "@" + file.substr(std::size_t(folder.size()));
            heard.push_back(file + " " + std::to_string(toI4(get("PicturesToCome"))));
        };
        releaseAndDeliver();
        releaseAndDeliver();
        rec.onEach = nullptr;
        EXPECT_EQ(heard, r.heard);
        EXPECT_EQ(toI4(get("PicturesToCome")), 0);
        TearDown();
    }
}

// A release during a download is ignored, and the control says so in its answer.
TEST_F(VosquinReleaseTest, AReleaseDuringADownloadIsIgnored) {
    prepare(profiles::eos20D(), true);
    std::vector<bool> releaseEnabled;
    std::vector<Variant> answers;
    rec.onEach = [&](const std::string& e) {
        // While an image is coming, and while the next one waits in the queue.
        if (releaseEnabled.size() < 4 &&
            (e == "OnStatusUpdate(Downloading)" || e.rfind("OnComplete(", 0) == 0)) {
            releaseEnabled.push_back(dlg().releaseEnabled());
            answers.push_back(call("Release"));
        }
    };
    releaseAndDeliver();
    rec.onEach = nullptr;
    // Downloading THM, its completion (the picture still queued), downloading the picture:
    // all ignored; the picture's completion comes with the queue empty and is accepted.
    EXPECT_EQ(releaseEnabled, (std::vector<bool>{false, false, false, true}));
    const Variant busy(kReleaseBusy), released(std::int32_t(0));
    EXPECT_EQ(answers, (std::vector<Variant>{busy, busy, busy, released}));
    EXPECT_EQ(simrc::callCount("RCCapture"), 2);
    deliver();
    EXPECT_EQ(completions().size(), 4u);
}

TEST_F(VosquinReleaseTest, AFailedTransferReportsAnErrorAndReleaseStaysUsable) {
    prepare();
    put("WaitingForDownload", true);
    simrc::failCall("RCTakeCapturedImage", RC_COMP_TRANSFER | RC_ERR_FILE_IO);
    releaseAndDeliver();
    EXPECT_EQ(completions(), std::vector<std::string>{"Error:3145740"});
    EXPECT_FALSE(flag("WaitingForDownload"));
    EXPECT_TRUE(dlg().releaseEnabled());
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files).isEmpty());
    rec.take();
    releaseAndDeliver();
    EXPECT_EQ(completions(), std::vector<std::string>{folder.toStdString() + "M31-0002.JPG"});
}

TEST_F(VosquinReleaseTest, ATransferIntoAMissingFolderFailsCleanly) {
    prepare();
    put("SavePath", (folder + "not/there").toStdString());
    releaseAndDeliver();
    ASSERT_EQ(completions().size(), 1u);
    EXPECT_EQ(completions()[0].rfind("Error:", 0), 0u);
    EXPECT_TRUE(dlg().releaseEnabled());
}

TEST_F(VosquinReleaseTest, AFailedReleaseCompletesWithAnErrorSoNoWaitHangs) {
    prepare();
    put("WaitingForDownload", true);
    simrc::failCall("RCCapture", kDead);
    releaseAndDeliver();
    EXPECT_EQ(rec.take(),
              (std::vector<std::string>{"OnStatusUpdate(Taking Picture)",
                                        "OnComplete(Error:2097280)", "OnStatusUpdate(Waiting)"}));
    EXPECT_FALSE(flag("WaitingForDownload"));
    EXPECT_TRUE(logMessages().contains("Error On Release ErrorCode = 0x00200080"));
    simrc::failCall("RCCapture", kDead);
    EXPECT_EQ(call("Release"), Variant(std::int32_t(kDead)));
    EXPECT_FALSE(simrc::uiLocked());
    // A Bulb exposure cannot be released from the PC: the same.
    put("Tv", std::string("Bulb"));
    rec.take();
    call("Release");
    EXPECT_EQ(rec.named("OnComplete"), std::vector<std::string>{"OnComplete(Error:2097159)"});
}

TEST_F(VosquinReleaseTest, ReleaseBeforeConnectDoesNothing) {
    make();
    EXPECT_EQ(call("Release"), Variant(kReleaseNotReady));
    EXPECT_TRUE(rec.events.empty());
    EXPECT_EQ(simrc::callCount("RCCapture"), 0);
}

TEST_F(VosquinReleaseTest, ADisconnectWithAQueuedImageFailsItCleanly) {
    prepare(profiles::eos20D(), true);
    call("Release");
    ASSERT_TRUE(simrc::waitUntilIdle());
    EXPECT_EQ(dlg().queuedImages(), 2u);
    call("Disconnect");
    deliver();
    const auto done = completions();
    ASSERT_EQ(done.size(), 2u);
    for (const std::string& d : done) EXPECT_EQ(d.rfind("Error:", 0), 0u) << d;
    EXPECT_FALSE(dlg().releaseEnabled());
    EXPECT_FALSE(flag("Connected"));
}

TEST_F(VosquinReleaseTest, TheImageGoesToTheFolderOfTheMomentItWasReported) {
    prepare();
    call("Release");
    ASSERT_TRUE(simrc::waitUntilIdle());
    put("SavePath", (testenv::appDir() + "/later").toStdString());
    deliver();
    EXPECT_EQ(completions(), std::vector<std::string>{folder.toStdString() + "M31-0001.JPG"});
}

TEST_F(VosquinReleaseTest, LongAndOddPathsAreWrittenAsGiven) {
    const QString odd = folder + "%s%n 100% " + QString(240, 'x') + "/";
    ASSERT_TRUE(QDir().mkpath(odd));
    prepare();
    put("SavePath", odd.toStdString());
    put("FileName", std::string("%d%s-"));
    releaseAndDeliver();
    const std::string expected = odd.toStdString() + "%d%s-0001.JPG";
    ASSERT_GT(expected.size(), 259u);
    EXPECT_EQ(completions(), std::vector<std::string>{expected});
    EXPECT_TRUE(isJpeg(QString::fromStdString(expected)));
    EXPECT_TRUE(logMessages().contains(QString::fromStdString(expected)));
}

TEST_F(VosquinReleaseTest, DestroyingTheControlWhileImagesAreArriving) {
    for (int round = 0; round < 10; ++round) {
        simrc::reset();
        prepare(profiles::eos20D(), true);
        call("Release");
        if (round % 2) QCoreApplication::processEvents();
        ctrl_.reset();  // ends the session: no callback after this
        QCoreApplication::processEvents();
        EXPECT_EQ(simrc::openSources(), 0);
        ASSERT_TRUE(simrc::waitUntilIdle());
        rec.take();
    }
}

// The camera's numbering starts again (at 1 in every run of the simulator, after
// 9999 on a real body): a second night into the same folder keeps the first night's frame.
TEST_F(VosquinReleaseTest, TwoRunsIntoOneFolderKeepBothFrames) {
    prepare();
    releaseAndDeliver();
    const QString first = folder + "M31-0001.JPG";
    QFile f(first);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray firstBytes = f.readAll();
    f.close();

    for (int run = 1; run <= 2; ++run) {
        ctrl_.reset();
        rec.take();
        simrc::reset();
        prepare();
        releaseAndDeliver();
        const std::string expected =
            folder.toStdString() + "M31-0001_" + std::to_string(run) + ".JPG";
        EXPECT_EQ(completions(), std::vector<std::string>{expected});
        EXPECT_TRUE(isJpeg(QString::fromStdString(expected)));
        EXPECT_TRUE(
            logMessages().contains(QString::fromStdString("File exists, saved as:" + expected)));
    }
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), firstBytes);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 3);
}

// Downloads killed part-way leave their temporary files; the next download into
// that folder removes those nobody is writing, and only those. Another program's
// files stay, whatever they are called: a browser's or a file manager's ".part",
// written or not at the time (such writers take no lock).
TEST_F(VosquinReleaseTest, TheNextDownloadRemovesOnlyItsOwnUnfinishedOnes) {
    prepare();
    auto make = [&](const QString& name) {
        QFile f(folder + name);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("half an image");
    };
    for (const char* name :
         {"M31-0007.JPG.zelmora-part", "M31-0008.CRW.zelmora-part4711_2", "x.part",
          "M31-0005.JPG.part812_3", "notes.zelmora-part.txt", "M31-0009.JPG"})
        make(name);
    // Still being written: another program's download, and one of ours that its
    // writer holds.
    make("ubuntu.iso.part");
    QFile other(folder + "ubuntu.iso.part");
    ASSERT_TRUE(other.open(QIODevice::Append));
    make("busy.JPG.zelmora-part");
    const int busy = ::open((folder + "busy.JPG.zelmora-part").toLocal8Bit().constData(), O_RDONLY);
    ASSERT_GE(busy, 0);
    platform::partial::holdWhileWriting(busy);

    releaseAndDeliver();
    ::close(busy);
    EXPECT_EQ(completions(), std::vector<std::string>{folder.toStdString() + "M31-0001.JPG"});
    QStringList left = QDir(folder).entryList(QDir::Files);
    left.sort();
    EXPECT_EQ(left.join(" ").toStdString(),
              "M31-0001.JPG M31-0005.JPG.part812_3 M31-0009.JPG busy.JPG.zelmora-part "
              "notes.zelmora-part.txt ubuntu.iso.part x.part");
    for (const char* removed : {"M31-0007.JPG.zelmora-part", "M31-0008.CRW.zelmora-part4711_2"})
        EXPECT_TRUE(logMessages().contains("Removed unfinished download:" + folder + removed))
            << removed;
}

// The frame is on the disk before it takes its name: the flush sees the whole
// image under the temporary name, and nothing yet under the final one.
TEST_F(VosquinReleaseTest, TheFrameIsFlushedBeforeItIsNamed) {
    prepare();
    struct Flush {
        std::string path;
        qint64 size;
        bool finalThere;
    };
    std::vector<Flush> flushes;
    const std::string target = folder.toStdString() + "M31-0001.JPG";
    platform::setFlushObserver([&](const std::string& path) {
        flushes.push_back({path, QFileInfo(QString::fromStdString(path)).size(),
                           QFileInfo::exists(QString::fromStdString(target))});
    });
    releaseAndDeliver();
    platform::setFlushObserver({});
    EXPECT_EQ(completions(), std::vector<std::string>{target});
    ASSERT_EQ(flushes.size(), 1u);
    EXPECT_EQ(flushes[0].path, target + ".zelmora-part");
    EXPECT_FALSE(flushes[0].finalThere);
    EXPECT_GT(flushes[0].size, 0);
    EXPECT_EQ(flushes[0].size, QFileInfo(QString::fromStdString(target)).size());
}

// The one name reused on purpose: the focus frame, while frames are not kept.
TEST_F(VosquinReleaseTest, TheUnkeptFocusFrameIsStillReplaced) {
    prepare();
    const QString focusFolder = testenv::appDir() + "/focus";
    put("FocusMode", true);
    put("FocusSavePath", focusFolder.toStdString());
    releaseAndDeliver();
    releaseAndDeliver();
    const std::string frame = focusFolder.toStdString() + "/FocusImages/Focus.jpg";
    EXPECT_EQ(completions(), (std::vector<std::string>{frame, frame}));
    EXPECT_EQ(QDir(focusFolder + "/FocusImages").entryList(QDir::Files), QStringList{"Focus.jpg"});
}

// A box shown while the dialog goes away pumps events: the download the library
// reported just before must not run inside it and reach a control being torn down.
TEST_F(VosquinReleaseTest, ABoxWhileTheDialogGoesAwayRunsNoQueuedDownload) {
    prepare();
    put("WaitingForDownload", true);
    call("Release");
    ASSERT_TRUE(simrc::waitUntilIdle());  // queued, and its event posted
    ASSERT_EQ(dlg().queuedImages(), 1u);
    rec.take();
    simrc::failCall("RCFinishSDK", kDead);
    testenv::dialogs().expectMsgBox("ErrorCode = 0x00200080").whileShowing([] {
        QCoreApplication::sendPostedEvents();
    });
    ctrl_.reset();
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(rec.named("OnComplete").empty());
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files).isEmpty());
}

// Ending the session fails, so the library keeps a session whose callback context is
// the dialog; once the dialog is gone, the camera's events find nobody.
TEST_F(VosquinReleaseTest, ASessionTheLibraryWouldNotEndCannotCallADestroyedDialog) {
    prepare();
    simrc::failCall("RCEndCaptureSession", kDead, -1);
    simrc::failCall("RCCloseSource", kDead, -1);
    simrc::failCall("RCFinishSDK", kDead);
    testenv::dialogs().expectMsgBox("ErrorCode = 0x00200080");
    ctrl_.reset();
    EXPECT_EQ(simrc::openSources(), 1);
    simrc::fireSettingsChanged();
    ASSERT_TRUE(simrc::waitUntilIdle());
    QCoreApplication::sendPostedEvents();
    simrc::clearFaults();
}

TEST_F(VosquinReleaseTest, DevlopRawWritesTheJpegBesideTheRawFile) {
    CameraProfile p = profiles::eos20D();
    p.format = {4, 0};
    prepare(p);
    releaseAndDeliver();
    const std::string rawPath = folder.toStdString() + "M31-0001.CR2";
    ASSERT_EQ(completions(), std::vector<std::string>{rawPath});
    const qint64 rawSize = QFileInfo(QString::fromStdString(rawPath)).size();

    EXPECT_EQ(call("DevlopRaw", {rawPath}),
              automation::Variant(folder.toStdString() + "M31-0001.jpg"));
    EXPECT_TRUE(isJpeg(folder + "M31-0001.jpg"));
    EXPECT_EQ(QFileInfo(QString::fromStdString(rawPath)).size(), rawSize);
    EXPECT_EQ(simrc::liveRawObjects(), 0);
    const QStringList log = logMessages();
    EXPECT_TRUE(log.contains(QString::fromStdString("Creating RAW Object for" + rawPath)));
    EXPECT_TRUE(log.contains(
        QString::fromStdString("Output image is:" + folder.toStdString() + "M31-0001.jpg")));

    // A failure gives "" and still releases the RAW object.
    simrc::failCall("RCDevelop", RC_COMP_RAW | RC_ERR_FILE_IO);
    EXPECT_EQ(call("DevlopRaw", {rawPath}), automation::Variant(std::string()));
    EXPECT_EQ(simrc::liveRawObjects(), 0);
    EXPECT_TRUE(
        logMessages().contains(QString::fromStdString("Error in  DevelopIt for:" + rawPath)));

    // A name without a RAW extension is refused before anything is written.
    QFile::copy(QString::fromStdString(rawPath), folder + "shotCR2");
    EXPECT_EQ(call("DevlopRaw", {(folder + "shotCR2").toStdString()}),
              automation::Variant(std::string()));
    EXPECT_EQ(QFileInfo(folder + "shotCR2").size(), rawSize);
}

}  // namespace
}  // namespace zelmora::vosquin
