#include "image/cDIBSection.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPainter>
#include <QTime>
#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <random>

#include "image/ByteView.h"
#include "platform/core/AppError.h"
#include "platform/os/Dialogs.h"
#include "platform/time/Clock.h"

namespace zelmora {

namespace detail {

void raiseOutOfRange() {
    throw AppError(AppError::kSubscriptOutOfRange, QStringLiteral("cDIBSection"),
                   QStringLiteral("Subscript out of range"));
}

void raiseOverflow() {
    throw AppError(AppError::kOverflow, QStringLiteral("cDIBSection"), QStringLiteral("Overflow"));
}

void raiseDivisionByZero() {
    throw AppError(AppError::kDivisionByZero, QStringLiteral("cDIBSection"),
                   QStringLiteral("Division by zero"));
}

}  // namespace detail

using detail::ByteView;

namespace {

constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

std::int64_t scanLineBytes(std::int64_t width) {
    return (width * 3 + 3) & ~std::int64_t{3};
}

// Every byte count of the buffer must fit a 32-bit signed number, as the sizes
// of the stored header do.
void checkSize(std::int32_t width, std::int32_t height) {
    const std::int64_t w = width;
    if (w * 3 + 3 > kInt32Max) detail::raiseOverflow();
    if (scanLineBytes(w) * height > kInt32Max) detail::raiseOverflow();
}

QImage asColour(const QImage& image) {
    if (image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32)
        return image;
    return image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

cDIBSection::~cDIBSection() {
    ClearUp();
}

StackArray::StackArray(std::int32_t byteColumns, std::int32_t rows)
    : columns_(std::max(byteColumns, 0)), rows_(std::max(rows, 0)) {
    cells_.assign(static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_), 0);
}

std::int32_t& StackArray::at(std::int64_t byteColumn, std::int64_t row) {
    if (byteColumn < 0 || byteColumn >= columns_ || row < 0 || row >= rows_)
        detail::raiseOutOfRange();
    return cells_[static_cast<std::size_t>(row * columns_ + byteColumn)];
}

std::int32_t StackArray::at(std::int64_t byteColumn, std::int64_t row) const {
    return const_cast<StackArray*>(this)->at(byteColumn, row);
}

bool cDIBSection::CopyToClipboard(bool bAsDIB) {
    if (bAsDIB) {
        platform::Dialogs::msgBox(
            QStringLiteral(
                "I don't know how to put a DIB on the clipboard! Copy as bitmap instead!!!"),
            platform::Msg::OKOnly);
        return false;
    }
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return false;
    if (width_ <= 0 || height_ <= 0) return false;
    QImage picture(width_, height_, QImage::Format_RGB32);
    picture.fill(Qt::black);
    PaintPicture(picture, 0, 0, -1, -1, 0, 0, SRCCOPY);
    QGuiApplication::clipboard()->setImage(picture);
    return true;
}

bool cDIBSection::CreateDIB(std::int32_t lWidth, std::int32_t lHeight) {
    if (lWidth > 0 && lHeight > 0) checkSize(lWidth, lHeight);
    width_ = lWidth;
    height_ = lHeight;
    // The old pixels do not fit the new size: a failure leaves the buffer empty.
    ClearUp();
    if (lWidth <= 0 || lHeight <= 0) return false;
    try {
        bits_.assign(static_cast<std::size_t>(scanLineBytes(lWidth)) * lHeight, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    ready_ = true;
    return true;
}

bool cDIBSection::Create(std::int32_t lWidth, std::int32_t lHeight) {
    ClearUp();
    return CreateDIB(lWidth, lHeight);
}

bool cDIBSection::createForOverwrite(std::int32_t lWidth, std::int32_t lHeight) {
    if (ready_ && lWidth == width_ && lHeight == height_) return true;
    if (lWidth <= 0 || lHeight <= 0) return Create(lWidth, lHeight);
    checkSize(lWidth, lHeight);
    decltype(bits_) fresh;
    try {
        fresh.resize(static_cast<std::size_t>(scanLineBytes(lWidth)) * lHeight);
    } catch (const std::bad_alloc&) {
        return false;
    }
    // Only the rows' padding is cleared: the decoder writes the pixels.
    const std::size_t bpl = static_cast<std::size_t>(scanLineBytes(lWidth));
    const std::size_t used = static_cast<std::size_t>(lWidth) * 3;
    if (bpl > used)
        for (std::size_t row = 0; row < static_cast<std::size_t>(lHeight); ++row)
            std::fill_n(fresh.data() + row * bpl + used, bpl - used, std::uint8_t{0});
    ClearUp();
    bits_.swap(fresh);
    width_ = lWidth;
    height_ = lHeight;
    ready_ = true;
    return true;
}

void cDIBSection::CreateFromPicture(const QImage& picThis) {
    if (!Create(picThis.width(), picThis.height())) return;
    LoadPictureBlt(picThis, 0, 0, -1, -1, SRCCOPY);
}

std::int32_t cDIBSection::BytesPerScanLine() const {
    return static_cast<std::int32_t>(scanLineBytes(width_));
}

std::uintptr_t cDIBSection::hdc() const {
    return ready_ ? reinterpret_cast<std::uintptr_t>(this) : 0;
}

std::uintptr_t cDIBSection::hDib() const {
    return ready_ ? reinterpret_cast<std::uintptr_t>(bits_.data()) : 0;
}

std::uint8_t* cDIBSection::DIBSectionBitsPtr() const {
    return ready_ ? const_cast<std::uint8_t*>(bits_.data()) : nullptr;
}

void cDIBSection::ClearUp() {
    ready_ = false;
    bits_ = {};
}

void cDIBSection::LoadPictureBlt(const QImage& source, std::int32_t lSrcLeft, std::int32_t lSrcTop,
                                 std::int32_t lSrcWidth, std::int32_t lSrcHeight, std::uint32_t) {
    if (!ready_) return;
    const std::int64_t w = std::min<std::int64_t>(lSrcWidth < 0 ? width_ : lSrcWidth, width_);
    const std::int64_t h = std::min<std::int64_t>(lSrcHeight < 0 ? height_ : lSrcHeight, height_);
    const QImage src = asColour(source);
    const std::int64_t bpl = BytesPerScanLine();
    for (std::int64_t y = 0; y < h; ++y) {
        std::uint8_t* row = bits_.data() + (height_ - 1 - y) * bpl;
        const std::int64_t sy = lSrcTop + y;
        const bool rowInside = sy >= 0 && sy < src.height();
        const QRgb* line =
            rowInside ? reinterpret_cast<const QRgb*>(src.constScanLine(static_cast<int>(sy)))
                      : nullptr;
        for (std::int64_t x = 0; x < w; ++x) {
            const std::int64_t sx = lSrcLeft + x;
            const QRgb c = (line && sx >= 0 && sx < src.width()) ? line[sx] : 0;
            row[3 * x] = static_cast<std::uint8_t>(qBlue(c));
            row[3 * x + 1] = static_cast<std::uint8_t>(qGreen(c));
            row[3 * x + 2] = static_cast<std::uint8_t>(qRed(c));
        }
    }
}

void cDIBSection::PaintPicture(QPainter& target, std::int32_t lDestLeft, std::int32_t lDestTop,
                               std::int32_t lDestWidth, std::int32_t lDestHeight,
                               std::int32_t lSrcLeft, std::int32_t lSrcTop, std::uint32_t) const {
    if (!ready_) return;
    const std::int32_t w = lDestWidth == -1 ? width_ : lDestWidth;
    const std::int32_t h = lDestHeight == -1 ? height_ : lDestHeight;
    if (w <= 0 || h <= 0) return;
    QImage block(w, h, QImage::Format_RGB32);
    block.fill(Qt::black);
    const std::int64_t bpl = BytesPerScanLine();
    for (std::int64_t y = 0; y < h; ++y) {
        const std::int64_t sy = std::int64_t{lSrcTop} + y;
        if (sy < 0 || sy >= height_) continue;
        const std::uint8_t* row = bits_.data() + (height_ - 1 - sy) * bpl;
        auto* out = reinterpret_cast<QRgb*>(block.scanLine(static_cast<int>(y)));
        for (std::int64_t x = 0; x < w; ++x) {
            const std::int64_t sx = std::int64_t{lSrcLeft} + x;
            if (sx < 0 || sx >= width_) continue;
            out[x] = qRgb(row[3 * sx + 2], row[3 * sx + 1], row[3 * sx]);
        }
    }
    const auto mode = target.compositionMode();
    target.setCompositionMode(QPainter::CompositionMode_Source);
    target.drawImage(QPoint(lDestLeft, lDestTop), block);
    target.setCompositionMode(mode);
}

void cDIBSection::PaintPicture(QImage& target, std::int32_t lDestLeft, std::int32_t lDestTop,
                               std::int32_t lDestWidth, std::int32_t lDestHeight,
                               std::int32_t lSrcLeft, std::int32_t lSrcTop,
                               std::uint32_t eRop) const {
    if (target.isNull()) return;
    if (target.format() == QImage::Format_Indexed8 || target.format() == QImage::Format_Mono ||
        target.format() == QImage::Format_MonoLSB)
        target = target.convertToFormat(QImage::Format_RGB32);
    QPainter painter(&target);
    PaintPicture(painter, lDestLeft, lDestTop, lDestWidth, lDestHeight, lSrcLeft, lSrcTop, eRop);
}

QImage cDIBSection::toImage() const {
    if (!ready_) return {};
    QImage image(width_, height_, QImage::Format_RGB32);
    const std::int64_t bpl = BytesPerScanLine();
    for (std::int64_t y = 0; y < height_; ++y) {
        const std::uint8_t* row = bits_.data() + (height_ - 1 - y) * bpl;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(y)));
        for (std::int64_t x = 0; x < width_; ++x)
            out[x] = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    }
    return image;
}

void cDIBSection::RandomiseBits(bool bGray) {
    const ByteView v(*this);
    const auto secondsSinceMidnight = platform::clock().now().time().msecsSinceStartOfDay() / 1000;
    std::mt19937 generator(static_cast<std::uint32_t>(secondsSinceMidnight));
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    auto randomByte = [&] {
        return static_cast<std::uint8_t>(std::nearbyint(uniform(generator) * 255.0));
    };
    if (bGray) {
        for (std::int64_t r = 0; r < height_; ++r)
            for (std::int64_t x = 0; x < width_; ++x) {
                const std::uint8_t value = randomByte();
                v(r, 3 * x) = value;
                v(r, 3 * x + 1) = value;
                v(r, 3 * x + 2) = value;
            }
    } else {
        for (std::int64_t x = 0; x < width_; ++x)
            for (std::int64_t r = 0; r < height_; ++r) {
                v(r, 3 * x) = 0;
                v(r, 3 * x + 1) = randomByte();
                v(r, 3 * x + 2) = randomByte();
            }
    }
}

std::unique_ptr<cDIBSection> cDIBSection::Resample(std::int32_t lNewHeight,
                                                   std::int32_t lNewWidth) const {
    auto copy = std::make_unique<cDIBSection>();
    if (!copy->Create(lNewWidth, lNewHeight)) return nullptr;
    if (lNewWidth == width_ && lNewHeight == height_) {
        if (ready_) copy->bits_ = bits_;
    } else {
        ResampleDib(*copy);
    }
    return copy;
}

bool cDIBSection::ResampleDib(cDIBSection& cdibto) const {
    const ByteView from(*this);
    const ByteView to(cdibto);
    const std::int32_t w2 = cdibto.Width();
    const std::int32_t h2 = cdibto.Height();
    const float sx = static_cast<float>(static_cast<double>(width_ - 1) / w2);
    const float sy = static_cast<float>(static_cast<double>(height_ - 1) / h2);
    for (std::int64_t y = 0; y < h2; ++y) {
        const float fyFull = sy * static_cast<float>(y);
        const float iy = std::floor(fyFull);
        const float fy = fyFull - iy;
        const auto r0 = static_cast<std::int64_t>(iy);
        for (std::int64_t x = 0; x < w2; ++x) {
            const float fxFull = sx * static_cast<float>(x);
            const float ix = std::floor(fxFull);
            const float fx = fxFull - ix;
            const auto c0 = 3 * static_cast<std::int64_t>(ix);
            for (int c = 0; c < 3; ++c) {
                const double p00 = from(r0, c0 + c);
                const double p10 = from(r0, c0 + 3 + c);
                const double p01 = from(r0 + 1, c0 + c);
                const double p11 = from(r0 + 1, c0 + 3 + c);
                const double left = std::nearbyint((1.0f - fy) * p00 + fy * p01);
                const double right = std::nearbyint((1.0f - fy) * p10 + fy * p11);
                to(y, 3 * x + c) =
                    static_cast<std::uint8_t>(std::nearbyint((1.0f - fx) * left + fx * right));
            }
        }
    }
    return false;
}

void cDIBSection::raiseInitProgress(std::int32_t lMax) const {
    if (events.InitProgress) events.InitProgress(lMax);
}

void cDIBSection::raiseProgress(std::int32_t lPosition) const {
    if (events.Progress) events.Progress(lPosition);
}

void cDIBSection::raiseComplete(std::int64_t startMs) const {
    if (events.Complete)
        events.Complete(static_cast<std::int32_t>(platform::clock().monotonicMs() - startMs));
}

}  // namespace zelmora
