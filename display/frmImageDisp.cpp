#include "display/frmImageDisp.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>

#include "display/AnalysisLink.h"
#include "display/FocusFramePolicy.h"
#include "display/ScrollingImage.h"
#include "platform/os/Dialogs.h"
#include "platform/os/PointerScreen.h"
#include "platform/os/RemoteAppControl.h"
#include "shell/AppPaths.h"
#include "shell/Conv.h"
#include "shell/Errors.h"
#include "shell/Globals.h"
#include "shell/KeyboardHook.h"
#include "shell/MainWindow.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"

namespace zelmora::display {

namespace {

const QString kWidthKey = frmImageDisp::kDesignCaption + QStringLiteral("Width");
const QString kHeightKey = frmImageDisp::kDesignCaption + QStringLiteral("Height");

QString simulationFolder() {
    return AppPaths::join(AppPaths::appDir(), QStringLiteral("images"));
}

}  // namespace

frmImageDisp::frmImageDisp(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmImageDisp"));
    setWindowTitle(kDesignCaption);
    setProperty("designCaption", kDesignCaption);
    setAttribute(Qt::WA_DeleteOnClose);

    // The text box only keeps the keyboard on this window; it sits under the view.
    txtFocusCap = new QLineEdit(this);
    txtFocusCap->setObjectName(QStringLiteral("txtFocusCap"));
    txtFocusCap->setGeometry(0, 0, 4, 4);
    ImageDisp_ = new ScrollingImage(this);
    ImageDisp_->setObjectName(QStringLiteral("ImageDisp"));
    ImageDisp_->setHostWindow(this);
    File1 = new QListWidget(this);
    File1->setObjectName(QStringLiteral("File1"));
    File1->setVisible(false);
    connect(File1, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { File1_Click(File1->row(item)); });
    resize(500, 500);
    Form_Load();
}

frmImageDisp::~frmImageDisp() {
    if (qApp) qApp->removeEventFilter(this);
    // A window deleted without being closed (program end) is unloaded too.
    if (!unloaded_ && windows().ifLoaded(Win::frmImageDisp) == this)
        windows().markUnloaded(Win::frmImageDisp);
}

IFocusFrameViewer* frmImageDisp::ImageDisp() {
    return ImageDisp_;
}

// --- Load and unload -----------------------------------------------------------

void frmImageDisp::Form_Load() {
    windows().markLoaded(Win::frmImageDisp, this);
    ProgramState& s = state();
    s.bNewStar = false;
    iNudgeStep = 1;
    iSimFileIndex = 0;
    // Arrow presses anywhere in the program nudge the pointer while this is loaded.
    qApp->installEventFilter(this);
    trapAndTrace(QStringLiteral("Form_Load"), [&] {
        if (s.bSimulationMode) {
            File1->setVisible(true);
            File1->addItems(QDir(simulationFolder()).entryList(QDir::Files, QDir::Name));
            if (File1->count() > 0)
                ImageDisp_->SetImage(AppPaths::join(simulationFolder(), File1->item(0)->text()));
        }
        ImageDisp_->SetStartPos();
        txtFocusCap->setFocus();  // key presses arrive at this window
        if (IMainWindow* m = mainWindow()) m->ToolbarEnable(QStringLiteral("ImageWindowOpen"));
        const std::int32_t w =
            Settings::getInt(QStringLiteral("WindowPos"), kWidthKey, QStringLiteral("500"));
        const std::int32_t h =
            Settings::getInt(QStringLiteral("WindowPos"), kHeightKey, QStringLiteral("500"));
        if (w <= 0 || h <= 0 || w > 100000 || h > 100000)
            throw AppError(AppError::kOverflow, QStringLiteral("frmImageDisp"),
                           QStringLiteral("Invalid window size"));
        wantedSize_ = QSize(w, h);
    });
}

void frmImageDisp::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!placed_) placeFrame();
}

// The size and place are the frame's, so they wait until the main window has
// given this window its frame.
void frmImageDisp::placeFrame() {
    placed_ = true;
    if (!wantedSize_) return;  // a bad setting leaves the designed size and place
    QWidget* frame = frameOf(this);
    frame->resize(*wantedSize_);
    if (auto* main = dynamic_cast<QWidget*>(mainWindow()); main && frame != this)
        frame->move(policy::firstPlacement(main->width(), frame->width()));
}

