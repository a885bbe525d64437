#include "mainwindow/MDIMain.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStatusBar>
#include <QToolBar>

#include "camera/clsCamera.h"
#include "mainwindow/ToolbarIcons.h"
#include "shell/Conv.h"
#include "shell/Errors.h"
#include "shell/KeyboardHook.h"
#include "shell/Neighbours.h"
#include "shell/ProgramState.h"
#include "shell/Shell.h"
#include "shell/WindowRegistry.h"

namespace zelmora {

namespace {

struct ButtonDef {
    const char* key;  // nullptr = separator
    const char* tooltip;
};

const ButtonDef kButtons[ToolbarModel::kButtons] = {
    {"Zoom", "Zoom"},
    {nullptr, nullptr},
    {"Focus", "Focus Analyse"},
    {nullptr, nullptr},
    {"Top Left", "Top Left"},
    {"Top Right", "Top right"},
    {"Centre Left", "Centre Left"},
    {"Centre", "Centre"},
    {"Centre Right", "Centre Right"},
    {"Bottom Left", "Bottom Left"},
    {"Bottom Right", "Bottom Right"},
    {nullptr, nullptr},
    {"Start", "Start Continuous Focus Capture"},
    {"Pause", "Pause Focus Capture"},
    {"Stop", "Stop Continuous Focus Capture"},
    {"lbplaceholder", ""},
    {"Connect", "Connect to Camera"},
    {nullptr, nullptr},
    {"Shutter Release", "Shutter Release"},
    {nullptr, nullptr},
    {"Timer", "Image Capture Control"},
    {"Frame", "Frame Image"},
};

QAction* addItem(QMenu* menu, const QString& text, const char* name, bool checkable = false) {
    QAction* a = menu->addAction(text);
    if (name) a->setObjectName(QString::fromLatin1(name));
    a->setCheckable(checkable);
    return a;
}

}  // namespace

QString MDIMain::versionText() {
    return Shell::versionText();
}

MDIMain::MDIMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("MDIMain"));
    NightVision::useNightStyle();
    mdiArea_ = new QMdiArea(this);
    mdiArea_->setObjectName(QStringLiteral("mdiArea"));
    setCentralWidget(mdiArea_);
    // A window that closes hands the focus back to the one the user came from.
    mdiArea_->setActivationOrder(QMdiArea::ActivationHistoryOrder);
    nightVision_ = NightVision(mdiArea_);
    buildMenus();
    buildToolbar();
    buildStatusBar();
    resize(1024, 768);

    // Test buttons, shown only in simulation mode (which nothing switches on).
    const char* captions[3] = {"", "&Do", "?"};
    for (int i = 0; i < 3; ++i) {
        auto* b = new QPushButton(QString::fromLatin1(captions[i]), this);
        b->setObjectName(QStringLiteral("Command%1").arg(i + 1));
        b->setVisible(false);
        testButtons_[static_cast<size_t>(i)] = b;
    }
    connect(testButtons_[0], &QPushButton::clicked, this,
            [] { windows().show(Win::frmImageDisp); });
    connect(testButtons_[1], &QPushButton::clicked, this, [] {
        if (auto* disp = windows().ifLoadedAs<IImageDispWindow>(Win::frmImageDisp))
            guarded([&] { disp->ProcessSpaceBar(); });
    });

    // Child windows shown through the registry open inside this window.
    windows().setChildPlacer([this](QWidget* w) -> QWidget* { return mdiArea_->addSubWindow(w); });
    connectCommands();
    registerOwnWindows();
    setMainWindow(this);
    Globals::setShutterButtonQuery([this] { return buttons_[19]->isEnabled(); });
}

MDIMain::~MDIMain() {
    Globals::setShutterButtonQuery(nullptr);
    if (mainWindow() == this) setMainWindow(nullptr);
    windows().setChildPlacer(nullptr);
}

