// Start-up and shutdown of the main window.
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include "camera/clsCamera.h"
#include "mainwindow/MDIMain.h"
#include "platform/time/Clock.h"
#include "shell/AppPaths.h"
#include "shell/Errors.h"
#include "shell/Globals.h"
#include "shell/KeyboardHook.h"
#include "shell/Neighbours.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"
#include "shell/modWin32Ver.h"
#include "sky/ScopeDriver.h"

namespace zelmora {

void MDIMain::checkfolders() {
    for (const char* name : {"Thumbs", "FocusImages", "DataFiles"}) {
        guarded([&] {
            const QString path = AppPaths::join(AppPaths::appDir(), QString::fromLatin1(name));
            if (!QFileInfo::exists(path)) QDir().mkpath(path);
        });
    }
    guarded(
        [] { QFile::remove(AppPaths::join(AppPaths::appDir(), QStringLiteral("logfile.txt"))); });
}

void MDIMain::checkCommandParameters() {
    const QString line = arguments_.join(u' ');
    if (line.contains(QLatin1String("log")) || line.contains(QLatin1String("LOG")))
        state().bTraceOn = true;
}

void MDIMain::InitPortIfChecked() {
    if (menuItem(QStringLiteral("mnuInitPort"))->isChecked())
        ShutterCable::instance().InitShutterPort();
}

void MDIMain::DeleteTempThumbnails() {
    // Matched without regard to case: the camera names thumbnails temp_IMG_0001.JPG.
    QDir thumbs(AppPaths::thumbs());
    thumbs.setNameFilters({QStringLiteral("*temp*.jpg")});
    thumbs.setFilter(QDir::Files | QDir::Hidden);
    thumbs.setSorting(QDir::Name | QDir::IgnoreCase);
    for (const QString& name : thumbs.entryList()) guarded([&] { thumbs.remove(name); });
}

void MDIMain::mnuLinkTerminate_Click() {
    ProgramState& s = state();
    if (const auto driver = sky::scope()) {
        guarded([&] {
            if (driver->connected()) driver->setConnected(false);
        });
        // The link is gone once the driver is released, whatever it reported.
        s.bScopeLinked = false;
        sky::scope().reset();
    }
    menuItem(QStringLiteral("mnuTelMotion"))->setEnabled(false);
    menuItem(QStringLiteral("mnuCatalogue"))->setEnabled(false);
}

void MDIMain::Form_Load() {
    ProgramState& s = state();
    guarded([&] { checkfolders(); });
    guarded([&] {
        if (!QDir::setCurrent(AppPaths::appDir()))
            throw AppError(AppError::kPathNotFound, "MDIMain", "Path not found");
    });
    guarded([&] {
        iZoomFactor = 3;
        s.bMsgBoxShowing = false;
        setWindowTitle(QStringLiteral("Zelmora Beta v") + versionText());
    });
    guarded([&] {
        s.bTraceOn = true;
        Globals::WriteLogLine(QStringLiteral("Zelmora v") + versionText());
        // A trace log that cannot be written is said where the user looks.
        if (const QString problem = Globals::traceLogProblem(); !problem.isEmpty())
            statusPanel(1)->setText(problem);
    });
    guarded([] { modWin32Ver::IsWindowsNT(); });
    guarded([&] { SaveOriginalColors(); });
    guarded([&] { ToolbarEnable(QStringLiteral("Startup")); });
    guarded([&] {
        s.lMeasureChannel = 0;
        s.bAnalysisPaused = false;
    });
    guarded([] { Globals::InstallKeyboardHook(); });
    guarded([&] { lbInterval_->setText(QStringLiteral("8")); });
    guarded([&] {
        s.b300D = s.bD60 = s.b20D = s.b350D = s.b20DA = false;
        s.bComPortOpen = false;
        s.bWaitingForDownload = false;
        s.bZoomActive = false;
        s.bMute = false;
    });
    guarded([&] {
        s.sCatalogueFile = Settings::get(
            QStringLiteral("Telescope"), QStringLiteral("ObjectCatalogue"),
            AppPaths::join(AppPaths::dataFiles(), QStringLiteral("ObjectCatalogue.txt")));
    });
    guarded([&] {
        oMainCamera() = std::make_shared<clsCamera>();
        loCamera = oMainCamera();
        connectCameraEvents();
    });
    guarded([&] {
        s.bMsgBoxShowing = false;
        s.iSelectedCamera = 0;
        s.bMute = false;
    });
    guarded([&] {
        menuItem(QStringLiteral("mnuInitPort"))
            ->setChecked(Settings::getBool(QStringLiteral("DSLRControl"),
                                           QStringLiteral("InitOnStartup"),
                                           QStringLiteral("True")));
    });
    guarded([&] { InitPortIfChecked(); });
    guarded([&] {
        s.lForeColor = static_cast<std::uint32_t>(Settings::getInt(
            QStringLiteral("Options"), QStringLiteral("Color"), QStringLiteral("192")));
    });
    guarded([&] {
        checkCommandParameters();
        s.bTraceOn = true;
    });
    guarded([&] {
        menuItem(QStringLiteral("mnuXhair"))
            ->setChecked(Settings::getBool(QStringLiteral("XhairType"), QStringLiteral("Xhair"),
                                           QStringLiteral("True")));
    });
    guarded([&] {
        menuItem(QStringLiteral("mnuBullsEye"))
            ->setChecked(Settings::getBool(QStringLiteral("XhairType"), QStringLiteral("BullsEye"),
                                           QStringLiteral("false")));
    });
    guarded([&] {
        if (!s.bSimulationMode) return;
        for (int i = 1; i <= 3; ++i) testButton(i)->setVisible(true);
        button(19)->setEnabled(true);
    });
    guarded([&] {
        menuItem(QStringLiteral("mnuBatMon"))
            ->setChecked(Settings::getBool(QStringLiteral("DSLRControl"),
                                           QStringLiteral("BatteryMonitor"),
                                           QStringLiteral("False")));
    });
}

void MDIMain::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    guarded([&] { RestoreOriginalColors(); });
    guarded([&] { mnuLinkTerminate_Click(); });
    guarded([] { Globals::RemoveKeyboardHook(); });
    guarded([&] { DeleteTempThumbnails(); });
    // Let go of the shutter before the port is saved or closed.
    guarded([] { ShutterCable::instance().releaseToIdle(); });
    guarded([] {
        if (state().bSerialEnabled)
            ShutterCable::instance().CloseComPort();
        else
            ShutterCable::instance().SavePortSetup();
    });
    guarded([&] {
        if (loCamera) disconnect(loCamera.get(), nullptr, this, nullptr);
        loCamera.reset();
        oMainCamera().reset();
    });
    guarded([] {
        if (ShutterCable::instance().hasDSUSB()) ShutterCable::instance().releaseDSUSB();
    });
    // What the closing windows and the steps above saved reaches the disk now,
    // each settings file once; a file that cannot be written is traced.
    trapAndTrace(QStringLiteral("MDIMain.Form_Unload"), [] { Settings::flush(); });
}

void MDIMain::closeEvent(QCloseEvent* event) {
    if (unloaded_) {
        event->accept();
        return;
    }
    // Every running wait and monitoring loop returns now and sees the flag, so
    // nothing goes on working against windows that are closing.
    platform::setShuttingDown(true);
    // Child windows first, each with its own closing steps; then the windows
    // that stand on their own (magnifier, full screen, about box).
    guarded([] { windows().closeAll(); });
    guarded([&] {
        // Closing one window may delete another on the list.
        QList<QPointer<QWidget>> loose;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w != this) loose << w;
        for (const QPointer<QWidget>& w : loose)
            if (w && w->isVisible()) w->close();
    });
    Form_Unload();
    Globals::WriteLogLine(QStringLiteral("Zelmora closed"));
    event->accept();
    // Quit once the nested loops on the stack have unwound.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::quit(); });
}

}  // namespace zelmora
