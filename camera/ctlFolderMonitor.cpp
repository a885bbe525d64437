#include "camera/ctlFolderMonitor.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QVBoxLayout>

#include "camera/FolderMonitor.h"
#include "camera/MonitorCheck.h"
#include "platform/core/AppError.h"
#include "platform/os/Dialogs.h"
#include "platform/time/Clock.h"
#include "platform/time/Timer.h"
#include "shell/AppPaths.h"
#include "shell/Errors.h"
#include "shell/Globals.h"
#include "shell/MainWindow.h"
#include "shell/ProgramState.h"
#include "shell/modBrowseForFolder.h"

namespace zelmora::camera {

namespace {

const QString kSection = QStringLiteral("Options");
constexpr std::int32_t kNoTask = 999;

qint64 startDetached(const QString& path) {
    qint64 pid = 0;
    if (!QProcess::startDetached(path, {}, QFileInfo(path).absolutePath(), &pid)) return 0;
    return pid;
}

std::optional<qint64> fileSize(const QString& path) {
    const QFileInfo fi(path);
    if (!fi.exists() || !fi.isFile()) return std::nullopt;
    return fi.size();
}

ctlFolderMonitor::Launcher& launcher() {
    static ctlFolderMonitor::Launcher l = startDetached;
    return l;
}

ctlFolderMonitor::SizeSource& sizeSource() {
    static ctlFolderMonitor::SizeSource s = fileSize;
    return s;
}

void registerReset() {
    static const bool once = [] {
        addResetHook([] {
            launcher() = startDetached;
            sizeSource() = fileSize;
        });
        return true;
    }();
    (void)once;
}

template <typename W>
W* named(W* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

}  // namespace

void ctlFolderMonitor::setLauncher(Launcher l) {
    registerReset();
    launcher() = l ? std::move(l) : Launcher(startDetached);
}

void ctlFolderMonitor::setSizeSource(SizeSource s) {
    registerReset();
    sizeSource() = s ? std::move(s) : SizeSource(fileSize);
}

ctlFolderMonitor::ctlFolderMonitor(QWidget* parent) : QWidget(parent) {
    registerReset();
    buildControls();
    MonitorTimer = new platform::Timer(this);
    MonitorTimer->setEnabled(false);
    MonitorTimer->setInterval(1000);
    connect(MonitorTimer, &platform::Timer::timeout, this, [this] { MonitorTimer_Timer(); });
}

const QString ctlFolderMonitor::kCameraConnectedNote =
    QStringLiteral("Camera connected: disconnect it to monitor a folder.");

ctlFolderMonitor::~ctlFolderMonitor() {
    if (checkWait_) checkWait_->stop();
    if (objFolderMonitor_) objFolderMonitor_->StopMonitoring();
    if (monitoring_) state().bFolderMonitoring = false;
}

void ctlFolderMonitor::endMonitoring() {
    if (checkWait_) checkWait_->stop();
    if (monitoring_ || (objFolderMonitor_ && objFolderMonitor_->isMonitoring())) toIdle();
}

void ctlFolderMonitor::buildControls() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    frmMonitorFolder =
        named(new QGroupBox(QStringLiteral("Monitor Folder"), this), "frmMonitorFolder");
    outer->addWidget(frmMonitorFolder);
    auto* g = new QGridLayout(frmMonitorFolder);
    g->setContentsMargins(6, 4, 6, 4);
    g->setVerticalSpacing(3);