void MDIMain::buildMenus() {
    QMenuBar* bar = menuBar();
    QMenu* app = bar->addMenu(QStringLiteral("&Application"));
    addItem(app, QStringLiteral("Connect to Camera"), "mnuConnect");
    addItem(app, QStringLiteral("Night Vision"), "mnuNightVision", true);
    addItem(app, QStringLiteral("Choose Font Color..."), "mnuColorPicker");
    app->addSeparator();
    QAction* exit = addItem(app, QStringLiteral("E&xit"), "mnuExit");
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu* cam = bar->addMenu(QStringLiteral("&CameraControl"));
    cam->setObjectName(QStringLiteral("mnuTimer"));
    addItem(cam, QStringLiteral("Image Capture..."), "mnuControl");
    QMenu* bulb = cam->addMenu(QStringLiteral("Bulb Exposure Setup"));
    bulb->setObjectName(QStringLiteral("mnuBulb"));
    addItem(bulb, QStringLiteral("Port Setup..."), "mnuPortSetup");
    addItem(bulb, QStringLiteral("Initialise Port on Startup"), "mnuInitPort", true);
    addItem(cam, QStringLiteral("Don't Monitor Battery"), "mnuBatMon", true);
    cam->addSeparator();
    addItem(cam, QStringLiteral("Alarm Wav File..."), "mnuWavFile");
    addItem(cam, QStringLiteral("Mute All Sound"), "mnuMute", true);

    QMenu* image = bar->addMenu(QStringLiteral("&Image"));
    positionMenu_ = image->addMenu(QStringLiteral("Postion"));
    positionMenu_->setObjectName(QStringLiteral("mnuPosition"));
    int i = 0;
    for (const char* p : {"Top Left", "Top Centre", "Top Right", "Centre Left", "Centre",
                          "Centre Right", "Bottom Left", "Bottom Centre", "Bottom Right"}) {
        QAction* a = positionMenu_->addAction(QString::fromLatin1(p));
        a->setObjectName(QStringLiteral("mnuPos%1").arg(i++));
        a->setCheckable(true);
    }
    addItem(image, QStringLiteral("Frame Image"), "mnuFrameImage");
    addItem(image, QStringLiteral("Image Histogram"), "mnuShowHist");
    QMenu* xhair = image->addMenu(QStringLiteral("Cross Hair Type"));
    xhair->setObjectName(QStringLiteral("mnuXhairType"));
    addItem(xhair, QStringLiteral("Cross Hair"), "mnuXhair", true);
    addItem(xhair, QStringLiteral("Bulls Eye"), "mnuBullsEye", true);

    QMenu* tel = bar->addMenu(QStringLiteral("T&elescope"));
    addItem(tel, QStringLiteral("Setup..."), "mnuTelSetup");
    QMenu* link = tel->addMenu(QStringLiteral("Link"));
    link->setObjectName(QStringLiteral("mnuTelLink"));
    addItem(link, QStringLiteral("Establish"), "mnuLinkEst");
    addItem(link, QStringLiteral("Terminate"), "mnuLinkTerminate");
    addItem(tel, QStringLiteral("Motion Controls"), "mnuTelMotion");
    tel->addSeparator();
    addItem(tel, QStringLiteral("Set New Catalogue..."), "mnuSetNewCatalogue");
    addItem(tel, QStringLiteral("Load Catalogue"), "mnuCatalogue");
    addItem(tel, QStringLiteral("Customise Catalogue..."), "mnuCustCat");
    menuItem(QStringLiteral("mnuTelMotion"))->setEnabled(false);
    menuItem(QStringLiteral("mnuCatalogue"))->setEnabled(false);

    QMenu* focuser = bar->addMenu(QStringLiteral("&Focuser"));
    addItem(focuser, QStringLiteral("Control..."), "mnuFocusControl");

    QMenu* tools = bar->addMenu(QStringLiteral("T&ools"));
    addItem(tools, QStringLiteral("Exposure Calculator..."), "mnuExpCalc");
    addItem(tools, QStringLiteral("Moon Phases..."), "mnuMoonPhase");

    QMenu* win = bar->addMenu(QStringLiteral("&Window"));
    addItem(win, QStringLiteral("Tile Horizontally"), "mnuTileH");
    addItem(win, QStringLiteral("Tile Vertically"), "mnuTileV");
    addItem(win, QStringLiteral("Cascade"), "mnuCascade");
    addItem(win, QStringLiteral("Reset Window Positions"), "mnuReset");

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    addItem(help, QStringLiteral("Help"), "mnuHelp");
    addItem(help, QStringLiteral("About"), "mnuAbout");
}

