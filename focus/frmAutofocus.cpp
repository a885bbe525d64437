#include "focus/frmAutofocus.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "camera/clsCamera.h"
#include "focus/FocusAnalysis.h"
#include "focus/frmAutoFocusRslts.h"
#include "platform/core/AppError.h"
#include "platform/drivers/DriverChooser.h"
#include "platform/drivers/DriverRegistry.h"
#include "platform/os/Dialogs.h"
#include "platform/time/Clock.h"
#include "shell/Conv.h"
#include "shell/Errors.h"
#include "shell/Globals.h"
#include "shell/MainWindow.h"
#include "shell/Neighbours.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"

namespace zelmora::focus {

using platform::Dialogs;
namespace Msg = platform::Msg;

const QString frmAutofocus::kDesignCaption = QStringLiteral("Auto Focus");
const QString frmAutofocus::kStartCaption = QStringLiteral("Start AutoFocus");
const QString frmAutofocus::kStopCaption = QStringLiteral("Stop AutoFocus");
const QString frmAutofocus::kNotConnectedText =
    QStringLiteral("The Focuser is not connected. Connect the focuser and try again.");
const QString frmAutofocus::kSetupWarning = QStringLiteral(
    "Unable to setup Focuser. Please make sure you have the ASCOM drivers installed.you can "
    "obtain these here: https://ascom-standards.org/Downloads/Index.htm");
const QString frmAutofocus::kLinkRefused = QStringLiteral(
    " Unable to Link to focuser. Make sure focuser is connected and the correct focuser has been "
    "chosen.");
const QString frmAutofocus::kReleaseRefusedText =
    QStringLiteral("The camera did not take the focus frame. The autofocus run has been stopped.");
const QString frmAutofocus::kDownloadTimeoutText = QStringLiteral(
    "The focus frame did not arrive from the camera. The autofocus run has been stopped.");
const QString frmAutofocus::kCameraLostText =
    QStringLiteral("The camera was disconnected. The autofocus run has been stopped.");
const QString frmAutofocus::kMoveTimeoutText =
    QStringLiteral("The focuser did not finish its move. The autofocus run has been stopped.");
const QString frmAutofocus::kNoBestFocusText = QStringLiteral(
    "No frame of the run could be measured, so there is no best focus position to offer.");

namespace {

const QString kSection = QStringLiteral("Focuser");

template <typename T>
T* named(T* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

ICameraControlWindow* cameraWindow() {
    return windows().ifLoadedAs<ICameraControlWindow>(Win::frmCameraControl);
}

bool cameraConnected() {
    const std::shared_ptr<clsCamera>& cam = oMainCamera();
    return cam && cam->connected();
}

void trace(const QString& line) {
    Globals::WriteLogLine(line);
}

}  // namespace

frmAutofocus::frmAutofocus(QWidget* parent) : QWidget(parent), focuser_(this) {
    setObjectName(QStringLiteral("frmAutofocus"));
    setWindowTitle(kDesignCaption);
    setProperty("designCaption", kDesignCaption);
    setAttribute(Qt::WA_DeleteOnClose);
    timer_.setInterval(0);
    connect(&timer_, &platform::Timer::timeout, this, [this] { onTimer(); });
    buildControls();
    Form_Load();
}

frmAutofocus::~frmAutofocus() {
    Form_Unload();
}

void frmAutofocus::buildControls() {
    auto* top = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    top->addLayout(left);
    top->addLayout(right);

    auto* conn = named(new QGroupBox(QStringLiteral("Connection"), this), "FrameConnection");
    auto* cg = new QGridLayout(conn);
    cmdConnect = named(new QPushButton(QStringLiteral("Choose Focuser"), conn), "cmdConnect");
    cbLink = named(new QPushButton(QStringLiteral("Link"), conn), "cbLink");
    Command6 = named(new QPushButton(QStringLiteral("Settings"), conn), "Command6");
    txtInformation = named(new QPlainTextEdit(conn), "txtInformation");
    txtInformation->setReadOnly(true);
    txtInformation->setMaximumHeight(90);
    cg->addWidget(cmdConnect, 0, 0);
    cg->addWidget(cbLink, 0, 1);
    cg->addWidget(Command6, 0, 2);
    cg->addWidget(txtInformation, 1, 0, 1, 3);
    left->addWidget(conn);

    auto* pos = named(new QGroupBox(QStringLiteral("Position"), this), "FramePosition");
    auto* pg = new QGridLayout(pos);
    txtpos = named(new QLineEdit(pos), "txtpos");
    cbGetPosition = named(new QPushButton(QStringLiteral("Get Position"), pos), "cbGetPosition");
    Text3 = named(new QLineEdit(QStringLiteral("0"), pos), "Text3");
    cbSetPosition = named(new QPushButton(QStringLiteral("Set Position"), pos), "cbSetPosition");
    cbSetPosition->setEnabled(false);
    pg->addWidget(txtpos, 0, 0);
    pg->addWidget(cbGetPosition, 0, 1);
    pg->addWidget(Text3, 1, 0);
    pg->addWidget(cbSetPosition, 1, 1);
    left->addWidget(pos);

    auto* man = named(new QGroupBox(QStringLiteral("Manual Control"), this), "FrameManual");
    auto* mg = new QGridLayout(man);
    txtMoveAmount = named(new QLineEdit(QStringLiteral("100"), man), "txtMoveAmount");
    cbMoveIn = named(new QPushButton(QStringLiteral("Move In (-)"), man), "cbMoveIn");
    cbMoveOut = named(new QPushButton(QStringLiteral("Move Out (+)"), man), "cbMoveOut");
    txtTopos = named(new QLineEdit(man), "txtTopos");
    cbMoveTo = named(new QPushButton(QStringLiteral("Move to:"), man), "cbMoveTo");
    mg->addWidget(cbMoveIn, 0, 0);
    mg->addWidget(txtMoveAmount, 0, 1);
    mg->addWidget(cbMoveOut, 0, 2);
    mg->addWidget(cbMoveTo, 1, 0);
    mg->addWidget(txtTopos, 1, 1);
    left->addWidget(man);

    auto* back =
        named(new QGroupBox(QStringLiteral("Backlash Compensation"), this), "FrameBacklash");
    auto* bg = new QGridLayout(back);
    chBackCompensate =
        named(new QCheckBox(QStringLiteral("Compensate for Backlash"), back), "chBackCompensate");
    txtBacklashAmount = named(new QLineEdit(QStringLiteral("0"), back), "txtBacklashAmount");
    bg->addWidget(chBackCompensate, 0, 0, 1, 2);
    bg->addWidget(new QLabel(QStringLiteral("Backlash Amount"), back), 1, 0);
    bg->addWidget(txtBacklashAmount, 1, 1);
    left->addWidget(back);
    left->addStretch();

    auto* af = named(new QGroupBox(QStringLiteral("Auto Focus"), this), "FrameAutoFocus");
    auto* ag = new QGridLayout(af);
    txtNoImages = named(new QLineEdit(QStringLiteral("3"), af), "txtNoImages");
    txtNoInterations = named(new QLineEdit(QStringLiteral("10"), af), "txtNoInterations");
    txtPauseTime = named(new QLineEdit(QStringLiteral("2"), af), "txtPauseTime");
    ag->addWidget(new QLabel(QStringLiteral("No Images per move:"), af), 0, 0);
    ag->addWidget(txtNoImages, 0, 1);
    ag->addWidget(new QLabel(QStringLiteral("No Iterations:"), af), 1, 0);
    ag->addWidget(txtNoInterations, 1, 1);
    ag->addWidget(new QLabel(QStringLiteral("Pause After Move(sec):"), af), 2, 0);
    ag->addWidget(txtPauseTime, 2, 1);
    ag->addWidget(new QLabel(QStringLiteral("Prefered Direction"), af), 3, 0, 1, 2);
    optDirection[0] = named(new QRadioButton(QStringLiteral("Move In"), af), "optDirection0");
    optDirection[1] = named(new QRadioButton(QStringLiteral("Move Out"), af), "optDirection1");
    optDirection[0]->setChecked(true);
    ag->addWidget(optDirection[0], 4, 0);
    ag->addWidget(optDirection[1], 4, 1);
    chAutoIterate = named(new QCheckBox(QStringLiteral("Auto Iterate:"), af), "chAutoIterate");
    chShowGraph = named(new QCheckBox(QStringLiteral("Show Graph Live"), af), "chShowGraph");
    chShowGraph->setChecked(true);
    ag->addWidget(chAutoIterate, 5, 0);
    ag->addWidget(chShowGraph, 5, 1);
    cbStartAutoFocus = named(new QPushButton(kStartCaption, af), "cbStartAutoFocus");
    cbStartAutoFocus->setEnabled(false);
    ag->addWidget(cbStartAutoFocus, 6, 0, 1, 2);
    right->addWidget(af);

    auto* prog = named(new QGroupBox(QStringLiteral("Auto Focus Progress"), this), "FrameProgress");
    auto* prl = new QVBoxLayout(prog);
    lblProg1 = named(new QLabel(prog), "lblProg1");
    prl->addWidget(lblProg1);
    lblLeftOut = named(new QLabel(prog), "lblLeftOut");
    lblLeftOut->setWordWrap(true);
    prl->addWidget(lblLeftOut);
    right->addWidget(prog);
    right->addStretch();

    connect(cmdConnect, &QPushButton::clicked, this, [this] { cmdConnect_Click(); });
    connect(cbLink, &QPushButton::clicked, this, [this] { cbLink_Click(); });
    connect(Command6, &QPushButton::clicked, this, [this] { Command6_Click(); });
    connect(cbGetPosition, &QPushButton::clicked, this, [this] { cbGetPosition_Click(); });
    connect(cbSetPosition, &QPushButton::clicked, this, [this] { cbSetPosition_Click(); });
    connect(cbMoveIn, &QPushButton::clicked, this, [this] { cbMoveIn_Click(); });
    connect(cbMoveOut, &QPushButton::clicked, this, [this] { cbMoveOut_Click(); });
    connect(cbMoveTo, &QPushButton::clicked, this, [this] { cbMoveTo_Click(); });
    connect(cbStartAutoFocus, &QPushButton::clicked, this, [this] { cbStartAutoFocus_Click(); });
    connect(chAutoIterate, &QCheckBox::clicked, this, [this] { chAutoIterate_Click(); });

    guard(txtMoveAmount, GuardedBox::Amount);
    guard(Text3, GuardedBox::Amount);
    guard(txtBacklashAmount, GuardedBox::Amount);
    guard(txtNoImages, GuardedBox::Frames);
    guard(txtNoInterations, GuardedBox::Iterations);
    guard(txtPauseTime, GuardedBox::Pause);

    // A pressed button holds off the program-wide readers of bMsgBoxShowing.
    for (QPushButton* b :
         {cbLink, cbMoveIn, cbMoveOut, cbMoveTo, cbStartAutoFocus, cmdConnect, Command6})
        b->installEventFilter(this);
}

void frmAutofocus::guard(QLineEdit* box, GuardedBox kind) {
    connect(box, &QLineEdit::textChanged, this, [box, kind](const QString& text) {
        const QString kept = guardText(kind, text);
        if (kept != text) box->setText(kept);
    });
}

bool frmAutofocus::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress)
        state().bMsgBoxShowing = true;
    else if (event->type() == QEvent::MouseButtonRelease)
        state().bMsgBoxShowing = false;
    return QWidget::eventFilter(watched, event);
}

