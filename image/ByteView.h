#pragma once

#include <cstdint>

#include "image/cDIBSection.h"
#include "platform/core/AppError.h"

// Internal to the image library: the bounds-checked byte view over a buffer's
// pixel memory (storage row, byte column). An empty buffer has no rows.
namespace zelmora::detail {

[[noreturn]] void raiseOutOfRange();
[[noreturn]] void raiseOverflow();
[[noreturn]] void raiseDivisionByZero();

class ByteView {
public:
    explicit ByteView(const cDIBSection& dib)
        : base_(dib.DIBSectionBitsPtr()),
          rows_(base_ ? dib.Height() : 0),
          columns_(base_ ? dib.BytesPerScanLine() : 0) {}

    std::int64_t rows() const { return rows_; }
    std::int64_t columns() const { return columns_; }
    bool contains(std::int64_t row, std::int64_t column) const {
        return row >= 0 && row < rows_ && column >= 0 && column < columns_;
    }
    std::uint8_t& operator()(std::int64_t row, std::int64_t column) const {
        if (!contains(row, column)) raiseOutOfRange();
        return base_[row * columns_ + column];
    }
    // Bytes first ... last of a row, checked once for the whole run.
    std::uint8_t* span(std::int64_t row, std::int64_t first, std::int64_t last) const {
        if (!contains(row, first) || !contains(row, last)) raiseOutOfRange();
        return base_ + row * columns_;
    }

private:
    std::uint8_t* base_;
    std::int64_t rows_;
    std::int64_t columns_;
};

}  // namespace zelmora::detail
