#pragma once

#include <QCoreApplication>
#include <cstdint>
#include <functional>
#include <vector>

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

// Appends source in order, letting pending events run after each element.
template <typename T>
void ArrayAppendAll(
    std::vector<T>& dest, const std::vector<T>& source,
    const std::function<void()>& pump = [] { QCoreApplication::processEvents(); }) {
    dest.reserve(dest.size() + source.size());
    for (const T& v : source) {
        dest.push_back(v);
        if (pump) pump();
    }
}

}  // namespace zelmora::ArrayFunctions
