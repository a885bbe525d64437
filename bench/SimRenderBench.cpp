// What one simulated camera frame costs at full size (3504 x 2336, the 20D's
// Large picture).
//
//   BM_EncodeRgbReference  TurboJPEG encoding a full-size RGB frame at quality 90
//                          (the reference: any camera stand-in pays at least this)
//   BM_RenderFrame         the star field: background, noise, stars (arg 1: focuser
//                          steps from best focus; 0 sharp, 600 badly blurred)
//   BM_EncodeJpeg          the simulator's JPEG of a rendered frame, quality 90
//   BM_RenderAndEncode     both: what a release costs before the download
//   BM_EncodeDng           the RAW frame (DNG) of a rendered frame
//   BM_CaptureAndDownload  the whole road through the library: RCCapture, events on
//                          the library's thread, RCTakeCapturedImage into memory
//
// Read each against BM_EncodeRgbReference of the same run.

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <cstring>
#include <vector>

#include "platform/rcsdk/RemoteCapture.h"
#include "platform/rcsdk/SimCamera.h"
#include "platform/sim/FrameEncoding.h"
#include "platform/sim/SimSky.h"

using namespace zelmora;

namespace {

constexpr int kWidth = 3504;
constexpr int kHeight = 2336;

sim::RenderRequest fullSize() {
    sim::RenderRequest r;
    r.width = kWidth;
    r.height = kHeight;
    r.exposureSec = 1;
    r.gain = 4;
    return r;
}

sim::SkySnapshot sky(int defocusSteps) {
    auto& s = sim::SimSky::instance();
    s.reset();
    s.setFocuserPosition(s.bestFocus() + defocusSteps);
    return s.snapshot();
}

const sim::Frame& renderedFrame() {
    static const sim::Frame f = sim::renderFrame(sky(0), fullSize());
    return f;
}

void BM_EncodeRgbReference(benchmark::State& state) {
    const sim::Frame& f = renderedFrame();
    std::vector<unsigned char> rgb(std::size_t(kWidth) * kHeight * 3);
    for (std::size_t i = 0; i < f.pixels.size(); ++i)
        rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = static_cast<unsigned char>(f.pixels[i] >> 8);
    tjhandle h = tjInitCompress();
    for (auto _ : state) {
        unsigned char* out = nullptr;
        unsigned long size = 0;
        tjCompress2(h, rgb.data(), kWidth, 0, kHeight, TJPF_RGB, &out, &size, TJSAMP_420, 90,
                    TJFLAG_FASTDCT);
        benchmark::DoNotOptimize(size);
        tjFree(out);
    }
    tjDestroy(h);
}
BENCHMARK(BM_EncodeRgbReference)->Unit(benchmark::kMillisecond);

void BM_RenderFrame(benchmark::State& state) {
    const sim::SkySnapshot s = sky(int(state.range(0)));
    for (auto _ : state) {
        sim::Frame f = sim::renderFrame(s, fullSize());
        benchmark::DoNotOptimize(f.pixels.data());
    }
}
BENCHMARK(BM_RenderFrame)->Arg(0)->Arg(600)->Unit(benchmark::kMillisecond);

void BM_EncodeJpeg(benchmark::State& state) {
    const sim::Frame& f = renderedFrame();
    for (auto _ : state) benchmark::DoNotOptimize(sim::encodeJpeg(f, 90).size());
}
BENCHMARK(BM_EncodeJpeg)->Unit(benchmark::kMillisecond);

void BM_RenderAndEncode(benchmark::State& state) {
    const sim::SkySnapshot s = sky(0);
    for (auto _ : state)
        benchmark::DoNotOptimize(sim::encodeJpeg(sim::renderFrame(s, fullSize()), 90).size());
}
BENCHMARK(BM_RenderAndEncode)->Unit(benchmark::kMillisecond);

void BM_EncodeDng(benchmark::State& state) {
    const sim::Frame& f = renderedFrame();
    for (auto _ : state) benchmark::DoNotOptimize(sim::encodeDng(f).size());
}
BENCHMARK(BM_EncodeDng)->Unit(benchmark::kMillisecond);

struct Release {
    std::vector<RCImageReadyBlock> blocks;
    static std::uint32_t cb(std::uint32_t event, const void* data, std::uint32_t, void* c) {
        if (event == RC_EVENT_IMAGE_READY) {
            RCImageReadyBlock b;
            std::memcpy(&b, data, sizeof b);
            static_cast<Release*>(c)->blocks.push_back(b);
        }
        return 0;
    }
};

void BM_CaptureAndDownload(benchmark::State& state) {
    simrc::reset();
    simrc::setSensorOverride(0, 0);  // the 20D's own sensor
    sky(0);
    RCVersionRecord v{};
    v.structSize = 40;
    v.major = 8;
    RCStartSDK(&v, 0);
    RCHandle e = 0, s = 0;
    RCDeviceRecord rec{};
    RCEnumDeviceReset(1, &e);
    RCEnumDeviceNext(e, &rec);
    RCEnumDeviceRelease(e);
    RCOpenSource(&rec, &s);
    Release release;
    RCStartCaptureSession(s, &Release::cb, &release);
    RCSelectReleaseDataKind(s, RC_KIND_PICTURE_TO_PC);
    std::vector<std::uint8_t> sink;
    RCStream stream{};
    stream.context = &sink;
    stream.open = [](void* c, std::uint32_t) {
        static_cast<std::vector<std::uint8_t>*>(c)->clear();
        return 0u;
    };
    stream.close = [](void*) { return 0u; };
    stream.write = [](void* c, const void* b, std::uint32_t* n) {
        auto* v = static_cast<std::vector<std::uint8_t>*>(c);
        v->insert(v->end(), static_cast<const std::uint8_t*>(b),
                  static_cast<const std::uint8_t*>(b) + *n);
        return 0u;
    };
    const RCMedium medium{RC_MEDIUM_STREAM, nullptr, &stream};
    for (auto _ : state) {
        release.blocks.clear();
        RCCapture(s);
        // The callback fills `release` on the library's thread; read it only
        // once that thread has finished.
        if (!simrc::waitUntilIdle(60'000)) {
            state.SkipWithError("the simulated camera did not finish the release");
            break;
        }
        for (const RCImageReadyBlock& b : release.blocks)
            RCTakeCapturedImage(s, nullptr, nullptr, 3, &b, &medium);
        benchmark::DoNotOptimize(sink.size());
    }
    RCEndCaptureSession(s);
    RCCloseSource(s);
    RCFinishSDK();
    simrc::reset();
}
BENCHMARK(BM_CaptureAndDownload)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
