// A focus frame shown in the focus-frame viewer.
//
//   BM_ShowFocusFrame  the frame file loaded by the viewer (one decode into its
//                      reused buffer, the bar ranges, the 100 x 100 crop), the
//                      view painted (its visible part only, 800 x 600) and the
//                      crop read as the analysis reads it; offscreen. The
//                      scroll bars are not painted: how they look does not
//                      depend on the frame, and the style's drawing of them
//                      would be measured, not the viewer
//
// Widths 3456, 5184 and 6000 as in FrameBench.cpp, whose frames are made by
// the same recipe; read ShowFocusFrame / Decode per width.

#include <benchmark/benchmark.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <map>
#include <memory>
#include <vector>

#include "display/ScrollingImage.h"
#include "image/cDIBSection.h"
#include "image/synth/StarRenderer.h"

using namespace zelmora;

namespace {

QTemporaryDir& folder() {
    static QTemporaryDir dir;
    return dir;
}

const QString& framePath(int width) {
    static std::map<int, QString> paths;
    QString& path = paths[width];
    if (!path.isEmpty()) return path;
    const int height = width == 3456   ? 2304
                       : width == 5184 ? 3456
                       : width == 6000 ? 4000
                                       : width * 2 / 3;
    cDIBSection dib;
    dib.Create(width, height);
    std::vector<synth::Star> stars = synth::randomStars(width, height, 400, 1.5, 6.0, 11);
    stars.push_back({double(width / 2 + 17), double(height / 2 - 9), 4.0, 230.0, 1.0, 0.95, 0.85});
    synth::renderStars(dib, stars, {22.0, 4.0, 5, true});
    const QByteArray jpeg = synth::encodeJpeg(dib, 95);
    path = folder().filePath(QStringLiteral("display%1.jpg").arg(width));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(jpeg) != jpeg.size())
        qFatal("cannot write the benchmark frame");
    return path;
}

void BM_ShowFocusFrame(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const QString& path = framePath(width);
    display::ScrollingImage viewer;
    viewer.resize(800, 600);
    QImage screen(viewer.size(), QImage::Format_RGB32);
    // The viewer keeps its frame buffer from frame to frame, as the reference
    // decode keeps its own; the first load, which makes it, is not timed.
    if (!viewer.SetImage(path)) state.SkipWithError("the frame did not load");
    viewer.centreImage();
    for (auto _ : state) {
        viewer.SetImage(path);
        viewer.centreImage();
        viewer.render(&screen, QPoint(), QRegion(), QWidget::DrawWindowBackground);
        const QImage crop = viewer.GetImage();
        benchmark::DoNotOptimize(crop.constBits());
        benchmark::DoNotOptimize(screen.constBits());
    }
    state.counters["MP"] = width * double(viewer.frame().Height()) / 1e6;
}

}  // namespace

BENCHMARK(BM_ShowFocusFrame)
    ->Arg(3456)
    ->Arg(5184)
    ->Arg(6000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
