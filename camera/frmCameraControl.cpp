#include "camera/frmCameraControl.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>

#include "camera/clsCamera.h"
#include "camera/ctlFolderMonitor.h"
#include "platform/automation/Control.h"
#include "platform/automation/ControlHost.h"
#include "shell/AppPaths.h"
#include "shell/Conv.h"
#include "shell/Errors.h"
#include "shell/Globals.h"
#include "shell/ProgramState.h"
#include "shell/WindowPlacement.h"
#include "shell/WindowRegistry.h"

namespace zelmora::camera {

const QString frmCameraControl::kDesignCaption = QStringLiteral("Camera Control");

namespace {

struct ControlSource {
    frmCameraControl::ControlFactory factory;
    QString libraryFolder;
};

ControlSource& source() {
    static ControlSource s;
    static const bool hooked = [] {
        addResetHook([] { s = ControlSource{}; });
        return true;
    }();
    (void)hooked;
    return s;
}

template <typename T>
T* named(T* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

int px(int twips) {
    return Conv::twipsToPixels(twips);
}

constexpr int kMargin = 6;

}  // namespace

void frmCameraControl::setControlFactory(ControlFactory factory) {
    source().factory = std::move(factory);
}

void frmCameraControl::setControlLibraryFolder(const QString& folder) {
    source().libraryFolder = folder;
}

QPixmap frmCameraControl::batteryPixmap(int picture) {
    // Four 24 x 10 pictures: 1 empty, 2 low, 3 weak, 4 good.
    QPixmap pm(24, 10);
    pm.fill(Qt::transparent);
    if (picture < 1 || picture > 4) return pm;
    QPainter p(&pm);
    p.setPen(QColor(40, 40, 40));
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, 0, 21, 9);
    p.fillRect(22, 3, 2, 4, QColor(40, 40, 40));
    static const QColor kColours[] = {Qt::transparent, QColor(200, 30, 30), QColor(230, 160, 0),
                                      QColor(30, 170, 40)};
    const int filled = (picture - 1) * 20 / 3;  // 0, 6, 13, 20 of 20
    if (filled > 0) p.fillRect(1, 1, filled, 8, kColours[picture - 1]);
    return pm;
}

frmCameraControl::frmCameraControl(QWidget* parent)
    : QWidget(parent), vosquin_(this), model_(vosquin_, *this, this) {
    setObjectName(QStringLiteral("frmCameraControl"));
    setWindowTitle(kDesignCaption);
    setProperty("designCaption", kDesignCaption);
    setAttribute(Qt::WA_DeleteOnClose);
    setMouseTracking(true);
    buildControls();
    Form_Load();
    // Folder monitoring chosen as the camera source: show the panel.
    if (clsCamera* cam = oMainCamera().get())
        connect(cam, &clsCamera::SetupMonitorFolder, this, [this] { setupFolderMonitor(); });
}

frmCameraControl::~frmCameraControl() {
    // Deleted without being closed (program end): unloaded all the same. The
    // folder monitor's run ends first, before its panel and this window go.
    if (FolderMonitor1) FolderMonitor1->endMonitoring();
    model_.ContinuousTimer().setEnabled(false);
    if (!unloaded_ && windows().ifLoaded(Win::frmCameraControl) == this)
        windows().markUnloaded(Win::frmCameraControl);
    // The link to the control goes before the control does.
    vosquin_.detach();
    if (Vosquin1Host) Vosquin1Host->clear();
}

void frmCameraControl::buildControls() {
    Vosquin1Host = named(new automation::ControlHost(this), "Vosquin1");

    Frame2 = named(new QGroupBox(this), "Frame2");
    Label5 = named(new QLabel(QStringLiteral("Battery:"), Frame2), "Label5");
    Label5->setGeometry(px(180), px(210), px(645), px(225));
    imgBatteryLevel = named(new QLabel(Frame2), "imgBatteryLevel");
    imgBatteryLevel->setGeometry(px(870), px(270), px(360), px(150));

    optMode[0] = named(new QRadioButton(QStringLiteral("Focus Mode"), this), "optMode0");
    optMode[0]->setToolTip(QStringLiteral("Puts camera into focus mode"));
    optMode[1] = named(new QRadioButton(QStringLiteral("Capture Mode"), this), "optMode1");
    optMode[1]->setToolTip(QStringLiteral("Puts camera into captue mode and opens capture window"));
    chSaveFocus = named(new QCheckBox(QStringLiteral("Save Focus Images"), this), "chSaveFocus");
    chSaveFocus->setToolTip(
        QStringLiteral("Sets Current ISO,Tv and Quality as default for this mode"));
    cbSetDefault =
        named(new QPushButton(QStringLiteral("Save as  default focus mode"), this), "cbSetDefault");
    cbSetDefault->setToolTip(
        QStringLiteral("Makes current camera settings default for the current mode"));

    // The folder-monitor panel goes here; it stays hidden until it is set up.
    FolderMonitor1 = named(new ctlFolderMonitor(this), "FolderMonitor1");
    FolderMonitor1->hide();
    connect(FolderMonitor1, &ctlFolderMonitor::LoadANewImage, this,
            [this](const QString& path) { LoadANewImage(path); });
    cmdMonitorFolder =
        named(new QPushButton(QStringLiteral("Monitor Folder..."), this), "cmdMonitorFolder");
    cmdMonitorFolder->setToolTip(
        QStringLiteral("Shows the panel that watches a folder for frames another program saves"));
    connect(cmdMonitorFolder, &QPushButton::clicked, this, [this] { setupFolderMonitor(); });

    Frame1 = named(new QGroupBox(QStringLiteral("Focus"), this), "Frame1");
    cbRelease = named(new QPushButton(QStringLiteral("Release"), Frame1), "cbRelease");
    cbRelease->setGeometry(px(2445), px(330), px(1155), px(345));
    txtFocusCap2 = named(new QLineEdit(QStringLiteral("Text1"), this), "txtFocusCap2");

    for (int i = 0; i < 2; ++i) {
        optMode[i]->setAutoExclusive(false);  // the window decides which one is on
        connect(optMode[i], &QRadioButton::clicked, this, [this, i] {
            model_.setOptMode(i, true);
            showOption(i, true);
        });
    }
    connect(chSaveFocus, &QCheckBox::clicked, this,
            [this](bool checked) { model_.chSaveFocus_Click(checked); });
    connect(cbRelease, &QPushButton::clicked, this, [this] { model_.cbRelease_Click(); });
    connect(cbSetDefault, &QPushButton::clicked, this, [this] { model_.cbSetDefault_Click(); });
    for (QWidget* w : {static_cast<QWidget*>(optMode[0]), static_cast<QWidget*>(optMode[1]),
                       static_cast<QWidget*>(chSaveFocus), static_cast<QWidget*>(cbSetDefault)}) {
        w->setMouseTracking(true);
        w->installEventFilter(this);
    }
}

void frmCameraControl::loadControl() {
    if (source().factory) {
        Vosquin1Host->setControl(source().factory());
        vosquin_.attach(Vosquin1Host->control());
    } else {
        vosquin_.load(*Vosquin1Host, AppPaths::appDir(), source().libraryFolder);
    }
}

void frmCameraControl::layOut() {
    // The control's dialog lays itself out; the window's own controls go below
    // it, sized for their texts.
    QSize control(px(6075), px(2865));
    if (automation::IControl* c = Vosquin1Host->control()) {
        if (QWidget* w = c->window()) {
            // The control's window may hold its dialog without a layout.
            control = control.expandedTo(w->sizeHint());
            for (QWidget* child : w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (!child->isHidden()) control = control.expandedTo(child->sizeHint());
        }
    }
    constexpr int kGap = 8;
    const QSize o0 = optMode[0]->sizeHint();
    const QSize o1 = optMode[1]->sizeHint();
    const QSize sf = chSaveFocus->sizeHint();
    // Wide enough for either run-time caption.
    QSize sd = cbSetDefault->sizeHint();
    sd.setWidth(std::max(sd.width(), cbSetDefault->fontMetrics().horizontalAdvance(
                                         QStringLiteral("Save as default capture mode")) +
                                         24));
    const int row = o0.width() + o1.width() + sf.width() + sd.width() + 3 * kGap;
    const int inner = std::max({control.width(), row, px(6375)});
    setFixedWidth(inner + 2 * kMargin);

    Vosquin1Host->setGeometry(kMargin, kMargin, inner, control.height());
    int y = kMargin + control.height() + kMargin;

    const QSize label = Label5->sizeHint();
    const int frameHeight = std::max(px(555), label.height() + 16);
    Label5->setGeometry(8, (frameHeight - label.height()) / 2, label.width(), label.height());
    imgBatteryLevel->setGeometry(8 + label.width() + 6, (frameHeight - 10) / 2, 24, 10);
    const int frame2Width = std::max(px(1815), label.width() + 24 + 28);
    Frame2->setGeometry(kMargin, y, frame2Width, frameHeight);
    const QSize mf = cmdMonitorFolder->sizeHint();
    cmdMonitorFolder->setGeometry(kMargin + inner - mf.width(), y + (frameHeight - mf.height()) / 2,
                                  mf.width(), mf.height());
    y += frameHeight + kMargin;

    const int rowHeight = std::max({o0.height(), sf.height(), sd.height()});
    auto place = [&](QWidget* w, int x, const QSize& size) {
        w->setGeometry(x, y + (rowHeight - size.height()) / 2, size.width(), size.height());
    };
    int x = kMargin;
    place(optMode[0], x, o0);
    x += o0.width() + kGap;
    place(optMode[1], x, o1);
    x += o1.width() + kGap;
    place(chSaveFocus, x, sf);
    place(cbSetDefault, kMargin + inner - sd.width(), sd);
    y += rowHeight + kMargin;
    compactHeight_ = y;

    FolderMonitor1->setGeometry(kMargin, y, inner, px(2325));
    y += px(2325) + kMargin;
    panelHeight_ = y;

    // Below what the window shows: the release button's frame and the box
    // that takes the keyboard focus.
    Frame1->setGeometry(kMargin, y, inner, px(885));
    txtFocusCap2->setGeometry(kMargin + px(1920), y + px(540), px(825), px(285));
}

void frmCameraControl::Form_Load() {
    trapAndTrace(QStringLiteral("Form_Load Camera Control"), [&] {
        loadControl();
        if (vosquin_.Connected()) vosquin_.Disconnect();
    });
    trapAndTrace(QStringLiteral("Form_Load Camera Control"), [&] {
        Globals::RestoreFormPosition(this, kDesignCaption);
        setFormHeight(CameraControlModel::kCompactHeight);
        const QString folder = AppPaths::appDir();
        vosquin_.setSavePath(folder);
        vosquin_.setFocusSavePath(folder + u'/');
    });
    windows().markLoaded(Win::frmCameraControl, this);
}

void frmCameraControl::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    // A folder-monitoring run stops first: its Start click may be further down
    // the stack and returns once this window is gone.
    FolderMonitor1->endMonitoring();
    // Leaves the toolbar's Start and Stop as they are without a loop.
    model_.stopContinuousLoop();
    trapAndTrace(QStringLiteral("Form_Unload Camera Control"), [&] {
        model_.saveModeOption();
        Globals::SaveFormPosition(this, kDesignCaption);
    });
    windows().markUnloaded(Win::frmCameraControl);
}

void frmCameraControl::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();  // deleted later: a handler of this window may be on the stack
}

