#pragma once

#include <QImage>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "image/aPoint.h"

namespace zelmora::detail {
// Leaves bytes that a vector grows by uninitialised: a frame buffer about to be
// written whole by the decoder need not be cleared first (hundreds of megabytes).
template <typename T>
struct UninitialisedAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <typename U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
    template <typename U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};
}  // namespace zelmora::detail

class QPainter;

namespace zelmora {

// Progress notifications of the longer operations. Optional; empty by default.
struct DibEvents {
    std::function<void(std::int32_t lMax)> InitProgress;
    std::function<void(std::int32_t lPosition)> Progress;
    std::function<void(std::int32_t lTimeMs)> Complete;
};

// A table of 32-bit sums indexed (byte column, storage row), as StackSum adds
// frames into it. Access outside it raises "Subscript out of range".
class StackArray {
public:
    StackArray(std::int32_t byteColumns, std::int32_t rows);
    std::int32_t& at(std::int64_t byteColumn, std::int64_t row);
    std::int32_t at(std::int64_t byteColumn, std::int64_t row) const;
    std::int32_t columns() const { return columns_; }
    std::int32_t rows() const { return rows_; }

private:
    std::int32_t columns_;
    std::int32_t rows_;
    std::vector<std::int32_t> cells_;
};

// The program's in-memory picture: 24-bit colour, rows stored bottom-up
// (storage row 0 is the bottom line), pixel x at bytes 3x blue, 3x + 1 green,
// 3x + 2 red, each row padded to a multiple of 4 bytes. Pixel members reach the
// bytes through a bounds-checked view; an access outside it raises AppError 9.
//
// The drawing-surface calls of the old platform (memory contexts, block
// copies) become copies to and from QImage/QPainter at the edges; the pixel
// layout is unchanged, so every measurement reads the same bytes.
class cDIBSection {
public:
    static constexpr std::uint32_t SRCCOPY = 0x00CC0020;

    cDIBSection() = default;
    ~cDIBSection();
    cDIBSection(cDIBSection&&) noexcept = default;
    cDIBSection& operator=(cDIBSection&&) noexcept = default;
    cDIBSection(const cDIBSection&) = delete;
    cDIBSection& operator=(const cDIBSection&) = delete;

    std::int32_t HotCountRed = 0;
    std::int32_t HotCountGreen = 0;
    std::int32_t HotCountBlue = 0;
    DibEvents events;

    // --- The buffer --------------------------------------------------------

    // Shows "I don't know how to put a DIB on the clipboard! ..." for bAsDIB and
    // returns False; otherwise puts the picture on the clipboard as a bitmap.
    bool CopyToClipboard(bool bAsDIB);
    // Writes the size and makes the pixel memory (all zero). False for a width
    // or height of 0 or less, or when the memory cannot be had; the buffer is
    // then empty. A size whose byte count does not fit 32 bits raises AppError 6
    // before anything changes.
    bool CreateDIB(std::int32_t lWidth, std::int32_t lHeight);
    // Makes the buffer the size of the picture and copies it in (any QImage
    // format; indexed and grey pictures are expanded to colour).
    void CreateFromPicture(const QImage& picThis);
    // Releases the old memory and makes a black buffer of this size.
    bool Create(std::int32_t lWidth, std::int32_t lHeight);
    std::int32_t BytesPerScanLine() const;
    std::int32_t Width() const { return width_; }
    std::int32_t Height() const { return height_; }
    // Copies the block at (lSrcLeft, lSrcTop) of a top-down picture into this
    // buffer at (0, 0). A negative width or height stands for this buffer's own.
    // Parts of the block outside the source come out black.
    void LoadPictureBlt(const QImage& source, std::int32_t lSrcLeft, std::int32_t lSrcTop,
                        std::int32_t lSrcWidth, std::int32_t lSrcHeight,
                        std::uint32_t eRop = SRCCOPY);
    // Copies the block at top-down (lSrcLeft, lSrcTop) of this buffer onto the
    // painter's device at (lDestLeft, lDestTop), unscaled. A width or height of
    // exactly -1 stands for this buffer's own; other negative sizes draw
    // nothing. Parts of the block outside this buffer are painted black.
    void PaintPicture(QPainter& target, std::int32_t lDestLeft, std::int32_t lDestTop,
                      std::int32_t lDestWidth, std::int32_t lDestHeight, std::int32_t lSrcLeft,
                      std::int32_t lSrcTop, std::uint32_t eRop = SRCCOPY) const;
    // The same onto a picture (indexed pictures are turned into colour first).
    void PaintPicture(QImage& target, std::int32_t lDestLeft, std::int32_t lDestTop,
                      std::int32_t lDestWidth, std::int32_t lDestHeight, std::int32_t lSrcLeft,
                      std::int32_t lSrcTop, std::uint32_t eRop = SRCCOPY) const;
    // Non-zero while the buffer holds pixel memory, 0 when it is empty.
    std::uintptr_t hdc() const;
    std::uintptr_t hDib() const;
    std::uint8_t* DIBSectionBitsPtr() const;
    void RandomiseBits(bool bGray);
    // Releases the memory. Width, Height and BytesPerScanLine keep the last size.
    void ClearUp();
    // A resampled copy, or nullptr when it cannot be made. Height comes first.
    std::unique_ptr<cDIBSection> Resample(std::int32_t lNewHeight, std::int32_t lNewWidth) const;
    // Bilinear resampling into an already created buffer. Always returns False.
    bool ResampleDib(cDIBSection& cdibto) const;