    txtFolderToMonitor = named(new QLineEdit(frmMonitorFolder), "txtFolderToMonitor");
    cmdBrowseMonitor =
        named(new QPushButton(QStringLiteral("&Browse..."), frmMonitorFolder), "cmdBrowseMonitor");
    cmdBrowseMonitor->setToolTip(QStringLiteral("Select directory to monitor"));
    cmdRemoteApp =
        named(new QPushButton(QStringLiteral("Select Remote Application"), frmMonitorFolder),
              "cmdRemoteApp");
    cmdRemoteApp->setToolTip(
        QStringLiteral("Tell Zelmora where youre remote application can be found"));
    lblRemoteapp = named(new QLabel(frmMonitorFolder), "lblRemoteapp");
    Label7 = named(new QLabel(QStringLiteral("Release Hotkey in Remote App:"), frmMonitorFolder),
                   "Label7");
    lbHotkey = named(new QComboBox(frmMonitorFolder), "lbHotkey");
    lbHotkey->addItems({"Ctrl+Shift+F", "{F1}", "{F2}", "{F3}", "{F4}", "{F5}", "{F6}", "{F7}",
                        "{F8}", "{F9}", "SPACE"});
    lbHotkey->setToolTip(QStringLiteral(
        "The hot key in your remote control applicatin used to trigger the shutter"));
    Label6 =
        named(new QLabel(QStringLiteral("Ignore Files containing:"), frmMonitorFolder), "Label6");
    txtIgnore = named(new QLineEdit(frmMonitorFolder), "txtIgnore");
    txtIgnore->setToolTip(
        QStringLiteral("Will not attempt to load any files that contain the specified characters"));
    Label1 = named(new QLabel(QStringLiteral("Delay in Sec:"), frmMonitorFolder), "Label1");
    cbDelay = named(new QComboBox(frmMonitorFolder), "cbDelay");
    cbDelay->setEditable(true);
    for (int i = 0; i <= 30; ++i) cbDelay->addItem(QString::number(i));
    cmdStart =
        named(new QPushButton(QStringLiteral("Start &Monitoring"), frmMonitorFolder), "cmdStart");
    cmdStart->setToolTip(QStringLiteral("Start Monitoring the folder for new files"));
    cmdStop =
        named(new QPushButton(QStringLiteral("&Stop Monitoring"), frmMonitorFolder), "cmdStop");
    cmdStop->setToolTip(QStringLiteral("Stop Monitoring the folder for new files"));
    List1 = named(new QListWidget(frmMonitorFolder), "List1");
    // A long name is shortened in its middle, keeping its number and extension.
    List1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    List1->setTextElideMode(Qt::ElideMiddle);
    lblLastUpdate = named(new QLabel(frmMonitorFolder), "lblLastUpdate");
    lblLastUpdate->hide();
    // Why everything is grey while a camera is connected.
    lblCameraNote = named(new QLabel(kCameraConnectedNote, frmMonitorFolder), "lblCameraNote");
    lblCameraNote->hide();

    // Label and box on the left, the buttons beside them, the reported files
    // on the right.
    g->addWidget(txtFolderToMonitor, 0, 0, 1, 3);
    g->addWidget(cmdBrowseMonitor, 0, 3);
    g->addWidget(cmdRemoteApp, 1, 0);
    g->addWidget(lblRemoteapp, 1, 1, 1, 3);
    g->addWidget(Label7, 2, 0);
    g->addWidget(lbHotkey, 2, 1);
    g->addWidget(Label6, 3, 0);
    g->addWidget(txtIgnore, 3, 1);
    g->addWidget(Label1, 4, 0);
    g->addWidget(cbDelay, 4, 1);
    g->addWidget(cmdStart, 2, 2);
    g->addWidget(cmdStop, 3, 2);
    g->addWidget(List1, 2, 3, 3, 1);
    g->addWidget(lblCameraNote, 1, 0, 1, 4);
    g->setColumnStretch(3, 1);

