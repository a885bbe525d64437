#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QEnterEvent>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QRadioButton>
#include <QSlider>
#include <QStatusBar>
#include <QToolBar>

#include "mainwindow/MDIMain.h"
#include "platform/os/Dialogs.h"
#include "shell/AppPaths.h"
#include "shell/Globals.h"
#include "shell/MainWindow.h"
#include "shell/Neighbours.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"
#include "testing/TestEnv.h"

using namespace zelmora;

namespace {

std::vector<QString>* gLog = nullptr;

// One stand-in for every window the main window reaches: it records being
// shown and every operation called on it as "<window>.<operation>".
class FakeWindow : public QWidget,
                   public IImageDispWindow,
                   public IFocusFrameViewer,
                   public ICameraControlWindow,
                   public IZoomerWindow,
                   public IFrameImageWindow,
                   public IScopeControlWindow {
public:
    explicit FakeWindow(QString name) : name_(std::move(name)) {
        setObjectName(name_);
        windows().markLoaded(name_, this);
    }
    ~FakeWindow() override { windows().markUnloaded(name_); }

    void ProcessSpaceBar() override { call("ProcessSpaceBar"); }
    IFocusFrameViewer* ImageDisp() override { return this; }
    void TopLeft() override { call("TopLeft"); }
    void TopCentre() override { call("TopCentre"); }
    void Topright() override { call("Topright"); }
    void CentreLeft() override { call("CentreLeft"); }
    void centreImage() override { call("centreImage"); }
    void CentreRight() override { call("CentreRight"); }
    void BottomLeft() override { call("BottomLeft"); }
    void BottomCentre() override { call("BottomCentre"); }
    void BottomRight() override { call("BottomRight"); }
    QImage GetImage() const override { return {}; }
    void LoadImage(const QString&) override { call("LoadImage"); }
    ReleaseOutcome release(FrameKind) override {
        call("release");
        return ReleaseOutcome::ok();
    }
    void StartContinousDownload() override { call("StartContinousDownload"); }
    void InvokeZoom() override { call("InvokeZoom"); }
    void showHistogram() override {
        call(QStringLiteral("showHistogram") +
             (cursor().shape() == Qt::WaitCursor ? " (busy)" : ""));
    }
    void loadCatalogue() override { call("loadCatalogue"); }

protected:
    void showEvent(QShowEvent* e) override {
        gLog->push_back(QStringLiteral("show ") + name_);
        QWidget::showEvent(e);
    }

private:
    void call(const QString& op) { gLog->push_back(name_ + u'.' + op); }
    QString name_;
};

const QString kAllWindows[] = {Win::frmCameraControl, Win::frmImageDisp,     Win::frmImage1,
                               Win::frmZoomer,        Win::frmCapture,       Win::frmSelectPort,
                               Win::frmScopeControl,  Win::frmCustomObjects, Win::frmAutofocus,
                               Win::frmExpCalc,       Win::frmMoonPhase,     Win::frmAutomate,
                               Win::frmAutoFocusRslts};

class MainWindowCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        gLog = &log;
        for (const QString& name : kAllWindows)
            windows().registerWindow(name, [name] { return new FakeWindow(name); });
        main = std::make_unique<MDIMain>();
        main->show();
    }
    void TearDown() override {
        windows().reset();
        main.reset();
        gLog = nullptr;
    }
    void load(const QString& name) {
        windows().load(name);
        log.clear();
    }
    void trigger(const QString& item) {
        QAction* a = main->menuItem(item);
        ASSERT_NE(a, nullptr) << item.toStdString();
        a->setEnabled(true);
        a->trigger();
    }
    void click(int button) { main->button(button)->trigger(); }
    // Deletes every open window; registrations stay.
    static void closeWindows() {
        for (const QString& name : windows().loadedNames())
            delete frameOf(windows().ifLoaded(name));
    }
    std::vector<std::pair<QString, QString>> writes() const {
        std::vector<std::pair<QString, QString>> out;
        for (const auto& w : testenv::memSettings().writes())
            out.emplace_back(w.section + u'/' + w.key, w.value);
        return out;
    }

    std::vector<QString> log;
    std::unique_ptr<MDIMain> main;
};

