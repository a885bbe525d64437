// Whole-picture statistics and pixel operations of cDIBSection. Nothing on the
// live road calls them; they keep the documented behaviour, quirks included
// (SUMSQ numbers the channels from the blue byte, its hot counters are named
// after the opposite byte and only ever grow).

#include <algorithm>
#include <array>
#include <cmath>

#include "image/ByteView.h"
#include "image/StarData.h"
#include "image/cDIBSection.h"
#include "platform/core/WholeNumber.h"
#include "platform/time/Clock.h"

namespace zelmora {

using detail::ByteView;

namespace {

std::uint8_t toByte(double v) {
    return static_cast<std::uint8_t>(std::nearbyint(v));
}

std::int64_t wrap(std::int64_t e, std::int64_t period) {
    const std::int64_t m = e % period;
    return m < 0 ? m + period : m;
}

}  // namespace

std::int16_t ClampToRange(std::int16_t lo, std::int16_t hi, double v) {
    if (v < lo) return lo;
    if (v > hi) return hi;
    if (std::isnan(v)) return lo;
    return static_cast<std::int16_t>(std::floor(v));
}

double cDIBSection::SUM(std::int32_t channel) {
    LumHistogram.fill(0);
    const ByteView view(*this);
    double sum = 0.0;
    for (std::int64_t r = 0; r < height_; ++r) {
        for (std::int64_t x = 0; x < width_; ++x) {
            const std::int64_t b = 3 * x;
            switch (channel) {
                case 0: {
                    const double l = luminance(view(r, b), view(r, b + 1), view(r, b + 2));
                    sum += l;
                    ++LumHistogram[static_cast<std::size_t>(std::floor(l))];
                    break;
                }
                case 1:
                case 2:
                case 3: {
                    const std::uint8_t v = view(r, b + 3 - channel);
                    sum += v;
                    ++LumHistogram[v];
                    break;
                }
                default:
                    break;
            }
        }
    }
    return sum;
}

double cDIBSection::SUMSQ(double avg, std::int32_t channel) {
    MaxLuminance = 0;
    const ByteView view(*this);
    double sum = 0.0;
    for (std::int64_t r = 0; r < height_; ++r) {
        for (std::int64_t x = 0; x < width_; ++x) {
            const std::int64_t b = 3 * x;
            if (channel == 0) {
                const std::uint8_t b0 = view(r, b);
                const std::uint8_t b1 = view(r, b + 1);
                const std::uint8_t b2 = view(r, b + 2);
                const double l = luminance(b0, b1, b2);
                sum += (l - avg) * (l - avg);
                if (l > MaxLuminance) MaxLuminance = toByte(l);
                if (b0 > l + 50) ++HotCountRed;
                if (b1 > l + 50) ++HotCountGreen;
                if (b2 > l + 50) ++HotCountBlue;
            } else if (channel >= 1 && channel <= 3) {
                const std::uint8_t v = view(r, b + channel - 1);
                sum += (v - avg) * (v - avg);
                if (v > MaxLuminance) MaxLuminance = v;
            }
        }
    }
    return sum;
}

bool cDIBSection::Crop(cDIBSection& cdibto, double l, double t, double w, double h) const {
    try {
        const ByteView from(*this);
        const ByteView to(cdibto);
        const double top = static_cast<double>(height_) - 1.0;
        const double lastRow = top - t;
        const double lastByte = 3.0 * (l + w) - 1.0;
        std::int64_t destRow = 0;
        for (std::int64_t r = Conv::toInt32(top - (h - 1.0 + t)); r <= lastRow; ++r, ++destRow) {
            if (r < 0) continue;  // below the picture: that destination row stays as it was
            std::int64_t destByte = 0;
            for (std::int64_t c = Conv::toInt32(3.0 * l); c <= lastByte; ++c, ++destByte)
                to(destRow, destByte) = from(r, c);
        }
    } catch (const AppError&) {
        // The block ran past one of the pictures: what was copied stays.
    }
    return false;
}

void cDIBSection::StackSum(StackArray& stk) const {
    try {
        const ByteView view(*this);
        for (std::int64_t r = 0; r < height_; ++r)
            for (std::int64_t b = 0; b < 3 * std::int64_t{width_}; ++b) {
                std::int32_t& cell = stk.at(b, r);
                const std::int64_t sum = std::int64_t{cell} + view(r, b);
                if (sum > INT32_MAX) detail::raiseOverflow();
                cell = static_cast<std::int32_t>(sum);
            }
    } catch (const AppError&) {
        // Quiet: the sums so far stay.
    }
}

void cDIBSection::StackAvg(const StackArray& stk, std::int16_t hits) {
    const ByteView view(*this);
    for (std::int64_t r = 0; r < height_; ++r)
        for (std::int64_t b = 0; b < 3 * std::int64_t{width_}; ++b) {
            const std::int32_t total = stk.at(b, r);
            if (hits == 0) detail::raiseDivisionByZero();
            const double v = std::floor(static_cast<double>(total) / hits);
            view(r, b) = static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0));
        }
}

