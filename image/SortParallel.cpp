#include "image/SortParallel.h"

#include <array>
#include <utility>

#include "image/ByteView.h"

namespace zelmora {

namespace {

struct Ascending {
    static bool before(float a, float b) { return a < b; }
};
struct Descending {
    static bool before(float a, float b) { return a > b; }
};

template <typename Order>
int sortRange(float* k, float* c, std::int64_t lo, std::int64_t hi) {
    constexpr int kStackEntries = 32;
    std::array<std::pair<std::int64_t, std::int64_t>, kStackEntries + 1> stack{};
    int sp = 1;
    int deepest = 1;
    stack[1] = {lo, hi};
    auto push = [&](std::int64_t a, std::int64_t b) {
        if (sp >= kStackEntries) detail::raiseOutOfRange();
        stack[++sp] = {a, b};
        if (sp > deepest) deepest = sp;
    };
    for (;;) {
        while (lo < hi) {
            const float pivot = k[hi];
            std::int64_t i = lo - 1;
            std::int64_t j = hi;
            do {
                do ++i;
                while (Order::before(k[i], pivot));
                do --j;
                while (Order::before(pivot, k[j]) && j != lo);
                std::swap(k[i], k[j]);
                std::swap(c[i], c[j]);
            } while (j > i);
            // Undo the last exchange and put the pivot between the two parts.
            const float tk = k[j];
            const float tc = c[j];
            k[j] = k[i];
            c[j] = c[i];
            k[i] = k[hi];
            c[i] = c[hi];
            k[hi] = tk;
            c[hi] = tc;
            // The larger part waits on the stack; the smaller one goes on now.
            if (i - lo > hi - i) {
                push(lo, i - 1);
                lo = i + 1;
            } else {
                push(i + 1, hi);
                hi = i - 1;
            }
        }
        lo = stack[sp].first;
        hi = stack[sp].second;
        --sp;
        if (sp == 0) break;  // entry 1 is the whole range: the bottom mark
    }
    return deepest;
}

}  // namespace

int sortParallel(std::vector<float>& keys, std::vector<float>& companion, std::int64_t upperIndex,
                 bool descending) {
    if (upperIndex < 0) return 1;
    if (upperIndex >= static_cast<std::int64_t>(keys.size()) ||
        upperIndex >= static_cast<std::int64_t>(companion.size()))
        detail::raiseOutOfRange();
    return descending ? sortRange<Descending>(keys.data(), companion.data(), 0, upperIndex)
                      : sortRange<Ascending>(keys.data(), companion.data(), 0, upperIndex);
}

}  // namespace zelmora
