// The star measurements of cDIBSection: brightest pixel, threshold centroid and
// the star profiles. They run on the focus crop (about 100 x 100 pixels) for
// every focus frame, so they stay free of allocations beyond the four arrays
// and never let other events run in the middle: a frame arriving during a
// measurement would otherwise re-fill the shared arrays under it.

#include <algorithm>
#include <array>
#include <cmath>

#include "image/ByteView.h"
#include "image/SortParallel.h"
#include "image/StarData.h"
#include "image/cDIBSection.h"
#include "platform/core/WholeNumber.h"
#include "platform/time/Clock.h"

namespace zelmora {

using detail::ByteView;

double PointDistance(std::int32_t ax, std::int32_t ay, std::int32_t bx, std::int32_t by) {
    const std::int64_t dy = std::int64_t{by} - ay;
    const std::int64_t dx = std::int64_t{bx} - ax;
    if (dy < INT32_MIN || dy > INT32_MAX || dx < INT32_MIN || dx > INT32_MAX)
        detail::raiseOverflow();
    const double y = static_cast<double>(dy);
    const double x = static_cast<double>(dx);
    return std::sqrt(y * y + x * x);
}

aPoint cDIBSection::maxpeak(std::int32_t channel) {
    const ByteView view(*this);
    aPoint result;
    double best = 0.0;
    double v = 0.0;
    const std::int64_t w = width_;
    for (std::int64_t r = 0; r < height_; ++r) {
        if (w <= 0) break;
        const std::uint8_t* row = view.span(r, 0, 3 * w - 1);
        for (std::int64_t x = 0; x < w; ++x) {
            const std::uint8_t* px = row + 3 * x;
            switch (channel) {
                case 0:
                    v = luminance(px[0], px[1], px[2]);
                    break;
                case 1:
                    v = px[2];
                    break;
                case 2:
                    v = px[1];
                    break;
                case 3:
                    v = px[0];
                    break;
                default:
                    break;  // keeps the previous pixel's value
            }
            if (v >= best) {
                best = v;
                result.X = static_cast<double>(x);
                result.Y = static_cast<double>(height_ - r);
            }
        }
    }
    return result;
}

namespace {

// How far the sky's noise reaches, in standard deviations above its level: a
// 65 x 65 window of Gaussian noise holds a pixel this far up about once in a
// quarter of a million windows, so a pixel beyond it is the star's.
constexpr double kNoiseReach = 6.0;
// The least a pixel must stand above a sky with no measurable noise: the
// steps of a grey level (thirds) and a JPEG's ripple on a smooth sky.
constexpr double kLeastAboveSky = 2.0;
// The squared radius (the inscribed ellipse's being 1) that halves each
// corner into an inner part, nearer the middle, and an outer one.
constexpr double kInnerCorner = 1.22;
// How far a corner's inner part must stand above its outer one, in the
// noise's standard deviations, for the light to fall away from the middle:
// in every corner, and on average over them. Over a flat sky, in the focus
// analysis's 65 x 65 area, the difference of a corner's two means spreads
// about an eighth of the noise, a quarter where neighbouring pixels share
// their noise (a camera's demosaicing, a JPEG).
constexpr double kCornerFall = 0.25;
constexpr double kMeanFall = 0.5;
// The least average fall on a sky with no measurable noise, in grey levels.
constexpr double kLeastFall = 0.5;

// Grey sums (blue + green + red, 3 to a grey level) of a set of pixels.
struct GreySums {
    std::array<std::int64_t, 3 * 255 + 1> counts{};
    std::int64_t count = 0;

    void add(int sum) {
        ++counts[static_cast<std::size_t>(sum)];
        ++count;
    }

    // The lower median grey: the first sum whose running count passes half.
    double level() const {
        if (count == 0) return 0.0;
        const std::int64_t half = (count - 1) / 2;
        std::int64_t seen = 0;
        std::size_t median = 0;
        while ((seen += counts[median]) <= half) ++median;
        return static_cast<double>(median) / 3.0;
    }

    // The noise's standard deviation, read on the darker side of the median
    // alone, which a star's light (always above the sky) never reaches: for
    // Gaussian noise the median less the 15.87th percentile.
    double noise() const { return std::max(sumBelow(0.5) - sumBelow(0.158655), 0.0) / 3.0; }

