// The sequencing window over the real capture window and its run engine, on
// the virtual clock with a recording cable and a fake camera.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>

#include "capture/CaptureRunEngine.h"
#include "capture/CaptureWindows.h"
#include "capture/ExposureFile.h"
#include "capture/ExposureRun.h"
#include "capture/frmAutomate.h"
#include "capture/frmCapture.h"
#include "capture/tests/RunFakes.h"
#include "platform/os/Dialogs.h"
#include "shell/WindowRegistry.h"

using namespace zelmora;
using namespace zelmora::capture;
using namespace zelmora::capture::testing;
namespace Msg = zelmora::platform::Msg;

namespace {

class SequenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        testenv::enableTrace();
        QDir(testenv::appDir()).mkpath("ExposureFiles");
        camera = std::make_shared<DownloadingCamera>();
        camera->downloadMs = 500;
        CameraLink::setInstance(camera);
        cable = std::make_shared<RecordingShutter>();
        ShutterCable::setInstance(cable);
        setMainWindow(&main);
        registerWindows();
    }
    void TearDown() override {
        for (const QString& name : {Win::frmAutomate, Win::frmCapture})
            if (QWidget* w = windows().ifLoaded(name)) w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        setMainWindow(nullptr);
        CaptureRunEngine::setFactory({});
        EXPECT_TRUE(testenv::dialogs().allUsed()) << "a scripted box was not shown";
    }

    // The capture window on its Long tab, then the sequencing window.
    void open(bool longTab = true) {
        cap = dynamic_cast<frmCapture*>(windows().load(Win::frmCapture));
        ASSERT_NE(cap, nullptr);
        cap->selectTab(longTab ? 2 : 1);
        cap->txtLeadIn->setText("0");
        cap->chPictoPC->setChecked(true);
        cap->txtDirectory->setText(testenv::appDir());
        seq = dynamic_cast<frmAutomate*>(windows().load(Win::frmAutomate));
        ASSERT_NE(seq, nullptr);
    }
    void addStep(const QString& count, const QString& exposure, const QString& delay,
                 const QString& iso) {
        seq->txtNoExp->setText(count);
        seq->txtExpLength->setText(exposure);
        seq->txtDelayBetwExp->setText(delay);
        seq->lbISOSpeed->setCurrentText(iso);
        seq->cbAdd_Click();
    }
    void startSequence() {
        cable->t0 = nowMs();
        seq->cbStart_Click();
    }
    int alarms() const {
        int n = 0;
        for (const auto& p : testenv::sounds().played) n += p.path.endsWith("alarm.wav");
        return n;
    }
    QStringList presses() const { return cable->calls.filter("press"); }

    std::shared_ptr<DownloadingCamera> camera;
    std::shared_ptr<RecordingShutter> cable;
    StatusMainWindow main;
    frmCapture* cap = nullptr;
    frmAutomate* seq = nullptr;
};

}  // namespace

