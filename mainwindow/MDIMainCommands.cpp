// The main window's commands: toolbar, menus, slider, channel options, the
// toolbar hover flag, the telescope link and the window arrangement.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QSlider>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>

#include "mainwindow/MDIMain.h"
#include "mainwindow/ToolbarIcons.h"
#include "platform/drivers/DriverChooser.h"
#include "platform/drivers/DriverRegistry.h"
#include "platform/os/Dialogs.h"
#include "platform/os/Media.h"
#include "shell/AppPaths.h"
#include "shell/Conv.h"
#include "shell/Errors.h"
#include "shell/Globals.h"
#include "shell/Neighbours.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"
#include "shell/frmAbout.h"
#include "shell/frmColorPick.h"
#include "sky/ScopeDriver.h"

namespace zelmora {

namespace {

using platform::Dialogs;
namespace Msg = platform::Msg;

const QString kWindowPos = QStringLiteral("WindowPos");
const QString kTelescope = QStringLiteral("Telescope");

// The pointer shows the hourglass on the given widgets until the scope ends.
class BusyPointer {
public:
    explicit BusyPointer(std::initializer_list<QWidget*> widgets) {
        for (QWidget* w : widgets) {
            widgets_.emplace_back(w);
            if (w) w->setCursor(Qt::WaitCursor);
        }
    }
    ~BusyPointer() {
        // Back in the reverse order: the main window first, then the others.
        for (auto it = widgets_.rbegin(); it != widgets_.rend(); ++it)
            if (*it) (*it)->unsetCursor();
    }

private:
    std::vector<QPointer<QWidget>> widgets_;
};

// Windows whose position the reset puts back, with the caption their keys
// are made of. The first five are the program's reset list; the others keep
// a position too, so the reset covers them as well.
struct PositionedWindow {
    const QString& name;
    const char* caption;
};
const PositionedWindow kPositionedWindows[] = {
    {Win::frmCameraControl, "Camera Control"}, {Win::frmCapture, "Image Capture"},
    {Win::frmAutofocus, "Auto Focus"},         {Win::frmAutoFocusRslts, "Auto Focus Results"},
    {Win::frmImage1, "Frame Image"},           {Win::frmAutomate, "Exposure Sequencing"},
    {Win::frmMoonPhase, "Moon Phase"},         {Win::frmScopeControl, "Telescope Control"},
};

const QString kUnableToSetupTelescope = QStringLiteral(
    "Unable to setup telescope. Please make sure you have the ASCOM drivers installed. "
    "The telescope drivers that Zelmora can use come with it and are listed in its user "
    "manual.");

}  // namespace

void MDIMain::registerOwnWindows() {
    if (!windows().isRegistered(Win::frmAbout))
        windows().registerWindow(
            Win::frmAbout, [] { return new frmAbout; }, false);
    if (!windows().isRegistered(Win::frmColorPicker))
        windows().registerWindow(
            Win::frmColorPicker, [] { return new frmColorPick; }, false);
}

void MDIMain::onMenu(const char* objectName, void (MDIMain::*handler)()) {
    const QString name = QString::fromLatin1(objectName);
    connect(menuItem(name), &QAction::triggered, this, [this, name, handler] {
        trapAndTrace(name + QStringLiteral("_Click"), [&] { (this->*handler)(); });
    });
}

void MDIMain::connectCommands() {
    connect(toolbar1_, &QToolBar::actionTriggered, this, [this](QAction* a) {
        const QString key = a->objectName();
        trapAndTrace(QStringLiteral("Toolbar1_ButtonClick"), [&] { Toolbar1_ButtonClick(key); });
    });
    toolbar1_->installEventFilter(this);
    mdiArea_->viewport()->setMouseTracking(true);
    mdiArea_->viewport()->installEventFilter(this);

    // Menu items that show a window (modeless), creating it when it is not loaded.
    const std::pair<const char*, const QString*> kShows[] = {
        {"mnuColorPicker", &Win::frmColorPicker}, {"mnuControl", &Win::frmCapture},
        {"mnuPortSetup", &Win::frmSelectPort},    {"mnuFrameImage", &Win::frmImage1},
        {"mnuTelMotion", &Win::frmScopeControl},  {"mnuCustCat", &Win::frmCustomObjects},
        {"mnuFocusControl", &Win::frmAutofocus},  {"mnuExpCalc", &Win::frmExpCalc},
        {"mnuMoonPhase", &Win::frmMoonPhase},     {"mnuAbout", &Win::frmAbout},
    };
    for (const auto& [item, window] : kShows) {
        const QString name = *window;
        connect(menuItem(QString::fromLatin1(item)), &QAction::triggered, this,
                [name] { windows().show(name); });
    }
    onMenu("mnuConnect", &MDIMain::ShowCameraControl);
    onMenu("mnuNightVision", &MDIMain::mnuNightVision_Click);
    onMenu("mnuInitPort", &MDIMain::mnuInitPort_Click);
    onMenu("mnuBatMon", &MDIMain::mnuBatMon_Click);
    onMenu("mnuWavFile", &MDIMain::mnuWavFile_Click);
    onMenu("mnuMute", &MDIMain::mnuMute_Click);
    for (int i = 0; i < 9; ++i) {
        connect(menuItem(QStringLiteral("mnuPos%1").arg(i)), &QAction::triggered, this, [this, i] {
            trapAndTrace(QStringLiteral("mnuPosition_Click"), [&] { mnuPosition_Click(i); });
        });
    }
    onMenu("mnuShowHist", &MDIMain::mnuShowHist_Click);
    onMenu("mnuXhair", &MDIMain::mnuXhair_Click);
    onMenu("mnuBullsEye", &MDIMain::mnuBullsEye_Click);
    connect(menuItem(QStringLiteral("mnuTelSetup")), &QAction::triggered, this,
            [this] { SetupTelescope(true); });
    onMenu("mnuLinkEst", &MDIMain::mnuLinkEst_Click);
    onMenu("mnuLinkTerminate", &MDIMain::mnuLinkTerminate_Click);
    onMenu("mnuSetNewCatalogue", &MDIMain::mnuSetNewCatalogue_Click);
    onMenu("mnuCatalogue", &MDIMain::mnuCatalogue_Click);
    onMenu("mnuTileH", &MDIMain::tileHorizontally);
    onMenu("mnuTileV", &MDIMain::tileVertically);
    connect(menuItem(QStringLiteral("mnuCascade")), &QAction::triggered, mdiArea_,
            &QMdiArea::cascadeSubWindows);
    onMenu("mnuReset", &MDIMain::mnuReset_Click);
    onMenu("mnuHelp", &MDIMain::mnuHelp_Click);
}

// --- Toolbar -----------------------------------------------------------------

void MDIMain::Toolbar1_ButtonClick(const QString& key) {
    using ViewOp = void (IFocusFrameViewer::*)();
    static const QHash<QString, ViewOp> kViews = {
        {QStringLiteral("Top Left"), &IFocusFrameViewer::TopLeft},
        {QStringLiteral("Top Right"), &IFocusFrameViewer::Topright},
        {QStringLiteral("Centre Left"), &IFocusFrameViewer::CentreLeft},
        {QStringLiteral("Centre"), &IFocusFrameViewer::centreImage},
        {QStringLiteral("Centre Right"), &IFocusFrameViewer::CentreRight},
        {QStringLiteral("Bottom Left"), &IFocusFrameViewer::BottomLeft},
        {QStringLiteral("Bottom Right"), &IFocusFrameViewer::BottomRight},
    };
    if (key == QLatin1String("Zoom")) {
        windows().show(Win::frmZoomer);
    } else if (key == QLatin1String("Focus")) {
        ToggleFocusMode();
    } else if (auto it = kViews.find(key); it != kViews.end()) {
        // The buttons are enabled only while the image display is open.
        if (auto* disp = windows().ifLoadedAs<IImageDispWindow>(Win::frmImageDisp))
            if (IFocusFrameViewer* viewer = disp->ImageDisp()) (viewer->*it.value())();
    } else if (key == QLatin1String("Connect")) {
        ShowCameraControl();
    } else if (key == QLatin1String("Timer")) {
        windows().show(Win::frmCapture);
    } else if (key == QLatin1String("Shutter Release")) {
        if (auto* cam = windows().ifLoadedAs<ICameraControlWindow>(Win::frmCameraControl))
            cam->release();
    } else if (key == QLatin1String("Start") || key == QLatin1String("Stop")) {
        if (auto* cam = windows().ifLoadedAs<ICameraControlWindow>(Win::frmCameraControl))
            cam->StartContinousDownload();
    } else if (key == QLatin1String("Frame")) {
        windows().show(Win::frmImage1);
    }
    // "Pause" and anything else: nothing.
}

void MDIMain::ToggleFocusMode() {
    ProgramState& s = state();
    s.bAnalysisPaused = !s.bAnalysisPaused;
    toolbarModel_.focusImage = s.bAnalysisPaused ? 17 : 2;
    setButtonImage(buttons_[3], toolbarModel_.focusImage);
}

void MDIMain::ShowCameraControl() {
    windows().show(Win::frmCameraControl);
}

bool MDIMain::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type t = event->type();
    if (watched == toolbar1_) {
        // Over the toolbar the program holds off grabbing the focus; leaving
        // it lets go again (the client area may never see the mouse).
        if (t == QEvent::Enter || t == QEvent::MouseMove || t == QEvent::HoverMove)
            state().bMsgBoxShowing = true;
        else if (t == QEvent::Leave)
            state().bMsgBoxShowing = false;
    } else if (watched == mdiArea_->viewport()) {
        if (t == QEvent::MouseMove || t == QEvent::Enter) state().bMsgBoxShowing = false;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MDIMain::ZoomSlider_Change(int value) {
    iZoomFactor = value;
    guarded([] {
        QWidget* zoomer = windows().ifLoaded(Win::frmZoomer);
        if (zoomer && zoomer->isVisible())
            if (auto* z = dynamic_cast<IZoomerWindow*>(zoomer)) z->InvokeZoom();
    });
}

// --- Menus -------------------------------------------------------------------

void MDIMain::mnuNightVision_Click() {
    QAction* item = menuItem(QStringLiteral("mnuNightVision"));
    // The check mark has already flipped when the item fires.
    const bool wasOn = !item->isChecked();
    guarded([&] {
        if (wasOn) {
            RestoreOriginalColors();
            item->setChecked(false);
        } else {
            SetNightVision();
            item->setChecked(true);
        }
    });
    // The focus leaves the menu and the slider redraws in the new colours.
    guarded([&] { zoomSlider_->setFocus(); });
    guarded([&] { zoomSlider_->setEnabled(false); });
    guarded([&] { zoomSlider_->setEnabled(true); });
}

void MDIMain::mnuInitPort_Click() {
    Settings::saveBool(QStringLiteral("DSLRControl"), QStringLiteral("InitOnStartup"),
                       menuItem(QStringLiteral("mnuInitPort"))->isChecked());
}

void MDIMain::mnuBatMon_Click() {
    Settings::saveBool(QStringLiteral("DSLRControl"), QStringLiteral("BatteryMonitor"),
                       menuItem(QStringLiteral("mnuBatMon"))->isChecked());
}

void MDIMain::mnuMute_Click() {
    state().bMute = menuItem(QStringLiteral("mnuMute"))->isChecked();
}

void MDIMain::mnuWavFile_Click() {
    const QString wavDir = AppPaths::join(AppPaths::resourceDir(), QStringLiteral("WavFiles"));
    // A folder that did not ship is named; the user may still choose a file elsewhere.
    if (!QFileInfo(wavDir).isDir())
        Dialogs::msgBox(QStringLiteral("The sound folder %1 could not be found.")
                            .arg(QDir::toNativeSeparators(wavDir)),
                        Msg::Exclamation);
    guarded([&] { QDir::setCurrent(wavDir); });
    platform::FileDialogRequest request;
    request.filter = QStringLiteral("Wav File|*.wav");
    request.initialDir = wavDir + u'/';
    const QString file = Dialogs::openFile(request);
    guarded([] { QDir::setCurrent(AppPaths::appDir()); });
    if (file.isEmpty()) return;  // cancelled: the alarm stays as it was
    state().sAlarmWavFile = file;
    Settings::save(QStringLiteral("DSLRControl"), QStringLiteral("AlramWav"), file);
}

void MDIMain::mnuPosition_Click(int index) {
    using ViewOp = void (IFocusFrameViewer::*)();
    static const ViewOp kOps[9] = {
        &IFocusFrameViewer::TopLeft,     &IFocusFrameViewer::TopCentre,
        &IFocusFrameViewer::Topright,    &IFocusFrameViewer::CentreLeft,
        &IFocusFrameViewer::centreImage, &IFocusFrameViewer::CentreRight,
        &IFocusFrameViewer::BottomLeft,  &IFocusFrameViewer::BottomCentre,
        &IFocusFrameViewer::BottomRight,
    };
    for (int i = 0; i < 9; ++i) menuItem(QStringLiteral("mnuPos%1").arg(i))->setChecked(i == index);
    // The menu is enabled only while the image display is open.
    if (auto* disp = windows().ifLoadedAs<IImageDispWindow>(Win::frmImageDisp))
        if (IFocusFrameViewer* viewer = disp->ImageDisp()) (viewer->*kOps[index])();
}

void MDIMain::mnuShowHist_Click() {
    if (!state().bFrameImageOpen) return;
    QWidget* frame = windows().ifLoaded(Win::frmImage1);
    auto* image = dynamic_cast<IFrameImageWindow*>(frame);
    if (!image) return;
    BusyPointer busy{frame, this};
    image->showHistogram();
}

// The two reticle items always end complementary, and both are saved: the
// clicked item's key first.
namespace {
void reticleClicked(QAction* clicked, const QString& clickedKey, QAction* other,
                    const QString& otherKey) {
    other->setChecked(!clicked->isChecked());
    Settings::saveBool(QStringLiteral("XhairType"), clickedKey, clicked->isChecked());
    Settings::saveBool(QStringLiteral("XhairType"), otherKey, other->isChecked());
}
}  // namespace

void MDIMain::mnuXhair_Click() {
    reticleClicked(menuItem(QStringLiteral("mnuXhair")), QStringLiteral("Xhair"),
                   menuItem(QStringLiteral("mnuBullsEye")), QStringLiteral("BullsEye"));
}

void MDIMain::mnuBullsEye_Click() {
    reticleClicked(menuItem(QStringLiteral("mnuBullsEye")), QStringLiteral("BullsEye"),
                   menuItem(QStringLiteral("mnuXhair")), QStringLiteral("Xhair"));
}

void MDIMain::mnuSetNewCatalogue_Click() {
    platform::FileDialogRequest request;
    request.filter = QStringLiteral("Object Catalogue|*.txt");
    request.initialDir = AppPaths::dataFiles() + u'/';
    const QString file = Dialogs::openFile(request);
    guarded([] { QDir::setCurrent(AppPaths::appDir()); });
    if (file.isEmpty()) return;  // cancelled: the catalogue stays as it was
    state().sCatalogueFile = file;
    Settings::save(kTelescope, QStringLiteral("ObjectCatalogue"), file);
}

void MDIMain::mnuCatalogue_Click() {
    windows().show(Win::frmScopeControl);
    if (auto* scope = windows().ifLoadedAs<IScopeControlWindow>(Win::frmScopeControl))
        scope->loadCatalogue();
}

void MDIMain::mnuHelp_Click() {
    // A manual that is missing or that nothing can open is named, not passed over.
    const QString manual =
        AppPaths::join(AppPaths::resourceDir(), QStringLiteral("Zelmora 3.0 User Manual.pdf"));
    if (!QFileInfo::exists(manual)) {
        Dialogs::msgBox(QStringLiteral("The user manual %1 could not be found.")
                            .arg(QDir::toNativeSeparators(manual)),
                        Msg::Exclamation);
        return;
    }
    if (!platform::DesktopService::instance().open(QUrl::fromLocalFile(manual)))
        Dialogs::msgBox(QStringLiteral("The user manual %1 could not be opened.")
                            .arg(QDir::toNativeSeparators(manual)),
                        Msg::Exclamation);
}

// --- Telescope ---------------------------------------------------------------

void MDIMain::SetupTelescope(bool forceChooser) {
    ProgramState& s = state();
    try {
        s.sScopeID = Settings::get(kTelescope, QStringLiteral("ID"), QString());
        if (forceChooser || s.sScopeID.isEmpty()) {
            drivers::DriverChooser chooser;
            chooser.setDeviceType(drivers::kTelescopeType);
            s.sScopeID = chooser.Choose(s.sScopeID);
        }
        // A driver object in use is kept; a new choice waits until it is let go.
        if (!s.sScopeID.isEmpty() && !sky::scope()) {
            sky::scope() = drivers::DriverRegistry::instance().createTelescope(s.sScopeID);
            Settings::save(kTelescope, QStringLiteral("ID"), s.sScopeID);
        }
        if (!s.sScopeID.isEmpty() && !sky::scope())
            Dialogs::msgBox(QStringLiteral("Error opening Scope."), Msg::Exclamation);
    } catch (...) {
        guarded([] {
            detail::setCurrentProc(QStringLiteral("SetupTelescope"));
            detail::traceCurrentError();
        });
        Dialogs::msgBox(kUnableToSetupTelescope, Msg::Exclamation);
    }
}

void MDIMain::mnuLinkEst_Click() {
    ProgramState& s = state();
    SetupTelescope(false);
    if (!sky::scope() && s.sScopeID.isEmpty()) {
        Dialogs::msgBox(
            QStringLiteral(
                "You must select a telescope first. Use the Menu option Telescope->Setup..."),
            Msg::Exclamation);
        return;
    }
    if (!sky::scope()) return;  // creation failed and was reported
    // A driver that fails while linking leaves the program unlinked.
    bool up = false;
    const std::shared_ptr<drivers::Telescope> scope = sky::scope();
    guarded([&] {
        scope->setConnected(true);
        up = scope->connected();
    });
    if (up) {
        menuItem(QStringLiteral("mnuTelMotion"))->setEnabled(true);
        menuItem(QStringLiteral("mnuCatalogue"))->setEnabled(true);
        s.bScopeLinked = true;
    } else {
        Dialogs::msgBox(QStringLiteral("Error connecting to Scope."), Msg::Exclamation);
    }
}

// --- Windows -----------------------------------------------------------------

void MDIMain::mnuReset_Click() {
    const int answer = Dialogs::msgBox(
        QStringLiteral("This action will reset all winodw positions. Conintue ?"),
        Msg::YesNo | Msg::Critical | Msg::DefaultButton2, QStringLiteral("Warning"));
    if (answer != Msg::Yes) return;
    const QString display = QStringLiteral("Image Display");
    Settings::save(kWindowPos, display + QStringLiteral("Width"), QStringLiteral("500"));
    Settings::save(kWindowPos, display + QStringLiteral("Height"), QStringLiteral("500"));
    for (const PositionedWindow& w : kPositionedWindows) {
        const QString caption = QString::fromLatin1(w.caption);
        Settings::save(kWindowPos, caption + QStringLiteral("Top"), QStringLiteral("0"));
        Settings::save(kWindowPos, caption + QStringLiteral("Left"), QStringLiteral("0"));
    }
    // Open windows save their place when they close, which would undo the
    // reset: they move now.
    if (QWidget* w = windows().ifLoaded(Win::frmImageDisp)) {
        QWidget* frame = frameOf(w);
        frame->resize(frame->size() - w->size() + QSize(500, 500));
    }
    for (const PositionedWindow& p : kPositionedWindows) {
        if (QWidget* w = windows().ifLoaded(p.name)) {
            QWidget* frame = frameOf(w);
            if (frame->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))
                frame->showNormal();
            frame->move(0, 0);
        }
    }
}

namespace {
QList<QMdiSubWindow*> tileable(QMdiArea* area) {
    QList<QMdiSubWindow*> out;
    for (QMdiSubWindow* w : area->subWindowList(QMdiArea::CreationOrder))
        if (w->isVisible() && !w->isMinimized()) out << w;
    return out;
}

// The visible windows in equal bands: stacked top to bottom, each as wide as the
// area, or side by side, each as tall as the area.
void tileInBands(QMdiArea* mdiArea, bool stacked) {
    const QList<QMdiSubWindow*> list = tileable(mdiArea);
    if (list.isEmpty()) return;
    const QRect area = mdiArea->viewport()->rect();
    const int n = int(list.size());
    for (int i = 0; i < n; ++i) {
        if (list[i]->isMaximized()) list[i]->showNormal();
        const int length = stacked ? area.height() : area.width();
        const int from = length * i / n, to = length * (i + 1) / n;
        if (stacked)
            list[i]->setGeometry(0, from, area.width(), to - from);
        else
            list[i]->setGeometry(from, 0, to - from, area.height());
    }
}
}  // namespace

void MDIMain::tileHorizontally() {
    tileInBands(mdiArea_, true);
}

void MDIMain::tileVertically() {
    tileInBands(mdiArea_, false);
}

}  // namespace zelmora