    // The sum below which the share q of the pixels lie, each sum's pixels
    // spread evenly over its step: greys that come in whole numbers then give
    // the noise's spread, not a step's.
    double sumBelow(double q) const {
        const double target = q * static_cast<double>(count);
        double seen = 0.0;
        for (std::size_t sum = 0; sum < counts.size(); ++sum) {
            const auto n = static_cast<double>(counts[sum]);
            if (n > 0.0 && seen + n >= target)
                return static_cast<double>(sum) - 0.5 + (target - seen) / n;
            seen += n;
        }
        return static_cast<double>(counts.size() - 1);
    }
};

// The sky of a centroid's area, read from its corners: the pixels outside the
// ellipse inscribed in the whole (unclipped) area, as far as they lie in the
// clipped ranges. They are about the outermost fifth that ProcessStar takes
// as a star's background. All 0 when no corner lies inside the picture.
struct CornerSky {
    double level = 0.0;  // the corners' lower median: a neighbour star in one corner leaves it
    double noise = 0.0;
    // The same of the corners' outer parts, where a star's light is faintest.
    double outerLevel = 0.0;
    double outerNoise = 0.0;
    // The light falls away from the middle in every corner (two at least): a
    // star's light reaches them, and they show no sky.
    bool starLight = false;
};

CornerSky cornerSky(const ByteView& view, std::int64_t areaFirst, std::int64_t areaLast,
                    std::int64_t areaBot, std::int64_t areaTop, std::int64_t first,
                    std::int64_t last, std::int64_t rBot, std::int64_t rTop) {
    if (first > last || rBot > rTop) return {};  // nothing of the area lies inside
    const double ia = 2.0 / (static_cast<double>(areaLast - areaFirst) + 1.0);
    const double ib = 2.0 / (static_cast<double>(areaTop - areaBot) + 1.0);
    const double cx = (static_cast<double>(areaFirst) + static_cast<double>(areaLast)) / 2.0;
    const double cr = (static_cast<double>(areaBot) + static_cast<double>(areaTop)) / 2.0;
    GreySums all;
    GreySums outer;
    // Per corner (left or right of the middle, below or above it), its inner
    // part, then its outer part.
    std::array<std::int64_t, 8> partSum{};
    std::array<std::int64_t, 8> partCount{};
    for (std::int64_t r = rBot; r <= rTop; ++r) {
        const double dr = (static_cast<double>(r) - cr) * ib;
        const std::uint8_t* row = view.span(r, 3 * first, 3 * last + 2);
        for (std::int64_t x = first; x <= last; ++x) {
            const double dx = (static_cast<double>(x) - cx) * ia;
            const double rho2 = dx * dx + dr * dr;
            if (rho2 <= 1.0) continue;
            const std::uint8_t* px = row + 3 * x;
            const int sum = px[0] + px[1] + px[2];
            all.add(sum);
            const bool outside = rho2 > kInnerCorner;
            if (outside) outer.add(sum);
            const std::size_t part =
                (dx > 0.0 ? 1u : 0u) + (dr > 0.0 ? 2u : 0u) + (outside ? 4u : 0u);
            partSum[part] += sum;
            ++partCount[part];
        }
    }
    if (all.count == 0) return {};
    CornerSky sky;
    sky.level = all.level();
    sky.noise = all.noise();
    const GreySums& darkest = outer.count > 0 ? outer : all;
    sky.outerLevel = darkest.level();
    sky.outerNoise = darkest.noise();
    // A sky is flat up to its noise. A neighbour star in one corner, or a sky
    // brighter on one side, leaves a corner whose light does not fall.
    int corners = 0;
    bool everyOneFalls = true;
    double fallSum = 0.0;
    for (std::size_t corner = 0; corner < 4; ++corner) {
        const auto nIn = static_cast<double>(partCount[corner]);
        const auto nOut = static_cast<double>(partCount[corner + 4]);
        if (nIn == 0.0 || nOut == 0.0) continue;  // not inside the picture
        ++corners;
        const double fall = (static_cast<double>(partSum[corner]) / nIn -
                             static_cast<double>(partSum[corner + 4]) / nOut) /
                            3.0;
        if (!(fall > kCornerFall * sky.noise)) everyOneFalls = false;
        fallSum += fall;
    }
    sky.starLight =
        corners >= 2 && everyOneFalls &&
        fallSum / static_cast<double>(corners) > std::max(kMeanFall * sky.noise, kLeastFall);
    return sky;
}

}  // namespace

aPoint cDIBSection::Centroid(std::int16_t Threshold, std::int32_t l, std::int32_t t, std::int32_t w,
                             std::int32_t h) {
    const std::int64_t startMs = platform::clock().monotonicMs();
    double sx = 0.0;
    double sy = 0.0;
    double s = 0.0;
    try {
        const ByteView view(*this);
        const std::int64_t top = std::int64_t{height_} - 1;
        std::int64_t rBot = 0;
        std::int64_t rTop = top;
        std::int64_t first = 0;
        std::int64_t last = std::int64_t{width_} - 1;
        if (l != -1) {
            const std::int64_t th = std::int64_t{t} + h;
            const std::int64_t lw = std::int64_t{l} + w;
            if (th > INT32_MAX || th < INT32_MIN || lw > INT32_MAX || lw < INT32_MIN)
                detail::raiseOverflow();
            rBot = top - th;
            rTop = top - t;
            if (rBot < INT32_MIN || rTop < INT32_MIN || rTop > INT32_MAX) detail::raiseOverflow();
            first = l;
            last = lw;
        }
        raiseInitProgress(
            static_cast<std::int32_t>(std::clamp<std::int64_t>(rTop - rBot, INT32_MIN, INT32_MAX)));
        const std::int64_t areaFirst = first;
        const std::int64_t areaLast = last;
        const std::int64_t areaBot = rBot;
        const std::int64_t areaTop = rTop;
        // Clipped on all four sides: a star near an edge of the crop still
        // gets a centroid from the pixels that lie inside.
        first = std::max<std::int64_t>(first, 0);
        last = std::min<std::int64_t>(last, std::int64_t{width_} - 1);
        rTop = std::min(rTop, top);
        rBot = std::max<std::int64_t>(rBot, 0);
        // Where the sky and its noise stay below the threshold, the pixels
        // above it are the star's, and each weighs its whole grey, as always.
        // Where they reach it, every sky pixel that passed would pull the
        // centroid towards the area's middle: the area is then seen through
        // the mean of each pixel's 3 x 3 neighbourhood, above the sky, and a
        // pixel counts when that light stands out of the sky's noise. The mean
        // keeps a faint, wide star that only the noise lifts above the cut
        // here and there from being found at one of those pixels, where its
        // profiles would be the noise's. A sky with nothing standing out of it
        // leaves no centroid.
        //
        // A star far out of focus spreads its light into the corners, where
        // it would be read as a bright sky and its fall as that sky's noise.
        // Its light only ever lifts the level and widens the spread: the sky
        // reaches as far as the lower of the corners' reading and that of
        // their outer parts, where its light is faintest. Where the light
        // falls away from the middle in every corner, it is all the star's,
        // and the area is counted as on a dark sky.
        const CornerSky sky =
            cornerSky(view, areaFirst, areaLast, areaBot, areaTop, first, last, rBot, rTop);
        const double reach = kNoiseReach * sky.noise;
        const double skyReach =
            std::min(sky.level + reach, sky.outerLevel + kNoiseReach * sky.outerNoise);
        const bool darkSky = sky.starLight || skyReach < static_cast<double>(Threshold);
        const double least =
            darkSky ? static_cast<double>(Threshold) : std::max(reach, kLeastAboveSky);
        const std::int64_t rightmost = std::int64_t{width_} - 1;
        for (std::int64_t r = rBot; r <= rTop; ++r) {
            if (first <= last) {
                const std::uint8_t* row = view.span(r, 3 * first, 3 * last + 2);
                // The neighbourhood's rows and columns inside the picture.
                const std::int64_t nFirst = std::max<std::int64_t>(first - 1, 0);
                const std::int64_t nLast = std::min(last + 1, rightmost);
                const std::uint8_t* around[3] = {nullptr, nullptr, nullptr};
                if (!darkSky)
                    for (std::int64_t k = -1; k <= 1; ++k)
                        if (r + k >= 0 && r + k <= top)
                            around[k + 1] = view.span(r + k, 3 * nFirst, 3 * nLast + 2);
                for (std::int64_t x = first; x <= last; ++x) {
                    double v = 0.0;
                    if (darkSky) {
                        const std::uint8_t* px = row + 3 * x;
                        v = (px[0] + px[1] + px[2]) / 3.0;
                    } else {
                        int sum = 0;
                        int n = 0;
                        const std::int64_t x0 = std::max(x - 1, nFirst);
                        const std::int64_t x1 = std::min(x + 1, nLast);
                        for (const std::uint8_t* line : around) {
                            if (!line) continue;
                            for (std::int64_t xx = x0; xx <= x1; ++xx, ++n)
                                sum += line[3 * xx] + line[3 * xx + 1] + line[3 * xx + 2];
                        }
                        v = sum / (3.0 * n) - sky.level;
                    }
                    if (v > least) {
                        sx += static_cast<double>(x) * v;
                        sy += static_cast<double>(r) * v;
                        s += v;
                    }
                }
            }
            raiseProgress(static_cast<std::int32_t>(r));
        }
    } catch (const AppError&) {
        s = 0.0;
    }
    aPoint result;
    if (s != 0.0) {
        result.X = sx / s + 0.05;
        result.Y = height_ - (sy / s + 0.05);
    }
    raiseComplete(startMs);
    return result;
}

void cDIBSection::SortParallel(std::vector<float>& keys, std::vector<float>& companion,
                               std::int64_t upperIndex, bool descending) {
    sortParallel(keys, companion, upperIndex, descending);
}

void cDIBSection::ProcessStar(const aPoint& Aoi, aPoint& Dims, cDIBSection& imgdib,
                              std::int32_t channel) {
    const ByteView src(*this);
    const ByteView ref(oReferenceDib);
    const ByteView out(imgdib);

    if (Dims.X > 32) Dims.X = 32;
    if (Dims.Y > 32) Dims.Y = 32;
    const double dx = Dims.X;
    const double dy = Dims.Y;

    // The box, unclipped: storage rows rBot ... rTop - 1, pixels pFirst ... pLast.
    // Box indices count from this origin, so the star stays at (32, 32) when
    // the box is clipped.
    const std::int64_t top = std::int64_t{height_} - 1;
    const double starLine = std::floor(Aoi.Y);
    const double starColumn = std::floor(Aoi.X);
    const std::int64_t rTop = Conv::toInt32(static_cast<double>(top) - (starLine - dy));
    const std::int64_t rBot = Conv::toInt32(static_cast<double>(top) - (starLine + dy));
    const std::int64_t pFirst = Conv::toInt32(std::floor(Aoi.X - dx));
    const std::int64_t pLast = Conv::toInt32(std::floor(dx + Aoi.X) - 1.0);
    const std::int64_t starRow = Conv::toInt32(static_cast<double>(top) - starLine);
    const std::int64_t starPixel = Conv::toInt32(starColumn);

    // Clipped to the picture on all four sides; pixels outside are absent.
    const std::int64_t rowBegin = std::max<std::int64_t>(rBot, 0);
    const std::int64_t rowEnd = std::min<std::int64_t>(rTop, height_);  // exclusive
    const std::int64_t pixBegin = std::max<std::int64_t>(pFirst, 0);
    const std::int64_t pixEnd = std::min<std::int64_t>(pLast, std::int64_t{width_} - 1);
    const std::int64_t rows = std::max<std::int64_t>(rowEnd - rowBegin, 0);
    const std::int64_t pixels = std::max<std::int64_t>(pixEnd - pixBegin + 1, 0);
    const std::int64_t filled = rows * pixels;

    auto bound = [](double last) {
        return static_cast<std::size_t>(
            std::max<std::int64_t>(std::int64_t{Conv::toInt32(last)} + 1, 0));
    };
    const std::size_t rowLength = bound(2.0 * dx - 1.0);
    const std::size_t columnLength = bound(2.0 * dy - 1.0);
    const std::size_t radialLength = bound(4.0 * dx * dy - 1.0);

    // Everything that could fail is checked before the shared arrays and the
    // output change, so a failed call leaves the last measurement intact.
    if (filled > 0) {
        const std::int64_t jLast = pixEnd - pFirst;
        const std::int64_t iLast = rowEnd - 1 - rBot;
        if (!src.contains(rowEnd - 1, 3 * pixEnd + 2)) detail::raiseOutOfRange();
        if (filled > static_cast<std::int64_t>(radialLength)) detail::raiseOutOfRange();
        if (starRow >= rowBegin && starRow < rowEnd &&
            jLast >= static_cast<std::int64_t>(rowLength))
            detail::raiseOutOfRange();
        if (starPixel >= pixBegin && starPixel <= pixEnd &&
            iLast >= static_cast<std::int64_t>(columnLength))
            detail::raiseOutOfRange();
        if (jLast >= imgdib.Width() || !out.contains(iLast, 3 * jLast + 2))
            detail::raiseOutOfRange();
    }

    RowProfile.assign(rowLength, 0);
    ColumnProfile.assign(columnLength, 0);
    RadialValues.assign(radialLength, 0.0f);
    RadialDistances.assign(radialLength, 0.0f);

    const float background = StarBackground;
    const std::int64_t refWidth = ref.rows() > 0 ? oReferenceDib.Width() : 0;
    std::size_t n = 0;
    for (std::int64_t r = rowBegin; r < rowEnd; ++r) {
        const std::int64_t i = r - rBot;
        const std::uint8_t* srcRow = src.span(r, 3 * pixBegin, 3 * pixEnd + 2);
        const std::uint8_t* refRow = r < ref.rows() ? &ref(r, 0) : nullptr;
        for (std::int64_t p = pixBegin; p <= pixEnd; ++p) {
            const std::int64_t j = p - pFirst;
            const std::uint8_t* s = srcRow + 3 * p;
            float db = s[0];
            float dg = s[1];
            float dr = s[2];
            if (refRow && p < refWidth) {
                db -= refRow[3 * p];
                dg -= refRow[3 * p + 1];
                dr -= refRow[3 * p + 2];
            }
            float value = 0.0f;
            switch (channel) {
                case 0:
                    value = (dg + dr + db) / 3.0f;
                    break;
                case 1:
                    value = dr;
                    break;
                case 2:
                    value = dg;
                    break;
                case 3:
                    value = db;
                    break;
                default:
                    break;
            }
            const float q = value < 0.0f ? 0.0f : value > 255.0f ? 255.0f : std::nearbyint(value);
            float u = q - background;
            if (u < 0.0f) u = 0.0f;
            const auto cleaned = static_cast<std::uint8_t>(std::nearbyint(u));
            std::uint8_t* o = &out(i, 3 * j);
            o[0] = cleaned;
            o[1] = cleaned;
            o[2] = cleaned;
            if (r == starRow) RowProfile[static_cast<std::size_t>(j)] = cleaned;
            if (p == starPixel) ColumnProfile[static_cast<std::size_t>(i)] = cleaned;
            RadialValues[n] = q;
            RadialDistances[n] = static_cast<float>(
                PointDistance(static_cast<std::int32_t>(j), static_cast<std::int32_t>(i), 32, 32));
            ++n;
        }
    }
    if (n == 0) return;  // nothing inside the picture: the background stays

    // Only the filled samples take part; the untouched tail stays (0, 0) after them.
    const auto m = static_cast<std::int64_t>(n) - 1;
    SortParallel(RadialDistances, RadialValues, m, false);
    const auto k0 = static_cast<std::int64_t>(std::floor(0.8 * static_cast<double>(m)));
    double outer = 0.0;
    for (std::int64_t k = k0; k <= m; ++k) outer += RadialValues[static_cast<std::size_t>(k)];
    const auto newBackground = static_cast<float>(outer / static_cast<double>(m - k0 + 1));
    for (std::int64_t k = 1; k <= m; ++k)
        RadialValues[static_cast<std::size_t>(k)] += RadialValues[static_cast<std::size_t>(k - 1)];
    StarBackground = newBackground;
}

}  // namespace zelmora
