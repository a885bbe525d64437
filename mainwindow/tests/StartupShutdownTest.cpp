#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QTimer>

#include "camera/clsCamera.h"
#include "mainwindow/MDIMain.h"
#include "platform/time/Clock.h"
#include "shell/AppPaths.h"
#include "shell/Globals.h"
#include "shell/KeyboardHook.h"
#include "shell/Neighbours.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"
#include "shell/clsWaitableTimer.h"
#include "sky/ScopeDriver.h"
#include "testing/TestEnv.h"

using namespace zelmora;

namespace {

// Records what the main window asks of the cables and the telescope, in order.
std::vector<QString>* gCalls = nullptr;

class FakeCable : public ShutterCable {
public:
    void InitShutterPort() override { gCalls->push_back("InitShutterPort"); }
    void SavePortSetup() override { gCalls->push_back("SavePortSetup"); }
    void CloseComPort() override { gCalls->push_back("CloseComPort"); }
    void releaseToIdle() override { gCalls->push_back("releaseToIdle"); }
    bool hasDSUSB() const override { return dsusb; }
    void releaseDSUSB() override { gCalls->push_back("releaseDSUSB"); }
    bool dsusb = false;
};

class FakeScope : public drivers::Telescope {
public:
    bool connected() const override {
        if (throws) throw AppError(1, "Scope", "driver gone");
        return connected_;
    }
    void setConnected(bool v) override {
        gCalls->push_back(QStringLiteral("scope connected=") + (v ? "True" : "False"));
        connected_ = v;
    }
    ~FakeScope() override { gCalls->push_back("scope released"); }
    bool connected_ = true;
    bool throws = false;
};

class StartupShutdownTest : public ::testing::Test {
protected:
    void SetUp() override {
        gCalls = &calls;
        cable = std::make_shared<FakeCable>();
        ShutterCable::setInstance(cable);
    }
    void TearDown() override { gCalls = nullptr; }
    std::vector<QString> calls;
    std::shared_ptr<FakeCable> cable;
};

QString appFile(const QString& name) {
    return AppPaths::join(AppPaths::appDir(), name);
}

}  // namespace

TEST_F(StartupShutdownTest, FirstRunOnAnEmptyFolder) {
    QFile log(appFile("logfile.txt"));
    ASSERT_TRUE(log.open(QIODevice::WriteOnly));
    log.close();

    MDIMain main;
    main.Form_Load();

    for (const char* d : {"Thumbs", "FocusImages", "DataFiles"})
        EXPECT_TRUE(QFileInfo(appFile(d)).isDir()) << d;
    EXPECT_FALSE(QFile::exists(appFile("logfile.txt")));
    EXPECT_EQ(QDir::currentPath(), QDir(AppPaths::appDir()).canonicalPath());
    const QStringList lines = testenv::traceLines();
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0], "Zelmora v" + MDIMain::versionText());
    EXPECT_TRUE(lines[1].startsWith("Unknown OS::Linux")) << lines[1].toStdString();
    EXPECT_EQ(lines[2], "Hooked:True :1");
    EXPECT_EQ(lines.size(), 3);

    EXPECT_EQ(main.windowTitle(), "Zelmora Beta v3.0.0");
    EXPECT_EQ(main.lbInterval()->text(), "8");
    EXPECT_FALSE(main.lbInterval()->isEnabled());
    EXPECT_FALSE(main.button(19)->isEnabled());
    EXPECT_TRUE(main.button(21)->isEnabled());
    EXPECT_EQ(main.iZoomFactor, 3);
    EXPECT_EQ(state().lForeColor, 192u);
    EXPECT_EQ(state().sCatalogueFile,
              AppPaths::join(AppPaths::appDir(), "DataFiles/ObjectCatalogue.txt"));
    EXPECT_TRUE(main.menuItem("mnuInitPort")->isChecked());
    EXPECT_TRUE(main.menuItem("mnuXhair")->isChecked());
    EXPECT_FALSE(main.menuItem("mnuBullsEye")->isChecked());
    EXPECT_FALSE(main.menuItem("mnuBatMon")->isChecked());
    ASSERT_NE(oMainCamera(), nullptr);
    EXPECT_EQ(main.loCamera, oMainCamera());
    EXPECT_EQ(calls, std::vector<QString>{"InitShutterPort"});
    EXPECT_TRUE(testenv::memSettings().writes().empty()) << "defaults are read, never written";
}