void frmCameraControl::showEvent(QShowEvent* event) {
    // A fixed border with no maximise button.
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) {
        const Qt::WindowFlags fixed = Qt::SubWindow | Qt::WindowTitleHint |
                                      Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                      Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;
        // Changing a frame's flags hides it: only when they differ.
        if (sub->windowFlags() != fixed) sub->setWindowFlags(fixed);
    }
    QWidget::showEvent(event);
}

void frmCameraControl::mouseMoveEvent(QMouseEvent* event) {
    // Only over the window's own background; moves a child ignores arrive here too.
    if (!childAt(event->position().toPoint())) state().bMsgBoxShowing = false;
    QWidget::mouseMoveEvent(event);
}

bool frmCameraControl::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseMove:
            state().bMsgBoxShowing = true;
            break;
        case QEvent::MouseButtonRelease:
            // Key presses go to the hidden box, not to the option or button.
            QMetaObject::invokeMethod(
                this, [this] { txtFocusCap2->setFocus(); }, Qt::QueuedConnection);
            break;
        case QEvent::MouseButtonDblClick:
            for (int i = 0; i < 2; ++i)
                if (watched == optMode[i]) {
                    model_.optMode_DblClick(i);
                    return true;
                }
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

// --- The view ------------------------------------------------------------------

void frmCameraControl::showOption(int index, bool selected) {
    optMode[index != 0]->setChecked(selected);
}