void MDIMain::buildToolbar() {
    toolbar1_ = addToolBar(QStringLiteral("Toolbar1"));
    toolbar1_->setObjectName(QStringLiteral("Toolbar1"));
    toolbar1_->setMovable(false);
    toolbar1_->setToolButtonStyle(Qt::ToolButtonIconOnly);  // the tooltips name the buttons
    for (int i = 1; i <= ToolbarModel::kButtons; ++i) {
        const ButtonDef& d = kButtons[i - 1];
        QAction* a = nullptr;
        if (!d.key) {
            a = toolbar1_->addSeparator();
        } else if (i == 16) {
            // The placeholder holds the interval box, 70 twips in and 50 down.
            auto* holder = new QWidget(toolbar1_);
            lbInterval_ = new QLineEdit(holder);
            lbInterval_->setObjectName(QStringLiteral("lbInterval"));
            lbInterval_->setToolTip(QStringLiteral("Seconds delay between images"));
            lbInterval_->setFixedWidth(40);
            lbInterval_->move(Conv::twipsToPixels(70), Conv::twipsToPixels(50));
            holder->setFixedSize(lbInterval_->width() + 2 * Conv::twipsToPixels(70),
                                 lbInterval_->sizeHint().height() + 2 * Conv::twipsToPixels(50));
            a = toolbar1_->addWidget(holder);
        } else {
            a = toolbar1_->addAction(QString::fromLatin1(d.key));
            a->setToolTip(QString::fromLatin1(d.tooltip));
            setButtonImage(a, toolbarImageFor(a->text()));
        }
        a->setObjectName(d.key ? QString::fromLatin1(d.key) : QStringLiteral("separator%1").arg(i));
        a->setData(i);
        buttons_[static_cast<size_t>(i)] = a;
    }
    toolbar1_->addSeparator();
    zoomSlider_ = new QSlider(Qt::Horizontal, toolbar1_);
    zoomSlider_->setObjectName(QStringLiteral("ZoomSlider"));
    zoomSlider_->setToolTip(QStringLiteral("Zoom Scale"));
    zoomSlider_->setRange(1, 9);
    zoomSlider_->setValue(3);
    zoomSlider_->setFixedWidth(100);
    toolbar1_->addWidget(zoomSlider_);
    connect(zoomSlider_, &QSlider::valueChanged, this, &MDIMain::ZoomSlider_Change);

    auto* channels = new QWidget(toolbar1_);
    auto* layout = new QHBoxLayout(channels);
    layout->setContentsMargins(4, 0, 4, 0);
    struct Opt {
        const char* caption;
        const char* tooltip;
        int channel;
    };
    const Opt opts[4] = {{"R", "Shows Focus Metrics for Red Channel Data Only", 1},
                         {"G", "Shows Focus Metrics for Green Channel Data Only", 2},
                         {"B", "Shows Focus Metrics for Blue Channel Data Only", 3},
                         {"RGB", "Shows Focus Metrics for RGB Channels", 0}};
    for (int i = 0; i < 4; ++i) {
        auto* rb = new QRadioButton(QString::fromLatin1(opts[i].caption), channels);
        rb->setObjectName(QStringLiteral("OptRGB%1").arg(i));
        rb->setToolTip(QString::fromLatin1(opts[i].tooltip));
        const int channel = opts[i].channel;
        connect(rb, &QRadioButton::clicked, this, [channel] { state().lMeasureChannel = channel; });
        layout->addWidget(rb);
        optRGB_[static_cast<size_t>(i)] = rb;
    }
    optRGB_[3]->setChecked(true);
    toolbar1_->addWidget(channels);
}

