// The road of one focus frame to its figures.
//
//   BM_FocusFrameToFigures  the frame file loaded into the frame buffer, the
//                           100 x 100 crop around the chosen star cut out as
//                           the focus-frame window hands it over, and the
//                           analysis: history entry, star location, centroid,
//                           profiles, the three graphs and a focus log line
//   BM_FocusAnalysisStep    the analysis of one crop alone
//
// Widths 3456, 5184 and 6000 as in FrameBench.cpp, whose frames are made by
// the same recipe; read FocusFrameToFigures / Decode per width. The history is
// started afresh every 450 frames (an hour of continuous focusing), outside
// the timing, so the trend plot draws what a typical night shows.

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <map>
#include <memory>
#include <vector>

#include "focus/FocusAnalysis.h"
#include "image/FrameLoader.h"
#include "image/cDIBSection.h"
#include "image/synth/StarRenderer.h"
#include "shell/AppPaths.h"

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
    f->starX = width / 2 + 17;
    f->starY = f->height / 2 - 9;
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

void BM_FocusFrameToFigures(benchmark::State& state) {
    const FocusFrame& f = focusFrame(static_cast<int>(state.range(0)));
    FocusAnalysis& a = analysis();
    FrameLoader loader;
    cDIBSection frame;
    cDIBSection crop;
    crop.Create(100, 100);
    loader.load(f.path, frame);  // the frame buffer is kept from frame to frame
    bool measured = true;
    for (auto _ : state) {
        if (a.count() == kHourOfFrames) {
            state.PauseTiming();
            a.startAfresh();
            state.ResumeTiming();
        }
        loader.load(f.path, frame);
        measured = analyseCrop(a, cropAround(frame, f.starX, f.starY, crop)) && measured;
        benchmark::ClobberMemory();
    }
    if (!measured) state.SkipWithError("the star was not measured");
    a.StopTheFocusLog();
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
