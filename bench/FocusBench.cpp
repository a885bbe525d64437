// The road of one focus frame to its figures.
//
//   BM_FocusFrameToFigures  the frame file loaded by the Image Display window
//                           (decode into its reused buffer, the view, the
//                           100 x 100 crop around the chosen star), handed to
//                           the Focus Analysis window: history entry, star
//                           location, centroid, profiles, the three graphs, a
//                           focus log line and the window's pictures and labels;
//                           offscreen
//   BM_FocusAnalysisStep    the analysis of one crop alone (no window)
//
// Widths 3456, 5184 and 6000 as in FrameBench.cpp, whose frames are made by
// the same recipe (the chosen star is put where the window shows it at the
// start); read FocusFrameToFigures / Decode per width. The history is started
// afresh every 450 frames (an hour of continuous focusing), outside the timing,
// so the trend plot draws what a typical night shows.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <map>
#include <memory>
#include <vector>

#include "display/DisplayWindows.h"
#include "display/ScrollingImage.h"
#include "display/frmImageDisp.h"
#include "focus/FocusAnalysis.h"
#include "focus/FocusWindows.h"
#include "image/FrameLoader.h"
#include "image/cDIBSection.h"
#include "image/synth/StarRenderer.h"
#include "platform/os/Dialogs.h"
#include "platform/os/IniSettingsStore.h"
#include "shell/AppPaths.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"

using namespace zelmora;
using zelmora::focus::FocusAnalysis;

namespace {

constexpr int kHourOfFrames = 450;

struct FocusFrame {
    int width = 0;
    int height = 0;
    QString path;
    int starX = 0;
    int starY = 0;
};

QTemporaryDir& folder() {
    static QTemporaryDir dir;
    return dir;
}

const FocusFrame& focusFrame(int width) {
    static std::map<int, std::unique_ptr<FocusFrame>> frames;
    auto& slot = frames[width];
    if (slot) return *slot;
    auto f = std::make_unique<FocusFrame>();
    f->width = width;
    f->height = width == 3456 ? 2304 : width == 5184 ? 3456 : width == 6000 ? 4000 : width * 2 / 3;
    // Where the Image Display window shows it before any scrolling.
    f->starX = 300;
    f->starY = 250;
    cDIBSection dib;
    dib.Create(f->width, f->height);
    std::vector<synth::Star> stars = synth::randomStars(f->width, f->height, 400, 1.5, 6.0, 11);
    stars.push_back({double(f->starX), double(f->starY), 4.0, 230.0, 1.0, 0.95, 0.85});
    synth::renderStars(dib, stars, {22.0, 4.0, 5, true});
    const QByteArray jpeg = synth::encodeJpeg(dib, 95);
    f->path = folder().filePath(QStringLiteral("focus%1.jpg").arg(width));
    QFile file(f->path);
    if (!file.open(QIODevice::WriteOnly) || file.write(jpeg) != jpeg.size())
        qFatal("cannot write the benchmark frame");
    slot = std::move(f);
    return *slot;
}

// The analysis as the program runs it: its folder, the focus log on.
FocusAnalysis& analysis() {
    static bool ready = [] {
        AppPaths::setAppDir(folder().path());
        QDir().mkpath(AppPaths::dataFiles());
        return true;
    }();
    (void)ready;
    FocusAnalysis& a = FocusAnalysis::instance();
    a.startAfresh();
    a.StartTheFocusLog();
    return a;
}

QImage cropAround(const cDIBSection& frame, int x, int y, cDIBSection& crop) {
    frame.Crop(crop, x - 50, y - 50, 100, 100);
    return crop.toImage();
}

bool analyseCrop(FocusAnalysis& a, const QImage& picture) {
    const int n = a.addPicture(picture, QStringLiteral("21:45:03"));
    a.LocateBrightestPoint(n);
    return a.Update(n) == FocusAnalysis::Outcome::Measured;
}

// No box may come up in a benchmark: count them instead.
class NoDialogs : public platform::DialogBackend {
public:
    int shown = 0;
    int msgBox(const QString&, int, const QString&) override { return ++shown, platform::Msg::Yes; }
    QString inputBox(const QString&, const QString&, const QString&) override {
        return ++shown, QString();
    }
    QString openFile(const platform::FileDialogRequest&) override { return ++shown, QString(); }
    QString saveFile(const platform::FileDialogRequest&) override { return ++shown, QString(); }
    QString browseForFolder(const QString&, const QString&) override { return ++shown, QString(); }
    int chooseItem(const QString&, const QString&, const QStringList&, int) override {
        return ++shown, -1;
    }
};

// The two windows as the program has them, settings in memory, warnings of
// the offscreen platform (raise and lower) dropped.
display::frmImageDisp* imageWindow(std::shared_ptr<NoDialogs>& dialogs) {
    static std::shared_ptr<NoDialogs> boxes;
    static display::frmImageDisp* window = [] {
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        platform::setSettings(std::make_shared<platform::MemorySettingsStore>());
        boxes = std::make_shared<NoDialogs>();
        platform::Dialogs::setBackend(boxes);
        analysis();  // the folders
        display::registerWindows();
        focus::registerWindows();
        return windows().showAs<display::frmImageDisp>(Win::frmImageDisp);
    }();
    dialogs = boxes;
    return window;
}

void BM_FocusFrameToFigures(benchmark::State& state) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        state.SkipWithError("the windows need a QApplication");
        return;
    }
    const FocusFrame& f = focusFrame(static_cast<int>(state.range(0)));
    std::shared_ptr<NoDialogs> dialogs;
    display::frmImageDisp* image = imageWindow(dialogs);
    const QPoint star(f.starX, f.starY);
    image->LoadImage(f.path);
    image->viewer()->Image1_MouseDown(star);  // the star click: a new history
    FocusAnalysis& a = FocusAnalysis::instance();
    bool measured = true;
    for (auto _ : state) {
        if (a.count() == kHourOfFrames) {
            state.PauseTiming();
            image->viewer()->Image1_MouseDown(star);
            state.ResumeTiming();
        }
        image->LoadImage(f.path);
        measured = measured && a.GetCurrentHFWHM().value_or(0.0f) > 0.0f;
    }
    if (!measured || dialogs->shown) state.SkipWithError("the star was not measured");
    state.counters["MP"] = f.width * double(f.height) / 1e6;
}

void BM_FocusAnalysisStep(benchmark::State& state) {
    const FocusFrame& f = focusFrame(5184);
    FocusAnalysis& a = analysis();
    cDIBSection frame;
    loadFrame(f.path, frame);
    cDIBSection crop;
    crop.Create(100, 100);
    const QImage picture = cropAround(frame, f.starX, f.starY, crop);
    bool measured = true;
    for (auto _ : state) {
        if (a.count() == kHourOfFrames) {
            state.PauseTiming();
            a.startAfresh();
            state.ResumeTiming();
        }
        measured = analyseCrop(a, picture) && measured;
        benchmark::ClobberMemory();
    }
    if (!measured) state.SkipWithError("the star was not measured");
    a.StopTheFocusLog();
}

}  // namespace

BENCHMARK(BM_FocusFrameToFigures)
    ->Arg(3456)
    ->Arg(5184)
    ->Arg(6000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_FocusAnalysisStep)->Unit(benchmark::kMicrosecond)->UseRealTime();
