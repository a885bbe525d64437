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
#include <QMap>
#include <QPointer>
#include <QPushButton>
#include <algorithm>
#include <cerrno>
#include <functional>

#include "capture/CaptureRunEngine.h"
#include "capture/CaptureWindows.h"
#include "capture/ExposureFile.h"
#include "capture/ExposureRun.h"
#include "capture/frmAutomate.h"
#include "capture/frmCapture.h"
#include "capture/tests/RunFakes.h"
#include "platform/os/Dialogs.h"
#include "platform/os/FileWrite.h"
#include "shell/WindowRegistry.h"

using namespace zelmora;
using namespace zelmora::capture;
using namespace zelmora::capture::testing;
namespace Msg = zelmora::platform::Msg;

namespace {

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// The records of a file of one step a line, each as its bytes.
QList<QByteArray> recordsOf(const QByteArray& bytes) {
    QList<QByteArray> records = bytes.split('\n');
    if (!records.isEmpty() && records.last().isEmpty()) records.removeLast();
    for (QByteArray& r : records)
        if (r.endsWith('\r')) r.chop(1);
    return records;
}

// What the list shows for such a file, read here on its own: every value as
// the file holds it, blanks trimmed, an ISO of 0 shown as "N/A".
QStringList rowsOf(const QByteArray& bytes) {
    QStringList rows;
    for (const QByteArray& record : recordsOf(bytes)) {
        QStringList f;
        for (const QByteArray& value : record.split(',')) f << QString::fromLatin1(value).trimmed();
        if (f.size() != 4) return {QStringLiteral("not a record: ") + QString::fromLatin1(record)};
        if (f[3] == QStringLiteral("0")) f[3] = QStringLiteral("N/A");
        rows << f.join(QStringLiteral(",\t\t"));
    }
    return rows;
}

// Texts as a failure prints them: rows with their TABs as " | ", records one
// after another with " / " between.
std::string shown(const QStringList& rows) {
    return rows.join(QStringLiteral(" / ")).replace(u'\t', QStringLiteral(" |")).toStdString();
}
std::string shown(const QList<QByteArray>& records) {
    QByteArray out;
    for (const QByteArray& r : records) out += (out.isEmpty() ? "" : " / ") + r;
    return out.toStdString();
}
std::string shown(const QByteArray& bytes) {
    return bytes.size() > 200 ? "(" + std::to_string(bytes.size()) + " bytes)"
                              : QByteArray(bytes).replace("\r\n", "\\r\\n").toStdString();
}

// What a row does to the window's file.
enum class Change {
    None,      // nothing on disk changes, the list neither
    Added,     // one record more at the end, the others as they were
    Modified,  // the record of `step` differs, the others as they were
    Deleted,   // the record of `step` is gone, the others as they were
    Loaded,    // the window keeps its list in `file` now, which is as it was
    SavedAs,   // the records move, as they were, into `file`
    Reopened,  // a new window keeps its list in `file`, which is as it was
};

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

// Every way the list or its file changes, driven as a user does from the
// capture window's two tabs, each followed by the same check: the file holds
// what the list shows, and no step the user did not edit changed by a byte.
TEST_F(SequenceTest, TheFileHoldsWhatTheListShowsAfterEveryChange) {
    camera->isConnected = true;
    cap = dynamic_cast<frmCapture*>(windows().load(Win::frmCapture));
    ASSERT_NE(cap, nullptr);
    const QString dir = QDir(testenv::appDir()).filePath("ExposureFiles");
    const auto path = [&](const QString& name) { return QDir(dir).filePath(name); };
    const auto name = [&](const QString& p) { return QDir(dir).relativeFilePath(p).toStdString(); };
    const auto names = [&](const QStringList& paths) {
        QStringList out;
        for (const QString& p : paths) out << QDir(dir).relativeFilePath(p);
        return out;
    };
    const auto windowFile = [&] {
        return seq->sExposureFileName.isEmpty() ? expfile::defaultFile() : seq->sExposureFileName;
    };
    const auto files = [&] {
        QMap<QString, QByteArray> out;
        for (const QString& n : QDir(dir).entryList(QDir::Files))
            out.insert(path(n), bytesOf(path(n)));
        return out;
    };
    // The sequencing window as the capture window's "Automate" opens it from a tab.
    const auto openFrom = [&](int tab) {
        if (seq) {
            seq->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        camera->tv = "1/125";  // the Long tab left the camera on Bulb
        cap->selectTab(tab);
        cap->cbAutomate->click();
        QCoreApplication::processEvents();
        seq = windows().ifLoadedAs<frmAutomate>(Win::frmAutomate);
    };
    const auto fill = [&](const QString& count, const QString& exposure, const QString& delay,
                          const QString& iso) {
        seq->txtNoExp->setText(count);
        seq->txtExpLength->setText(exposure);
        const int speed = seq->lbTv->findText(exposure);
        if (speed >= 0) seq->lbTv->setCurrentIndex(speed);
        seq->txtDelayBetwExp->setText(delay);
        seq->lbISOSpeed->setCurrentText(iso);
    };
    // The window says why once it is up, never while it is being built.
    const auto openOverAnUnreadableFile = [&](int tab) {
        testenv::dialogs().expectMsgBox("was not loaded").whileShowing([] {
            QWidget* w = windows().ifLoaded(Win::frmAutomate);
            EXPECT_TRUE(w && w->isVisible()) << "a box while the window is built";
        });
        openFrom(tab);
    };
    const auto select = [&](int row) {
        seq->lbExposures->clearSelection();
        seq->lbExposures->setCurrentRow(row);
    };

    const QString defaultFile = expfile::defaultFile();
    ASSERT_TRUE(QFile::copy(QStringLiteral(ZELMORA_SAMPLE_EXPOSURE_FILE), defaultFile));
    QFile::setPermissions(defaultFile, QFile::ReadOwner | QFile::WriteOwner);
    ASSERT_EQ(bytesOf(defaultFile), "3,60,10,800\r\n5,300,10,1600\r\n5,300,10,0\r\n");
    const QByteArray huge = QByteArray("1,30,5,0\r\n").repeated(expfile::kMaxFileBytes / 10 + 1);
    writeBytes(path("huge.txt"), huge);
    // Written by hand: blanks, and seconds the writer would round.
    writeBytes(path("night.txt"), "2, 30 ,5,1600\r\n1,1.5,0,0\r\n");
    writeBytes(path("speeds.txt"), "1,\"1/125\",0,400\r\n3,\"30''\",10,0\r\n");

    struct Row {
        const char* what;
        std::function<void()> act;
        Change change;
        int step = 0;  // 1-based, in the list before the row
        QString file = {};
        std::function<void()> prepare = {};  // on disk, before the row
    };
    const std::vector<Row> rows = {
        // From the Short tab, over the default file's bulb steps.
        {"opened from the Short tab", [&] { openFrom(1); }, Change::Reopened, 0, defaultFile},
        {"Add refused: no count",
         [&] {
             testenv::dialogs().expectMsgBox("You must enter a valid value in all columns!");
             fill("", "1/125", "5", "N/A");
             seq->cbAdd_Click();
         },
         Change::None},
        {"Add a shutter-speed step",
         [&] {
             fill("2", "1/125", "5", "N/A");
             seq->cbAdd_Click();
         },
         Change::Added},
        {"Modify refused: no step selected",
         [&] {
             testenv::dialogs().expectMsgBox("Select the item you wish modified");
             select(-1);
             seq->cbModify_Click();
         },
         Change::None},
        {"Modify the first step to a shutter speed",
         [&] {
             select(1);
             fill("4", "30''", "0", "800");
             seq->cbModify_Click();
         },
         Change::Modified, 1},
        {"Delete refused: the heading selected",
         [&] {
             testenv::dialogs().expectMsgBox("Select the item you wish to delete");
             select(0);
             seq->cbDelete_Click();
         },
         Change::None},
        {"Delete the second step",
         [&] {
             select(2);
             seq->cbDelete_Click();
         },
         Change::Deleted, 2},
        {"Load File cancelled",
         [&] {
             testenv::dialogs().expectOpenFile("");
             seq->cbLoadFile_Click();
         },
         Change::None},
        {"Add after the cancelled Load",
         [&] {
             fill("1", "1''3", "0", "N/A");
             seq->cbAdd_Click();
         },
         Change::Added},
        {"Load File: a file too large to read",
         [&] {
             testenv::dialogs().expectOpenFile(path("huge.txt")).expectMsgBox("was not loaded");
             seq->cbLoadFile_Click();
         },
         Change::None},
        {"Load File: a file that is not there",
         [&] {
             testenv::dialogs()
                 .expectOpenFile(path("gone.txt"))
                 .expectMsgBox("Exposure File not found.");
             seq->cbLoadFile_Click();
         },
         Change::None},
        {"Load File: a file of bulb steps, written by hand",
         [&] {
             testenv::dialogs().expectOpenFile(path("night.txt"));
             seq->cbLoadFile_Click();
         },
         Change::Loaded, 0, path("night.txt")},
        {"Add a shutter-speed step to the bulb steps",
         [&] {
             fill("3", "1/125", "2", "400");
             seq->cbAdd_Click();
         },
         Change::Added},
        {"Modify refused: a count that is no number",
         [&] {
             testenv::dialogs().expectMsgBox("The list and the file keep their steps");
             select(1);
             fill("x", "1/125", "0", "N/A");
             seq->cbModify_Click();
         },
         Change::None},
        {"Save File: a name without a suffix",
         [&] {
             testenv::dialogs().expectSaveFile(path("mine"));
             seq->Command1_Click();
         },
         Change::SavedAs, 0, path("mine.txt")},
        {"Save File: a name with its suffix",
         [&] {
             testenv::dialogs().expectSaveFile(path("kept.txt"));
             seq->Command1_Click();
         },
         Change::SavedAs, 0, path("kept.txt")},
        {"Save File: a name without a suffix whose file is there, not replaced",
         [&] {
             testenv::dialogs()
                 .expectSaveFile(path("mine"))
                 .expectMsgBox("mine.txt already exists. Replace it?", Msg::No);
             seq->Command1_Click();
         },
         Change::None},
        {"Save File: a name without a suffix whose file is there, replaced",
         [&] {
             testenv::dialogs()
                 .expectSaveFile(path("mine"))
                 .expectMsgBox("mine.txt already exists. Replace it?", Msg::Yes);
             seq->Command1_Click();
         },
         Change::SavedAs, 0, path("mine.txt")},
        {"Save File cancelled: saved again where it is",
         [&] {
             testenv::dialogs().expectSaveFile("");
             seq->Command1_Click();
         },
         Change::None},
        // From the Long tab, over a default file of both kinds.
        {"opened from the Long tab", [&] { openFrom(2); }, Change::Reopened, 0, defaultFile},
        {"Add refused: a shutter speed as seconds",
         [&] {
             testenv::dialogs().expectMsgBox("The list and the file keep their steps");
             fill("1", "1/125", "0", "N/A");
             seq->cbAdd_Click();
         },
         Change::None},
        {"Add a bulb step",
         [&] {
             fill("2", "120", "10", "1600");
             seq->cbAdd_Click();
         },
         Change::Added},
        {"Add refused: the disk is full",
         [&] {
             testenv::dialogs().expectMsgBox("was not saved, the list and the file keep their");
             platform::failFileWrites(1, ENOSPC);
             fill("1", "30", "0", "N/A");
             seq->cbAdd_Click();
         },
         Change::None},
        {"Modify the last step",
         [&] {
             select(seq->lbExposures->count() - 1);
             fill("2", "240", "10", "1600");
             seq->cbModify_Click();
         },
         Change::Modified, 5},
        {"Delete a shutter-speed step",
         [&] {
             select(1);
             seq->cbDelete_Click();
         },
         Change::Deleted, 1},
        {"Load File: a file of shutter-speed steps",
         [&] {
             testenv::dialogs().expectOpenFile(path("speeds.txt"));
             seq->cbLoadFile_Click();
         },
         Change::Loaded, 0, path("speeds.txt")},
        {"Delete from the shutter-speed steps",
         [&] {
             select(2);
             seq->cbDelete_Click();
         },
         Change::Deleted, 2},
        {"Load File cancelled on the Long tab",
         [&] {
             testenv::dialogs().expectOpenFile("");
             seq->cbLoadFile_Click();
         },
         Change::None},
        // Opened again over a default file that cannot be read: the window is
        // up before it says so, and leaves the file alone.
        {"opened from the Short tab over a file too large to read",
         [&] { openOverAnUnreadableFile(1); }, Change::Reopened, 0, defaultFile,
         [&] { writeBytes(defaultFile, huge); }},
        {"Add refused while the window's file could not be read",
         [&] {
             testenv::dialogs().expectMsgBox("was not loaded");
             fill("1", "1/125", "0", "N/A");
             seq->cbAdd_Click();
         },
         Change::None},
        {"Load File there: a file saved before",
         [&] {
             testenv::dialogs().expectOpenFile(path("mine.txt"));
             seq->cbLoadFile_Click();
         },
         Change::Loaded, 0, path("mine.txt")},
        {"Delete there",
         [&] {
             select(1);
             seq->cbDelete_Click();
         },
         Change::Deleted, 1},
        {"opened from the Long tab over the same file", [&] { openOverAnUnreadableFile(2); },
         Change::Reopened, 0, defaultFile},
    };

    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        if (row.prepare) row.prepare();
        const QMap<QString, QByteArray> before = files();
        const QString fileBefore = seq ? windowFile() : QString();
        const QStringList listBefore = seq ? seq->rows() : QStringList();
        row.act();
        if (!seq) {
            ADD_FAILURE() << "no window";
            break;
        }
        EXPECT_TRUE(testenv::dialogs().allUsed()) << "a scripted box was not shown";
        testenv::dialogs().clear();

        // The window's file after the row, and every other file untouched.
        const bool newFile = row.change == Change::Loaded || row.change == Change::SavedAs ||
                             row.change == Change::Reopened;
        const QString file = windowFile();
        EXPECT_EQ(name(file), name(newFile ? row.file : fileBefore));
        const QMap<QString, QByteArray> after = files();
        for (auto it = after.begin(); it != after.end(); ++it) {
            if (it.key() != file) {
                EXPECT_EQ(shown(it.value()), shown(before.value(it.key()))) << name(it.key());
            }
        }
        QStringList kept = before.keys();
        if (row.change == Change::SavedAs && !kept.contains(file)) kept << file;
        kept.sort();
        EXPECT_EQ(shown(names(after.keys())), shown(names(kept))) << "files made or removed";

        // The steps the user did not edit, byte for byte as they were.
        const QList<QByteArray> was = recordsOf(before.value(fileBefore));
        const QList<QByteArray> is = recordsOf(after.value(file));
        QList<QByteArray> expected = was;
        switch (row.change) {
            case Change::None:
                EXPECT_EQ(shown(after.value(file)), shown(before.value(file)));
                EXPECT_EQ(shown(seq->rows()), shown(listBefore));
                break;
            case Change::Loaded:
            case Change::Reopened:
                EXPECT_EQ(shown(after.value(file)), shown(before.value(file)));
                expected = is;
                break;
            case Change::SavedAs:
                break;
            case Change::Added:
                expected << (is.size() == was.size() + 1 ? is.last() : QByteArray("(none)"));
                break;
            case Change::Modified:
                if (is.size() != was.size() || row.step > was.size()) {
                    ADD_FAILURE() << "no step " << row.step << " modified in place";
                    break;
                }
                EXPECT_NE(is[row.step - 1], was[row.step - 1]);
                expected[row.step - 1] = is[row.step - 1];
                break;
            case Change::Deleted:
                if (row.step > was.size()) {
                    ADD_FAILURE() << "no step " << row.step << " to delete";
                    break;
                }
                expected.removeAt(row.step - 1);
                break;
        }
        if (row.change != Change::None) {
            EXPECT_EQ(shown(is), shown(expected)) << "a step the user did not edit changed";
        }

        // What the list shows is what the file holds.
        QStringList listed = seq->rows();
        if (!listed.isEmpty()) {
            EXPECT_EQ(listed.first(), expfile::headingRow());
            listed.removeFirst();
        }
        if (after.value(file).size() > expfile::kMaxFileBytes) {
            EXPECT_TRUE(listed.isEmpty()) << shown(listed);
        } else {
            EXPECT_EQ(shown(listed), shown(rowsOf(after.value(file))));
        }
    }
}

namespace {

// A file's lines, each with its line end, without a byte-order mark.
QList<QByteArray> linesOf(QByteArray bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF")) bytes.remove(0, 3);
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n') continue;
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        lines << bytes.mid(start, i + 1 - start);
        start = i + 1;
    }
    if (start < bytes.size()) lines << bytes.mid(start);
    return lines;
}

// The same line: its text and its line end (a last line may have gained one).
bool sameLine(const QByteArray& a, const QByteArray& b) {
    const auto text = [](QByteArray line) {
        while (line.endsWith('\n') || line.endsWith('\r')) line.chop(1);
        return line;
    };
    const QByteArray ta = text(a), tb = text(b);
    return ta == tb && (a == b || a == ta || b == tb);
}

// How many lines of `was` are still in `is`, in their order.
qsizetype linesKept(const QList<QByteArray>& was, const QList<QByteArray>& is) {
    std::vector<std::vector<qsizetype>> lcs(std::size_t(was.size() + 1),
                                            std::vector<qsizetype>(std::size_t(is.size() + 1)));
    for (qsizetype i = was.size() - 1; i >= 0; --i)
        for (qsizetype j = is.size() - 1; j >= 0; --j)
            lcs[i][j] = sameLine(was[i], is[j]) ? lcs[i + 1][j + 1] + 1
                                                : std::max(lcs[i + 1][j], lcs[i][j + 1]);
    return lcs[0][0];
}

QStringList stepsRead(const QString& path) {
    QStringList rows;
    for (const expfile::ExposureStep& s : expfile::readFile(path).steps)
        rows << expfile::stepRow(s);
    return rows;
}

}  // namespace

