#include "display/frmImage1.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include "display/AAImageView.h"
#include "display/FrameImagePolicy.h"
#include "display/HistogramModel.h"
#include "display/PictureFile.h"
#include "platform/os/Dialogs.h"
#include "platform/time/Clock.h"
#include "shell/AppPaths.h"
#include "shell/Conv.h"
#include "shell/Errors.h"
#include "shell/Globals.h"
#include "shell/MainWindow.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"
#include "vosquin/VosquinHost.h"

namespace zelmora::display {

namespace {

ICameraControlWindow* cameraWindow() {
    return windows().ifLoadedAs<ICameraControlWindow>(Win::frmCameraControl);
}

bool controlConnected(ICameraControlWindow& cam) {
    if (vosquin::VosquinHost* v = cam.Vosquin1()) return v->Connected();
    return cam.ControlConnected();
}

struct WaitPointer {
    WaitPointer() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitPointer() { QApplication::restoreOverrideCursor(); }
};

}  // namespace

frmImage1::frmImage1(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmImage1"));
    setWindowTitle(kDesignCaption);
    setAttribute(Qt::WA_DeleteOnClose);

    AAImageView1 = new AAImageView(this);
    AAImageView1->setObjectName(QStringLiteral("AAImageView1"));
    const auto button = [this](const char* name, const QString& text, const QString& tip) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setToolTip(tip);
        return b;
    };
    lblZoom = new QLabel(QStringLiteral("Zoom:"), this);
    cmdIn = button("cmdIn", QStringLiteral("+"), QStringLiteral("Zoom In"));
    cmdOut = button("cmdOut", QStringLiteral("-"), QStringLiteral("Zoom Out"));
    chXhair = new QCheckBox(QStringLiteral("x-hair"), this);
    chXhair->setObjectName(QStringLiteral("chXhair"));
    cbOpen = button("cbOpen", QStringLiteral("Open..."),
                    QStringLiteral("Open any JPG image on your computer"));
    cbShowHist = button("cbShowHist", QStringLiteral("Show Histogram"),
                        QStringLiteral("Shows a Histogram of the currently opened image"));

    connect(cmdIn, &QPushButton::clicked, this, [this] { cmdIn_Click(); });
    connect(cmdOut, &QPushButton::clicked, this, [this] { cmdOut_Click(); });
    connect(chXhair, &QCheckBox::toggled, this, [this] { chXhair_Click(); });
    connect(cbOpen, &QPushButton::clicked, this, [this] { cbOpen_Click(); });
    connect(cbShowHist, &QPushButton::clicked, this, [this] { cbShowHist_Click(); });
    // The viewer's double click means nothing here.

    Globals::RestoreFormPosition(this, kDesignCaption);
    windows().markLoaded(Win::frmImage1, this);
    state().bFrameImageOpen = true;
    step_ = 3;
    resize(Conv::twipsToPixels(10725), Conv::twipsToPixels(8865));
    LoadImage({});
}

frmImage1::~frmImage1() {
    if (!unloaded_) {
        state().bFrameImageOpen = false;
        if (windows().ifLoaded(Win::frmImage1) == this) windows().markUnloaded(Win::frmImage1);
    }
}

void frmImage1::DoZoom() {
    trapAndTrace(QStringLiteral("frameerror Error DoZoom"), [&] {
        const frameimage::Zoom z = frameimage::zoomFor(step_);
        AAImageView1->setScalePercent(z.scalePercent);
        setWindowTitle(z.caption);
    });
}

void frmImage1::cmdIn_Click() {
    step_ = frameimage::zoomIn(step_);
    DoZoom();
}

void frmImage1::cmdOut_Click() {
    step_ = frameimage::zoomOut(step_);
    DoZoom();
}

void frmImage1::chXhair_Click() {
    if (chXhair->isChecked())
        AAImageView1->xhairon();
    else
        AAImageView1->xhairoff();
}

void frmImage1::clearimage() {
    AAImageView1->setPicture({});
}

void frmImage1::UpdateImage() {
    LoadImage({});
}