void frmImageDisp::resizeEvent(QResizeEvent*) {
    if (width() > 0 && height() > 0)
        ImageDisp_->setGeometry(0, 0, std::max(width() - 5, 0), std::max(height() - 5, 0));
}

void frmImageDisp::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void frmImageDisp::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    qApp->removeEventFilter(this);
    windows().markUnloaded(Win::frmImageDisp);
    trapAndTrace(QStringLiteral("Form_Unload"), [&] {
        if (IMainWindow* m = mainWindow()) m->ToolbarEnable(QStringLiteral("ImageWindowClose"));
        const QWidget* frame = frameOf(this);
        Settings::saveInt(QStringLiteral("WindowPos"), kWidthKey, frame->width());
        Settings::saveInt(QStringLiteral("WindowPos"), kHeightKey, frame->height());
    });
    state().bNewStar = false;
}

// --- Frames --------------------------------------------------------------------

frmImageDisp::ViewState frmImageDisp::saveView() const {
    return {ImageDisp_->getHPosition(), ImageDisp_->getVPosition(), ImageDisp_->getHS(),
            ImageDisp_->getVS()};
}

void frmImageDisp::restoreView(const ViewState& view) {
    ImageDisp_->setHPosition(view.h);
    ImageDisp_->setVPosition(view.v);
    ImageDisp_->SetHS(view.hs);
    ImageDisp_->SetVS(view.vs);
}

void frmImageDisp::LoadImage(const QString& strFilePath) {
    // A frame that cannot be read shows a box, which lets events run: the
    // window may be closed meanwhile.
    const QPointer<frmImageDisp> self(this);
    try {
        const ViewState view = saveView();
        const bool loaded = ImageDisp_->SetImage(strFilePath);
        if (!self) return;
        restoreView(view);
        // A frame that could not be read is not analysed: the history would
        // gain the previous crop again under a new time.
        if (loaded) AnalyseStar();
    } catch (...) {
        const AppError e = currentError();
        platform::Dialogs::msgBox(
            QStringLiteral("An error occured in Image Disp Load Image trying to open file: ") +
            strFilePath + QStringLiteral(" Error:") + e.description());
    }
}

void frmImageDisp::AnalyseStar() {
    trapAndTrace(QStringLiteral("AnalyseStar"), [&] {
        Globals::WriteLogLine(QStringLiteral("Analysing Star"));
        bringForward(this);
        update();
        const ProgramState& s = state();
        if (!s.bNewStar) return;
        ImageDisp_->SetCursorWithOffset(s.lCursorOffsetX, s.lCursorOffsetY);
        repaint();
        analysis::showBehind(this);
        // A frame's analysis shows no box, but this window is checked after
        // it all the same before it is touched again.
        const QPointer<frmImageDisp> self(this);
        analysis::updateHistory();
        if (!self) return;
        ImageDisp_->SetCursorWithOffset(s.lCursorOffsetX, s.lCursorOffsetY);
    });
}

void frmImageDisp::SimulateExposure() {
    Globals::WriteLogLine(QStringLiteral("Simulating exposure"));
    const ViewState view = saveView();
    // After the last file the list starts again.
    if (iSimFileIndex < 0 || iSimFileIndex >= File1->count()) iSimFileIndex = 0;
    QListWidgetItem* entry = File1->item(iSimFileIndex);
    if (!entry)
        throw AppError(AppError::kFileNotFound, QStringLiteral("frmImageDisp"),
                       QStringLiteral("File not found"));
    const QString file = entry->text();
    const QPointer<frmImageDisp> self(this);
    const bool loaded = ImageDisp_->SetImage(AppPaths::join(simulationFolder(), file));
    state().sSimulatedFile = file;
    if (!self) return;
    restoreView(view);
    File1->setCurrentRow(iSimFileIndex);
    iSimFileIndex = static_cast<std::int16_t>(iSimFileIndex + 1);
    if (loaded) AnalyseStar();
}

void frmImageDisp::File1_Click(int index) {
    iSimFileIndex = static_cast<std::int16_t>(index);
}

// --- The space bar -------------------------------------------------------------