void cDIBSection::ProcessLUT() {
    const std::int64_t startMs = platform::clock().monotonicMs();
    const ByteView view(*this);
    raiseInitProgress(height_);
    for (std::int64_t r = 0; r < height_; ++r) {
        for (std::int64_t b = 0; b < 3 * std::int64_t{width_}; ++b) {
            std::uint8_t& v = view(r, b);
            if (v >= LutTable.size()) detail::raiseOutOfRange();
            v = LutTable[v];
        }
        raiseProgress(static_cast<std::int32_t>(r));
    }
    raiseComplete(startMs);
}

void cDIBSection::ProcessKernel1D() {
    const std::int64_t startMs = platform::clock().monotonicMs();
    const ByteView view(*this);
    const std::int64_t k = KernelHalfWidth;
    if (k < 0 || Kernel1D.size() != static_cast<std::size_t>(2 * k + 1)) detail::raiseOutOfRange();
    raiseInitProgress(height_ - 1);
    const std::int64_t w = width_;
    const std::int64_t h = height_;
    // Each pass filters from a copy of the line, so every sum sees the
    // unfiltered neighbours; lines wrap around at the picture's edges.
    std::vector<std::uint8_t> line;
    if (w > 0) {
        for (std::int64_t r = 0; r < h; ++r) {
            const std::uint8_t* row = view.span(r, 0, 3 * w - 1);
            line.assign(row, row + 3 * w);
            for (std::int64_t x = 0; x < w; ++x)
                for (std::int64_t c = 0; c < 3; ++c) {
                    double s = 0.0;
                    for (std::int64_t j = -k; j <= k; ++j)
                        s += line[static_cast<std::size_t>(3 * wrap(x - j, w) + c)] *
                             Kernel1D[static_cast<std::size_t>(j + k)];
                    view(r, 3 * x + c) = static_cast<std::uint8_t>(ClampToRange(0, 255, s));
                }
            raiseProgress(static_cast<std::int32_t>(r));
        }
    }
    if (h > 0) {
        for (std::int64_t x = 0; x < w; ++x) {
            line.resize(static_cast<std::size_t>(3 * h));
            for (std::int64_t r = 0; r < h; ++r)
                for (std::int64_t c = 0; c < 3; ++c)
                    line[static_cast<std::size_t>(3 * r + c)] = view(r, 3 * x + c);
            for (std::int64_t i = 0; i < h; ++i)
                for (std::int64_t c = 0; c < 3; ++c) {
                    double s = 0.0;
                    for (std::int64_t j = -k; j <= k; ++j)
                        s += line[static_cast<std::size_t>(3 * wrap(i - j, h) + c)] *
                             Kernel1D[static_cast<std::size_t>(j + k)];
                    view(i, 3 * x + c) = static_cast<std::uint8_t>(ClampToRange(0, 255, s));
                }
            raiseProgress(static_cast<std::int32_t>(3 * x));
        }
    }
    raiseComplete(startMs);
}

