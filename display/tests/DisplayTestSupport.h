#pragma once

#include <QCloseEvent>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStringList>
#include <array>
#include <memory>
#include <vector>

#include "display/DisplayWindows.h"
#include "image/FrameLoader.h"
#include "image/cDIBSection.h"
#include "image/synth/StarRenderer.h"
#include "platform/os/PointerScreen.h"
#include "platform/os/RemoteAppControl.h"
#include "shell/AppPaths.h"
#include "shell/MainWindow.h"
#include "shell/Neighbours.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"
#include "testing/TestEnv.h"

// Fakes and frames shared by the display window tests.
namespace zelmora::display::testing {

// The main window as the display windows see it: an MDI area, six status
// panels, the toolbar states asked for and the zoom factor.
class FakeMain : public QMainWindow, public IMainWindow {
public:
    FakeMain() {
        area = new QMdiArea(this);
        setCentralWidget(area);
        for (auto& p : panels) p = new QLabel(this);
        resize(1200, 800);
        windows().setChildPlacer([this](QWidget* w) -> QWidget* { return area->addSubWindow(w); });
        setMainWindow(this);
    }
    ~FakeMain() override { setMainWindow(nullptr); }
    void ToolbarEnable(const QString& mode) override { toolbar << mode; }
    QAction* button(int) const override { return nullptr; }
    QLabel* statusPanel(int i) const override {
        return i >= 1 && i <= 6 ? panels[static_cast<size_t>(i - 1)] : nullptr;
    }
    QLineEdit* lbInterval() const override { return nullptr; }
    int zoomFactor() const override { return factor; }

    QMdiArea* area = nullptr;
    std::array<QLabel*, 6> panels{};
    QStringList toolbar;
    int factor = 3;
};

// What the analysis window was asked to do, in order, with the crop it read.
struct AnalysisRecord {
    QStringList events;
    std::vector<QImage> crops;
};
inline AnalysisRecord*& analysisRecord() {
    static AnalysisRecord* r = nullptr;
    return r;
}

class FakeAnalysis : public QWidget, public IAnalysisWindow {
public:
    FakeAnalysis() {
        setAttribute(Qt::WA_DeleteOnClose);
        windows().markLoaded(Win::frmAnalyze, this);
        analysisRecord()->events << QStringLiteral("load");
    }
    void updateHistory() override {
        analysisRecord()->events << QStringLiteral("updateHistory");
        auto* disp = windows().ifLoadedAs<IImageDispWindow>(Win::frmImageDisp);
        analysisRecord()->crops.push_back(disp->ImageDisp()->GetImage());
    }
    void ChangeColors() override {}

protected:
    void closeEvent(QCloseEvent* e) override {
        analysisRecord()->events << QStringLiteral("close");
        windows().markUnloaded(Win::frmAnalyze);
        state().bNewStar = false;
        e->accept();
    }
};

class FakeCamera : public QWidget, public ICameraControlWindow {
public:
    ReleaseOutcome release(FrameKind) override {
        ++releases;
        return ReleaseOutcome::ok();
    }
    void StartContinousDownload() override {}
    QString RemoteHotKey() const override { return hotKey; }
    int releases = 0;
    QString hotKey;
};

// A star field written as a JPEG into the test's application folder.
inline QString writeFrame(const QString& name, int w, int h,
                          const std::vector<synth::Star>& stars) {
    cDIBSection dib;
    dib.Create(w, h);
    synth::renderStars(dib, stars, {20.0, 3.0, 7, false});
    const QByteArray jpeg = synth::encodeJpeg(dib, 92);
    const QString path = AppPaths::join(testenv::appDir(), name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return {};
    f.write(jpeg);
    return path;
}

// The frame as the image core decodes it, for comparing crops.
inline QRgb framePixel(const cDIBSection& dib, int x, int y) {
    const std::uint8_t* row =
        dib.DIBSectionBitsPtr() + qsizetype(dib.Height() - 1 - y) * dib.BytesPerScanLine();
    return qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
}

// The expected crop: the frame's block at (x0, y0), black where the block
// leaves the frame.
inline QImage expectedCrop(const QString& path, int x0, int y0) {
    cDIBSection dib;
    loadFrame(path, dib);
    QImage crop(100, 100, QImage::Format_RGB32);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) {
            const int fx = x0 + x, fy = y0 + y;
            const bool inside = fx >= 0 && fy >= 0 && fx < dib.Width() && fy < dib.Height();
            crop.setPixel(x, y, inside ? framePixel(dib, fx, fy) : qRgb(0, 0, 0));
        }
    return crop;
}

}  // namespace zelmora::display::testing