using Log = std::vector<QString>;

}  // namespace

TEST_F(MainWindowCommandsTest, ToolbarButtonsDriveTheirWindows) {
    struct Case {
        int button;
        std::vector<QString> loaded;  // windows open before the click
        Log expected;
    };
    const Case cases[] = {
        {1, {}, {"show frmZoomer"}},
        {5, {Win::frmImageDisp}, {"frmImageDisp.TopLeft"}},
        {6, {Win::frmImageDisp}, {"frmImageDisp.Topright"}},
        {7, {Win::frmImageDisp}, {"frmImageDisp.CentreLeft"}},
        {8, {Win::frmImageDisp}, {"frmImageDisp.centreImage"}},
        {9, {Win::frmImageDisp}, {"frmImageDisp.CentreRight"}},
        {10, {Win::frmImageDisp}, {"frmImageDisp.BottomLeft"}},
        {11, {Win::frmImageDisp}, {"frmImageDisp.BottomRight"}},
        {5, {}, {}},  // no image display: nothing, and it is not created
        {13, {Win::frmCameraControl}, {"frmCameraControl.StartContinousDownload"}},
        {14, {Win::frmCameraControl}, {}},  // "Pause"
        {15, {Win::frmCameraControl}, {"frmCameraControl.StartContinousDownload"}},
        {17, {}, {"show frmCameraControl"}},
        {19, {Win::frmCameraControl}, {"frmCameraControl.release"}},
        {19, {}, {}},
        {21, {}, {"show frmCapture"}},
        {22, {}, {"show frmImage1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        for (const QString& w : c.loaded) load(w);
        log.clear();
        click(c.button);
        EXPECT_EQ(log, c.expected);
        if (c.loaded.empty()) {
            EXPECT_FALSE(windows().isLoaded(Win::frmImageDisp));
        }
        closeWindows();
    }
}

TEST_F(MainWindowCommandsTest, FocusButtonPausesAnalysisAndBack) {
    click(3);
    EXPECT_TRUE(state().bAnalysisPaused);
    EXPECT_EQ(main->button(3)->property("image").toInt(), 17);
    click(3);
    EXPECT_FALSE(state().bAnalysisPaused);
    EXPECT_EQ(main->button(3)->property("image").toInt(), 2);
}

TEST_F(MainWindowCommandsTest, MenuItemsOpenTheirWindows) {
    struct Case {
        const char* item;
        std::vector<QString> loaded;
        Log expected;
    };
    const Case cases[] = {
        {"mnuConnect", {}, {"show frmCameraControl"}},
        {"mnuControl", {}, {"show frmCapture"}},
        {"mnuPortSetup", {}, {"show frmSelectPort"}},
        {"mnuFrameImage", {}, {"show frmImage1"}},
        {"mnuTelMotion", {}, {"show frmScopeControl"}},
        {"mnuCatalogue", {}, {"show frmScopeControl", "frmScopeControl.loadCatalogue"}},
        {"mnuCustCat", {}, {"show frmCustomObjects"}},
        {"mnuFocusControl", {}, {"show frmAutofocus"}},
        {"mnuExpCalc", {}, {"show frmExpCalc"}},
        {"mnuMoonPhase", {}, {"show frmMoonPhase"}},
        {"mnuPos0", {Win::frmImageDisp}, {"frmImageDisp.TopLeft"}},
        {"mnuPos1", {Win::frmImageDisp}, {"frmImageDisp.TopCentre"}},
        {"mnuPos2", {Win::frmImageDisp}, {"frmImageDisp.Topright"}},
        {"mnuPos3", {Win::frmImageDisp}, {"frmImageDisp.CentreLeft"}},
        {"mnuPos4", {Win::frmImageDisp}, {"frmImageDisp.centreImage"}},
        {"mnuPos5", {Win::frmImageDisp}, {"frmImageDisp.CentreRight"}},
        {"mnuPos6", {Win::frmImageDisp}, {"frmImageDisp.BottomLeft"}},
        {"mnuPos7", {Win::frmImageDisp}, {"frmImageDisp.BottomCentre"}},
        {"mnuPos8", {Win::frmImageDisp}, {"frmImageDisp.BottomRight"}},
        {"mnuShowHist", {Win::frmImage1}, {}},  // frame image not open
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        for (const QString& w : c.loaded) load(w);
        log.clear();
        trigger(c.item);
        EXPECT_EQ(log, c.expected);
        if (QString(c.item).startsWith("mnuPos")) {
            for (int i = 0; i < 9; ++i)
                EXPECT_EQ(main->menuItem(QStringLiteral("mnuPos%1").arg(i))->isChecked(),
                          QStringLiteral("mnuPos%1").arg(i) == c.item);
        }
        closeWindows();
    }

    testenv::enableTrace();
    windows().reset();  // nothing built yet: the command only traces
    trigger("mnuExpCalc");
    EXPECT_EQ(testenv::traceLines().last(), "Window not available: frmExpCalc");
}

TEST_F(MainWindowCommandsTest, ShellWindowsAndTheManual) {
    trigger("mnuAbout");
    ASSERT_TRUE(windows().isLoaded(Win::frmAbout));
    EXPECT_TRUE(windows().ifLoaded(Win::frmAbout)->isVisible());
    EXPECT_EQ(windows().ifLoaded(Win::frmAbout)->parentWidget(), nullptr) << "modeless, on its own";
    trigger("mnuColorPicker");
    ASSERT_TRUE(windows().isLoaded(Win::frmColorPicker));
    QFile manual(AppPaths::join(AppPaths::resourceDir(), "Zelmora 3.0 User Manual.pdf"));
    ASSERT_TRUE(manual.open(QIODevice::WriteOnly));
    manual.close();
    trigger("mnuHelp");
    ASSERT_EQ(testenv::desktop().opened.size(), 1u);
    EXPECT_EQ(testenv::desktop().opened[0],
              QUrl::fromLocalFile(
                  AppPaths::join(AppPaths::resourceDir(), "Zelmora 3.0 User Manual.pdf")));
}

// A shipped file that a menu opens and that is not there is named to the user.
TEST_F(MainWindowCommandsTest, MissingShippedFilesAreNamed) {
    const QString manual = AppPaths::join(AppPaths::resourceDir(), "Zelmora 3.0 User Manual.pdf");
    auto& dialogs = testenv::dialogs();
    dialogs.expectMsgBox("The user manual " + manual + " could not be found.");
    trigger("mnuHelp");
    EXPECT_TRUE(testenv::desktop().opened.empty());

    QFile file(manual);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    testenv::desktop().result = false;  // no program for PDF files
    dialogs.expectMsgBox("The user manual " + manual + " could not be opened.");
    trigger("mnuHelp");
    EXPECT_EQ(testenv::desktop().opened.size(), 1u);

    // The alarm picker names the missing folder, then lets the user look elsewhere.
    dialogs
        .expectMsgBox("The sound folder " + AppPaths::join(AppPaths::resourceDir(), "WavFiles") +
                      " could not be found.")
        .expectOpenFile("/home/me/bell.wav");
    trigger("mnuWavFile");
    EXPECT_EQ(state().sAlarmWavFile, "/home/me/bell.wav");
    EXPECT_TRUE(dialogs.allUsed());
}

TEST_F(MainWindowCommandsTest, HistogramRunsUnderTheBusyPointer) {
    load(Win::frmImage1);
    state().bFrameImageOpen = true;
    trigger("mnuShowHist");
    EXPECT_EQ(log, Log{"frmImage1.showHistogram (busy)"});
    EXPECT_NE(windows().ifLoaded(Win::frmImage1)->cursor().shape(), Qt::WaitCursor);
    EXPECT_NE(main->cursor().shape(), Qt::WaitCursor);
}

TEST_F(MainWindowCommandsTest, CheckItemsSaveTheirSettings) {
    struct Case {
        const char* item;
        std::vector<std::pair<QString, QString>> writes;
    };
    const Case cases[] = {
        {"mnuInitPort", {{"DSLRControl/InitOnStartup", "True"}}},
        {"mnuInitPort", {{"DSLRControl/InitOnStartup", "False"}}},
        {"mnuBatMon", {{"DSLRControl/BatteryMonitor", "True"}}},
        {"mnuMute", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        testenv::memSettings().clearWrites();
        trigger(c.item);
        EXPECT_EQ(writes(), c.writes);
    }
    EXPECT_TRUE(state().bMute);
    trigger("mnuMute");
    EXPECT_FALSE(state().bMute);
}

TEST_F(MainWindowCommandsTest, CrossHairAndBullsEyeAlwaysEndComplementary) {
    struct Case {
        bool xhair, bulls;  // before
        const char* item;
        bool xhairAfter;
        std::vector<std::pair<QString, QString>> writes;
    };
    const Case cases[] = {
        {true,
         false,
         "mnuXhair",
         false,
         {{"XhairType/Xhair", "False"}, {"XhairType/BullsEye", "True"}}},
        {false,
         true,
         "mnuXhair",
         true,
         {{"XhairType/Xhair", "True"}, {"XhairType/BullsEye", "False"}}},
        {true,
         false,
         "mnuBullsEye",
         false,
         {{"XhairType/BullsEye", "True"}, {"XhairType/Xhair", "False"}}},
        {false,
         true,
         "mnuBullsEye",
         true,
         {{"XhairType/BullsEye", "False"}, {"XhairType/Xhair", "True"}}},
        // Stored settings that disagreed are put right by the next choice.
        {true,
         true,
         "mnuXhair",
         false,
         {{"XhairType/Xhair", "False"}, {"XhairType/BullsEye", "True"}}},
        {false,
         false,
         "mnuBullsEye",
         false,
         {{"XhairType/BullsEye", "True"}, {"XhairType/Xhair", "False"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.item) + (c.xhair ? " X" : " -") + (c.bulls ? "B" : "-"));
        main->menuItem("mnuXhair")->setChecked(c.xhair);
        main->menuItem("mnuBullsEye")->setChecked(c.bulls);
        testenv::memSettings().clearWrites();
        trigger(c.item);
        EXPECT_EQ(main->menuItem("mnuXhair")->isChecked(), c.xhairAfter);
        EXPECT_EQ(main->menuItem("mnuBullsEye")->isChecked(), !c.xhairAfter);
        EXPECT_EQ(writes(), c.writes);
    }
}

TEST_F(MainWindowCommandsTest, FileChoicesAreSavedAndACancelChangesNothing) {
    // Records what the dialog was asked, then answers like the scripted one.
    class Recording : public testenv::ScriptedDialogs {
    public:
        QString openFile(const platform::FileDialogRequest& r) override {
            requests.push_back(r);
            return ScriptedDialogs::openFile(r);
        }
        std::vector<platform::FileDialogRequest> requests;
    };
    auto dialogs = std::make_shared<Recording>();
    platform::Dialogs::setBackend(dialogs);
    state().sAlarmWavFile = "alarm.wav";
    const QString catalogue = state().sCatalogueFile = "/old/ObjectCatalogue.txt";
    QDir().mkpath(AppPaths::join(AppPaths::resourceDir(), "WavFiles"));

    dialogs->expectOpenFile("")
        .expectOpenFile("")
        .expectOpenFile("/sounds/bell.wav")
        .expectOpenFile("/cats/mine.txt");
    trigger("mnuWavFile");
    trigger("mnuSetNewCatalogue");
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(state().sAlarmWavFile, "alarm.wav");
    EXPECT_EQ(state().sCatalogueFile, catalogue);

    trigger("mnuWavFile");
    trigger("mnuSetNewCatalogue");
    EXPECT_EQ(writes(), (std::vector<std::pair<QString, QString>>{
                            {"DSLRControl/AlramWav", "/sounds/bell.wav"},
                            {"Telescope/ObjectCatalogue", "/cats/mine.txt"}}));
    EXPECT_EQ(state().sAlarmWavFile, "/sounds/bell.wav");
    EXPECT_EQ(state().sCatalogueFile, "/cats/mine.txt");
    ASSERT_EQ(dialogs->requests.size(), 4u);
    EXPECT_EQ(dialogs->requests[0].filter, "Wav File|*.wav");
    EXPECT_EQ(dialogs->requests[0].initialDir,
              AppPaths::join(AppPaths::resourceDir(), "WavFiles/"));
    EXPECT_EQ(dialogs->requests[1].filter, "Object Catalogue|*.txt");
    EXPECT_EQ(dialogs->requests[1].initialDir, AppPaths::join(AppPaths::dataFiles(), "/"));
    EXPECT_EQ(QDir::currentPath(), QDir(AppPaths::appDir()).canonicalPath());
    platform::Dialogs::setBackend(nullptr);
}

TEST_F(MainWindowCommandsTest, SliderChannelsAndNightVision) {
    main->ZoomSlider()->setValue(5);
    EXPECT_EQ(main->iZoomFactor, 5);
    EXPECT_TRUE(log.empty()) << "no magnifier: nothing to redraw";
    windows().show(Win::frmZoomer);
    log.clear();
    main->ZoomSlider()->setValue(9);
    EXPECT_EQ(log, Log{"frmZoomer.InvokeZoom"});
    EXPECT_EQ(mainWindow()->zoomFactor(), 9);

    for (auto [index, channel] : {std::pair{0, 1}, {1, 2}, {2, 3}, {3, 0}}) {
        main->OptRGB(index)->click();
        EXPECT_EQ(state().lMeasureChannel, channel) << index;
    }

    trigger("mnuNightVision");
    EXPECT_TRUE(main->menuItem("mnuNightVision")->isChecked());
    trigger("mnuNightVision");
    EXPECT_FALSE(main->menuItem("mnuNightVision")->isChecked());
    EXPECT_TRUE(main->ZoomSlider()->isEnabled());
}

TEST_F(MainWindowCommandsTest, HoveringTheToolbarHoldsOffFocusStealingUntilTheMouseLeaves) {
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(main->Toolbar1(), &enter);
    EXPECT_TRUE(state().bMsgBoxShowing);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(main->Toolbar1(), &leave);
    EXPECT_FALSE(state().bMsgBoxShowing) << "cleared when the mouse leaves the toolbar";

    QCoreApplication::sendEvent(main->Toolbar1(), &enter);
    QMouseEvent move(QEvent::MouseMove, QPointF(10, 10), QPointF(10, 10), QPointF(10, 10),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(main->mdiArea()->viewport(), &move);
    EXPECT_FALSE(state().bMsgBoxShowing) << "the client area clears it too";
}

TEST_F(MainWindowCommandsTest, ModesChangeOnlyTheirOwnButtons) {
    main->ToolbarEnable("Startup");
    main->button(19)->setEnabled(true);  // the camera window, by index
    main->button(15)->setEnabled(true);
    main->ToolbarEnable("ImageWindowOpen");
    main->ToolbarEnable("Connected");
    EXPECT_TRUE(main->button(19)->isEnabled());
    EXPECT_TRUE(main->button(15)->isEnabled());
    main->ToolbarEnable("Disconnected");
    EXPECT_FALSE(main->button(19)->isEnabled());
    EXPECT_TRUE(main->button(15)->isEnabled()) << "not in the Disconnected row";
    main->ToolbarEnable("no such mode");
    EXPECT_TRUE(main->button(15)->isEnabled());
}

TEST_F(MainWindowCommandsTest, StatusBarHasSixPanels) {
    for (int i = 1; i <= 6; ++i) EXPECT_NE(main->statusPanel(i), nullptr) << i;
    EXPECT_EQ(main->statusPanel(7), nullptr);
    EXPECT_EQ(main->statusBar()->findChildren<QLabel*>().size(), 6);
    EXPECT_EQ(mainWindow(), static_cast<IMainWindow*>(main.get()));
}

TEST_F(MainWindowCommandsTest, TilingStacksOrSetsSideBySide) {
    main->resize(1000, 800);
    windows().show(Win::frmCapture);
    windows().show(Win::frmMoonPhase);
    const QList<QMdiSubWindow*> subs = main->mdiArea()->subWindowList(QMdiArea::CreationOrder);
    ASSERT_EQ(subs.size(), 2);
    const QRect area = main->mdiArea()->viewport()->rect();

    trigger("mnuTileH");  // top to bottom, each full width
    EXPECT_EQ(subs[0]->geometry(), QRect(0, 0, area.width(), area.height() / 2));
    EXPECT_EQ(subs[1]->geometry().left(), 0);
    EXPECT_EQ(subs[1]->geometry().top(), area.height() / 2);
    EXPECT_EQ(subs[1]->geometry().width(), area.width());

    trigger("mnuTileV");  // side by side, each full height
    EXPECT_EQ(subs[0]->geometry(), QRect(0, 0, area.width() / 2, area.height()));
    EXPECT_EQ(subs[1]->geometry().left(), area.width() / 2);
    EXPECT_EQ(subs[1]->geometry().height(), area.height());
}

TEST_F(MainWindowCommandsTest, ResetAnsweredYesWritesTheKeysInOrderAndMovesOpenWindows) {
    windows().show(Win::frmCapture);
    windows().show(Win::frmImageDisp);
    QWidget* capture = windows().ifLoaded(Win::frmCapture);
    QWidget* captureFrame = capture->parentWidget();
    captureFrame->move(120, 90);
    QWidget* disp = windows().ifLoaded(Win::frmImageDisp);
    testenv::memSettings().clearWrites();

    testenv::dialogs().expectMsgBox("This action will reset all winodw positions. Conintue ?",
                                    platform::Msg::Yes);
    trigger("mnuReset");
    ASSERT_EQ(testenv::dialogs().shown().size(), 1u);
    EXPECT_EQ(testenv::dialogs().shown()[0].style,
              platform::Msg::YesNo | platform::Msg::Critical | platform::Msg::DefaultButton2);

    std::vector<std::pair<QString, QString>> expected = {{"WindowPos/Image DisplayWidth", "500"},
                                                         {"WindowPos/Image DisplayHeight", "500"}};
    for (const char* caption :
         {"Camera Control", "Image Capture", "Auto Focus", "Auto Focus Results", "Frame Image",
          "Exposure Sequencing", "Moon Phase", "Telescope Control"}) {
        expected.emplace_back(QStringLiteral("WindowPos/%1Top").arg(caption), "0");
        expected.emplace_back(QStringLiteral("WindowPos/%1Left").arg(caption), "0");
    }
    EXPECT_EQ(writes(), expected);
    EXPECT_EQ(captureFrame->pos(), QPoint(0, 0));
    EXPECT_EQ(disp->size(), QSize(500, 500));

    Globals::SaveFormPosition(capture, "Image Capture");  // what the window does when it closes
    EXPECT_EQ(Settings::get("WindowPos", "Image CaptureTop", "?"), "0");
}

TEST_F(MainWindowCommandsTest, ResetAnsweredNoWritesNothing) {
    windows().show(Win::frmCapture);
    QWidget* frame = windows().ifLoaded(Win::frmCapture)->parentWidget();
    frame->move(120, 90);
    testenv::memSettings().clearWrites();
    testenv::dialogs().expectMsgBox("Conintue ?", platform::Msg::No);
    trigger("mnuReset");
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(frame->pos(), QPoint(120, 90));
}