    connect(cmdStart, &QPushButton::clicked, this, [this] { cmdStart_Click(); });
    connect(cmdStop, &QPushButton::clicked, this, [this] { cmdStop_Click(); });
    connect(cmdBrowseMonitor, &QPushButton::clicked, this, [this] { cmdBrowseMonitor_Click(); });
    connect(cmdRemoteApp, &QPushButton::clicked, this, [this] { cmdRemoteApp_Click(); });
}

QString ctlFolderMonitor::RemoteHotKey() const {
    return lbHotkey->currentText();
}

void ctlFolderMonitor::EnableMonitorControls() {
    for (QWidget* w :
         std::initializer_list<QWidget*>{cmdStart, cmdStop, cmdBrowseMonitor, cmdRemoteApp,
                                         lbHotkey, txtIgnore, txtFolderToMonitor})
        w->setEnabled(true);
    // A second Start while a run is on the stack would leave the first one
    // running with nothing able to stop it.
    if (monitoring_) {
        cmdStart->setEnabled(false);
        cmdBrowseMonitor->setEnabled(false);
    }
    lblCameraNote->hide();
    cmdRemoteApp->show();
    lblRemoteapp->show();
}

void ctlFolderMonitor::DisableMonitorControls() {
    for (QWidget* w :
         std::initializer_list<QWidget*>{cmdStart, cmdStop, cmdBrowseMonitor, cmdRemoteApp,
                                         lbHotkey, txtIgnore, txtFolderToMonitor})
        w->setEnabled(false);
    if (monitoring_) cmdStop->setEnabled(true);  // a run can always be stopped
    // The note takes the remote application's row while it shows.
    cmdRemoteApp->hide();
    lblRemoteapp->hide();
    lblCameraNote->show();
}

void ctlFolderMonitor::loadFolderMonSettings() {
    sMonitorFolder_ = Settings::get(kSection, QStringLiteral("MonitorFolder"), {});
    lblRemoteapp->setText(Settings::get(kSection, QStringLiteral("RemoteApp"), {}));
    lbHotkey->setCurrentText(
        Settings::get(kSection, QStringLiteral("HotKey"), QStringLiteral("SPACE")));
    txtIgnore->setText(
        Settings::get(kSection, QStringLiteral("IgnoreText"), QStringLiteral("eg _T")));
    txtFolderToMonitor->setText(sMonitorFolder_);
    cbDelay->setCurrentText(
        Settings::get(kSection, QStringLiteral("DelayTime"), QStringLiteral("0")));
}

void ctlFolderMonitor::saveMonitorSettings() {
    Settings::save(kSection, QStringLiteral("RemoteApp"), lblRemoteapp->text());
    Settings::save(kSection, QStringLiteral("HotKey"), lbHotkey->currentText());
    Settings::save(kSection, QStringLiteral("IgnoreText"), txtIgnore->text());
    Settings::save(kSection, QStringLiteral("MonitorFolder"), sMonitorFolder_);
    Settings::save(kSection, QStringLiteral("DelayTime"), cbDelay->currentText());
}

void ctlFolderMonitor::cmdBrowseMonitor_Click() {
    QPointer<ctlFolderMonitor> self(this);  // the picker lets events run
    guarded([&] {
        const QString chosen = modBrowseForFolder::BrowseForFolder(
            txtFolderToMonitor->text(), window(), QStringLiteral("&Select a directory:"));
        if (!self) return;
        txtFolderToMonitor->setText(chosen);
        sMonitorFolder_ = txtFolderToMonitor->text();
    });
}

void ctlFolderMonitor::cmdRemoteApp_Click() {
    guarded([&] {
        platform::FileDialogRequest req;
        req.title = QStringLiteral("Select Remote Application");
        req.fileName = lblRemoteapp->text();
        QPointer<ctlFolderMonitor> self(this);  // the dialog lets events run
        const QString chosen = platform::Dialogs::openFile(req);
        if (self && !chosen.isEmpty()) lblRemoteapp->setText(chosen);
    });
}

void ctlFolderMonitor::report(const QString& text) {
    Globals::WriteLogLine(QStringLiteral("Folder monitor: ") + text);
    guarded([&] {
        platform::Dialogs::msgBox(text, platform::Msg::OKOnly | platform::Msg::Exclamation,
                                  QStringLiteral("Monitor Folder"));
    });
}

void ctlFolderMonitor::cmdStart_Click() {
    guarded([&] { saveMonitorSettings(); });
    cmdStart->setEnabled(false);
    cmdStop->setEnabled(true);
    cmdBrowseMonitor->setEnabled(false);
    if (QWidget* host = window()) host->update();
    frmMonitorFolder->setEnabled(true);

    auto mon = std::make_shared<FolderMonitor>();
    objFolderMonitor_ = mon;
    mon->setWaitTime(500);
    mon->setIncludeSubFolders(false);
    mon->setAttributes(true);
    try {
        mon->AddFolder(sMonitorFolder_);
    } catch (const AppError& e) {
        // Nothing would be watched: say so rather than look busy.
        toIdle();
        report(e.description());
        return;
    }

    state().lRemoteAppTaskId = kNoTask;
    if (!lblRemoteapp->text().isEmpty()) {
        qint64 pid = 0;
        guarded([&] { pid = launcher()(lblRemoteapp->text()); });
        if (pid > 0 && pid != kNoTask && pid <= INT32_MAX)
            state().lRemoteAppTaskId = static_cast<std::int32_t>(pid);
        else
            Globals::WriteLogLine(QStringLiteral("Remote application not started: ") +
                                  lblRemoteapp->text());
    }

    // Events run here and inside the monitoring: the panel may be gone after
    // either (its window closed, the program ended).
    QPointer<ctlFolderMonitor> self(this);
    platform::passEvents();
    if (!self || objFolderMonitor_ != mon) return;
    state().bFolderMonitoring = true;
    monitoring_ = true;
    MonitorTimer->setEnabled(true);

    mon->StartMonitoring();  // until Stop; the panel's ticks run inside it
    // A run that ended by itself (a failed wait) leaves nothing watched.
    if (self && objFolderMonitor_ == mon && monitoring_) {
        const QStringList notes = mon->notes();
        toIdle();
        if (!notes.isEmpty() && !platform::shuttingDown())
            report(QStringLiteral("Folder monitoring stopped: ") + notes.last());
    }
}

void ctlFolderMonitor::toIdle() {
    if (objFolderMonitor_) objFolderMonitor_->StopMonitoring();
    if (checkWait_) checkWait_->stop();
    MonitorTimer->setEnabled(false);
    cmdStart->setEnabled(true);
    cmdBrowseMonitor->setEnabled(true);
    state().bFolderMonitoring = false;
    monitoring_ = false;
    if (QWidget* host = window()) host->update();
}

void ctlFolderMonitor::cmdStop_Click() {
    toIdle();
}

void ctlFolderMonitor::MonitorTimer_Timer() {
    if (!objFolderMonitor_) return;
    // A folder that could not be watched: report it and stop.
    const QStringList notes = objFolderMonitor_->notes();
    if (!notes.isEmpty()) {
        toIdle();  // first: the message box lets events run
        report(notes.first());
        return;
    }
    CheckForNewImage();
}

void ctlFolderMonitor::CheckForNewImage() {
    // A tick that arrives while a file settles does not start a second check.
    if (checking_ || !objFolderMonitor_) return;
    checking_ = true;
    QPointer<ctlFolderMonitor> self(this);
    auto wait = std::make_shared<platform::WaitControl>();
    checkWait_ = wait;
    const auto done = [&] {
        if (self) {
            checking_ = false;
            if (checkWait_ == wait) checkWait_.reset();
        }
    };

    const std::int16_t delay = MonitorCheck::delayMs(cbDelay->currentText());
    QStringList fresh;
    guarded([&] { fresh = objFolderMonitor_->ChangedList(); });
    if (!self) return;
    fresh.removeIf(MonitorCheck::isTemporary);
    // The list is narrow: the file's name shows, its full path on hover.
    for (const QString& path : fresh) {
        auto* item = new QListWidgetItem(QFileInfo(path).fileName(), List1);
        item->setToolTip(path);
    }
    // Only the version handed over last is not taken again: a file that was
    // passed by (half written, gone) or has grown since is.
    QString handed;
    if (!handedPath_.isEmpty() && sizeSource()(handedPath_) == std::optional(handedSize_))
        handed = handedPath_;
    const std::optional<QString> pick = MonitorCheck::lastNewJpeg(fresh, handed);
    if (!pick) return done();
    const QString path = *pick;
    List1->setCurrentRow(List1->count() - 1);
    setLastUpdate(path);
    sLastMonitorFile_ = path;
    if (txtIgnore->text().isEmpty()) txtIgnore->setText(QStringLiteral("NONE"));
    if (MonitorCheck::ignored(path, txtIgnore->text())) return done();

    MonitorCheck::FileProbe probe;
    probe.size = [](const QString& p) { return sizeSource()(p); };
    probe.whole = MonitorCheck::frameComplete;
    probe.pause = [wait, self](qint64 ms) {
        platform::clock().pumpFor(ms, wait);
        return !wait->stopped() && self;
    };
    probe.trace = [](const QString& line) { Globals::WriteLogLine(line); };
    MonitorCheck::Settle r = MonitorCheck::settle(path, probe);
    if (!self) return;
    if (r == MonitorCheck::Settle::Done) r = MonitorCheck::awaitWholeFrame(path, probe);
    if (!self) return;
    if (r != MonitorCheck::Settle::Done) {
        if (r == MonitorCheck::Settle::Gone)
            Globals::WriteLogLine(QStringLiteral("File gone before loading: ") + path);
        return done();
    }
    Globals::WriteLogLine(QStringLiteral("Loading File: ") + path + QStringLiteral(" Size=") +
                          QString::number(sizeSource()(path).value_or(0)));
    // To the front, unless a message box or the toolbar has the user.
    if (!state().bMsgBoxShowing)
        if (auto* main = dynamic_cast<QWidget*>(mainWindow())) {
            main->raise();
            main->activateWindow();
        }
    if (delay > 0 && !probe.pause(delay)) return done();
    if (!self) return;
    done();
    const std::optional<qint64> size = sizeSource()(path);
    if (!size) return;
    handedPath_ = path;
    handedSize_ = *size;
    emit LoadANewImage(path);
}

}  // namespace zelmora::camera
