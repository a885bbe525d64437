#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "image/SortParallel.h"
#include "image/tests/DibTestUtil.h"

using namespace zelmora;

namespace {

struct Input {
    const char* name;
    std::vector<float> keys;
};

std::vector<Input> inputs() {
    std::mt19937 gen(5);
    std::vector<float> random(4096), ties(4096), ascending(4096), descending(4096);
    for (int k = 0; k < 4096; ++k) {
        random[k] = std::uniform_real_distribution<float>(0, 50)(gen);
        ties[k] = static_cast<float>(std::uniform_int_distribution<int>(0, 20)(gen));
        ascending[k] = static_cast<float>(k / 3);
        descending[k] = static_cast<float>(4096 - k);
    }
    return {{"empty", {}},
            {"one", {3}},
            {"two reversed", {2, 1}},
            {"three", {2, 3, 1}},
            {"random", random},
            {"many ties", ties},
            {"already sorted", ascending},
            {"reversed", descending},
            {"all equal", std::vector<float>(4096, 7.0f)}};
}

}  // namespace

TEST(SortParallel, SortsAndKeepsEveryPairTogetherWithinItsStack) {
    for (const bool down : {false, true}) {
        for (const Input& in : inputs()) {
            SCOPED_TRACE(std::string(in.name) + (down ? " descending" : " ascending"));
            std::vector<float> keys = in.keys;
            std::vector<float> tags(keys.size());
            // Each companion names its key's first place, so a broken pair shows.
            for (std::size_t k = 0; k < keys.size(); ++k) tags[k] = static_cast<float>(k);
            const int depth =
                sortParallel(keys, tags, static_cast<std::int64_t>(keys.size()) - 1, down);
            EXPECT_LE(depth, 32);
            if (down)
                EXPECT_TRUE(std::is_sorted(keys.rbegin(), keys.rend()));
            else
                EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
            std::vector<float> before = in.keys;
            std::vector<float> after = keys;
            std::sort(before.begin(), before.end());
            std::sort(after.begin(), after.end());
            EXPECT_EQ(before, after);
            std::vector<bool> seen(keys.size(), false);
            for (std::size_t k = 0; k < keys.size(); ++k) {
                const auto origin = static_cast<std::size_t>(tags[k]);
                ASSERT_LT(origin, keys.size());
                EXPECT_EQ(in.keys[origin], keys[k]);
                EXPECT_FALSE(seen[origin]);
                seen[origin] = true;
            }
        }
    }
}

TEST(SortParallel, EqualKeysAreExchangedNotKeptInOrder) {
    // Hand-traced: pivot 1 stops both scans at once on every equal key.
    std::vector<float> keys = {1, 1, 1, 1};
    std::vector<float> tags = {0, 1, 2, 3};
    sortParallel(keys, tags, 3, false);
    EXPECT_EQ(tags, (std::vector<float>{2, 3, 1, 0}));
}

TEST(SortParallel, UpperIndexLimitsTheSortAndIsChecked) {
    std::vector<float> keys = {5, 4, 3, 2, 1, 0, 0};
    std::vector<float> tags = {0, 1, 2, 3, 4, 5, 6};
    sortParallel(keys, tags, 4, false);
    EXPECT_EQ(keys, (std::vector<float>{1, 2, 3, 4, 5, 0, 0}));
    EXPECT_EQ(tags, (std::vector<float>{4, 3, 2, 1, 0, 5, 6}));
    EXPECT_EQ(dibtest::errorNumber([&] { sortParallel(keys, tags, 7, false); }),
              AppError::kSubscriptOutOfRange);
    std::vector<float> shortTags = {0, 1};
    EXPECT_EQ(dibtest::errorNumber([&] { sortParallel(keys, shortTags, 4, false); }),
              AppError::kSubscriptOutOfRange);
}