void frmImage1::LoadImage(const QString& fileName) {
    trapAndTrace(QStringLiteral("frameerror Error LoadImage"), [&] {
        frameimage::LoaderInputs in;
        if (ICameraControlWindow* cam = cameraWindow()) {
            in.cameraWindowLoaded = true;
            // Monitoring another program's folder counts as monitor mode.
            in.monitorMode = state().bMonitorMode || state().bFolderMonitoring;
            if (in.monitorMode) {
                in.monitorLastUpdate = cam->MonitorLastUpdate();
            } else {
                in.connected = controlConnected(*cam);
                if (in.connected) in.downloaded = cam->sFileDownloaded();
            }
        }
        const QString path = frameimage::fileToLoad(fileName, in);
        if (!path.isEmpty()) AAImageView1->setPicture(loadPicture(path));
    });
    DoZoom();
    AAImageView1->checkXhair();
    CheckHistStatus();
}

void frmImage1::CheckHistStatus() {
    trapAndTrace(QStringLiteral("frameerror Error CheckHistStatus"), [&] {
        const bool loaded = AAImageView1->PictureLoaded();
        cbShowHist->setEnabled(loaded);
        if (IMainWindow* m = mainWindow())
            if (QAction* item = m->menuItem(QStringLiteral("mnuShowHist")))
                item->setEnabled(loaded);
    });
}

void frmImage1::cbOpen_Click() {
    trapAndTrace(QStringLiteral("frameerror Error cbOpen_Click"), [&] {
        platform::FileDialogRequest r;
        r.filter = frameimage::openFilter();
        r.initialDir = Settings::get(QStringLiteral("Options"), QStringLiteral("SaveImageDir"),
                                     AppPaths::appDir());
        // The chooser and the camera window's start let events run: this
        // window may be closed meanwhile.
        const QPointer<frmImage1> self(this);
        QString name = platform::Dialogs::openFile(r);
        if (!self) return;
        if (frameimage::isRawFile(name)) {
            windows().show(Win::frmCameraControl);
            platform::passEvents();
            if (!self) return;
            // Looked up again: the camera window may have gone meanwhile too.
            auto* cam = windows().ifLoadedAs<ICameraControlWindow>(Win::frmCameraControl);
            QString developed;
            if (cam) {
                if (vosquin::VosquinHost* v = cam->Vosquin1())
                    developed = v->DevlopRaw(name);
                else
                    developed = cam->DevlopRaw(name);
            }
            name = developed;
            if (!self) return;
        }
        if (!name.isEmpty()) LoadImage(name);
    });
}

void frmImage1::cbShowHist_Click() {
    trapAndTrace(QStringLiteral("frameerror Error cbShowHist_Click"), [&] {
        WaitPointer busy;
        ModHist::PictureBits() = ModHist::GetPictureBits(AAImageView1->Picture());
        // An open histogram keeps its curve until a view is chosen again.
        windows().show(Win::frmHistogram);
    });
}

void frmImage1::showHistogram() {
    cbShowHist_Click();
}

// The designed size is the frame's, so it waits until the main window has
// given this window its frame.
void frmImage1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (placed_) return;
    placed_ = true;
    frameOf(this)->resize(Conv::twipsToPixels(10725), Conv::twipsToPixels(8865));
}

void frmImage1::resizeEvent(QResizeEvent*) {
    chXhair->setChecked(false);
    const int w = width(), h = height();
    if (w == 0 || h == 0) return;
    AAImageView1->setGeometry(0, 0, std::max(w - Conv::twipsToPixels(50), 0),
                              std::max(h - Conv::twipsToPixels(400), 0));
    const int y = AAImageView1->height() + 2;
    lblZoom->setGeometry(4, y, 40, 22);
    cmdOut->setGeometry(44, y, 24, 22);
    cmdIn->setGeometry(70, y, 24, 22);
    chXhair->setGeometry(104, y, 70, 22);
    cbOpen->setGeometry(180, y, 80, 22);
    cbShowHist->setGeometry(266, y, 120, 22);
}

void frmImage1::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void frmImage1::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    state().bFrameImageOpen = false;
    clearimage();
    setWindowTitle(kDesignCaption);
    Globals::SaveFormPosition(this, kDesignCaption);
    windows().markUnloaded(Win::frmImage1);
}

}  // namespace zelmora::display
