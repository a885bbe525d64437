// The zoom-and-pan picture control on an 8 MP picture (3264 x 2448).
//
//   BM_SuperPicZoomAndPaint  one zoom change and one paint of the 400 x 300
//                            control at the given percent; offscreen. Counters:
//                            picture_MB (the one full-size copy the control
//                            keeps), rss_growth_MB (resident memory above the
//                            process's before the first load, with one control
//                            holding its picture, after a zoomed paint)
//                            and view_px (the virtual width of the zoomed view,
//                            never allocated)

#include <benchmark/benchmark.h>

#include <unistd.h>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QTemporaryDir>

#include "display/SuperPicCtl.h"

using namespace zelmora;

namespace {

double residentMB() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    if (fields.size() < 2) return 0;
    return fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

const QString& picturePath() {
    static QTemporaryDir dir;
    static QString path;
    if (path.isEmpty()) {
        QImage img(3264, 2448, QImage::Format_RGB32);
        for (int y = 0; y < img.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < img.width(); ++x) line[x] = qRgb(x & 255, y & 255, (x ^ y) & 255);
        }
        path = dir.filePath(QStringLiteral("eight.bmp"));
        if (!img.save(path, "BMP")) qFatal("cannot write the benchmark picture");
    }
    return path;
}

void BM_SuperPicZoomAndPaint(benchmark::State& state) {
    const double percent = double(state.range(0));
    const QString& path = picturePath();
    // Measured once, with the file written and its image freed; runs after the
    // first reuse pages that earlier runs freed, so a per-run "before" would read 0.
    static const double before = residentMB();
    display::SuperPicCtl ctl;
    ctl.resize(400, 300);
    ctl.LoadImage(path);
    ctl.New_Zoom(percent);
    ctl.hBar().setValue(ctl.hBar().max() / 3);
    (void)ctl.grab();
    state.counters["rss_growth_MB"] = residentMB() - before;
    state.counters["picture_MB"] = double(ctl.Picture().sizeInBytes()) / (1024.0 * 1024.0);
    state.counters["view_px"] = ctl.picView()->width();
    bool up = true;
    for (auto _ : state) {
        ctl.New_Zoom(up ? percent / 2 : percent);  // a change each time
        up = !up;
        QPixmap shot = ctl.grab();
        benchmark::DoNotOptimize(shot);
    }
}
BENCHMARK(BM_SuperPicZoomAndPaint)->Arg(100)->Arg(400)->Arg(1600)->Unit(benchmark::kMillisecond);

}  // namespace