// --- Load and unload -------------------------------------------------------------

void frmAutofocus::Form_Load() {
    windows().markLoaded(Win::frmAutofocus, this);
    if (const std::shared_ptr<clsCamera>& cam = oMainCamera()) {
        connect(cam.get(), &clsCamera::Connected, this, [this] { oCamera_Connected(); });
        connect(cam.get(), &clsCamera::Disconnected, this, [this] { oCamera_Disconnected(); });
    }
    guarded([&] { Globals::RestoreFormPosition(this, kDesignCaption); });
    LoadSettings();
    ChooseFocuser(false);
}

void frmAutofocus::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    if (running()) {
        trace(QStringLiteral("Autofocus window closed: run stopped"));
        stopRun({});
    }
    focuser_.cancel();
    guarded([&] { Globals::SaveFormPosition(this, kDesignCaption); });
    guarded([&] { SaveSettings(); });
    focuser_.setDriver(nullptr);  // released, never unlinked
    if (windows().ifLoaded(Win::frmAutofocus) == this) windows().markUnloaded(Win::frmAutofocus);
    for (const QString& name : {Win::frmAnalyze, Win::frmImageDisp})
        if (QWidget* w = windows().ifLoaded(name)) frameOf(w)->close();
}

void frmAutofocus::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void frmAutofocus::LoadSettings() {
    txtMoveAmount->setText(Settings::get(kSection, QStringLiteral("MoveAmount"), "100"));
    txtNoImages->setText(Settings::get(kSection, QStringLiteral("NoImages"), "3"));
    txtNoInterations->setText(Settings::get(kSection, QStringLiteral("NoIterations"), "10"));
    bool in = true;
    const QString dir = Settings::get(kSection, QStringLiteral("DirectionIn"), "1");
    try {
        in = Conv::parseBool(dir);
    } catch (const AppError&) {
        trace(QStringLiteral("Focuser DirectionIn not a Boolean: ") + dir);
    }
    optDirection[0]->setChecked(in);
    optDirection[1]->setChecked(!in);
    txtPauseTime->setText(Settings::get(kSection, QStringLiteral("Pause"), "2"));
    chAutoIterate->setChecked(Settings::get(kSection, QStringLiteral("AutoIterate"), "0") ==
                              QLatin1String("1"));
    chAutoIterate_Click();
}

