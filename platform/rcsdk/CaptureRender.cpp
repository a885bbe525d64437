#include "platform/rcsdk/CaptureRender.h"

#include <cmath>

#include "platform/sim/FrameEncoding.h"

namespace zelmora::simrc::detail {

namespace {
constexpr std::uint16_t kQualityRaw = 4;

std::shared_ptr<const std::vector<std::uint8_t>> share(std::vector<std::uint8_t> bytes) {
    return std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
}
}  // namespace

std::pair<int, int> pictureSize(int w, int h, std::uint16_t sizeCode) {
    double f = 1.0;
    switch (sizeCode & 0xFF) {
        case 1:
            f = 0.73;
            break;  // Medium
        case 2:
            f = 0.5;
            break;  // Small
        case 5:
            f = 0.8;
            break;  // Medium1
        case 6:
            f = 0.65;
            break;  // Medium2
        default:
            break;  // Large and anything unknown
    }
    if (f == 1.0) return {w, h};
    auto even = [](double v) { return std::max(2, int(std::lround(v / 2)) * 2); };
    return {even(w * f), even(h * f)};
}

int jpegQuality(std::uint16_t q) {
    switch (q & 0xFF) {
        case 1:
            return 50;
        case 2:
            return 75;
        case 3:
            return 90;
        case 5:
            return 97;
        default:
            return 85;
    }
}

double isoGain(std::uint16_t iso) {
    if (iso == 0 || iso == 0xFFFF) return 4.0;
    return std::pow(2.0, (double(iso) - 72.0) / 8.0);
}

std::vector<RenderedImage> renderCapture(const CaptureJob& job, bool thumbnail, bool picture) {
    std::vector<RenderedImage> out;
    const int sw = std::max(2, job.sensorWidth), sh = std::max(2, job.sensorHeight);
    sim::RenderRequest base;
    base.exposureSec = double(job.record.exposureMs) / 1000.0;
    base.gain = isoGain(job.iso);

    if (thumbnail) {
        sim::RenderRequest r = base;
        r.scale = double(kThumbWidth) / sw;
        r.width = kThumbWidth;
        r.height = std::min(kThumbHeight, std::max(1, int(std::lround(sh * r.scale))));
        const sim::Frame f =
            sim::letterbox(sim::renderFrame(job.sky, r), kThumbWidth, kThumbHeight);
        out.push_back({RC_IMAGE_THUMBNAIL, RC_FORMAT_JPEG, share(sim::encodeJpeg(f, 80))});
    }
    if (picture) {
        if ((job.quality & 0xFF) == kQualityRaw) {
            sim::RenderRequest r = base;
            r.width = sw;
            r.height = sh;
            const sim::Frame f = sim::renderFrame(job.sky, r);
            sim::DngInfo info;
            info.model = job.model.empty() ? std::string("Simulated camera") : job.model;
            out.push_back({RC_IMAGE_PICTURE, RC_FORMAT_RAW, share(sim::encodeDng(f, info))});
            if (job.rawPlusJpeg)
                out.push_back(
                    {RC_IMAGE_SECOND_PICTURE, RC_FORMAT_JPEG, share(sim::encodeJpeg(f, 90))});
        } else {
            sim::RenderRequest r = base;
            std::tie(r.width, r.height) = pictureSize(sw, sh, job.size);
            r.scale = double(r.width) / sw;
            const sim::Frame f = sim::renderFrame(job.sky, r);
            out.push_back({RC_IMAGE_PICTURE, RC_FORMAT_JPEG,
                           share(sim::encodeJpeg(f, jpegQuality(job.quality)))});
        }
    }
    return out;
}

}  // namespace zelmora::simrc::detail
