#pragma once

#include <array>
#include <optional>
#include <vector>

// The table of star figures: five rows (0 HFWHM, 1 VFWHM, 2 peak, 3 radial
// value, 4 never written), one column per history picture, column = picture
// index + 1, so columns 0 and 1 are never filled. Before the first analysis it
// has no columns at all.
namespace zelmora::focus {

class FocusHistory {
public:
    static constexpr int kRows = 5;
    enum Row { HFWHM = 0, VFWHM = 1, Peak = 2, Radial = 3 };

    // Columns 0 ... lastColumn afterwards; kept values stay, new cells are 0.
    void redim(int lastColumn);
    void clear() { columns_.clear(); }

    bool empty() const { return columns_.empty(); }
    // The last column's index; -1 while the table has no columns.
    int lastIndex() const { return static_cast<int>(columns_.size()) - 1; }

    // Cells outside the table read 0 and are not written.
    float at(int row, int column) const;
    void set(int row, int column, float value);

    // A row of the last column; no value while the table has no columns.
    std::optional<float> last(int row) const;
    // The largest cell of the whole table (0 when empty or all cells are smaller).
    float maximum() const;

private:
    std::vector<std::array<float, kRows>> columns_;
};

}  // namespace zelmora::focus