void cDIBSection::AutoContrast() {
    const std::int64_t startMs = platform::clock().monotonicMs();
    const ByteView view(*this);
    raiseInitProgress(2 * height_);
    std::array<int, 3> lo{255, 255, 255};
    std::array<int, 3> hi{0, 0, 0};
    for (std::int64_t r = 0; r < height_; ++r) {
        for (std::int64_t x = 0; x < width_; ++x)
            for (int c = 0; c < 3; ++c) {
                const int v = view(r, 3 * x + c);
                lo[c] = std::min(lo[c], v);
                hi[c] = std::max(hi[c], v);
            }
        raiseProgress(static_cast<std::int32_t>(r));
    }
    std::array<std::array<std::uint8_t, 256>, 3> table{};
    for (int c = 0; c < 3; ++c) {
        if (hi[c] == lo[c]) {
            table[c][lo[c]] = static_cast<std::uint8_t>(lo[c]);
        } else {
            for (int v = lo[c]; v <= hi[c]; ++v)
                table[c][v] = toByte((v - lo[c]) * 255.0 / (hi[c] - lo[c]));
        }
    }
    for (std::int64_t r = 0; r < height_; ++r) {
        for (std::int64_t x = 0; x < width_; ++x)
            for (int c = 0; c < 3; ++c) {
                std::uint8_t& v = view(r, 3 * x + c);
                v = table[c][v];
            }
        raiseProgress(static_cast<std::int32_t>(height_ + r));
    }
    raiseComplete(startMs);
}

bool cDIBSection::Transform(cDIBSection& cdibto, std::int32_t xoff, std::int32_t yoff) const {
    const ByteView from(*this);
    const ByteView to(cdibto);
    const std::int64_t w2 = cdibto.Width();
    const std::int64_t h2 = cdibto.Height();
    for (std::int64_t i = 0; i < h2; ++i)
        for (std::int64_t j = 0; j < 3 * w2; ++j) {
            const std::int64_t sb = j + 3 * std::int64_t{xoff};
            const std::int64_t sr = i + yoff;
            if (sb < 0 || sb > 3 * w2 - 1 || sr < 0 || sr > h2 - 1)
                to(i, j) = 0;
            else
                to(i, j) = from(sr, sb);
        }
    return false;
}

bool cDIBSection::Flip(cDIBSection& cdibto, bool Horiz, bool Vert) const {
    if (!Horiz && !Vert) return false;
    const ByteView from(*this);
    const ByteView to(cdibto);
    const std::int64_t w2 = cdibto.Width();
    const std::int64_t h2 = cdibto.Height();
    for (std::int64_t i = 0; i < h2; ++i)
        for (std::int64_t x = 0; x < w2; ++x) {
            const std::int64_t sr = Vert ? h2 - 1 - i : i;
            const std::int64_t sx = Horiz ? w2 - 1 - x : x;
            for (int c = 0; c < 3; ++c) to(i, 3 * x + c) = from(sr, 3 * sx + c);
        }
    return false;
}

namespace {

// One step of the colour split and merge: a failing step is skipped.
template <typename F>
void step(F&& f) {
    try {
        f();
    } catch (const AppError&) {
    }
}

}  // namespace

void cDIBSection::SplitColors(cDIBSection& RTo, cDIBSection& GTo, cDIBSection& BTo) {
    const std::int64_t startMs = platform::clock().monotonicMs();
    const ByteView from(*this);
    const ByteView toR(RTo);
    const ByteView toG(GTo);
    const ByteView toB(BTo);
    raiseInitProgress(width_ - 1);
    for (std::int64_t x = 0; x < width_; ++x) {
        const std::int64_t b = 3 * x;
        for (std::int64_t r = 0; r < height_; ++r)
            for (int c = 0; c < 3; ++c) {
                step([&] { toR(r, b + c) = from(r, b); });
                step([&] { toG(r, b + c) = from(r, b + 1); });
                step([&] { toB(r, b + c) = from(r, b + 2); });
            }
        raiseProgress(static_cast<std::int32_t>(b));
    }
    raiseComplete(startMs);
}