void frmAutofocus::SaveSettings() {
    Settings::save(kSection, QStringLiteral("MoveAmount"), txtMoveAmount->text());
    Settings::save(kSection, QStringLiteral("NoImages"), txtNoImages->text());
    Settings::save(kSection, QStringLiteral("NoIterations"), txtNoInterations->text());
    Settings::saveBool(kSection, QStringLiteral("DirectionIn"), optDirection[0]->isChecked());
    Settings::save(kSection, QStringLiteral("Pause"), txtPauseTime->text());
    Settings::save(kSection, QStringLiteral("AutoIterate"),
                   chAutoIterate->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

void frmAutofocus::chAutoIterate_Click() {
    txtNoInterations->setEnabled(!chAutoIterate->isChecked());
}

void frmAutofocus::showWarning(const QString& text, int style) {
    Dialogs::msgBox(text, style);
}

// --- Focuser control -------------------------------------------------------------

void frmAutofocus::ChooseFocuser(bool force) {
    try {
        QString id = Settings::get(kSection, QStringLiteral("ID"), QString());
        if (force || id.isEmpty()) {
            // The chooser lets events run: the window may be closed meanwhile.
            const QPointer<frmAutofocus> self(this);
            drivers::DriverChooser chooser;
            chooser.setDeviceType(drivers::kFocuserType);
            id = chooser.Choose(id);
            Settings::save(kSection, QStringLiteral("ID"), id);
            if (closedMeanwhile(self)) return;
        }
        focuserId_ = id;
        focuser_.setDriver(drivers::DriverRegistry::instance().createFocuser(focuserId_));
        cbSetPosition->setEnabled(focuserId_ == QLatin1String("FINEFOCUS.Focuser"));
        if (focuser_.hasDriver()) cbLink_Click();
    } catch (const AppError& e) {
        trace(QStringLiteral("Error in: ChooseFocuser with error:") + e.description() + u' ' +
              QString::number(e.number()));
        showWarning(kSetupWarning, Msg::OKOnly | Msg::Exclamation);
    }
}

void frmAutofocus::cbLink_Click() {
    if (!focuser_.hasDriver()) {
        showWarning(kNotConnectedText, Msg::OKOnly);
        return;
    }
    drivers::Focuser* f = focuser_.oFocuser();
    try {
        f->setLink(true);
        if (f->link()) {
            ShowFocuserInfo();
            setRunButtonEnabled();
            if (!f->absolute()) {
                focuser_.setRelativePosition(0);
                guarded([&] {
                    const double step = f->stepsize();
                    if (step != 0) txtMoveAmount->setText(Conv::numberText(step));
                });
                ShowFocuserInfo();
            }
        } else {
            showWarning(kLinkRefused, Msg::OKOnly);
        }
    } catch (const AppError& e) {
        showWarning(QStringLiteral("Unable to connect to your focuser:") + e.description(),
                    Msg::OKOnly);
    }
}

void frmAutofocus::setRunButtonEnabled() {
    if (running()) return;
    cbStartAutoFocus->setEnabled(focuser_.linked() && cameraConnected());
}

void frmAutofocus::oCamera_Connected() {
    setRunButtonEnabled();
}

void frmAutofocus::oCamera_Disconnected() {
    cbStartAutoFocus->setEnabled(false);
    if (running()) {
        trace(QStringLiteral("Camera disconnected during the autofocus run"));
        stopRun(kCameraLostText);
    }
}

void frmAutofocus::ShowFocuserInfo() {
    std::optional<std::int32_t> p;
    txtInformation->setPlainText(focuser_.focuserInfo(&p));
    if (p) txtpos->setText(QString::number(*p));
}

void frmAutofocus::cbSetPosition_Click() {
    if (!focuser_.hasDriver()) return showWarning(kNotConnectedText, Msg::OKOnly);
    try {
        focuser_.oFocuser()->ResetPositionTo(Conv::parseInt32(Text3->text()));
    } catch (const AppError& e) {
        showWarning(e.description(), Msg::OKOnly | Msg::Critical);
    }
    cbGetPosition_Click();
}

void frmAutofocus::Command6_Click() {
    if (!focuser_.hasDriver()) return showWarning(kNotConnectedText, Msg::OKOnly);
    try {
        focuser_.oFocuser()->SetupDialog();
    } catch (const AppError& e) {
        showWarning(e.description(), Msg::OKOnly | Msg::Critical);
    }
}

std::int16_t frmAutofocus::GetBacklashAmount() const {
    if (!chBackCompensate->isChecked()) return 0;
    try {
        return Conv::parseInt16(txtBacklashAmount->text());
    } catch (const AppError&) {
        return 0;
    }
}

bool frmAutofocus::readInt16(QLineEdit* box, std::int16_t& value) {
    try {
        value = Conv::parseInt16(box->text());
        return true;
    } catch (const AppError&) {
        showWarning(QStringLiteral("The move amount must be a whole number from -32768 to 32767."),
                    Msg::OKOnly | Msg::Exclamation);
        return false;
    }
}

bool frmAutofocus::startMoves(const std::vector<std::int32_t>& steps, bool forRun) {
    trace(QStringLiteral("Focuser Move: ") + FocuserController::describe(steps));
    setCursor(Qt::WaitCursor);
    const bool started = focuser_.runMoves(
        steps, [this, forRun](const FocuserController::Result& r) { onMovesDone(r, forRun); });
    if (!started) {
        if (!forRun) unsetCursor();
        trace(QStringLiteral("Focuser busy: move not sent"));
    }
    return started;
}

void frmAutofocus::onMovesDone(const FocuserController::Result& r, bool forRun) {
    if (!forRun && !running()) unsetCursor();
    guarded([&] { ShowFocuserInfo(); });
    switch (r.outcome) {
        case FocuserController::Outcome::Done:
            if (forRun && phase_ == Phase::Moving) afterMove();
            return;
        case FocuserController::Outcome::Cancelled:
            return;
        case FocuserController::Outcome::Failed:
            if (running()) {
                // The run ends before the box, which lets events run.
                stopRun({});
                if (r.number != 0 && !platform::shuttingDown())
                    showWarning(r.description, Msg::OKOnly | Msg::Critical);
                return;
            }
            if (r.number != 0) showWarning(r.description, Msg::OKOnly | Msg::Critical);
            return;
        case FocuserController::Outcome::TimedOut:
            trace(QStringLiteral("Focuser still moving after ") +
                  QString::number(FocuserController::kMoveTimeoutMs / 1000) + QStringLiteral(" s"));
            if (running())
                stopRun(kMoveTimeoutText);
            else
                showWarning(kMoveTimeoutText.section(u'.', 0, 0) + u'.', Msg::OKOnly);
            return;
    }
}

void frmAutofocus::cbMoveIn_Click() {
    if (!focuser_.linked()) return showWarning(kNotConnectedText, Msg::OKOnly);
    std::int16_t a = 0;
    if (!readInt16(txtMoveAmount, a)) return;
    try {
        startMoves(focuser_.planMoveIn(a), false);
    } catch (const AppError& e) {
        showWarning(e.description(), Msg::OKOnly | Msg::Critical);
    }
}

void frmAutofocus::cbMoveOut_Click() {
    if (!focuser_.linked()) return showWarning(kNotConnectedText, Msg::OKOnly);
    std::int16_t a = 0;
    if (!readInt16(txtMoveAmount, a)) return;
    try {
        startMoves(focuser_.planMoveOut(a, GetBacklashAmount()), false);
    } catch (const AppError& e) {
        showWarning(e.description(), Msg::OKOnly | Msg::Critical);
    }
}

void frmAutofocus::cbMoveTo_Click() {
    if (!focuser_.linked()) return showWarning(kNotConnectedText, Msg::OKOnly);
    std::int32_t t = 0;
    try {
        t = Conv::parseInt32(txtTopos->text());
    } catch (const AppError&) {
        return showWarning(QStringLiteral("Please enter the position to move to."), Msg::OKOnly);
    }
    try {
        startMoves(focuser_.planMoveTo(t), false);
    } catch (const AppError& e) {
        showWarning(e.description(), Msg::OKOnly | Msg::Critical);
    }
}

void frmAutofocus::MoveFocuserToPos(std::int32_t lPos) {
    txtTopos->setText(QString::number(lPos));
    cbMoveTo_Click();
}

// --- The run -------------------------------------------------------------------

void frmAutofocus::cbStartAutoFocus_Click() {
    trace(QStringLiteral("<<<<<<<<Autofocus run started No Images:") + txtNoImages->text() +
          QStringLiteral(" Pause Time:") + txtPauseTime->text() + QStringLiteral(" No Iteratios:") +
          txtNoInterations->text() + QStringLiteral(">>>>>>>>>>>>>>>"));
    setCursor(Qt::WaitCursor);
    if (running() || cbStartAutoFocus->text() != kStartCaption) {
        // A stop always stops, whatever the focuser's link says.
        cbStartAutoFocus->setText(kStartCaption);
        bStopAutoFocus_ = true;
        unsetCursor();
        stopRun({});
        return;
    }
    ResetRunData();
    if (!focuser_.linked()) {
        unsetCursor();
        showWarning(kNotConnectedText, Msg::OKOnly);
        return;
    }
    startRun();
}

void frmAutofocus::ResetRunData() {
    aImageData_.clear();
    aIterationData_.clear();
}

std::int32_t frmAutofocus::GetBestFocusPosition() const {
    return bestFocusPosition(aIterationData_).value_or(0);
}

void frmAutofocus::startRun() {
    guarded([&] { FocusAnalysis::instance().StartTheFocusLog(); });
    // The last run's best focus no longer stands while this one runs.
    if (auto* results = windows().ifLoadedAs<frmAutoFocusRslts>(Win::frmAutoFocusRslts))
        results->clearBestFocus();
    bStopAutoFocus_ = false;
    ended_ = false;
    cbStartAutoFocus->setText(kStopCaption);
    try {
        N_ = Conv::parseInt16(txtNoInterations->text());
        M_ = Conv::parseInt16(txtNoImages->text());
    } catch (const AppError&) {
        N_ = 10;
        M_ = 3;
    }
    aImageData_.assign(std::size_t(std::max(M_, 1)), std::nullopt);
    iteration_ = 0;
    framesReleased_ = framesMeasured_ = 0;
    lblLeftOut->clear();
    setCursor(Qt::WaitCursor);
    beginIteration();
}

void frmAutofocus::beginIteration() {
    ++iteration_;
    trace(QStringLiteral("Doing Iteration: ") + QString::number(iteration_));
    std::fill(aImageData_.begin(), aImageData_.end(), std::nullopt);
    frame_ = 0;
    nextFrame();
}

void frmAutofocus::nextFrame() {
    ++frame_;
    trace(QStringLiteral("Doing Image: ") + QString::number(frame_) +
          QStringLiteral(" of Iteration:") + QString::number(iteration_));
    const FocusAnalysis& fa = FocusAnalysis::instance();
    markGeneration_ = fa.generation();
    markColumn_ = fa.History().lastIndex();
    ICameraControlWindow* cam = cameraWindow();
    if (!cam) {
        stopRun(refusedText(ReleaseOutcome::refused(ReleaseOutcome::Status::NotConnected,
                                                    QStringLiteral("Camera Not Connected"))));
        return;
    }
    // Raised before the release: the camera window clears it once the frame
    // has been downloaded and handed on to the analysis.
    ProgramState& s = state();
    s.bWaitingForDownload = true;
    const QPointer<frmAutofocus> self(this);
    download_.reset();
    const int serial = ++frameSerial_;
    // Heard inside the camera window's download handler; the wait reads it.
    const ReleaseOutcome outcome = cam->releaseFrame(
        FrameKind::Focus,
        [self, serial](const FrameDownload& download) {
            if (self && self->frameSerial_ == serial) self->download_ = download;
        },
        // A Stop or a close handled while the camera window makes ready
        // leaves the frame unfired.
        [self, serial] { return self && self->frameSerial_ == serial && self->running(); });
    // The release lets events run: the window may have gone, or the run
    // ended, meanwhile.
    if (!self || ended_) return;
    if (outcome.status == ReleaseOutcome::Status::Withdrawn) {
        s.bWaitingForDownload = false;
        stopRun({});
        return;
    }
    if (!outcome.released()) {
        s.bWaitingForDownload = false;
        trace(QStringLiteral("Release refused by the camera: ") + outcome.why);
        stopRun(refusedText(outcome));
        return;
    }
    ++framesReleased_;
    if (outcome.status == ReleaseOutcome::Status::Simulated) {
        // The image display has already shown and analysed its next file.
        s.bWaitingForDownload = false;
        afterDownload();
        return;
    }
    Waitfordownload();
}

QString frmAutofocus::refusedText(const ReleaseOutcome& outcome) {
    using S = ReleaseOutcome::Status;
    // The camera window has said why in its own box already.
    if (outcome.why.isEmpty() || outcome.status == S::MirrorLock || outcome.status == S::RawQuality)
        return kReleaseRefusedText;
    return QStringLiteral("The camera did not take the focus frame (") + outcome.why +
           QStringLiteral("). The autofocus run has been stopped.");
}

void frmAutofocus::Waitfordownload() {
    trace(QStringLiteral("Waiting for download Started"));
    setStatus(QStringLiteral("Waiting for Image download"));
    phase_ = Phase::Downloading;
    downloadDeadline_ = platform::clock().monotonicMs() + kDownloadTimeoutMs;
    timer_.setInterval(FocuserController::kPollMs);
    onTimer();  // a download that has already come ends the wait at once
}

void frmAutofocus::setStatus(const QString& text) {
    if (IMainWindow* m = mainWindow())
        if (QLabel* panel = m->statusPanel(1)) panel->setText(text);
}

void frmAutofocus::afterDownload() {
    phase_ = Phase::OneSecond;
    timer_.setInterval(1000);
}

void frmAutofocus::onTimer() {
    switch (phase_) {
        case Phase::Idle:
        case Phase::Moving:
            timer_.setInterval(0);
            return;
        case Phase::Downloading: {
            // The camera window reports the download once the frame has been
            // routed on, so the analysis has run. A release that came to
            // nothing is reported in place of the frame: no frame will come.
            if (download_ && !download_->downloaded()) {
                setStatus(QString());
                trace(QStringLiteral("Download failed: ") + download_->failure);
                stopRun(refusedText(
                    ReleaseOutcome::refused(ReleaseOutcome::Status::Failed, download_->failure)));
            } else if (download_) {
                timer_.setInterval(0);
                setStatus(QString());
                afterDownload();
            } else if (platform::clock().monotonicMs() >= downloadDeadline_) {
                setStatus(QString());
                trace(QStringLiteral("No download within ") +
                      QString::number(kDownloadTimeoutMs / 1000) + QStringLiteral(" s"));
                stopRun(kDownloadTimeoutText);
            }
            return;
        }
        case Phase::OneSecond:
            timer_.setInterval(0);
            updateProgress(frame_, iteration_);
            StoreImageData(frame_);
            if (frame_ < M_)
                nextFrame();
            else
                endIteration();
            return;
        case Phase::Pausing:
            timer_.setInterval(0);
            afterPause();
            return;
    }
}

void frmAutofocus::StoreImageData(int frame) {
    // Only a frame for which a new analysed column arrived, with both widths
    // measured, counts: stale or failed figures would win the vote.
    const FocusAnalysis& fa = FocusAnalysis::instance();
    const bool fresh =
        fa.generation() != markGeneration_ || fa.History().lastIndex() != markColumn_;
    const auto h = fa.GetCurrentHFWHM(), v = fa.GetCurrentVFWHM();
    if (!fresh || !h || !v || *h <= 0 || *v <= 0) {
        // Left out, and the run goes on: said here and in the trace, never in
        // a box that would hold the run until someone answers it.
        const QString why = fresh && fa.lastOutcome() == FocusAnalysis::Outcome::NoCentroid
                                ? QStringLiteral("Centroid not found")
                                : QStringLiteral("not measured");
        const QString text = QStringLiteral("Image ") + QString::number(frame) +
                             QStringLiteral(" of Iteration: ") + QString::number(iteration_) +
                             QStringLiteral(" left out: ") + why;
        trace(text);
        lblLeftOut->setText(text);
        return;
    }
    Figures f;
    f.h = *h;
    f.v = *v;
    f.peak = fa.GetCurrentPeakValue().value_or(0);
    f.radial = fa.GetCurrentRadialSum().value_or(0);
    aImageData_[std::size_t(frame - 1)] = f;
    ++framesMeasured_;
}

void frmAutofocus::AverageImageData(Figures& avg, int& valid) const {
    avg = {};
    valid = 0;
    for (const auto& f : aImageData_) {
        if (!f) continue;
        avg.h += f->h;
        avg.v += f->v;
        avg.peak += f->peak;
        avg.radial += f->radial;
        ++valid;
    }
    if (valid > 0) {
        avg.h /= float(valid);
        avg.v /= float(valid);
        avg.peak /= float(valid);
        avg.radial /= float(valid);
    }
}

void frmAutofocus::endIteration() {
    Figures avg;
    int valid = 0;
    AverageImageData(avg, valid);
    trace(QStringLiteral(" avgHFWHM:") + Conv::numberText(avg.h));
    trace(QStringLiteral(" avgVFWHM:") + Conv::numberText(avg.v));
    trace(QStringLiteral(" avgPeakValue:") + Conv::numberText(avg.peak));
    trace(QStringLiteral(" avgRadialSum:") + Conv::numberText(avg.radial));
    AddAverageData(avg, valid > 0);
    UpdateResultsGraph();
    if (iteration_ < N_) {
        const bool in = optDirection[0]->isChecked();
        trace(in ? QStringLiteral("Moving focuser in") : QStringLiteral("Moving focuser Out"));
        std::int16_t a = 0;
        std::vector<std::int32_t> steps;
        try {
            a = Conv::parseInt16(txtMoveAmount->text());
            steps = in ? focuser_.planMoveIn(a) : focuser_.planMoveOut(a, GetBacklashAmount());
        } catch (const AppError& e) {
            stopRun({});
            if (!platform::shuttingDown())
                showWarning(e.description(), Msg::OKOnly | Msg::Critical);
            return;
        }
        phase_ = Phase::Moving;
        // A move refused at once ends the run with a box: the window may go.
        const QPointer<frmAutofocus> self(this);
        if (!startMoves(steps, true)) {
            stopRun(kMoveTimeoutText);
            return;
        }
        if (self && phase_ == Phase::Moving)
            trace(QStringLiteral("Waiting till Focuser finished moving"));
        return;
    }
    updateProgress(M_, iteration_);
    cbStartAutoFocus->setText(kStartCaption);
    ending(true);
}

void frmAutofocus::AddAverageData(const Figures& avg, bool valid) {
    IterationRow row;
    try {
        row.label = positionLabel(GetFocuserPosition());
    } catch (const AppError&) {
        row.label = QStringLiteral("()");
        valid = false;
    }
    row.HFWHM = avg.h;
    row.VFWHM = avg.v;
    row.peakValue = avg.peak;
    row.RadialSum = avg.radial;
    row.valid = valid;
    aIterationData_.push_back(row);
}

void frmAutofocus::UpdateResultsGraph() {
    trace(QStringLiteral("Updating Autofocus results graph"));
    guarded([&] {
        QWidget* w = windows().show(Win::frmAutoFocusRslts);
        auto* results = qobject_cast<frmAutoFocusRslts*>(w);
        if (!results) return;
        if (chShowGraph->isChecked()) {
            results->oGraph().SetGraphData(aIterationData_);
            results->GraphData();
        }
        bringForward(results);
    });
}

void frmAutofocus::afterMove() {
    trace(QStringLiteral("Pausing after focuser move complete"));
    std::int32_t p = 0;
    try {
        p = Conv::parseInt32(txtPauseTime->text());
    } catch (const AppError&) {
        p = 0;
    }
    if (p >= 1 && p <= 6) {
        phase_ = Phase::Pausing;
        timer_.setInterval(int(p) * 1000);
        return;
    }
    afterPause();
}

void frmAutofocus::afterPause() {
    updateProgress(M_, iteration_);
    beginIteration();
}

void frmAutofocus::updateProgress(int iImageCount, int iIteration) {
    lblProg1->setText(QStringLiteral("Image ") + QString::number(iImageCount) +
                      QStringLiteral(" of Iteration: ") + QString::number(iIteration));
}

void frmAutofocus::stopRun(const QString& message) {
    if (ended_) return;
    bStopAutoFocus_ = true;
    timer_.setInterval(0);
    focuser_.cancel();
    if (state().bWaitingForDownload) state().bWaitingForDownload = false;
    setStatus(QString());
    cbStartAutoFocus->setText(kStartCaption);
    if (!message.isEmpty()) trace(message);
    ending(false);
    // Last: the box lets events run, and the window may be closed while it
    // is up. A program that is closing says nothing.
    if (!message.isEmpty() && !platform::shuttingDown())
        showWarning(message, Msg::OKOnly | Msg::Exclamation);
}

void frmAutofocus::ending(bool completed) {
    if (ended_) return;
    ended_ = true;
    phase_ = Phase::Idle;
    timer_.setInterval(0);
    // The offer's question lets events run: the window may go meanwhile.
    const QPointer<frmAutofocus> self(this);
    if (completed && !bStopAutoFocus_) OfferMoveToBestFocus();
    guarded([&] { FocusAnalysis::instance().StopTheFocusLog(); });
    if (!closedMeanwhile(self)) bringForward(this);
    trace(QStringLiteral("<<<<<<<<<<<<<<Autofocus run finished>>>>>>>>>>>>>>>>>>>"));
    if (!self) return;
    unsetCursor();
    setRunButtonEnabled();
}

void frmAutofocus::OfferMoveToBestFocus() {
    // The results window always gets the final table before its best-focus
    // lookup, so both read the same rows.
    auto* results = windows().ifLoadedAs<frmAutoFocusRslts>(Win::frmAutoFocusRslts);
    if (results) {
        results->oGraph().SetGraphData(aIterationData_);
        results->GraphData();
    }
    const std::optional<std::int32_t> best = bestFocusPosition(aIterationData_);
    if (!best) {
        trace(QStringLiteral("No measured frames: no best focus position"));
        showWarning(kNoBestFocusText, Msg::OKOnly | Msg::Information);
        return;
    }
    const QPointer<frmAutofocus> self(this);
    const int answer = Dialogs::msgBox(
        QStringLiteral("Autofocus data collected. Move focuser to best focus position:") +
            QString::number(*best),
        Msg::YesNo | Msg::Question | Msg::DefaultButton2, kDesignCaption);
    if (closedMeanwhile(self)) return;
    if (answer == Msg::Yes) {
        trace(QStringLiteral("Moving focuser to best position:") + QString::number(*best));
        MoveFocuserToPos(*best);
    }
    if ((results = windows().ifLoadedAs<frmAutoFocusRslts>(Win::frmAutoFocusRslts))) {
        trace(QStringLiteral("Updating results graph with best focus position data"));
        results->ShowBestFocus();
        bringForward(results);
    }
}

}  // namespace zelmora::focus
