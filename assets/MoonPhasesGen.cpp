// Renders the moon pictures MoonPhases/moon1.gif ... moon30.gif: picture N
// shows the moon N days after new moon as seen from the northern hemisphere
// (waxing lit on the right). Run at build time:
//     moonphases_gen <output folder>
#include <gif_lib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr int kSize = 160;        // picture width and height, pixels
constexpr double kRadius = 72.0;  // disc radius, pixels
constexpr double kSynodic = 29.53058867;
constexpr int kSamples = 4;  // per pixel and axis, for smooth edges

// A few dark plains at roughly their places on the near side, so that the
// pictures read as the moon; (x, y) on the unit disc, y up.
struct Plain {
    double x, y, rx, ry, depth;
};
constexpr Plain kPlains[] = {
    {-0.32, 0.45, 0.28, 0.22, 0.35},   // upper left
    {0.10, 0.35, 0.17, 0.15, 0.30},    // upper centre
    {0.30, 0.10, 0.22, 0.18, 0.30},    // centre right
    {0.70, 0.28, 0.10, 0.09, 0.35},    // far right
    {-0.62, 0.05, 0.25, 0.45, 0.30},   // left
    {-0.15, -0.30, 0.20, 0.15, 0.25},  // lower centre
    {0.42, -0.25, 0.16, 0.12, 0.25},   // lower right
};

double albedo(double x, double y) {
    double a = 1.0;
    for (const Plain& p : kPlains) {
        const double dx = (x - p.x) / p.rx, dy = (y - p.y) / p.ry;
        const double r2 = dx * dx + dy * dy;
        if (r2 < 1.0) a -= p.depth * (1.0 - r2) * (1.0 - r2) * 1.6;
    }
    // A bright rayed crater in the south, as on the real moon.
    const double cx = x + 0.12, cy = y + 0.72;
    const double r2 = (cx * cx + cy * cy) / (0.05 * 0.05);
    if (r2 < 4.0) a += 0.25 * std::exp(-r2);
    return std::clamp(a, 0.45, 1.2);
}

// Grey levels 0..255 of picture `day`, row by row from the top.
std::vector<unsigned char> render(int day) {
    const double elongation = 2.0 * std::numbers::pi * day / kSynodic;
    // Direction of the Sun in the viewer's frame (x right, z toward the viewer).
    const double sx = std::sin(elongation), sz = -std::cos(elongation);
    std::vector<unsigned char> pixels(kSize * kSize, 0);
    const double c = kSize / 2.0;
    for (int row = 0; row < kSize; ++row) {
        for (int col = 0; col < kSize; ++col) {
            double sum = 0;
            for (int i = 0; i < kSamples; ++i) {
                for (int j = 0; j < kSamples; ++j) {
                    const double x = (col + (j + 0.5) / kSamples - c) / kRadius;
                    const double y = (c - (row + (i + 0.5) / kSamples)) / kRadius;
                    const double r2 = x * x + y * y;
                    if (r2 >= 1.0) continue;
                    const double z = std::sqrt(1.0 - r2);
                    const double mu0 = x * sx + z * sz;  // cosine of the Sun's incidence
                    // Lunar soil scatters like Lommel-Seeliger: a nearly flat full disc.
                    const double lit = mu0 > 0 ? 2.0 * mu0 / (mu0 + z) : 0.0;
                    const double earthshine = 0.05;
                    sum += albedo(x, y) * std::min(1.0, lit * 0.9 + earthshine);
                }
            }
            const double v = sum / (kSamples * kSamples);
            pixels[row * kSize + col] =
                static_cast<unsigned char>(std::clamp(std::lround(v * 215.0), 0L, 255L));
        }
    }
    return pixels;
}

// Written under a temporary name and renamed, so that an interrupted build never
// leaves a cut-short picture under the name the program loads.
bool writeGif(const std::filesystem::path& path, const std::vector<unsigned char>& pixels) {
    std::filesystem::path part = path;
    part += ".part";
    int error = 0;
    GifFileType* gif = EGifOpenFileName(part.c_str(), false, &error);
    if (!gif) return false;
    GifColorType grey[256];
    for (int i = 0; i < 256; ++i)
        grey[i].Red = grey[i].Green = grey[i].Blue = static_cast<GifByteType>(i);
    ColorMapObject* map = GifMakeMapObject(256, grey);
    bool ok = map && EGifPutScreenDesc(gif, kSize, kSize, 8, 0, map) == GIF_OK &&
              EGifPutImageDesc(gif, 0, 0, kSize, kSize, false, nullptr) == GIF_OK;
    for (int row = 0; ok && row < kSize; ++row) {
        std::vector<GifPixelType> line(pixels.begin() + row * kSize,
                                       pixels.begin() + (row + 1) * kSize);
        ok = EGifPutLine(gif, line.data(), kSize) == GIF_OK;
    }
    GifFreeMapObject(map);
    ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    std::error_code renamed;
    if (ok) std::filesystem::rename(part, path, renamed);
    ok = ok && !renamed;
    std::error_code ignored;
    if (!ok) std::filesystem::remove(part, ignored);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    for (int n = 1; n <= 30; ++n) {
        const std::filesystem::path path = folder / ("moon" + std::to_string(n) + ".gif");
        if (!writeGif(path, render(n))) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
