#include "focus/FocusHistory.h"

namespace zelmora::focus {

void FocusHistory::redim(int lastColumn) {
    columns_.resize(lastColumn < 0 ? 0 : static_cast<std::size_t>(lastColumn) + 1,
                    std::array<float, kRows>{});
}

float FocusHistory::at(int row, int column) const {
    if (row < 0 || row >= kRows || column < 0 || column > lastIndex()) return 0.0f;
    return columns_[static_cast<std::size_t>(column)][static_cast<std::size_t>(row)];
}

void FocusHistory::set(int row, int column, float value) {
    if (row < 0 || row >= kRows || column < 0 || column > lastIndex()) return;
    columns_[static_cast<std::size_t>(column)][static_cast<std::size_t>(row)] = value;
}

std::optional<float> FocusHistory::last(int row) const {
    if (empty() || row < 0 || row >= kRows) return std::nullopt;
    return columns_.back()[static_cast<std::size_t>(row)];
}

float FocusHistory::maximum() const {
    float best = 0.0f;
    for (const auto& column : columns_)
        for (float v : column)
            if (v > best) best = v;
    return best;
}

}  // namespace zelmora::focus