    // A top-down copy as a 32-bit QImage (a null image when the buffer is empty).
    QImage toImage() const;
    // Like Create, but for callers that overwrite every pixel, such as the frame
    // loader: the memory and its bytes are kept when the size is unchanged, a new
    // buffer is not cleared, and a failure (no memory) leaves the old one as it was.
    bool createForOverwrite(std::int32_t lWidth, std::int32_t lHeight);

    // --- Pixel statistics and operations ------------------------------------

    double SUM(std::int32_t channel);
    double SUMSQ(double avg, std::int32_t channel);
    bool Crop(cDIBSection& cdibto, double l, double t, double w, double h) const;
    void StackSum(StackArray& stk) const;
    void StackAvg(const StackArray& stk, std::int16_t hits);
    void ProcessLUT();
    void ProcessKernel1D();
    void AutoContrast();
    bool Transform(cDIBSection& cdibto, std::int32_t xoff, std::int32_t yoff) const;
    bool Flip(cDIBSection& cdibto, bool Horiz, bool Vert) const;
    void SplitColors(cDIBSection& RTo, cDIBSection& GTo, cDIBSection& BTo);
    void CombineColors(cDIBSection& RTo, cDIBSection& GTo, cDIBSection& BTo);
    bool TransformRotateScale(cDIBSection& cdibto, std::int32_t xoff, std::int32_t yoff,
                              std::int32_t x0, std::int32_t y0, double th, double sc, double pw,
                              double ph) const;
    std::int32_t Features(double m, double k, double Sigma);

    // --- Star measurement ---------------------------------------------------

    // Threshold-weighted centroid over the (w + 1) x (h + 1) pixels whose
    // top-left is top-down (l, t); l = -1 takes the whole picture. The area is
    // clipped to the picture on all four sides. The sky is read from the area's
    // corners outside the inscribed ellipse: its level (their median grey) and
    // its noise (their spread). Where the level and six times the noise stay
    // below Threshold, a pixel passes when its grey is greater than Threshold
    // and weighs its grey. Otherwise a pixel passes when the mean grey of the
    // 3 x 3 pixels around it stands above the level by more than six times the
    // noise (at least 2) and weighs that mean above the level. X = mean column
    // + 0.05, Y = Height - (mean storage row + 0.05); (0, 0) when no pixel
    // passes.
    aPoint Centroid(std::int16_t Threshold, std::int32_t l, std::int32_t t, std::int32_t w,
                    std::int32_t h);
    // Measures the star in the box of 2 Dims.X x 2 Dims.Y pixels (Dims limited
    // to 32, the caller's object changed) around Aoi: fills RowProfile,
    // ColumnProfile, RadialValues, RadialDistances, paints the cleaned box into
    // imgdib and keeps this frame's background for the next call. The box is
    // clipped to the picture; the star stays at box position (32, 32). channel
    // is the colour measured: 0 all three averaged, 1 red, 2 green, 3 blue.
    void ProcessStar(const aPoint& Aoi, aPoint& Dims, cDIBSection& imgdib, std::int32_t channel);
    // The brightest pixel of the channel (0 luminance, 1 red, 2 green, 3 blue);
    // ties go to the last in scan order. X = column, Y = top-down line + 1.
    aPoint maxpeak(std::int32_t channel);

private:
    friend struct cDIBSectionTestAccess;

    void SortParallel(std::vector<float>& keys, std::vector<float>& companion,
                      std::int64_t upperIndex, bool descending);
    void ResampleProfile();
    void raiseInitProgress(std::int32_t lMax) const;
    void raiseProgress(std::int32_t lPosition) const;
    void raiseComplete(std::int64_t startMs) const;

    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    bool ready_ = false;
    std::vector<std::uint8_t, detail::UninitialisedAllocator<std::uint8_t>> bits_;
};

// Colour value of a pixel as the luminance that measurements use:
// (707 green + 222 red + 71 blue) / 1000, unrounded.
inline double luminance(std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
    return (707.0 * green + 222.0 * red + 71.0 * blue) / 1000.0;
}

// v limited to lo ... hi, whole numbers taken down (floor).
std::int16_t ClampToRange(std::int16_t lo, std::int16_t hi, double v);

// Distance between two whole-number points; a difference that does not fit
// 32 bits raises AppError 6.
double PointDistance(std::int32_t ax, std::int32_t ay, std::int32_t bx, std::int32_t by);

}  // namespace zelmora