void frmImageDisp::ProcessSpaceBar() {
    guarded([] { Globals::WriteLogLine(QStringLiteral("Processing SPACEBAR")); });
    const ProgramState& s = state();
    using policy::SpaceBarRoute;
    const SpaceBarRoute route = policy::spaceBarRoute(s.bMonitorMode, s.bFolderMonitoring,
                                                      s.lRemoteAppTaskId, s.bSimulationMode);
    switch (route) {
        case SpaceBarRoute::RemoteStatusOnly:
        case SpaceBarRoute::RemoteKeys:
            guarded([] {
                if (IMainWindow* m = mainWindow())
                    if (QLabel* panel = m->statusPanel(1))
                        panel->setText(QStringLiteral("Firing shutter in Remote Application"));
            });
            if (route == SpaceBarRoute::RemoteKeys) guarded([&] { fireRemoteShutter(); });
            break;
        case SpaceBarRoute::Simulate:
            guarded([&] { SimulateExposure(); });
            break;
        case SpaceBarRoute::Release:
            guarded([] {
                if (auto* cam = windows().ifLoadedAs<ICameraControlWindow>(Win::frmCameraControl))
                    cam->release();
                else
                    Globals::WriteLogLine(QStringLiteral("Camera control not loaded: no release"));
            });
            break;
    }
}

// Keys go out only once the remote application's window is confirmed active:
// sent to one of our own windows, a space would come back as another release.
void frmImageDisp::fireRemoteShutter() {
    const ProgramState& s = state();
    platform::RemoteAppControl& remote = platform::RemoteAppControl::instance();
    if (s.lRemoteAppTaskId == QCoreApplication::applicationPid() ||
        !remote.activate(s.lRemoteAppTaskId)) {
        Globals::WriteLogLine(QStringLiteral("Remote application window not found: no keys sent"));
        return;
    }
    QString hotKey;
    if (auto* cam = windows().ifLoadedAs<ICameraControlWindow>(Win::frmCameraControl))
        hotKey = cam->RemoteHotKey();
    const auto keys = platform::parseKeySequence(policy::hotKeySequence(hotKey));
    if (!keys || keys->empty())
        Globals::WriteLogLine(QStringLiteral("Remote application hot key not usable: ") + hotKey);
    else if (!remote.sendKeys(*keys))
        Globals::WriteLogLine(QStringLiteral("Remote application keys not sent"));
    if (auto* main = dynamic_cast<QWidget*>(mainWindow())) main->activateWindow();
}

void frmImageDisp::Form_KeyPress(QChar key) {
    if (Globals::IsKeyboardHooked()) return;  // the hook handles the space bar
    if (key == u' ') {
        Globals::WriteLogLine(QStringLiteral("processing keypress"));
        ProcessSpaceBar();
    }
    txtFocusCap->setFocus();
}

void frmImageDisp::nudgePointer(int qtKey) {
    trapAndTrace(QStringLiteral("Timer3_Timer"), [&] {
        platform::CursorService& cursor = platform::CursorService::instance();
        QPoint p = cursor.pos();
        switch (qtKey) {
            case Qt::Key_Down:
                p.ry() += iNudgeStep;
                break;
            case Qt::Key_Up:
                p.ry() -= iNudgeStep;
                break;
            case Qt::Key_Left:
                p.rx() -= iNudgeStep;
                break;
            case Qt::Key_Right:
                p.rx() += iNudgeStep;
                break;
            default:
                return;
        }
        cursor.setPos(p);
    });
}

bool frmImageDisp::eventFilter(QObject* watched, QEvent* event) {
    // Runs for every event of the program: the type test comes first.
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (watched == txtFocusCap || watched == ImageDisp_) {
        if (!key->text().isEmpty()) {
            Form_KeyPress(key->text().at(0));
            // The text box only holds the focus; it never fills.
            return watched == txtFocusCap;
        }
        return false;
    }
    // One physical press reaches the window it was delivered to, then every
    // widget it passes through: nudge once, at the window, and never for the
    // repeats of a held key.
    if (!event->spontaneous() || !watched->isWindowType() || key->isAutoRepeat()) return false;
    const int k = key->key();
    if (k == Qt::Key_Down || k == Qt::Key_Up || k == Qt::Key_Left || k == Qt::Key_Right)
        nudgePointer(k);
    return false;
}

// --- The magnifier (kept for a later caller) -----------------------------------

void frmImageDisp::ShowZoomer() {
    windows().show(Win::frmZoomer);
}

void frmImageDisp::RefreshZoomer() {
    QWidget* zoomer = windows().ifLoaded(Win::frmZoomer);
    if (zoomer && zoomer->isVisible())
        if (auto* z = dynamic_cast<IZoomerWindow*>(zoomer)) z->InvokeZoom();
}

}  // namespace zelmora::display