void MDIMain::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    for (int i = 1; i <= kStatusPanels; ++i) {
        auto* label = new QLabel(bar);
        label->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        label->setMinimumWidth(i == 1 ? 240 : 120);
        bar->addWidget(label, i == 1 ? 1 : 0);
        panels_[static_cast<size_t>(i)] = label;
    }
}

QLabel* MDIMain::statusPanel(int index) const {
    return index >= 1 && index <= kStatusPanels ? panels_[static_cast<size_t>(index)] : nullptr;
}

QAction* MDIMain::button(int index) const {
    return index >= 1 && index <= ToolbarModel::kButtons ? buttons_[static_cast<size_t>(index)]
                                                         : nullptr;
}

QAction* MDIMain::menuItem(const QString& objectName) const {
    return menuBar()->findChild<QAction*>(objectName);
}

void MDIMain::ToolbarEnable(const QString& mode) {
    // Other windows switch buttons by index directly (13, 15, 19, 21). Start
    // from what the toolbar shows now, so that a mode changes only its own row.
    ToolbarModel& m = toolbarModel_;
    for (int i = 1; i <= ToolbarModel::kButtons; ++i)
        m.enabled[static_cast<size_t>(i)] = buttons_[static_cast<size_t>(i)]->isEnabled();
    m.positionMenuEnabled = !positionMenu_->testAttribute(Qt::WA_ForceDisabled);
    m.connectMenuEnabled = menuItem(QStringLiteral("mnuConnect"))->isEnabled();
    m.intervalEnabled = !lbInterval_->testAttribute(Qt::WA_ForceDisabled);
    if (m.apply(mode)) syncToolbar();
}

void MDIMain::syncToolbar() {
    const ToolbarModel& m = toolbarModel_;
    for (int i = 1; i <= ToolbarModel::kButtons; ++i)
        buttons_[static_cast<size_t>(i)]->setEnabled(m.enabled[static_cast<size_t>(i)]);
    setButtonImage(buttons_[3], m.focusImage);
    setButtonImage(buttons_[17], m.connectImage);
    buttons_[17]->setToolTip(m.connectTooltip);
    positionMenu_->setEnabled(m.positionMenuEnabled);
    QAction* connectItem = menuItem(QStringLiteral("mnuConnect"));
    connectItem->setEnabled(m.connectMenuEnabled);
    connectItem->setText(m.connectMenuCaption);
    lbInterval_->setEnabled(m.intervalEnabled);
}

void MDIMain::SetNightVision() {
    nightVision_.SetNightVision();
    redrawToolbarIcons();
}

void MDIMain::RestoreOriginalColors() {
    nightVision_.RestoreOriginalColors();
    redrawToolbarIcons();
}

void MDIMain::redrawToolbarIcons() {
    for (QAction* a : buttons_)
        if (a && a->property("image").toInt() > 0) setButtonImage(a, a->property("image").toInt());
}

void MDIMain::connectCameraEvents() {
    if (!loCamera) return;
    connect(loCamera.get(), &clsCamera::Busy, this, [this] { setCursor(Qt::WaitCursor); });
    connect(loCamera.get(), &clsCamera::Idle, this, [this] { unsetCursor(); });
    connect(loCamera.get(), &clsCamera::StatusInfoUpdate, this,
            [this](const QString& text) { panels_[1]->setText(text); });
}

}  // namespace zelmora