TEST_F(SequenceTest, TwoStepsWaitAfterTheFirstStepOnlyAndSoundOneAlarm) {
    open();
    addStep("2", "3", "5", "N/A");
    addStep("1", "2", "4", "N/A");
    bool lastDuringStep1 = true, lastDuringStep2 = false;
    testenv::vclock().scheduleIn(1000, [&] { lastDuringStep1 = state().bLastSequenceStep; });
    testenv::vclock().scheduleIn(17000, [&] { lastDuringStep2 = state().bLastSequenceStep; });
    startSequence();
    EXPECT_TRUE(state().bSequenceRunning);
    EXPECT_EQ(main.panel->text(), "Sequence In Progress");
    testenv::vclock().advance(60'000);
    // Step 1: two frames 5 s apart and its delay after its last frame; step 2 then ends it.
    EXPECT_EQ(cable->calls, QStringList({"press 0", "release 3000", "press 8000", "release 11000",
                                         "press 16000", "release 18000"}));
    EXPECT_FALSE(lastDuringStep1);
    EXPECT_TRUE(lastDuringStep2);
    EXPECT_EQ(alarms(), 1);
    EXPECT_FALSE(state().bSequenceRunning);
    EXPECT_EQ(main.panel->text(), "Sequence Complete");
    const QStringList t = runTrace();
    for (const QString& line :
         {"----doing sequence :1", "----sequence :1 Complete.", "----doing sequence :2",
          "----sequence :2 Complete.", "----sequence Complete---------"})
        EXPECT_TRUE(t.contains(line)) << line.toStdString();
    EXPECT_EQ(cap->txtExpSec->text(), "2");
    EXPECT_EQ(cap->txtExpMin->text(), "0");
    EXPECT_EQ(cap->txtTimeBetween->text(), "4");
}

// A sequence is a run of runs: when its runs missed frames, its end says how
// many in all, in the capture window as a run's own end does, and sounds no
// alarm, also when it was cancelled in its last step.
TEST_F(SequenceTest, FramesMissedByItsRunsAreCountedAtItsEndWithoutTheAlarm) {
    struct Row {
        const char* name;
        QList<int> lost;  // frames (counted over the sequence) whose picture never comes
        bool cancelInLastStep;
        QString notice;
        int alarms;
    };
    const Row rows[] = {
        {"every picture comes", {}, false, "", 1},
        {"a picture of the first step lost", {2}, false, "Frames missing: 1 of 3.", 0},
        {"a picture of each step lost", {1, 3}, false, "Frames missing: 2 of 3.", 0},
        {"cancelled in the last step after a loss", {1}, true, "Frames missing: 1 of 3.", 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        testenv::resetEnvironment();
        SetUp();
        camera->isConnected = true;
        camera->downloadMs = 500;
        int frame = 0;
        cable->onPress = [&] {
            ++frame;
            if (r.cancelInLastStep && frame == 3)
                testenv::vclock().scheduleIn(500, [this] { seq->cbCancelSeq_Click(); });
        };
        cable->onRelease = [&] {
            camera->downloadMs = r.lost.contains(frame) ? -1 : 500;
            camera->deliverLater();  // the picture follows the bulb
        };
        open();
        addStep("2", "3", "0", "N/A");
        addStep("1", "2", "0", "N/A");
        startSequence();
        testenv::vclock().advance(120'000);
        EXPECT_FALSE(state().bSequenceRunning);
        EXPECT_EQ(presses().size(), 3);
        EXPECT_EQ(cap->lblRunNotice->text().toStdString(), r.notice.toStdString());
        EXPECT_EQ(runTrace().contains(r.notice), !r.notice.isEmpty());
        EXPECT_EQ(alarms(), r.alarms);
        EXPECT_EQ(main.panel->text(), "Sequence Complete");
        TearDown();
    }
}

TEST_F(SequenceTest, CancelDuringAStep) {
    struct Row {
        const char* when;
        qint64 at;
        int presses, alarms;
    };
    // Three one-frame steps of 10 s, no delay: step k runs from (k-1)*10 s.
    for (const Row& r : {Row{"first of three", 5000, 1, 0}, Row{"last", 25000, 3, 1}}) {
        testenv::resetEnvironment();
        SetUp();
        open();
        for (int i = 0; i < 3; ++i) addStep("1", "10", "0", "N/A");
        testenv::vclock().scheduleIn(r.at, [this] { seq->cbCancelSeq_Click(); });
        startSequence();
        testenv::vclock().advance(60'000);
        EXPECT_EQ(presses().size(), r.presses) << r.when;
        EXPECT_EQ(alarms(), r.alarms) << r.when;
        EXPECT_FALSE(state().bSequenceRunning) << r.when;
        EXPECT_FALSE(seq->sequenceActive()) << r.when;
        EXPECT_EQ(main.panel->text(), "Sequence Complete") << r.when;
        TearDown();
    }
}

TEST_F(SequenceTest, IsoIsSetAndSettledOnlyWhenConnectedAndGiven) {
    camera->isConnected = true;
    cable->onRelease = [this] { camera->deliverLater(); };
    open();
    addStep("1", "2", "0", "1600");
    addStep("1", "2", "0", "N/A");
    startSequence();
    testenv::vclock().advance(30'000);
    EXPECT_EQ(camera->calls.filter("setISO"), QStringList{"setISO 1600"});
    EXPECT_TRUE(camera->calls.contains("setTv Bulb"));
    ASSERT_EQ(presses().size(), 2);
    EXPECT_EQ(presses()[0], "press 2000");  // after the 2-s settle
    // The second step follows its image at once: no settle for "N/A".
    const int second = presses()[1].mid(6).toInt();
    EXPECT_GE(second, 4500);
    EXPECT_LE(second, 4600);
    EXPECT_TRUE(runTrace().contains("About to Set ISO:1600"));
}

TEST_F(SequenceTest, OnlyConnectToChangeIsoConnectsSetsAndDisconnects) {
    camera->connectsOnAsk = true;
    open();
    seq->chConnForISO->setChecked(true);
    addStep("1", "5", "0", "800");
    startSequence();
    testenv::vclock().advance(30'000);
    const QStringList calls = camera->calls;
    const int connectAt = int(calls.lastIndexOf("doconnect"));
    ASSERT_GE(connectAt, 0);
    EXPECT_GE(calls.indexOf("setISO 800"), connectAt);
    EXPECT_GT(calls.indexOf("Disconnect"), calls.indexOf("setISO 800"));
    EXPECT_TRUE(
        runTrace().contains("About to disconnect from Start because  bConnectToChangeISO = true"));
    // The step itself runs on the cable after the settle.
    EXPECT_EQ(cable->calls.filter("press").size(), 1);
    EXPECT_FALSE(state().bSequenceRunning);
}

TEST_F(SequenceTest, StartChecks) {
    open();
    // Connected in focus mode: refused.
    camera->isConnected = true;
    camera->focusMode = true;
    testenv::dialogs().expectMsgBox("connected in Focus Mode");
    seq->cbStart_Click();
    EXPECT_FALSE(state().bSequenceRunning);

    // Not RAW: asked each time, No sets RAW; then the empty list.
    camera->focusMode = false;
    camera->quality = "Fine";
    testenv::dialogs()
        .expectMsgBox("Image Quality Setting not on RAW", Msg::No)
        .expectMsgBox("No Exposure sequences have been defined");
    seq->cbStart_Click();
    EXPECT_TRUE(camera->calls.contains("setImageQuality Raw"));

    // Only the heading row: the bad-file message and a cancel.
    seq->lbExposures->addItem(expfile::headingRow());
    testenv::dialogs().expectMsgBox("Check your exposure file.");
    seq->cbStart_Click();
    EXPECT_FALSE(state().bSequenceRunning);
    EXPECT_TRUE(presses().isEmpty());

    // ISO steps without a camera: No shows the camera window and runs nothing.
    camera->isConnected = false;
    seq->lbExposures->addItem(expfile::stepRow({"1", "5", "0", "400"}));
    testenv::dialogs().expectMsgBox("ISO settings being ignored", Msg::No);
    seq->cbStart_Click();
    EXPECT_TRUE(camera->calls.contains("showCameraWindow"));
    EXPECT_FALSE(state().bSequenceRunning);
    EXPECT_TRUE(presses().isEmpty());
}

TEST_F(SequenceTest, ListEditingAndTheHeadingRow) {
    open();
    testenv::dialogs().expectMsgBox("You must enter a valid value in all columns!");
    addStep("", "30", "5", "N/A");
    EXPECT_EQ(seq->lbExposures->count(), 0);

    addStep("2", "30", "5", "1600");
    addStep("1", "60", "0", "N/A");
    const QString file = expfile::defaultFile();
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "2,30,5,1600\r\n1,60,0,0\r\n");
    f.close();

    // The heading row selected is no selection.
    seq->lbExposures->setCurrentRow(0);
    testenv::dialogs()
        .expectMsgBox("Select the item you wish modified by clicking on it in the listbox!")
        .expectMsgBox("Select the item you wish to delete by clicking on it in the listbox!");
    seq->cbModify_Click();
    seq->cbDelete_Click();
    EXPECT_EQ(seq->rows().size(), 3);
    EXPECT_EQ(seq->rows()[0], expfile::headingRow());

    // Modify a step; double-click copies a row back into the fields.
    seq->lbExposures->setCurrentRow(2);
    seq->txtNoExp->setText("4");
    seq->cbModify_Click();
    seq->lbExposures->setCurrentRow(1);
    seq->lbExposures_DblClick();
    EXPECT_EQ(seq->txtNoExp->text(), "2");
    EXPECT_EQ(seq->txtExpLength->text(), "30");
    EXPECT_EQ(seq->lbISOSpeed->currentText(), "1600");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "2,30,5,1600\r\n4,60,0,0\r\n");
    f.close();

    // A step that does not convert is refused with a message: the list and the file keep
    // their steps.
    testenv::dialogs().expectMsgBox(
        "This step cannot be saved: Exposure Length \"1/125\" is not a whole number");
    addStep("3", "1/125", "0", "N/A");
    EXPECT_EQ(seq->rows().size(), 3);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "2,30,5,1600\r\n4,60,0,0\r\n");
    f.close();

    // The row shows the step as the file holds it.
    addStep("1", "2.5", "007", "N/A");
    EXPECT_EQ(seq->rows().last(), "1,\t\t2,\t\t7,\t\tN/A");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "2,30,5,1600\r\n4,60,0,0\r\n1,2,7,0\r\n");
}

// A reopened window lists the steps of the file it will rewrite (the default
// file while none was chosen), so an Add keeps them.
TEST_F(SequenceTest, TheWindowOpensWithTheStepsOfItsFile) {
    const QString file = expfile::defaultFile();
    QFile::remove(file);
    ASSERT_TRUE(QFile::copy(QStringLiteral(ZELMORA_SAMPLE_EXPOSURE_FILE), file));
    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    const expfile::ReadResult sample = expfile::readFile(file);
    ASSERT_EQ(sample.status, expfile::ReadResult::Status::Read);
    ASSERT_EQ(sample.steps.size(), 3u);
    open();
    QStringList listed = {expfile::headingRow()};
    for (const expfile::ExposureStep& step : sample.steps) listed << expfile::stepRow(step);
    EXPECT_EQ(seq->rows(), listed);
    EXPECT_TRUE(testenv::dialogs().shown().empty());

    addStep("1", "60", "0", "N/A");
    const expfile::ReadResult after = expfile::readFile(file);
    ASSERT_EQ(after.steps.size(), 4u);
    EXPECT_EQ(std::vector<expfile::ExposureStep>(after.steps.begin(), after.steps.begin() + 3),
              sample.steps);
    EXPECT_EQ(after.steps.back(), (expfile::ExposureStep{"1", "60", "0", "N/A"}));

    // Closed and opened again: the four steps.
    seq->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    seq = dynamic_cast<frmAutomate*>(windows().load(Win::frmAutomate));
    ASSERT_NE(seq, nullptr);
    EXPECT_EQ(seq->rows().size(), 5);

    // Without a file the list starts empty, and nothing is said.
    seq->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QFile::remove(file);
    seq = dynamic_cast<frmAutomate*>(windows().load(Win::frmAutomate));
    ASSERT_NE(seq, nullptr);
    EXPECT_TRUE(seq->rows().isEmpty());
    EXPECT_TRUE(testenv::dialogs().shown().empty());
}

// Loading replaces the list only with a file that was read; a cancelled
// chooser or a missing file leave the list and the window's file as they were.
TEST_F(SequenceTest, LoadTheFileAndAMissingOne) {
    open();
    const QString path = QDir(testenv::appDir()).filePath("ExposureFiles/mine.txt");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("3,120,10,0\r\n1,\"1/125\",0,400\r\n");
    f.close();
    testenv::dialogs().expectOpenFile(path);
    seq->cbLoadFile_Click();
    const QStringList loaded = {expfile::headingRow(), "3,\t\t120,\t\t10,\t\tN/A",
                                "1,\t\t\"1/125\",\t\t0,\t\t400"};
    EXPECT_EQ(seq->rows(), loaded);
    EXPECT_EQ(seq->sExposureFileName, path);
    testenv::dialogs().expectOpenFile("");
    seq->cbLoadFile_Click();
    EXPECT_EQ(seq->rows(), loaded);
    const QString gone = QDir(testenv::appDir()).filePath("ExposureFiles/gone.txt");
    testenv::dialogs().expectOpenFile(gone).expectMsgBox("Exposure File not found.");
    seq->cbLoadFile_Click();
    EXPECT_EQ(seq->rows(), loaded);
    EXPECT_EQ(seq->sExposureFileName, path);
}

TEST_F(SequenceTest, AFileFarBeyondAnySequenceIsRefusedWithAMessage) {
    open();
    const QString path = QDir(testenv::appDir()).filePath("ExposureFiles/huge.txt");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray("1,30,5,0\r\n").repeated(expfile::kMaxSteps + 1));
    f.close();
    testenv::dialogs().expectOpenFile(path).expectMsgBox("The exposure file " + path +
                                                         " was not loaded: it is more than 5000 "
                                                         "steps");
    seq->cbLoadFile_Click();
    EXPECT_EQ(seq->rows().size(), 0);
    EXPECT_EQ(testenv::dialogs().shown().back().style, Msg::Exclamation);
}

// A step runs as what it is: a shutter speed from the Short tab, seconds of
// bulb from the Long tab. A step of the other kind stops the start, with the
// reason, before the camera is asked or set anything.
TEST_F(SequenceTest, AStepOfTheOtherTabsKindIsRefusedWhenTheSequenceStarts) {
    struct Row {
        const char* what;
        bool longTab;
        expfile::ExposureStep first, second;
        QString reason;
    };
    const Row rows[] = {
        {"a shutter speed on the Long tab",
         true,
         {"1", "10", "0", "N/A"},
         {"1", "1/125", "0", "N/A", true},
         "Step 2 is the camera's shutter speed 1/125, which runs from the capture window's "
         "Short Exposures tab."},
        {"seconds on the Short tab",
         false,
         {"1", "1/125", "0", "N/A", true},
         {"1", "60", "0", "N/A"},
         "Step 2 is a bulb exposure of 60 seconds, which runs from the capture window's Long "
         "Exposures tab."},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        testenv::resetEnvironment();
        SetUp();
        camera->isConnected = true;
        camera->tv = "1/125";
        camera->quality = "Fine";  // asked about only when the sequence can run
        open(r.longTab);
        seq->lbExposures->addItem(expfile::headingRow());
        seq->lbExposures->addItem(expfile::stepRow(r.first));
        seq->lbExposures->addItem(expfile::stepRow(r.second));
        camera->calls.clear();
        testenv::dialogs().expectMsgBox(r.reason);
        startSequence();
        testenv::vclock().advance(30'000);
        EXPECT_FALSE(state().bSequenceRunning);
        EXPECT_FALSE(seq->sequenceActive());
        EXPECT_TRUE(presses().isEmpty());
        EXPECT_EQ(camera->calls.join(' ').toStdString(), "");
        EXPECT_TRUE(runTrace().contains("Start Sequence refused: " + r.reason +
                                        " Choose that tab, or change the step, then start the "
                                        "sequence again."));
        TearDown();
    }
}

TEST_F(SequenceTest, OneRunOrSequenceAtATime) {
    open();
    addStep("1", "10", "0", "N/A");
    startSequence();
    testenv::vclock().advance(2000);
    seq->cbStart_Click();     // a second sequence
    cap->cbExpStart_Click();  // the capture window's own Start
    testenv::vclock().advance(30'000);
    EXPECT_EQ(presses().size(), 1);
    EXPECT_TRUE(runTrace().contains("Start Sequence refused: a run or sequence is in progress"));
}

TEST_F(SequenceTest, ClosingTheWindowCancelsTheSequence) {
    open();
    addStep("1", "10", "0", "N/A");
    addStep("1", "10", "0", "N/A");
    startSequence();
    testenv::vclock().advance(2000);
    seq->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(bAutomateLoaded());
    testenv::vclock().advance(60'000);
    EXPECT_EQ(presses().size(), 1);
    EXPECT_FALSE(state().bSequenceRunning);
    EXPECT_FALSE(cap->runActive());
}

TEST_F(SequenceTest, ClosingTheCaptureWindowEndsTheSequence) {
    open();
    addStep("1", "10", "0", "N/A");
    addStep("1", "10", "0", "N/A");
    startSequence();
    testenv::vclock().advance(2000);
    cap->close();  // refused while its run is on: the run stops, then the window closes
    testenv::vclock().advance(60'000);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(bCaptureLoaded());
    EXPECT_EQ(cable->calls, QStringList({"press 0", "release 2000", "release 2000"}));
    EXPECT_FALSE(state().bSequenceRunning);
    EXPECT_FALSE(seq->sequenceActive());
    EXPECT_TRUE(runTrace().contains("Sequence ended: the capture window is gone"));
}

TEST_F(SequenceTest, AShutterSpeedTheCameraDoesNotOfferIsSaidBeforeTheStepRuns) {
    camera->isConnected = true;
    camera->tv = "1/125";
    open(false);
    seq->lbExposures->addItem(expfile::headingRow());
    seq->lbExposures->addItem(expfile::stepRow({"1", "1/4000", "0", "N/A", true}));
    seq->lbExposures->addItem(expfile::stepRow({"1", "30''", "0", "N/A", true}));
    testenv::dialogs().expectMsgBox("The shutter speed 1/4000 is not offered by the camera.");
    startSequence();
    testenv::vclock().advance(60'000);
    EXPECT_TRUE(runTrace().contains("Shutter speed not offered by the camera: 1/4000"));
    // Both steps run, the second at its own speed.
    EXPECT_EQ(camera->calls.count("Release"), 2);
    EXPECT_TRUE(camera->calls.contains("setTv 30''"));
    EXPECT_FALSE(state().bSequenceRunning);
}

// Program exit, a window closing or the camera going, arriving inside a loop
// that processes events while a run's or the runner's handler is on the
// stack: everything ends, nothing touches a freed window (the sanitizers
// watch), the cable is let go.
TEST_F(SequenceTest, ExitCloseOrDisconnectArrivingMidLoopEndClean) {
    enum class Loop { ShortRun, LongRun, Sequence };
    enum class Arrival { Exit, Close, Disconnect };
    const char* loopNames[] = {"short run", "long run", "sequence"};
    const char* arrivalNames[] = {"program exit", "window close", "camera disconnect"};
    for (const Loop loop : {Loop::ShortRun, Loop::LongRun, Loop::Sequence}) {
        for (const Arrival arrival : {Arrival::Exit, Arrival::Close, Arrival::Disconnect}) {
            testenv::resetEnvironment();
            SetUp();
            const std::string row =
                std::string(loopNames[int(loop)]) + " / " + arrivalNames[int(arrival)];
            camera->isConnected = true;
            camera->tv = "1/125";  // the Long tab sets Bulb
            open(loop == Loop::LongRun);
            QPointer<frmCapture> capture(cap);
            QPointer<frmAutomate> sequence(seq);
            const auto act = [&, arrival, loop] {
                switch (arrival) {
                    case Arrival::Exit:
                        platform::setShuttingDown(true);
                        windows().closeAll();
                        break;
                    case Arrival::Close:
                        if (loop == Loop::Sequence) {
                            if (sequence) sequence->close();
                        } else if (capture) {
                            capture->close();
                        }
                        break;
                    case Arrival::Disconnect:
                        camera->isConnected = false;
                        if (capture) capture->oCamera_Disconnected();
                        break;
                }
            };
            // Posted at the loop's own step, handled by its next pump.
            bool posted = false;
            const auto postOnce = [&] {
                if (posted) return;
                posted = true;
                QMetaObject::invokeMethod(qApp, act, Qt::QueuedConnection);
            };
            cap->txtExpCount->setText("2");
            cap->txtExpSec->setText("3");
            cap->txtTimeBetween->setText("0");
            if (loop == Loop::ShortRun) {
                camera->onRelease = postOnce;  // the download wait pumps first
                cap->cbExpStart_Click();
            } else if (loop == Loop::LongRun) {
                cable->onRelease = postOnce;  // the end of the exposure pumps
                cap->cbExpStart_Click();
            } else {
                camera->onSetTv = postOnce;  // the runner pumps after choosing the speed
                for (int i = 0; i < 2; ++i) {
                    if (i == 0) seq->lbExposures->addItem(expfile::headingRow());
                    seq->lbExposures->addItem(expfile::stepRow({"1", "1/125", "0", "N/A", true}));
                }
                // Without the camera the steps left are refused by their checks.
                if (arrival == Arrival::Disconnect)
                    testenv::dialogs()
                        .expectMsgBox("no camera is connected")
                        .expectMsgBox("no camera is connected");
                seq->cbStart_Click();
            }
            testenv::vclock().advance(60'000);
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            platform::setShuttingDown(false);

            EXPECT_TRUE(posted) << row;
            EXPECT_FALSE(state().bSequenceRunning) << row;
            if (capture) EXPECT_FALSE(capture->runActive()) << row;
            if (sequence) EXPECT_FALSE(sequence->sequenceActive()) << row;
            if (!cable->calls.filter("press").isEmpty())
                EXPECT_TRUE(cable->calls.last().startsWith("release")) << row;
            if (arrival == Arrival::Exit) {
                EXPECT_FALSE(bCaptureLoaded()) << row;
                EXPECT_FALSE(bAutomateLoaded()) << row;
            }
            TearDown();
        }
    }
}
