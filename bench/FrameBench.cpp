// The road of one camera frame: decode, load into the image buffer, analyse.
//
//   BM_Decode        bare TurboJPEG decode into a reused bottom-up BGR buffer (the reference)
//   BM_LoadFrame     the frame loader from the file into a cDIBSection
//   BM_QImageLoad    QImage loading the same file, for comparison
//   BM_AnalyseFrame  the focus analysis of one frame: 100 x 100 crop, maxpeak,
//                    Centroid, ProcessStar
//
// Each takes the frame width (3456, 5184, 6000; 8, 18 and 24 MP at 3:2). The
// frames are synthetic star fields written as quality-95 JPEGs when first used.
// Read LoadFrame / Decode and AnalyseFrame / Decode per width. On a shared
// machine run with --benchmark_enable_random_interleaving=true and several
// repetitions, and compare medians: the large decodes are bound by memory
// bandwidth and drift with other load by several per cent.

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <map>
#include <memory>
#include <vector>

#include "image/FrameLoader.h"
#include "image/StarData.h"
#include "image/cDIBSection.h"
#include "image/synth/StarRenderer.h"

using namespace zelmora;

namespace {

struct Frame {
    int width = 0;
    int height = 0;
    QByteArray jpeg;
    QString path;
    // The star the user clicked: a bright one at a known place.
    int starX = 0;
    int starY = 0;
};

int heightFor(int width) {
    switch (width) {
        case 3456:
            return 2304;
        case 5184:
            return 3456;
        case 6000:
            return 4000;
        default:
            return width * 2 / 3;
    }
}

QTemporaryDir& folder() {
    static QTemporaryDir dir;
    return dir;
}

const Frame& frame(int width) {
    static std::map<int, std::unique_ptr<Frame>> frames;
    auto& slot = frames[width];
    if (slot) return *slot;
    auto f = std::make_unique<Frame>();
    f->width = width;
    f->height = heightFor(width);
    f->starX = width / 2 + 17;
    f->starY = f->height / 2 - 9;
    cDIBSection dib;
    dib.Create(f->width, f->height);
    std::vector<synth::Star> stars = synth::randomStars(f->width, f->height, 400, 1.5, 6.0, 11);
    stars.push_back({double(f->starX), double(f->starY), 4.0, 230.0, 1.0, 0.95, 0.85});
    synth::renderStars(dib, stars, {22.0, 4.0, 5, true});
    f->jpeg = synth::encodeJpeg(dib, 95);
    f->path = folder().filePath(QStringLiteral("frame%1.jpg").arg(width));
    QFile file(f->path);
    if (!file.open(QIODevice::WriteOnly) || file.write(f->jpeg) != f->jpeg.size())
        qFatal("cannot write the benchmark frame");
    slot = std::move(f);
    return *slot;
}

void describe(benchmark::State& state, const Frame& f) {
    state.counters["MP"] = f.width * double(f.height) / 1e6;
    state.counters["jpeg_MB"] = f.jpeg.size() / 1e6;
}

void BM_Decode(benchmark::State& state) {
    const Frame& f = frame(static_cast<int>(state.range(0)));
    tjhandle handle = tjInitDecompress();
    const int pitch = (f.width * 3 + 3) & ~3;
    std::vector<unsigned char> buffer(static_cast<std::size_t>(pitch) * f.height);
    const auto* data = reinterpret_cast<const unsigned char*>(f.jpeg.constData());
    for (auto _ : state) {
        if (tjDecompress2(handle, data, f.jpeg.size(), buffer.data(), f.width, pitch, f.height,
                          TJPF_BGR, TJFLAG_BOTTOMUP) != 0)
            state.SkipWithError(tjGetErrorStr2(handle));
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    tjDestroy(handle);
    describe(state, f);
}

void BM_LoadFrame(benchmark::State& state) {
    const Frame& f = frame(static_cast<int>(state.range(0)));
    FrameLoader loader;
    cDIBSection dib;
    // The program keeps its frame buffer from frame to frame; so does the
    // reference decode. The first load, which makes the buffer, is not timed.
    loader.load(f.path, dib);
    for (auto _ : state) {
        loader.load(f.path, dib);
        benchmark::DoNotOptimize(dib.DIBSectionBitsPtr());
        benchmark::ClobberMemory();
    }
    describe(state, f);
}

void BM_QImageLoad(benchmark::State& state) {
    const Frame& f = frame(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        QImage image;
        if (!image.load(f.path)) state.SkipWithError("QImage could not load the frame");
        benchmark::DoNotOptimize(image.constBits());
    }
    describe(state, f);
}

void BM_AnalyseFrame(benchmark::State& state) {
    const Frame& f = frame(static_cast<int>(state.range(0)));
    cDIBSection dib;
    loadFrame(f.path, dib);
    cDIBSection crop;
    crop.Create(100, 100);
    cDIBSection star;
    star.Create(64, 64);
    aPoint centroid;
    for (auto _ : state) {
        dib.Crop(crop, f.starX - 50, f.starY - 50, 100, 100);
        const aPoint peak = crop.maxpeak(0);
        centroid =
            crop.Centroid(25, static_cast<int>(peak.X) - 32, static_cast<int>(peak.Y) - 32, 64, 64);
        aPoint dims{32, 32};
        crop.ProcessStar(centroid, dims, star, 0);
        benchmark::DoNotOptimize(RadialValues.data());
    }
    if (centroid.X == 0 && centroid.Y == 0) state.SkipWithError("no centroid");
    describe(state, f);
}

void sizes(benchmark::internal::Benchmark* b) {
    b->Arg(3456)->Arg(5184)->Arg(6000)->Unit(benchmark::kMillisecond)->UseRealTime();
}

}  // namespace

BENCHMARK(BM_Decode)->Apply(sizes);
BENCHMARK(BM_LoadFrame)->Apply(sizes);
BENCHMARK(BM_QImageLoad)->Apply(sizes);
BENCHMARK(BM_AnalyseFrame)->Apply(sizes)->Unit(benchmark::kMicrosecond);