void frmCameraControl::setOptionEnabled(int index, bool enabled) {
    optMode[index != 0]->setEnabled(enabled);
}

void frmCameraControl::setDefaultCaption(const QString& caption) {
    cbSetDefault->setText(caption);
}

void frmCameraControl::setSaveFocusEnabled(bool enabled) {
    chSaveFocus->setEnabled(enabled);
}

void frmCameraControl::setReleaseEnabled(bool enabled) {
    cbRelease->setEnabled(enabled);
}

void frmCameraControl::showBattery(int picture) {
    if (picture >= 1 && picture <= 4) {
        batteryShown_ = picture;
        imgBatteryLevel->setPixmap(batteryPixmap(picture));
    }
    imgBatteryLevel->repaint();
}

void frmCameraControl::setFormHeight(int twips) {
    formHeightTwips_ = twips;
    // The control's dialog grows when a camera connects: lay out again.
    layOut();
    setFixedHeight(twips >= CameraControlModel::kFolderMonitorHeight ? panelHeight_
                                                                     : compactHeight_);
    // A minimised frame keeps its size until it is restored.
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) {
        if (sub->isMinimized()) return;
        sub->adjustSize();
        // Grown for the folder monitor: the panel stays in view.
        WindowPlacement::keepInside(sub);
    }
}

void frmCameraControl::setWindowStateNormal() {
    QWidget* frame = frameOf(this);
    frame->setWindowState(frame->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
}

void frmCameraControl::setBusy(bool busy) {
    if (busy) {
        setCursor(Qt::WaitCursor);
        repaint();
    } else {
        unsetCursor();
    }
}

void frmCameraControl::showFolderMonitor() {
    FolderMonitor1->show();
}

QWidget* frmCameraControl::folderMonitorFrame() const {
    return FolderMonitor1;
}

QString frmCameraControl::RemoteHotKey() const {
    return FolderMonitor1->RemoteHotKey();
}

QString frmCameraControl::MonitorLastUpdate() const {
    return FolderMonitor1->LastUpdate();
}

void frmCameraControl::loadFolderMonSettings() {
    FolderMonitor1->loadFolderMonSettings();
}

void frmCameraControl::EnableMonitorControls() {
    FolderMonitor1->EnableMonitorControls();
}

void frmCameraControl::DisableMonitorControls() {
    FolderMonitor1->DisableMonitorControls();
}

}  // namespace zelmora::camera
