#pragma once

#include <cstdint>
#include <vector>

namespace zelmora {

// Sorts keys[0 ... upperIndex] and moves companion[k] along with keys[k]: an
// iterative quicksort with an explicit stack of 32 ranges. Equal keys stop
// both scans and are exchanged, so the order among equal keys is the one this
// procedure produces; the star background depends on it, so it must not be
// replaced by another sort. A negative upperIndex sorts nothing. Raises
// AppError 9 when upperIndex lies beyond either array or the stack would need
// more than 32 entries. Returns the deepest stack entry used (1 ... 32).
int sortParallel(std::vector<float>& keys, std::vector<float>& companion, std::int64_t upperIndex,
                 bool descending);

}  // namespace zelmora
