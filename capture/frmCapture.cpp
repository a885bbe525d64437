#include "capture/frmCapture.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <algorithm>
#include <filesystem>

#include "camera/clsCamera.h"
#include "capture/CameraLink.h"
#include "capture/CaptureRunEngine.h"
#include "capture/ReviewTab.h"
#include "capture/ctlCountDown.h"
#include "capture/ctlProgress.h"
#include "platform/os/Dialogs.h"
#include "shell/AppPaths.h"
#include "shell/Conv.h"
#include "shell/Errors.h"
#include "shell/Globals.h"
#include "shell/MainWindow.h"
#include "shell/ProgramState.h"
#include "shell/Shell.h"
#include "shell/WindowRegistry.h"

namespace zelmora::capture {

using platform::Dialogs;
namespace Msg = platform::Msg;

namespace {

const QString kOptions = QStringLiteral("Options");

template <typename T>
T* named(T* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

QLabel* caption(QWidget* parent, const QString& text, int x, int y, int w,
                const char* name = nullptr) {
    auto* l = new QLabel(text, parent);
    if (name) l->setObjectName(QLatin1String(name));
    l->setGeometry(x, y, w, 20);
    return l;
}

QLineEdit* box(QWidget* parent, const char* name, int x, int y, int w, const QString& tip = {}) {
    auto* e = named(new QLineEdit(parent), name);
    e->setGeometry(x, y, w, 20);
    e->setToolTip(tip);
    return e;
}

// A round lamp, drawn as a picture: night vision shows pictures in red.
QFrame* shape(QWidget* parent, const QColor& colour, int x, int y) {
    QPixmap lamp(12, 12);
    lamp.fill(Qt::transparent);
    QPainter p(&lamp);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(lamp.rect());
    p.end();
    auto* f = new QLabel(parent);
    f->setGeometry(x, y, 12, 12);
    f->setPixmap(lamp);
    return f;
}

bool checked(const QCheckBox* b) {
    return b->isChecked();
}

// Loads one setting; a stored value that does not convert falls back to the
// key's default, with the error trace line.
template <typename T, typename Convert>
T loadSetting(const QString& key, const QString& defaultValue, Convert convert) {
    try {
        return convert(Settings::get(kOptions, key, defaultValue));
    } catch (const AppError& e) {
        state().sCurrentProc = QStringLiteral("LoadSettings");
        Globals::traceError(e);
        return convert(defaultValue);
    }
}

}  // namespace

frmCapture::frmCapture(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmCapture"));
    setWindowTitle(kDesignCaption);
    setProperty("designCaption", kDesignCaption);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(700, 520);
    buildControls();
    connectControls();
    if (const auto& f = CaptureRunEngine::factory()) engine_ = f(*this);
    Form_Load();
}

frmCapture::~frmCapture() {
    if (!unloaded_) ShutterCable::instance().setSetupListener({});
    if (dsusbFollowed_) ShutterCable::instance().setDSUSBListener({});
    if (!unloaded_ && windows().ifLoaded(Win::frmCapture) == this)
        windows().markUnloaded(Win::frmCapture);
}

CameraLink& frmCapture::link() const {
    return CameraLink::instance();
}
bool frmCapture::connected() const {
    return link().connected();
}

void frmCapture::buildControls() {
    TabStrip1 = named(new QTabBar(this), "TabStrip1");
    TabStrip1->setGeometry(0, 0, 360, 28);
    TabStrip1->setExpanding(false);
    // The four captions fit beside the connection frame at 363 without scrolling.
    TabStrip1->setUsesScrollButtons(false);
    QFont tabFont = TabStrip1->font();
    tabFont.setPointSizeF(tabFont.pointSizeF() * 0.85);
    TabStrip1->setFont(tabFont);
    const std::pair<QString, QString> tabs[] = {
        {QStringLiteral("Short Exposures"), QStringLiteral("( 0 sec -> 30 secs)")},
        {QStringLiteral("Long Exposures"),
         QStringLiteral("( 1sec -> 60+ Mins) Requires Serial or Parallel Cable")},
        {QStringLiteral("File Naming"), QStringLiteral("Camera -> PC file naming otions")},
        {QStringLiteral("Review"), QStringLiteral("Review Downloaded Images")}};
    for (const auto& [text, tip] : tabs) TabStrip1->setTabToolTip(TabStrip1->addTab(text), tip);

    // Connection state beside the tabs; top -9 hides the frames' top edge.
    const char* statusNames[2] = {"frConnectionStatus0", "frConnectionStatus1"};
    const QString statusTexts[2] = {QStringLiteral("Camera Not Connected"),
                                    QStringLiteral("Camera Connected")};
    const QColor statusColours[2] = {Qt::red, Qt::green};
    for (int i = 0; i < 2; ++i) {
        frConnectionStatus[i] = named(new QFrame(this), statusNames[i]);
        frConnectionStatus[i]->setFrameShape(QFrame::StyledPanel);
        frConnectionStatus[i]->setGeometry(363, -9, 165, 38);
        shape(frConnectionStatus[i], statusColours[i], 8, 17);
        // In the tabs' smaller type, which "Camera Not Connected" needs beside its lamp.
        caption(frConnectionStatus[i], statusTexts[i], 26, 13, 135)->setFont(tabFont);
    }
    frConnected = named(new QFrame(this), "frConnected");
    frConnected->setFrameShape(QFrame::StyledPanel);
    frConnected->setGeometry(530, -9, 165, 38);
    shape(frConnected, Qt::green, 8, 17);
    caption(frConnected, QStringLiteral("DSUSB Connected"), 26, 13, 135)->setFont(tabFont);
    frDisconnected = named(new QFrame(this), "frDisconnected");
    frDisconnected->setFrameShape(QFrame::StyledPanel);
    frDisconnected->setGeometry(530, -9, 165, 38);
    LEDClosed = named(shape(frDisconnected, Qt::red, 8, 17), "LEDClosed");
    caption(frDisconnected, QStringLiteral("DSUSB Not Connected"), 26, 13, 135)->setFont(tabFont);

    // Automation.
    frAutomation = named(new QGroupBox(QStringLiteral("Automation"), this), "frAutomation");
    frAutomation->setGeometry(23, 48, 245, 206);
    lblExposureTime =
        caption(frAutomation, QStringLiteral("Exposure Time:"), 10, 20, 110, "lblExposureTime");
    lbTv = named(new QComboBox(frAutomation), "lbTv");
    lbTv->setGeometry(125, 19, 110, 22);
    Label9 = caption(frAutomation, QStringLiteral("Exposure Time (Min):"), 10, 20, 130, "Label9");
    txtExpMin = box(frAutomation, "txtExpMin", 170, 20, 60);
    Label10 = caption(frAutomation, QStringLiteral("Exposure Time (Sec):"), 10, 42, 130, "Label10");
    txtExpSec = box(frAutomation, "txtExpSec", 170, 42, 60);
    chPictoCam =
        named(new QCheckBox(QStringLiteral("Save Image(s) to Cam:"), frAutomation), "chPictoCam");
    chPictoCam->setLayoutDirection(Qt::RightToLeft);
    chPictoCam->setToolTip(QStringLiteral("Saves images to Camera"));
    chPictoCam->setGeometry(10, 64, 180, 20);
    chPictoPC =
        named(new QCheckBox(QStringLiteral("Save Image(s) to PC:"), frAutomation), "chPictoPC");
    chPictoPC->setLayoutDirection(Qt::RightToLeft);
    chPictoPC->setToolTip(QStringLiteral("Saves images to Computer"));
    chPictoPC->setGeometry(10, 84, 180, 20);
    caption(frAutomation, QStringLiteral("No Exposures:"), 10, 106, 130);
    txtExpCount = box(frAutomation, "txtExpCount", 170, 106, 60,
                      QStringLiteral("Number of exposures to take in the Imaging run"));
    caption(frAutomation, QStringLiteral("Sec's Between Exp:"), 10, 128, 130);
    txtTimeBetween =
        box(frAutomation, "txtTimeBetween", 170, 128, 60,
            QStringLiteral("Number of seconds to wait before taking exposure. (eg allow "
                           "sensor to cool for 10 seconds)"));
    caption(frAutomation, QStringLiteral("Lead In (Sec):"), 10, 150, 130);
    txtLeadIn = box(frAutomation, "txtLeadIn", 170, 150, 60,
                    QStringLiteral("No of seconds to wait before starting the timer"));
    cbExpStart = named(new QPushButton(QStringLiteral("Start"), frAutomation), "cbExpStart");
    cbExpStart->setToolTip(QStringLiteral("Start Sequence of exposures"));
    cbExpStart->setGeometry(8, 175, 72, 24);
    cbExpStop = named(new QPushButton(QStringLiteral("Stop"), frAutomation), "cbExpStop");
    cbExpStop->setToolTip(QStringLiteral("Stop current sequence of exposures"));
    cbExpStop->setGeometry(86, 175, 72, 24);
    cbAutomate = named(new QPushButton(QStringLiteral("Automate"), frAutomation), "cbAutomate");
    cbAutomate->setToolTip(QStringLiteral("Automate Series of exposures from a Sequence file"));
    cbAutomate->setGeometry(164, 175, 72, 24);

    // Information.
    frInformation = named(new QGroupBox(QStringLiteral("Information"), this), "frInformation");
    frInformation->setGeometry(23, 258, 245, 172);
    ProgressBar1 = named(new ctlProgress(frInformation), "ProgressBar1");
    ProgressBar1->setGeometry(10, 22, 225, 20);
    ProgressBar1->setCaption(QStringLiteral("Progress:"));
    ProgressBar1->setCaptionStyle(3);
    ProgressBar1->setFillColor(QColor(0, 255, 255));
    const char* infoNames[6] = {"lblTotalExp", "lblExpRemaining", "lblExpTaken",
                                "lblISO",      "lblImgType",      "lblShotsLeft"};
    QLabel** infos[6] = {&lblTotalExp, &lblExpRemaining, &lblExpTaken,
                         &lblISO,      &lblImgType,      &lblShotsLeft};
    for (int i = 0; i < 6; ++i)
        *infos[i] = caption(frInformation, {}, 10, 48 + i * 20, 225, infoNames[i]);

    // The frame under the tab-dependent parts.
    frTab = named(new QFrame(this), "frTab");
    frTab->setGeometry(278, 36, 415, 480);
    frManual = named(new QGroupBox(QStringLiteral("Manual Control"), frTab), "frManual");
    frManual->setGeometry(8, 12, 270, 110);
    cbPressShutter =
        named(new QPushButton(QStringLiteral("PressShutter"), frManual), "cbPressShutter");
    cbPressShutter->setGeometry(10, 30, 120, 30);
    cbReleaseShutter =
        named(new QPushButton(QStringLiteral("Release Shutter"), frManual), "cbReleaseShutter");
    cbReleaseShutter->setGeometry(140, 30, 120, 30);
    frMirrorLock = named(new QGroupBox(QStringLiteral("Mirror Lock"), frTab), "frMirrorLock");
    frMirrorLock->setGeometry(288, 11, 120, 110);
    chMirrorLock =
        named(new QCheckBox(QStringLiteral("Mirror Lock"), frMirrorLock), "chMirrorLock");
    chMirrorLock->setToolTip(QStringLiteral(
        "Causes shutter to press twice. Once to lock up mirror, Twice to take frame"));
    chMirrorLock->setGeometry(10, 25, 105, 20);
    caption(frMirrorLock, QStringLiteral("Lock Delay:"), 10, 55, 70);
    txtMirrorLockDelay =
        box(frMirrorLock, "txtMirrorLockDelay", 78, 55, 35,
            QStringLiteral("Length of time in seconds to lock the mirror up before exposing"));
    ctlCountDown1 = named(new ctlCountDown(frTab), "ctlCountDown1");
    ctlCountDown1->move(8, 133);
    ctlCountDown1->resize(400, 110);
    // Under the countdown on both exposure tabs: where the pictures go, why
    // Start is off, and what became of a frame.
    const auto note = [&](const char* name, int y, int h) {
        auto* l = named(new QLabel(frTab), name);
        l->setGeometry(8, y, 400, h);
        l->setWordWrap(true);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return l;
    };
    lblSaveTarget = note("lblSaveTarget", 325, 36);
    lblStartHint = note("lblStartHint", 363, 36);
    lblRunNotice = note("lblRunNotice", 401, 36);

    // File naming.
    frFileNames = named(new QGroupBox(QStringLiteral("File Naming"), this), "frFileNames");
    frFileNames->setGeometry(23, 48, 660, 95);
    caption(frFileNames, QStringLiteral("Object Name:"), 10, 25, 90);
    txtObjPrefix = box(frFileNames, "txtObjPrefix", 105, 25, 200);
    chkUseISO =
        named(new QCheckBox(QStringLiteral("Add Exposure && ISO"), frFileNames), "chkUseISO");
    chkUseISO->setToolTip(QStringLiteral("Appends Exposure Time & ISO Speed to filename"));
    chkUseISO->setGeometry(320, 25, 200, 20);
    caption(frFileNames, QStringLiteral("Sample Name:"), 10, 55, 90);
    txtSampFilename = box(frFileNames, "txtSampFilename", 105, 55, 300);
    frmFileCap = named(new QGroupBox(QStringLiteral("File Capture Directory"), this), "frmFileCap");
    frmFileCap->setGeometry(23, 152, 660, 70);
    txtDirectory = box(frmFileCap, "txtDirectory", 10, 30, 520);
    cmdBrowse = named(new QPushButton(QStringLiteral("&Browse..."), frmFileCap), "cmdBrowse");
    cmdBrowse->setToolTip(QStringLiteral("Select directory where images will be stored in."));
    cmdBrowse->setGeometry(540, 27, 110, 26);

    // The review list and its viewer are placed here.
    frThumbs = named(new QGroupBox(QStringLiteral("Review"), this), "frThumbs");
    frThumbs->setGeometry(23, 48, 660, 460);
    frThumbs->hide();
    Review = new ReviewTab(this, frThumbs);
    Review->setGeometry(0, 14, 660, 446);
    Review->setPicToshow = [this](const QString& path) { sPicToshow_ = path; };
    Review->browseStart = [this] { return txtDirectory->text(); };

    // Design values of the boxes that are not kept.
    txtExpCount->setText(QStringLiteral("1"));
    txtExpMin->setText(QStringLiteral("0"));
    txtExpSec->setText(QStringLiteral("0"));
    txtTimeBetween->setText(QStringLiteral("0"));  // until the settings fill them
    txtLeadIn->setText(QStringLiteral("0"));
    txtObjPrefix->setText(QStringLiteral("IMG"));
    chkUseISO->setChecked(true);
    txtSampFilename->setText(QStringLiteral("IMG-360s-ISO400-001.crw"));
    txtSampFilename->setEnabled(false);
}

void frmCapture::connectControls() {
    connect(TabStrip1, &QTabBar::currentChanged, this, [this] { TabStrip1_Click(); });
    connect(lbTv, &QComboBox::activated, this, [this] { lbTv_Click(); });
    connect(chMirrorLock, &QCheckBox::toggled, this, [this] { chMirrorLock_Click(); });
    connect(txtMirrorLockDelay, &QLineEdit::textChanged, this,
            [this] { txtMirrorLockDelay_Change(); });
    for (QLineEdit* b : {txtExpCount, txtExpSec, txtTimeBetween, txtExpMin, txtLeadIn})
        connect(b, &QLineEdit::textChanged, this, [this, b] { numberBox_Change(b); });
    connect(txtObjPrefix, &QLineEdit::textChanged, this, [this] { txtObjPrefix_Change(); });
    connect(chkUseISO, &QCheckBox::toggled, this, [this] { chkUseISO_Click(); });
    connect(chPictoPC, &QCheckBox::toggled, this, [this] { chPictoPC_Click(); });
    connect(chPictoCam, &QCheckBox::toggled, this, [this] { chPictoCam_Click(); });
    connect(cmdBrowse, &QPushButton::clicked, this, [this] { cmdBrowse_Click(); });
    connect(txtDirectory, &QLineEdit::textChanged, this, [this] { showSaveTarget(); });
    connect(cbExpStart, &QPushButton::clicked, this, [this] { cbExpStart_Click(); });
    connect(cbExpStop, &QPushButton::clicked, this, [this] { cbExpStop_Click(); });
    connect(cbAutomate, &QPushButton::clicked, this, [this] {
        if (engine_) engine_->cbAutomate_Click();
    });
    connect(cbPressShutter, &QPushButton::clicked, this, [this] {
        if (engine_) engine_->cbPressShutter_Click();
    });
    connect(cbReleaseShutter, &QPushButton::clicked, this, [this] {
        if (engine_) engine_->cbReleaseShutter_Click();
    });
    connect(ctlCountDown1, &ctlCountDown::colorChanged, this, [this] { ChangeColors(); });
}

// ---- Lifetime --------------------------------------------------------------

void frmCapture::Form_Load() {
    // Known as loaded from the start: the camera window, asked to switch to
    // capture mode during this load, shows the capture window unless it is
    // loaded, and would otherwise make a second one.
    windows().markLoaded(Win::frmCapture, this);
    loading_ = true;
    trapAndTrace(QStringLiteral("Form_Load"), [&] {
        oCamera = oMainCamera().get();
        if (oCamera) {
            connect(oCamera, &clsCamera::Connected, this, [this] { oCamera_Connected(); });
            connect(oCamera, &clsCamera::Disconnected, this, [this] { oCamera_Disconnected(); });
            connect(oCamera, &clsCamera::BulbModeEnabled, this,
                    [this] { oCamera_BulbModeEnabled(); });
            connect(oCamera, &clsCamera::BulbModeNotEnabled, this,
                    [this] { oCamera_BulbModeNotEnabled(); });
            connect(oCamera, &clsCamera::TvChanged, this, [this] { oCamera_TvChanged(); });
            connect(oCamera, &clsCamera::UpdateCameraInformation, this,
                    [this] { oCamera_UpdateCameraInformation(); });
        }
        if (state().bDSUSBEnabled) {
            dsusbFollowed_ = true;
            QPointer<frmCapture> self(this);
            ShutterCable::instance().setDSUSBListener([self](bool present) {
                if (!self) return;
                if (present)
                    self->loDSUSB_connected();
                else
                    self->loDSUSB_disconnected();
            });
            ShutterCable::instance().CheckState();
        } else {
            frDisconnected->hide();
            frConnected->hide();
        }
        // A cable set up (or lost) in Port Setup turns a long run's Start on or off.
        ShutterCable::instance().setSetupListener([self = QPointer<frmCapture>(this)] {
            if (self && !self->unloaded_) self->refreshStart();
        });
        validValues_ = std::make_unique<CValidValues>();
        // Keyed by the design caption: a run or the review changes the title.
        Globals::RestoreFormPosition(this, kDesignCaption);
    });
    LoadSettings();
    trapAndTrace(QStringLiteral("Form_Load"), [&] {
        clearInformation();
        checkConnectStatus();
        if (connected()) link().SetCaptureMode();
        ShutterCable::instance().InitShutterPort();
    });
    ChangeColors();
    loading_ = false;
}

void frmCapture::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    // A shutter pressed by hand is let go with the window.
    if (engine_) guarded([&] { engine_->letGo(); });
    trapAndTrace(QStringLiteral("Form_Unload"), [&] {
        if (oCamera) disconnect(oCamera, nullptr, this, nullptr);
        oCamera = nullptr;
        validValues_.reset();
        Globals::SaveFormPosition(this, kDesignCaption);
        SaveSettings();
    });
    windows().markUnloaded(Win::frmCapture);
    ShutterCable::instance().setSetupListener({});
    if (dsusbFollowed_) {
        dsusbFollowed_ = false;
        ShutterCable::instance().setDSUSBListener({});
    }
}

bool frmCapture::runActive() const {
    return engine_ && engine_->running();
}

void frmCapture::closeEvent(QCloseEvent* event) {
    // Connecting from our own load lets the camera window set up its default
    // mode; focus mode closes this window, which would then be deleted under
    // the frame about to show it (an empty frame). The load ends in capture mode.
    if (loading_) {
        event->ignore();
        return;
    }
    // A run has frames on the stack: stop it and close once it has ended.
    if (runActive()) {
        closePending_ = true;
        const QPointer<frmCapture> self(this);
        engine_->cbExpStop_Click();
        if (!self) return;
        if (runActive()) {
            event->ignore();
            return;
        }
        // The run ended inside the stop, while this close was under way: the
        // close queued for its end would find the window closing and do
        // nothing, so the window closes now.
        closePending_ = false;
    }
    Form_Unload();
    event->accept();
}

void frmCapture::runFinished() {
    if (!closePending_) return;
    closePending_ = false;
    QPointer<frmCapture> self(this);
    QTimer::singleShot(0, this, [self] {
        if (!self) return;
        if (auto* sub = qobject_cast<QMdiSubWindow*>(self->parentWidget()))
            sub->close();
        else
            self->close();
    });
}

// ---- Tabs and layouts -------------------------------------------------------

std::int16_t frmCapture::GetCurrFrame() const {
    return std::int16_t(TabStrip1->currentIndex() + 1);
}

void frmCapture::selectTab(int tab) {
    const QSignalBlocker block(TabStrip1);
    TabStrip1->setCurrentIndex(tab - 1);
    TabStrip1_Click();
}

void frmCapture::TabStrip1_Click() {
    // The review names the window while it is shown; the other tabs give the name back.
    if (GetCurrFrame() != 4 && !runActive()) setWindowTitle(kDesignCaption);
    switch (GetCurrFrame()) {
        case 1:
            SetupShortExposures();
            break;
        case 2:
            SetupLongExposures();
            break;
        case 3:
            SetupFileNames();
            break;
        case 4:
            setupReview();
            break;
        default:
            break;
    }
}

void frmCapture::applyLayout(int tab) {
    laidOut_ = true;
    const bool exposures = tab == 1 || tab == 2;
    // What became of the other kind of exposures is not this tab's to tell.
    if (exposures && tab != noticeTab_) showRunNotice({});
    frAutomation->setVisible(exposures);
    frInformation->setVisible(exposures);
    frTab->setVisible(exposures);
    ctlCountDown1->setVisible(exposures);
    frManual->setVisible(exposures);
    frMirrorLock->setVisible(exposures);
    cbAutomate->setVisible(exposures);
    frmFileCap->setVisible(tab == 3);
    frFileNames->setVisible(tab == 3);
    frThumbs->setVisible(tab == 4);
    if (tab == 1) {
        frAutomation->move(23, 48);
        frInformation->move(23, 258);
        ctlCountDown1->move(8, 133);
    } else if (tab == 2) {
        frAutomation->move(23, 121);
        frInformation->move(23, 333);
        ctlCountDown1->move(8, 208);
    } else if (tab == 3) {
        frmFileCap->move(23, 152);
        frFileNames->move(23, 48);
    }
    if (tab != 4) {
        const bool longTab = tab == 2;
        txtExpMin->setEnabled(longTab);
        txtExpSec->setEnabled(longTab);
        for (QWidget* w : {static_cast<QWidget*>(txtExpMin), static_cast<QWidget*>(txtExpSec),
                           static_cast<QWidget*>(Label9), static_cast<QWidget*>(Label10)})
            w->setVisible(longTab);
        if (longTab) {
            lbTv->hide();
            lblExposureTime->hide();
        }
        txtSampFilename->setEnabled(false);
    }
}

void frmCapture::SetupShortExposures() {
    trapAndTrace(QStringLiteral("SetupShortExposures"), [&] {
        link().setShortExposureCapture(true);
        applyLayout(1);
        if (connected()) {
            if (link().Tv() == QStringLiteral("Bulb")) {
                setButton19(false);
                Dialogs::msgBox(
                    QStringLiteral("Your camera is set to Bulb mode. Shutter cannot be "
                                   "release in short exposure mode if camera is set to Bulb"),
                    Msg::Critical);
            } else {
                showShortExpLB();
            }
        } else {
            // Connecting is best effort: the tab stays laid out whatever fails.
            guarded([&] {
                if (!link().cameraWindowLoaded()) link().showCameraWindow();
            });
            guarded([&] { link().doconnect(); });
        }
        guarded([&] { link().SetCaptureMode(); });
        UpdateModeControls();
        updateTotal(false);  // the label names the tab's kind of total
    });
}

void frmCapture::SetupLongExposures() {
    trapAndTrace(QStringLiteral("SetupLongExposures"), [&] {
        link().setShortExposureCapture(false);
        applyLayout(2);
        if (connected()) {
            link().setTv(QStringLiteral("Bulb"));
            link().SetCaptureMode();
        }
        UpdateModeControls();
        updateTotal(false);  // Start keeps what the enabling rules gave it
    });
}

void frmCapture::SetupFileNames() {
    trapAndTrace(QStringLiteral("SetupFileNames"), [&] {
        applyLayout(3);
        UpdateModeControls();
    });
}

void frmCapture::setupReview() {
    applyLayout(4);
    UpdateModeControls();
    Review->setupReview(txtDirectory->text());
}

void frmCapture::setButton19(bool enabled) {
    if (IMainWindow* main = mainWindow())
        if (QAction* b = main->button(19)) b->setEnabled(enabled);
}

void frmCapture::UpdateModeControls() {
    const bool isConnected = connected();
    const QString tv = isConnected ? link().Tv() : QString();
    const rules::ModeChanges c = rules::modeControls(GetCurrFrame(), isConnected, tv,
                                                     checked(chPictoPC), checked(chPictoCam));
    const auto apply = [](QWidget* w, const std::optional<bool>& on) {
        if (on) w->setEnabled(*on);
    };
    apply(txtObjPrefix, c.txtObjPrefix);
    if (c.cbExpStart)
        setStartEnabled(*c.cbExpStart, rules::startHint(GetCurrFrame(), isConnected, tv,
                                                        checked(chPictoPC), checked(chPictoCam)));
    apply(cbExpStop, c.cbExpStop);
    apply(chPictoCam, c.chPictoCam);
    apply(chPictoPC, c.chPictoPC);
    apply(chkUseISO, c.chkUseISO);
    apply(txtDirectory, c.txtDirectory);
    apply(cmdBrowse, c.cmdBrowse);
    if (c.button19) setButton19(*c.button19);
    if (c.setPictoPC) chPictoPC->setChecked(*c.setPictoPC == 1);
    if (c.setPictoCam) chPictoCam->setChecked(*c.setPictoCam == 1);
    if (c.showShortExpLB) showShortExpLB();
    showSaveTarget();
}

void frmCapture::setStartEnabled(bool enabled, const QString& why) {
    startRule_ = enabled;
    startWhy_ = why;
    refreshStart();
}

void frmCapture::refreshStart() {
    bool on = startRule_;
    QString why = startWhy_;
    if (on && GetCurrFrame() != 1) {
        const QString problem = ShutterCable::instance().cableProblem();
        if (!problem.isEmpty()) {
            on = false;
            why = QStringLiteral("Start is off: ") + problem + u'.';
        }
    }
    // One run at a time: the run's notice line says what it does.
    if (runActive()) {
        on = false;
        why.clear();
    }
    cbExpStart->setEnabled(on);
    lblStartHint->setText(on ? QString() : why);
    layoutNotes();
}

void frmCapture::layoutNotes() {
    // Each line keeps its place while its text fits two lines; a longer one
    // takes the room it needs and moves the lines under it down.
    constexpr int kSlot = 38;
    int y = 325;
    for (QLabel* l : {lblSaveTarget, lblStartHint, lblRunNotice}) {
        const int h = std::max(kSlot - 2, l->heightForWidth(l->width()));
        l->setGeometry(l->x(), y, l->width(), h);
        y += std::max(kSlot, h + 2);
    }
}

void frmCapture::showSaveTarget() {
    QString where;
    if (checked(chPictoCam))
        where = QStringLiteral("the camera's card");
    else if (checked(chPictoPC))
        where = txtDirectory->text();
    else
        where = QStringLiteral("nowhere chosen");
    lblSaveTarget->setText(QStringLiteral("Images are saved to: ") + where);
    layoutNotes();
}

void frmCapture::showRunNotice(const QString& text, std::optional<bool> longRun) {
    lblRunNotice->setText(text);
    if (longRun)
        noticeTab_ = *longRun ? 2 : 1;
    else if (GetCurrFrame() == 1 || GetCurrFrame() == 2)
        noticeTab_ = GetCurrFrame();
    layoutNotes();
}

void frmCapture::showShortExpLB() {
    trapAndTrace(QStringLiteral("showShortExpLB"), [&] {
        if (connected()) {
            lbTv->show();
            // Emptied first: the camera window only appends.
            lbTv->clear();
            link().LoadAllowedTvs(lbTv);
            lbTv->setCurrentIndex(
                lbTv->findText(link().Tv(), Qt::MatchExactly | Qt::MatchCaseSensitive));
            lblExposureTime->show();
        } else {
            lbTv->hide();
        }
    });
}

void frmCapture::lbTv_Click() {
    trapAndTrace(QStringLiteral("lbTv_Click"), [&] {
        const QString text = lbTv->currentText();
        if (connected() && validValues_ && validValues_->ValidTV(text)) {
            link().setTv(text);
            UpdateTotalExp();
        }
    });
}

void frmCapture::chMirrorLock_Click() {
    txtMirrorLockDelay->setEnabled(checked(chMirrorLock));
}

// ---- Number boxes, totals and checks ----------------------------------------

void frmCapture::numberBox_Change(QLineEdit* box) {
    if (!Conv::isNumeric(box->text())) {
        box->setText(QStringLiteral("0"));  // runs this handler again, now numeric
        return;
    }
    UpdateTotalExp();
}

void frmCapture::txtMirrorLockDelay_Change() {
    trapAndTrace(QStringLiteral("txtMirrorLockDelay_Change"), [&] {
        if (!rules::mirrorDelayValid(txtMirrorLockDelay->text())) {
            Dialogs::msgBox(QStringLiteral("Only Enter a numeric Value from 1 - 59 seconds"),
                            Msg::Exclamation, QStringLiteral("Invalid Time"));
            txtMirrorLockDelay->setText(QStringLiteral("5"));
            return;
        }
        UpdateTotalExp();
    });
}

double frmCapture::getExpTime() {
    double result = 0;
    trapAndTrace(QStringLiteral("getExpTime"), [&] {
        if (txtExpMin->text().isEmpty()) txtExpMin->setText(QStringLiteral("00"));
        if (txtExpSec->text().isEmpty()) txtExpSec->setText(QStringLiteral("00"));
        const double longTime = rules::longSeconds(txtExpMin->text(), txtExpSec->text());
        if (GetCurrFrame() == 2 || bLongExposureMode)
            result = longTime;
        else
            result = rules::tvSeconds(connected() ? link().Tv() : QString());
    });
    return result;
}

void frmCapture::UpdateTotalExp() {
    updateTotal(true);
}

void frmCapture::updateTotal(bool startRule) {
    if (!lblTotalExp) return;
    trapAndTrace(QStringLiteral("UpdateTotalExp"), [&] {
        const bool longTab = GetCurrFrame() == 2;
        const std::int32_t total = rules::totalExposure(
            txtExpCount->text(), txtTimeBetween->text(), txtLeadIn->text(),
            txtMirrorLockDelay->text(), longTab && checked(chMirrorLock), getExpTime());
        lblTotalExp->setText(rules::totalLabel(total, longTab));
        if (longTab && startRule) setStartEnabled(getExpTime() > 0, rules::kHintNoTime);
    });
}

bool frmCapture::NeedsGapWarning() const {
    return rules::needsGapWarning(txtTimeBetween->text(), bCheckGap_, connected());
}

rules::RunInputs frmCapture::runInputs(bool longRun) {
    rules::RunInputs in;
    in.expCount = txtExpCount->text();
    in.expMin = txtExpMin->text();
    in.expSec = txtExpSec->text();
    in.directory = txtDirectory->text();
    std::error_code ec;
    in.directoryExists =
        !in.directory.isEmpty() &&
        std::filesystem::is_directory(std::filesystem::path(in.directory.toStdString()), ec);
    in.pictoPC = checked(chPictoPC);
    in.pictoCam = checked(chPictoCam);
    in.mirrorLockBox = checked(chMirrorLock);
    in.connected = connected();
    if (in.connected) {
        in.tv = link().Tv();
        in.cameraMirrorLock = link().MirrorLock();
    }
    if (longRun) in.expTime = getExpTime();
    in.gapWarning = NeedsGapWarning();
    in.dsusbEnabled = state().bDSUSBEnabled;
    in.dsusbConnected = state().bDSUSBConnected;
    return in;
}

bool frmCapture::runChecks(const rules::CheckResult& result) {
    for (const rules::CheckStep& step : result.steps) {
        if (step.gapQuestion) {
            const int answer =
                Dialogs::msgBox(step.text, Msg::YesNo | Msg::Critical | Msg::DefaultButton2);
            bCheckGap_ = answer == Msg::Yes;
        } else {
            Dialogs::msgBox(step.text, step.style);
        }
    }
    return result.ok;
}

bool frmCapture::ValidShortExpValues() {
    bool ok = true;
    trapAndTrace(QStringLiteral("ValidShortExpValues"),
                 [&] { ok = runChecks(rules::shortRunChecks(runInputs(false))); });
    return ok;
}

bool frmCapture::ValidValues() {
    bool ok = true;
    trapAndTrace(QStringLiteral("ValidValues"),
                 [&] { ok = runChecks(rules::longRunChecks(runInputs(true))); });
    return ok;
}

void frmCapture::checkConnectionType() {
    trapAndTrace(QStringLiteral("checkConnectionType"), [&] {
        if (!(link().FocusMode() && connected())) return;
        const int answer = Dialogs::msgBox(
            QStringLiteral("The camera is in focus mode. Switch it to capture mode (shutter speed "
                           "Bulb) for this run?"),
            Msg::YesNo | Msg::Critical | Msg::DefaultButton2, QStringLiteral("Warning"));
        if (answer == Msg::Yes) {
            link().setTv(QStringLiteral("Bulb"));
            // In focus mode every download would overwrite the one focus frame.
            link().SetCaptureMode();
        }
    });
}

// ---- File naming and save targets --------------------------------------------

QString frmCapture::GetFileName() {
    return fileStem(std::nullopt);
}

QString frmCapture::fileStem(std::optional<double> seconds) {
    QString stem;
    trapAndTrace(QStringLiteral("GetFileName"), [&] {
        prefix_ = txtObjPrefix->text().trimmed();
        if (txtObjPrefix->text().isEmpty()) return;
        if (checked(chkUseISO)) {
            const QString iso = link().ISO();
            stem =
                rules::fileStem(txtObjPrefix->text(), true, seconds ? *seconds : getExpTime(), iso);
        } else {
            stem = rules::fileStem(txtObjPrefix->text(), false, 0, {});
        }
    });
    return stem;
}

void frmCapture::txtObjPrefix_Change() {
    trapAndTrace(QStringLiteral("txtObjPrefix_Change"), [&] {
        txtSampFilename->setText(rules::sampleName(txtObjPrefix->text(), checked(chkUseISO)));
        prefix_ = txtObjPrefix->text().trimmed();
    });
}

void frmCapture::chkUseISO_Click() {
    if (!txtObjPrefix->text().isEmpty()) txtObjPrefix_Change();
}

void frmCapture::chPictoPC_Click() {
    trapAndTrace(QStringLiteral("chPictoPC_Click"), [&] {
        const bool on = checked(chPictoPC);
        if (on) chPictoCam->setChecked(false);
        showSaveTarget();
        // A run keeps the targets it started with; the next Start applies the boxes.
        if (!runActive()) tellSaveTargets(rules::pcBoxChanged(on));
    });
}

void frmCapture::chPictoCam_Click() {
    trapAndTrace(QStringLiteral("chPictoCam_Click"), [&] {
        const bool on = checked(chPictoCam);
        if (on) chPictoPC->setChecked(false);
        showSaveTarget();
        if (!runActive()) tellSaveTargets(rules::camBoxChanged(on));
    });
}

void frmCapture::ApplySaveTargets() {
    // Also while Start is under way: the run about to start takes what the boxes show.
    trapAndTrace(QStringLiteral("ApplySaveTargets"), [&] {
        tellSaveTargets(rules::applySaveTargets(checked(chPictoPC), checked(chPictoCam)));
    });
}

void frmCapture::tellSaveTargets(const rules::SaveTargets& t) {
    if (!connected()) return;
    if (t.PicCam) link().setPicCam(*t.PicCam);
    if (t.PicPc) link().setPicPc(*t.PicPc);
    if (t.ThumbPc) link().setThumbPc(*t.ThumbPc);
}

RunPlan frmCapture::runPlan(bool longRun, bool frames) {
    RunPlan p;
    p.longRun = longRun;
    p.mirrorLock = checked(chMirrorLock);
    p.mirrorLockDelay = txtMirrorLockDelay->text();
    const bool isConnected = connected();
    if (!frames) {
        if (!isConnected) return p;
        // The frame of a manual press is named as a run names its frames: in
        // Bulb after the seconds the press holds the shutter open, otherwise
        // after the camera's shutter speed.
        const QString tv = link().Tv();
        const bool bulb = tv == QStringLiteral("Bulb");
        p.namesManualFrame = true;
        p.fileStem = fileStem(bulb ? 0.0 : rules::tvSeconds(tv));
        if (bulb) keepTimedStem(p);
        return p;
    }
    p.exposureCount = txtExpCount->text();
    p.leadIn = txtLeadIn->text();
    p.between = txtTimeBetween->text();
    p.exposureSeconds = getExpTime();
    // Reading the camera's ISO for the name needs the camera; a cable-only run names nothing.
    if (!longRun || isConnected) p.fileStem = GetFileName();
    // A bulb frame cut short is named after the seconds its shutter was open.
    if (longRun && isConnected) keepTimedStem(p);
    p.savePath = runSavePath(longRun);
    p.picturesToPc = isConnected && link().PicPc();
    p.inSequence = state().bSequenceRunning;
    p.lastSequenceStep = state().bLastSequenceStep;
    return p;
}

void frmCapture::keepTimedStem(RunPlan& p) {
    // Only a stem that tells the exposure's seconds (with the camera's ISO).
    if (p.fileStem.isEmpty() || !checked(chkUseISO)) return;
    p.timedStem = true;
    p.stemPrefix = txtObjPrefix->text();
    p.stemIso = link().ISO();
}

QString frmCapture::runSavePath(bool longRun) {
    const bool isConnected = connected();
    const bool controlPicPc = !longRun && isConnected && link().PicPc();
    return rules::runSavePath(longRun, isConnected, controlPicPc, checked(chPictoPC),
                              checked(chPictoCam), txtDirectory->text(), AppPaths::appDir());
}

void frmCapture::cmdBrowse_Click() {
    const QString chosen =
        Dialogs::browseForFolder(txtDirectory->text(), QStringLiteral("&Select a directory:"));
    // A cancelled dialog keeps the folder there was.
    if (!chosen.isEmpty()) txtDirectory->setText(chosen);
}

// ---- Information, colours, trace block ------------------------------------------

void frmCapture::updateInformation() {
    state().sCurrentProc = QStringLiteral("updateInformation");
    guarded([&] {
        lblExpRemaining->setText(QStringLiteral("Exposures Remaining:") +
                                 QString::number(iExposureCount - iCurrentExposure));
    });
    guarded([&] {
        lblExpTaken->setText(QStringLiteral("Exposures Taken:") + QString::number(iExposuresTaken));
    });
    guarded([&] { ProgressBar1->setValue(iExposuresTaken); });
    if (!connected()) return;
    guarded([&] { lblISO->setText(QStringLiteral("ISO Setting:") + link().ISO()); });
    guarded([&] { lblImgType->setText(QStringLiteral("Quality/Type:") + link().ImageQuality()); });
    guarded([&] {
        if (!link().PicCam()) return;
        if (const auto shots = link().NoShotsLeft())
            lblShotsLeft->setText(QStringLiteral("Shots Left on CF:") + QString::number(*shots));
    });
}

void frmCapture::clearInformation() {
    for (QLabel* l : {lblExpRemaining, lblExpTaken, lblImgType, lblISO, lblShotsLeft}) l->clear();
    guarded([&] { ProgressBar1->setValue(0); });
    // Painted now, without letting events run: this is called from the load and
    // from a run's start, where a close or Exit handled here would pull the
    // window away under its caller.
    frInformation->repaint();
}

void frmCapture::checkConnectStatus() {
    const bool isConnected = connected();
    frConnectionStatus[0]->setVisible(!isConnected);
    frConnectionStatus[1]->setVisible(isConnected);
}

void frmCapture::keepCamConAlive() {
    (void)connected();
}

void frmCapture::ChangeColors() {
    const QColor c = Conv::colorFromBgr(state().lForeColor);
    const auto paint = [&](QWidget* w) {
        QPalette p = w->palette();
        p.setColor(QPalette::WindowText, c);
        p.setColor(QPalette::Text, c);
        w->setPalette(p);
    };
    for (QWidget* w : findChildren<QWidget*>()) {
        if (w->parentWidget() && qobject_cast<ctlCountDown*>(w->parentWidget())) continue;
        if (qobject_cast<QLabel*>(w) || qobject_cast<QLineEdit*>(w) || qobject_cast<QGroupBox*>(w))
            paint(w);
    }
    ctlCountDown1->ChangeColor();
}

void frmCapture::LogSettings() {
    trapAndTrace(QStringLiteral("LogSettings"), [&] {
        const auto line = [](const QString& s) { Globals::WriteLogLine(s); };
        const ProgramState& s = state();
        line(QStringLiteral("-----Information Start-------"));
        line(QStringLiteral("Version:") +
             QFileInfo(QCoreApplication::applicationFilePath()).fileName() + u' ' +
             Shell::versionText());
        line(QStringLiteral("Cam Connected:") + Conv::boolText(connected()));
        line(QStringLiteral("Focus Mode:") + Conv::boolText(s.bFocusMode));
        line(QStringLiteral("Serial Port:") + Conv::boolText(s.bSerialEnabled));
        line(QStringLiteral("Mirror Lock:") +
             (checked(chMirrorLock) ? QStringLiteral("1") : QStringLiteral("0")));
        line(QStringLiteral("Voice:") + Conv::boolText(ctlCountDown1->VoiceEnabled()));
        line(QStringLiteral("Zoom Active:") + Conv::boolText(s.bZoomActive));
        line(QStringLiteral("Sequence In Progress:") + Conv::boolText(s.bSequenceRunning));
        line(QStringLiteral("Keep Alive:False"));
        line(QStringLiteral("Keep Alive Count:0"));
        if (connected()) link().LogSettings();
        line(QStringLiteral("-----Information End-------"));
    });
}

void frmCapture::SoundAlarm() {
    ctlCountDown1->SoundAlarm();
}

void frmCapture::LoadAThumb(const QString& fileName) {
    // The review tab sets sPicToshow once the picture has loaded.
    Review->LoadAThumb(fileName);
}

// ---- Settings ---------------------------------------------------------------------

void frmCapture::LoadSettings() {
    trapAndTrace(QStringLiteral("LoadSettings"), [&] {
        const auto toInt16 = [](const QString& t) { return Conv::parseInt16(t); };
        std::int16_t mirror =
            loadSetting<std::int16_t>(QStringLiteral("mirrorlock"), QStringLiteral("0"), toInt16);
        if (state().b300D || state().b350D) mirror = 0;
        chMirrorLock->setChecked(mirror == 1);
        chMirrorLock_Click();  // an unchanged box raises no toggled signal
        txtMirrorLockDelay->setText(
            Settings::get(kOptions, QStringLiteral("mirrorlockValue"), QStringLiteral("15")));
        const std::int16_t pc =
            loadSetting<std::int16_t>(QStringLiteral("PicToPC"), QStringLiteral("1"), toInt16);
        chPictoPC->setChecked(pc == 1);
        const std::int16_t cam =
            loadSetting<std::int16_t>(QStringLiteral("PicToCam"), QStringLiteral("0"), toInt16);
        chPictoCam->setChecked(cam == 1);
        txtTimeBetween->setText(
            Settings::get(kOptions, QStringLiteral("Leadin"), QStringLiteral("15")));
        txtLeadIn->setText(Settings::get(kOptions, QStringLiteral("Delay"), QStringLiteral("5")));
        txtDirectory->setText(
            Settings::get(kOptions, QStringLiteral("SaveImageDir"), AppPaths::appDir()));
        std::int16_t tab =
            loadSetting<std::int16_t>(QStringLiteral("CaptureMode"), QStringLiteral("1"), toInt16);
        bCheckGap_ = loadSetting<bool>(QStringLiteral("CheckGap"), QStringLiteral("True"),
                                       [](const QString& t) { return Conv::parseBool(t); });
        if (tab < 1 || tab > 4) tab = 1;
        selectTab(tab);
    });
    // Whatever failed above, the window ends laid out for a tab.
    if (!laidOut_) selectTab(1);
}

void frmCapture::SaveSettings() {
    trapAndTrace(QStringLiteral("SaveSettings"), [&] {
        const auto save = [](const char* key, const QString& value) {
            Settings::save(kOptions, QLatin1String(key), value);
        };
        const auto bit = [](const QCheckBox* b) {
            return b->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
        };
        save("mirrorlock", bit(chMirrorLock));
        save("mirrorlockValue", txtMirrorLockDelay->text());
        save("PicToPC", bit(chPictoPC));
        save("PicToCam", bit(chPictoCam));
        save("Delay", txtLeadIn->text());
        save("SaveImageDir", txtDirectory->text());
        save("Leadin", txtTimeBetween->text());
        save("CaptureMode", QString::number(GetCurrFrame()));
        save("CheckGap", Conv::boolText(bCheckGap_));
    });
}

// ---- Runs -----------------------------------------------------------------------------

void frmCapture::cbExpStart_Click() {
    if (engine_) {
        engine_->cbExpStart_Click();
        return;
    }
    // Without a run engine built in, Start still tells what would stop a run.
    const bool longRun = GetCurrFrame() != 1;
    if (longRun) checkConnectionType();
    const bool ok = longRun ? ValidValues() : ValidShortExpValues();
    Globals::WriteLogLine(QStringLiteral("No exposure run engine: run checks ") +
                          (ok ? QStringLiteral("passed") : QStringLiteral("refused")));
}

void frmCapture::cbExpStop_Click() {
    bStopRequested = true;
    if (engine_) engine_->cbExpStop_Click();
}

// ---- Camera and DSUSB events ---------------------------------------------------

void frmCapture::oCamera_Connected() {
    Globals::WriteLogLine(QStringLiteral("EVENT: frmCapture: oCamera_Connected: "));
    trapAndTrace(QStringLiteral("oCamera_Connected"), [&] {
        UpdateModeControls();
        ApplySaveTargets();
        checkConnectStatus();
    });
}

void frmCapture::oCamera_Disconnected() {
    Globals::WriteLogLine(QStringLiteral("EVENT: frmCapture: oCamera_Disconnected: "));
    trapAndTrace(QStringLiteral("oCamera_Disconnected"), [&] {
        cbExpStop_Click();
        if (engine_) engine_->letGo();
        checkConnectStatus();
        UpdateModeControls();
    });
}

void frmCapture::oCamera_BulbModeEnabled() {
    Globals::WriteLogLine(QStringLiteral("EVENT: frmCapture: oCamera_BulbModeEnabled: "));
    UpdateModeControls();
}

void frmCapture::oCamera_BulbModeNotEnabled() {
    Globals::WriteLogLine(QStringLiteral("EVENT: frmCapture: oCamera_BulbModeNotEnabled: "));
    UpdateModeControls();
}

void frmCapture::oCamera_TvChanged() {
    Globals::WriteLogLine(QStringLiteral("EVENT: frmCapture: oCamera_TvChanged: "));
    UpdateTotalExp();
}

void frmCapture::oCamera_UpdateCameraInformation() {
    Globals::WriteLogLine(QStringLiteral("EVENT: frmCapture: oCamera_UpdateCameraInformation: "));
    updateInformation();
}

void frmCapture::loDSUSB_connected() {
    state().bDSUSBConnected = true;
    frDisconnected->hide();
    frConnected->show();
}

void frmCapture::loDSUSB_disconnected() {
    state().bDSUSBConnected = false;
    frDisconnected->show();
    frConnected->hide();
    setStartEnabled(false, rules::kHintDsusb);
    bStopRequested = true;
    if (engine_) engine_->requestStop();
}

}  // namespace zelmora::capture
