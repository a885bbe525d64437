#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>

#include "image/cDIBSection.h"
#include "platform/core/AppError.h"
#include "testing/ErrorNumber.h"

// Small helpers for tests on cDIBSection: pixels addressed top-down, as the
// pictures show them, and checks for the program's numbered errors.
namespace zelmora::dibtest {

struct Bgr {
    std::uint8_t b = 0, g = 0, r = 0;
    bool operator==(const Bgr&) const = default;
};

inline std::uint8_t* at(const cDIBSection& dib, int x, int topDownY) {
    return dib.DIBSectionBitsPtr() +
           static_cast<std::ptrdiff_t>(dib.Height() - 1 - topDownY) * dib.BytesPerScanLine() +
           3 * x;
}

inline void put(cDIBSection& dib, int x, int topDownY, Bgr c) {
    std::uint8_t* p = at(dib, x, topDownY);
    p[0] = c.b;
    p[1] = c.g;
    p[2] = c.r;
}

inline void putGrey(cDIBSection& dib, int x, int topDownY, std::uint8_t v) {
    put(dib, x, topDownY, {v, v, v});
}

inline Bgr get(const cDIBSection& dib, int x, int topDownY) {
    const std::uint8_t* p = at(dib, x, topDownY);
    return {p[0], p[1], p[2]};
}

inline void fillGrey(cDIBSection& dib, std::uint8_t v) {
    for (int y = 0; y < dib.Height(); ++y)
        for (int x = 0; x < dib.Width(); ++x) putGrey(dib, x, y, v);
}

inline cDIBSection made(int w, int h) {
    cDIBSection dib;
    EXPECT_TRUE(dib.Create(w, h));
    return dib;
}

using testenv::errorNumber;

inline std::ostream& operator<<(std::ostream& os, const Bgr& c) {
    return os << "(B " << int(c.b) << ", G " << int(c.g) << ", R " << int(c.r) << ")";
}

}  // namespace zelmora::dibtest
