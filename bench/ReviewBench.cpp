// The capture window's review list:
//   BM_ReviewList  list a folder of 100 camera frames (5184 x 3456 JPEGs) into
//                  thumbnails, from the call to the last item listed
//   BM_Thumbnail   one such thumbnail on one thread
//
// Read against 100 x BM_Decode/5184 (FrameBench.cpp), the full decode of the
// same frame size: the list should take at most a tenth of that. The counters
// give the process's peak resident memory before and after the listing (run
// this benchmark alone, --benchmark_filter=BM_ReviewList, so that the full
// decodes of the other benchmarks do not set the peak).

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <vector>

#include "capture/ReviewTab.h"
#include "capture/ThumbnailPool.h"
#include "image/cDIBSection.h"
#include "image/synth/StarRenderer.h"

using namespace zelmora;

namespace {

constexpr int kFrames = 100;

double peakMB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024.0;  // kilobytes on Linux
}

const QString& reviewFolder() {
    static QTemporaryDir dir;
    static bool made = false;
    if (!made) {
        cDIBSection dib;
        dib.Create(5184, 3456);
        synth::renderStars(dib, synth::randomStars(5184, 3456, 400, 1.5, 6.0, 11),
                           {22.0, 4.0, 5, true});
        const QByteArray jpeg = synth::encodeJpeg(dib, 95);
        for (int i = 0; i < kFrames; ++i) {
            QFile f(dir.filePath(QStringLiteral("IMG_%1.JPG").arg(i, 4, 10, QLatin1Char('0'))));
            if (!f.open(QIODevice::WriteOnly) || f.write(jpeg) != jpeg.size())
                qFatal("cannot write the review frames");
        }
        made = true;
    }
    static const QString path = dir.path();
    return path;
}

void BM_ReviewList(benchmark::State& state) {
    const QString& folder = reviewFolder();
    const double before = peakMB();
    QWidget owner;
    capture::ReviewTab tab(&owner, &owner);
    for (auto _ : state) {
        // Sleep in the event loop until the last thumbnail is in, as the window does.
        QEventLoop loop;
        QObject::connect(&tab, &capture::ReviewTab::buildFinished, &loop, &QEventLoop::quit);
        tab.setupReview(folder);
        if (tab.building()) loop.exec();
        if (tab.flb->count() != kFrames) state.SkipWithError("not every frame was listed");
    }
    state.counters["frames"] = kFrames;
    state.counters["peak_before_MB"] = before;
    state.counters["peak_MB"] = peakMB();
}

// One thumbnail on one thread: the work each worker does per frame.
void BM_Thumbnail(benchmark::State& state) {
    const QString path = reviewFolder() + QStringLiteral("/IMG_0000.JPG");
    for (auto _ : state) {
        capture::Thumbnail t = capture::ThumbnailPool::make(path);
        if (!t.ok()) state.SkipWithError("thumbnail failed");
        benchmark::DoNotOptimize(t.image.constBits());
    }
}

}  // namespace

BENCHMARK(BM_Thumbnail)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReviewList)->Unit(benchmark::kMillisecond)->UseRealTime();