TEST_F(StartupShutdownTest, DataFilesAsAFileStillRunsEveryLaterStep) {
    QFile blocker(appFile("DataFiles"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Settings::save("Options", "Color", "not a colour");
    Settings::save("XhairType", "Xhair", "perhaps");
    Settings::save("XhairType", "BullsEye", "True");
    Settings::save("DSLRControl", "InitOnStartup", "False");

    MDIMain main;
    main.Form_Load();
    EXPECT_TRUE(QFileInfo(appFile("Thumbs")).isDir());
    EXPECT_TRUE(QFileInfo(appFile("FocusImages")).isDir());
    EXPECT_EQ(main.windowTitle(), "Zelmora Beta v3.0.0");
    EXPECT_EQ(main.lbInterval()->text(), "8");
    EXPECT_NE(oMainCamera(), nullptr);
    EXPECT_EQ(state().lForeColor, 192u);                     // the failing read is skipped
    EXPECT_TRUE(main.menuItem("mnuBullsEye")->isChecked());  // and the next one still runs
    EXPECT_TRUE(calls.empty()) << "InitOnStartup False";
    EXPECT_TRUE(state().bTraceOn);
    EXPECT_TRUE(Globals::hKeyboardHook() != 0);
}

TEST_F(StartupShutdownTest, CommandLineAndStoredSettings) {
    Settings::save("Options", "Color", "65280");
    Settings::save("DSLRControl", "BatteryMonitor", "true");
    MDIMain main;
    main.setCommandLine({"zelmora", "--verbose-LOG"});
    main.Form_Load();
    EXPECT_EQ(state().lForeColor, 65280u);
    EXPECT_TRUE(main.menuItem("mnuBatMon")->isChecked());
    EXPECT_TRUE(state().bTraceOn);
}

TEST_F(StartupShutdownTest, SecondRunTraceHoldsOnlyTheSecondRun) {
    {
        MDIMain first;
        first.Form_Load();
        Globals::WriteLogLine("first run only");
        first.Form_Unload();
    }
    Globals::closeTraceLog();  // the process ends
    MDIMain second;
    second.Form_Load();
    const QStringList lines = testenv::traceLines();
    EXPECT_FALSE(lines.contains("first run only"));
    EXPECT_EQ(lines.first(), "Zelmora v" + MDIMain::versionText());
}

TEST_F(StartupShutdownTest, ShutdownOrderWithFakes) {
    MDIMain main;
    main.Form_Load();
    calls.clear();
    sky::scope() = std::make_shared<FakeScope>();
    state().bScopeLinked = true;
    cable->dsusb = true;
    for (const char* name :
         {"temp_IMG_0001.JPG", "xtempx.jpg", "TEMP.Jpg", "keep.jpg", "temp.png"}) {
        QFile f(AppPaths::join(AppPaths::thumbs(), name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QDir().mkpath(AppPaths::join(AppPaths::thumbs(), "sub"));
    QFile nested(AppPaths::join(AppPaths::thumbs(), "sub/temp1.jpg"));
    ASSERT_TRUE(nested.open(QIODevice::WriteOnly));
    nested.close();

    main.Form_Unload();
    EXPECT_EQ(calls, (std::vector<QString>{"scope connected=False", "scope released",
                                           "releaseToIdle", "SavePortSetup", "releaseDSUSB"}));
    EXPECT_FALSE(state().bScopeLinked);
    EXPECT_EQ(oMainCamera(), nullptr);
    EXPECT_EQ(main.loCamera, nullptr);
    QStringList left = QDir(AppPaths::thumbs()).entryList(QDir::Files);
    left.sort();
    EXPECT_EQ(left, (QStringList{"keep.jpg", "temp.png"}));
    EXPECT_TRUE(QFile::exists(AppPaths::join(AppPaths::thumbs(), "sub/temp1.jpg")));
    EXPECT_EQ(testenv::traceLines().last(), "Hooked:True :1");  // written by the hook's removal
}

TEST_F(StartupShutdownTest, SerialCableIsClosedAndAFailingScopeStillUnlinks) {
    MDIMain main;
    main.Form_Load();
    calls.clear();
    auto scope = std::make_shared<FakeScope>();
    scope->throws = true;
    sky::scope() = scope;
    scope.reset();
    state().bScopeLinked = true;
    state().bSerialEnabled = true;
    main.Form_Unload();
    EXPECT_EQ(calls, (std::vector<QString>{"scope released", "releaseToIdle", "CloseComPort"}));
    EXPECT_FALSE(state().bScopeLinked);
    EXPECT_FALSE(main.menuItem("mnuTelMotion")->isEnabled());
}

TEST_F(StartupShutdownTest, ClosingEndsWaitsAndClosesEveryWindow) {
    auto* main = new MDIMain;
    main->Form_Load();
    main->show();
    QWidget loose;  // a window that stands on its own, like the magnifier
    loose.show();
    windows().registerWindow(Win::frmMoonPhase, [] { return new QWidget; });
    QWidget* child = windows().show(Win::frmMoonPhase);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(main->mdiArea()->subWindowList().size(), 1);

    testenv::vclock().scheduleAt(10'000, [&] { main->close(); });
    clsWaitableTimer timer;
    timer.Wait(600);  // a long run that the close interrupts
    EXPECT_LT(testenv::vclock().monotonicMs(), 600'000);
    EXPECT_TRUE(platform::shuttingDown());
    EXPECT_FALSE(loose.isVisible());
    EXPECT_FALSE(windows().isLoaded(Win::frmMoonPhase) &&
                 windows().ifLoaded(Win::frmMoonPhase)->isVisible());
    EXPECT_EQ(oMainCamera(), nullptr);
    delete main;
}

// Closing the loose windows one by one copes with a window that deletes
// another as it closes.
TEST_F(StartupShutdownTest, ClosingCopesWithAWindowThatDeletesAnotherAsItCloses) {
    class Partner : public QWidget {
    public:
        QPointer<QWidget> partner;

    protected:
        void closeEvent(QCloseEvent* e) override {
            delete partner.data();
            e->accept();
        }
    };
    auto* main = new MDIMain;
    main->Form_Load();
    main->show();
    // Each deletes the other, so whichever closes first leaves the second
    // one's place in the list of windows empty.
    QPointer<Partner> a = new Partner, b = new Partner;
    a->partner = b.data();
    b->partner = a.data();
    a->show();
    b->show();
    main->close();
    EXPECT_EQ(a.isNull() + b.isNull(), 1);
    delete a.data();
    delete b.data();
    delete main;
}
