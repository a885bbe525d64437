#pragma once

#include <cstdint>
#include <vector>

#include "platform/time/Clock.h"

// Growable lists as the folder monitor keeps them.
namespace zelmora::ArrayFunctions {

template <typename T>
std::int32_t ArrayCount(const std::vector<T>& list) {
    return static_cast<std::int32_t>(list.size());
}

template <typename T, typename V>
void ArrayAppend(std::vector<T>& list, V&& value) {
    list.push_back(std::forward<V>(value));
}

// First index equal to value, -1 when there is none.
template <typename T, typename V>
std::int32_t ArrayIndexOf(const std::vector<T>& list, const V& value) {
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i] == value) return static_cast<std::int32_t>(i);
    return -1;
}

// A table of records (each record a list) is searched by each record's element 0:
// the first record whose element 0 equals value, -1 when there is none. As with the
// lists it is built for, a table whose first record is empty is searched no further.
template <typename T, typename V>
requires requires(const T& a, const V& b) {
    a == b;
}
std::int32_t ArrayIndexOf(const std::vector<std::vector<T>>& table, const V& value) {
    if (table.empty() || table.front().empty()) return -1;
    for (std::size_t i = 0; i < table.size(); ++i)
        if (!table[i].empty() && table[i].front() == value) return static_cast<std::int32_t>(i);
    return -1;
}

// Appends source in order, letting pending events run after each element.
template <typename T>
void ArrayAppendAll(std::vector<T>& dest, const std::vector<T>& source) {
    dest.reserve(dest.size() + source.size());
    for (const T& v : source) {
        dest.push_back(v);
        platform::passEvents();
    }
}

}  // namespace zelmora::ArrayFunctions
