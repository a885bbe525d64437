#include "display/HistogramModel.h"

#include <cmath>

#include "shell/Conv.h"

namespace zelmora::display {

namespace ModHist {

QImage GetPictureBits(const QImage& picture) {
    // Indexed and grey pictures become true colour before their bytes are read.
    return picture.convertToFormat(QImage::Format_RGB32);
}

QImage& PictureBits() {
    static QImage bits;
    return bits;
}

}  // namespace ModHist

int HistogramModel::luminanceBin(int r, int g, int b) {
    const double v = 0.299 * r + 0.5 + 0.587 * g + 0.114 * b;
    const int bin = static_cast<int>(Conv::roundHalfEven(v));
    return bin > 255 ? 255 : bin;
}

void HistogramModel::count(const QImage& bits, View view) {
    hist_.fill(0);
    peak_ = 0;
    const QImage img = bits.format() == QImage::Format_RGB32 ? bits : ModHist::GetPictureBits(bits);
    for (int y = 0; y < img.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const QRgb px = row[x];
            int bin = 0;
            switch (view) {
                case View::Luminance:
                    bin = luminanceBin(qRed(px), qGreen(px), qBlue(px));
                    break;
                case View::Red:
                    bin = qRed(px);
                    break;
                case View::Green:
                    bin = qGreen(px);
                    break;
                case View::Blue:
                    bin = qBlue(px);
                    break;
            }
            const std::int32_t n = ++hist_[static_cast<std::size_t>(bin)];
            if (n > peak_) peak_ = n;
        }
    }
}

QStringList HistogramModel::countLabels() const {
    QStringList labels;
    for (int j = 0; j < 10; ++j)
        labels << QString::number(
            static_cast<qint64>(Conv::roundHalfEven((j + 1) * double(peak_) / 10)));
    return labels;
}

std::vector<QPoint> HistogramModel::curve(int plotHeight) const {
    std::vector<QPoint> points;
    points.reserve(257);
    points.emplace_back(0, plotHeight);
    const float scale =
        peak_ > 0 ? static_cast<float>(plotHeight) / static_cast<float>(peak_) : 0.0f;
    for (int k = 0; k < 256; ++k) {
        const double h = std::fabs(hist_[static_cast<std::size_t>(k)] * static_cast<double>(scale));
        points.emplace_back(k + 1, plotHeight - Conv::toInt16(h));
    }
    return points;
}

}  // namespace zelmora::display