// A file written by hand, loaded, then changed once from the list: the file
// is as it was, or the user said yes to what changes, or every line of it is
// still there in its order and it reads back as the steps the list shows.
// Load names the lines that do not read as whole steps.
TEST_F(SequenceTest, AFileWrittenByHandLosesNoValueWithoutTheUsersWord) {
    struct Shape {
        const char* what;
        QByteArray text;
        QStringList broken;  // what Load says, line by line
    };
    const QByteArray bom("\xEF\xBB\xBF");
    const Shape shapes[] = {
        {"an ISO forgotten", "3,60,10,800\r\n5,300,10\r\n", {"line 2: 5,300,10"}},
        {"a comment line first",
         "# M42, 2026-12-10\r\n3,60,10,800\r\n5,300,10,1600\r\n",
         {"line 1: # M42, 2026-12-10", "line 2: 3,60,10,800", "line 3: 5,300,10,1600"}},
        {"a comment line without a comma",
         "# my night\r\n3,60,10,800\r\n5,300,10,1600\r\n",
         {"line 1: # my night", "line 2: 3,60,10,800", "line 3: 5,300,10,1600"}},
        {"a quoted speed holding a comma",
         "2,\"1,5\",0,0\r\n3,60,10,800\r\n",
         {"line 1: 2,\"1,5\",0,0", "line 2: 3,60,10,800"}},
        {"an extra fifth value",
         "3,60,10,800,5\r\n5,300,10,1600\r\n",
         {"line 1: 3,60,10,800,5", "line 2: 5,300,10,1600"}},
        {"CR-only line ends", "3,60,10,800\r5,300,10,1600\r", {}},
        {"CR-only line ends, an ISO forgotten", "3,60,10,800\r5,300,10\r", {"line 2: 5,300,10"}},
        {"cut inside a quoted value", "3,60,10,800\r\n2,\"1/1", {"line 2: 2,\"1/1"}},
        {"a byte-order mark, a sign outside Latin-1", bom + "1,\"1″\",0,0\r\n3,60,10,800\r\n", {}},
        {"the same, an ISO forgotten", bom + "1,\"1″\",0,0\r\n5,300,10\r\n", {"line 2: 5,300,10"}},
        {"blank lines, no line end at the end", "\r\n3,60,10,800\r\n\r\n5,300,10,1600", {}},
    };
    const QString newStep = "1,\t\t30,\t\t0,\t\tN/A";
    const QString modified = "4,\t\t60,\t\t0,\t\tN/A";
    // Each action scripts the boxes it brings, then the question with
    // `answer` when it is to be asked (0: not asked).
    struct Action {
        const char* what;
        bool rewrites;  // the window's own file
        qsizetype linesGone, linesNew;
        std::function<void(int answer)> act;
        std::function<QStringList(QStringList)> listAfter;
    };
    QString hand, other;  // in each row's own application folder
    const auto question = [](int answer) {
        if (answer) testenv::dialogs().expectMsgBox("does not read as whole steps", answer);
    };
    const auto fill = [&](const QString& count, const QString& exposure) {
        seq->txtNoExp->setText(count);
        seq->txtExpLength->setText(exposure);
        seq->txtDelayBetwExp->setText("0");
        seq->lbISOSpeed->setCurrentText("N/A");
    };
    const auto select = [&](int row) {
        seq->lbExposures->clearSelection();
        seq->lbExposures->setCurrentRow(row);
    };
    const Action actions[] = {
        {"Add", true, 0, 1,
         [&](int answer) {
             question(answer);
             fill("1", "30");
             seq->cbAdd_Click();
         },
         [&](QStringList rows) { return rows << newStep; }},
        {"Modify the last step", true, 1, 1,
         [&](int answer) {
             question(answer);
             select(seq->lbExposures->count() - 1);
             fill("4", "60");
             seq->cbModify_Click();
         },
         [&](QStringList rows) {
             rows.last() = modified;
             return rows;
         }},
        {"Delete the first step", true, 1, 0,
         [&](int answer) {
             question(answer);
             select(1);
             seq->cbDelete_Click();
         },
         [&](QStringList rows) {
             rows.removeAt(1);
             return rows;
         }},
        {"Save File cancelled: saved again", true, 0, 0,
         [&](int answer) {
             testenv::dialogs().expectSaveFile("");
             question(answer);
             seq->Command1_Click();
         },
         [&](QStringList rows) { return rows; }},
        {"Save File under its own name", true, 0, 0,
         [&](int answer) {
             testenv::dialogs().expectSaveFile(hand);
             question(answer);
             seq->Command1_Click();
         },
         [&](QStringList rows) { return rows; }},
        {"Save File under another name", false, 0, 0,
         [&](int) {
             testenv::dialogs().expectSaveFile(other);
             seq->Command1_Click();
         },
         [&](QStringList rows) { return rows; }},
    };
    for (const Shape& shape : shapes) {
        for (const Action& action : actions) {
            SCOPED_TRACE(std::string(shape.what) + " / " + action.what);
            testenv::resetEnvironment();
            SetUp();
            open();
            const QDir dir(QDir(testenv::appDir()).filePath("ExposureFiles"));
            hand = dir.filePath("hand.txt");
            other = dir.filePath("other.txt");
            writeBytes(hand, shape.text);
            const bool whole = shape.broken.isEmpty();
            testenv::dialogs().expectOpenFile(hand);
            if (!whole) testenv::dialogs().expectMsgBox("does not read as whole steps");
            seq->cbLoadFile_Click();
            const auto saidEachLine = [&](const char* box) {
                const auto& shown = testenv::dialogs().shown();
                const QString text = shown.empty() ? QString() : shown.back().text;
                for (const QString& line : shape.broken)
                    EXPECT_TRUE(text.contains(line))
                        << box << " does not name " << line.toStdString() << ": "
                        << text.toStdString();
            };
            if (!whole) saidEachLine("Load");
            const QStringList loaded = seq->rows();
            EXPECT_EQ(seq->sExposureFileName, hand);
            if (loaded.size() < 2) {
                ADD_FAILURE() << "no step loaded";
                TearDown();
                continue;
            }

            // A rewrite of a file that does not read as whole steps asks first;
            // No leaves the file and the list as they were.
            const bool asks = !whole && action.rewrites;
            if (asks) {
                action.act(Msg::No);
                saidEachLine("the question");
                EXPECT_EQ(shown(bytesOf(hand)), shown(shape.text));
                EXPECT_EQ(shown(seq->rows()), shown(loaded));
            }
            action.act(asks ? Msg::Yes : 0);
            EXPECT_TRUE(testenv::dialogs().allUsed()) << "a scripted box was not shown";
            testenv::dialogs().clear();

            // The list shows the change and nothing else; the file reads back as it.
            const QString file = action.rewrites ? hand : other;
            EXPECT_EQ(seq->sExposureFileName, file);
            EXPECT_EQ(shown(seq->rows()), shown(action.listAfter(loaded)));
            EXPECT_EQ(shown(stepsRead(file)), shown(seq->rows().mid(1)));
            const QByteArray after = bytesOf(file);
            EXPECT_EQ(after.startsWith(bom), shape.text.startsWith(bom)) << "the mark";
            if (!action.rewrites) {
                EXPECT_EQ(shown(bytesOf(hand)), shown(shape.text));
            }
            // Unasked, every line the change did not touch is still there in its order.
            if (whole) {
                const QList<QByteArray> was = linesOf(shape.text), is = linesOf(after);
                const qsizetype kept = linesKept(was, is);
                EXPECT_EQ(was.size() - kept, action.linesGone) << shown(after);
                EXPECT_EQ(is.size() - kept, action.linesNew) << shown(after);
                // A modified step keeps its place.
                if (action.linesGone == 1 && action.linesNew == 1) {
                    qsizetype moved = std::abs(was.size() - is.size());
                    for (qsizetype i = 0; i < std::min(was.size(), is.size()); ++i)
                        if (!sameLine(was[i], is[i]) && !is[i].startsWith("4,60,0,0")) ++moved;
                    EXPECT_EQ(moved, 0) << shown(after);
                }
            }
            TearDown();
        }
    }
}

