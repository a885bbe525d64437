#pragma once

#include <QImage>
#include <QPoint>
#include <QStringList>
#include <array>
#include <cstdint>
#include <vector>

namespace zelmora::display {

// The pixels a histogram is counted from: the picture as 32-bit top-down rows
// (bytes blue, green, red, reserved), kept program-wide like the last picture
// "Show Histogram" read.
namespace ModHist {
QImage GetPictureBits(const QImage& picture);
QImage& PictureBits();
}  // namespace ModHist

// What the histogram window draws, apart from the window.
class HistogramModel {
public:
    enum class View { Luminance, Red, Green, Blue };

    // Counts every pixel of `bits` (as GetPictureBits makes them) into 256 bins.
    void count(const QImage& bits, View view);

    // The bin of one pixel in luminance: 0.299 R + 0.5 + 0.587 G + 0.114 B,
    // halves to even, white (256) in the last bin.
    static int luminanceBin(int r, int g, int b);

    const std::array<std::int32_t, 256>& hist() const { return hist_; }
    std::int32_t peak() const { return peak_; }
    // The ten count labels, bottom first: round((j + 1) x peak / 10).
    QStringList countLabels() const;
    // The curve's 257 points from (0, plot height), one per bin at x = k + 1.
    std::vector<QPoint> curve(int plotHeight) const;

private:
    std::array<std::int32_t, 256> hist_{};
    std::int32_t peak_ = 0;
};

}  // namespace zelmora::display