void cDIBSection::CombineColors(cDIBSection& RTo, cDIBSection& GTo, cDIBSection& BTo) {
    const std::int64_t startMs = platform::clock().monotonicMs();
    const ByteView to(*this);
    const ByteView fromR(RTo);
    const ByteView fromG(GTo);
    const ByteView fromB(BTo);
    raiseInitProgress(width_ - 1);
    for (std::int64_t x = 0; x < width_; ++x) {
        const std::int64_t b = 3 * x;
        for (std::int64_t r = 0; r < height_; ++r) {
            step([&] { to(r, b) = fromR(r, b); });
            step([&] { to(r, b + 1) = fromG(r, b + 1); });
            step([&] { to(r, b + 2) = fromB(r, b + 2); });
        }
        raiseProgress(static_cast<std::int32_t>(b));
    }
    raiseComplete(startMs);
}

bool cDIBSection::TransformRotateScale(cDIBSection& cdibto, std::int32_t xoff, std::int32_t yoff,
                                       std::int32_t x0, std::int32_t y0, double th, double sc,
                                       double pw, double ph) const {
    const ByteView from(*this);
    const ByteView to(cdibto);
    const std::int64_t w2 = cdibto.Width();
    const std::int64_t h2 = cdibto.Height();
    if (w2 > 0 && h2 > 0 && (sc == 0.0 || pw == 0.0 || ph == 0.0)) detail::raiseDivisionByZero();
    const double cosT = std::cos(th);
    const double sinT = std::sin(th);
    for (std::int64_t y = h2 - 1; y >= 0; --y)
        for (std::int64_t x = 0; x < w2; ++x) {
            const double dx = static_cast<double>((x - x0) - xoff);
            const double dy = static_cast<double>((y - y0) - yoff);
            const double u = dx * pw;
            const double v = dy * ph;
            const double rx = (u * cosT - v * sinT) / sc;
            const double ry = (u * sinT + v * cosT) / sc;
            const double sx = rx / pw + x0;
            const double sy = ry / ph + y0;
            // Written so that a NaN position also counts as outside.
            const bool inside = sx - 1 >= 0 && sx + 1 <= static_cast<double>(w2 - 1) &&
                                sy - 1 >= 0 && sy + 1 <= static_cast<double>(h2 - 1);
            if (!inside) {
                for (int c = 0; c < 3; ++c) to(y, 3 * x + c) = 0;
                continue;
            }
            const double ixf = std::floor(sx);
            const double iyf = std::floor(sy);
            const double fx = sx - ixf;
            const double fy = sy - iyf;
            const auto ix = static_cast<std::int64_t>(ixf);
            const auto iy = static_cast<std::int64_t>(iyf);
            for (int c = 0; c < 3; ++c) {
                const double value = (1 - fx) * (1 - fy) * from(iy, 3 * ix + c) +
                                     fx * (1 - fy) * from(iy, 3 * (ix + 1) + c) +
                                     (1 - fx) * fy * from(iy + 1, 3 * ix + c) +
                                     fx * fy * from(iy + 1, 3 * (ix + 1) + c);
                to(y, 3 * x + c) = toByte(value);
            }
        }
    return false;
}

std::int32_t cDIBSection::Features(double m, double k, double Sigma) {
    LumHistogram.fill(0);
    const ByteView view(*this);
    const double limit = m + k * Sigma;
    for (std::int64_t r = 0; r < height_; ++r)
        for (std::int64_t x = 0; x < width_; ++x) {
            const std::int64_t b = 3 * x;
            const double l = luminance(view(r, b), view(r, b + 1), view(r, b + 2));
            const std::uint8_t v = l > limit ? 255 : 0;
            view(r, b) = v;
            view(r, b + 1) = v;
            view(r, b + 2) = v;
        }
    return 0;
}

void cDIBSection::ResampleProfile() {
    // Rebuilt one element longer for each sample without keeping its contents,
    // so only the last element ever holds a value: what is left is 2U + 2
    // elements, zero except the last, which the largest multiple of 40 sets.
    const std::int64_t u = static_cast<std::int64_t>(RadialValues.size()) - 1;
    if (u < 0) {
        RadialResample.clear();
        return;
    }
    RadialResample.assign(static_cast<std::size_t>(2 * u + 2), 0.0f);
    const std::int64_t k = (u / 40) * 40;
    const float v = RadialValues[static_cast<std::size_t>(k)];
    RadialResample.back() = (k == 0 || k == u) ? 2.0f * v : 3.0f * v;
}

}  // namespace zelmora
