#pragma once

namespace zelmora {

// A position or a size. Passed by reference where a callee may change it
// (ProcessStar limits the caller's Dims).
struct aPoint {
    double X = 0.0;
    double Y = 0.0;
};

}  // namespace zelmora