// The window opened over its file when that does not read as whole steps:
// it says so once it is up, and asks before the first change rewrites it.
TEST_F(SequenceTest, AWindowOpenedOverAFileThatDoesNotReadAsWholeStepsSaysSo) {
    const QString file = expfile::defaultFile();
    const QByteArray text = "3,60,10,800\r\n5,300,10\r\n";
    writeBytes(file, text);
    cap = dynamic_cast<frmCapture*>(windows().load(Win::frmCapture));
    ASSERT_NE(cap, nullptr);
    cap->selectTab(2);
    testenv::dialogs().expectMsgBox("line 2: 5,300,10").whileShowing([] {
        QWidget* w = windows().ifLoaded(Win::frmAutomate);
        EXPECT_TRUE(w && w->isVisible()) << "a box while the window is built";
    });
    cap->cbAutomate->click();
    QCoreApplication::processEvents();
    seq = windows().ifLoadedAs<frmAutomate>(Win::frmAutomate);
    ASSERT_NE(seq, nullptr);
    EXPECT_EQ(seq->rows().size(), 2);
    testenv::dialogs().expectMsgBox("line 2: 5,300,10", Msg::No);
    addStep("1", "30", "0", "N/A");
    EXPECT_EQ(bytesOf(file), text);
    EXPECT_EQ(seq->rows().size(), 2);
}
