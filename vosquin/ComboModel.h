#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zelmora::vosquin {

// One list entry: its text and the library code it stands for. Quality entries
// carry the size as a second code, so the pair is never re-derived from digits.
struct ComboEntry {
    std::string text;
    std::uint16_t code = 0;
    std::uint16_t size = 0;
};

// The state of one drop-down list of the camera dialog, kept apart from the widget
// so the dialog's logic runs without a window. "Visible" is the designed
// visibility: whether the dialog means to show the list, not whether a window is
// on screen.
class ComboModel {
public:
    // A sorted list inserts each entry at its place, comparing texts ignoring case.
    explicit ComboModel(bool sorted = false) : sorted_(sorted) {}

    void clear();
    // Returns the index the entry went to.
    int add(ComboEntry entry);
    int count() const { return int(entries_.size()); }
    const ComboEntry& at(int index) const { return entries_.at(std::size_t(index)); }
    const std::vector<ComboEntry>& entries() const { return entries_; }

    int selected() const { return selected_; }
    void select(int index);  // -1: no selection
    const ComboEntry* selectedEntry() const;
    std::string selectedText() const;  // "" with no selection

    // The searches of a list box asked to start after the first entry: they look
    // at entry 1 onwards and wrap round to entry 0. Case is ignored; -1 if none.
    int findExact(std::string_view text) const;
    int findPrefix(std::string_view prefix) const;
    int findCode(std::uint16_t code) const;  // first entry with the code
    // The same search order with any test.
    template <typename Match>
    int findIf(Match match) const {
        const int n = count();
        for (int k = 1; k <= n; ++k) {
            const int i = k % n;
            if (match(entries_[std::size_t(i)])) return i;
        }
        return -1;
    }

    bool enabled() const { return enabled_; }
    void setEnabled(bool on) { enabled_ = on; }
    bool visible() const { return visible_; }
    void setVisible(bool on) { visible_ = on; }

    // Changes whenever the entries change, so a view knows to rebuild its items.
    std::uint64_t revision() const { return revision_; }

private:
    bool sorted_;
    std::vector<ComboEntry> entries_;
    int selected_ = -1;
    bool enabled_ = false;
    bool visible_ = true;
    std::uint64_t revision_ = 0;
};

// Case-insensitive comparisons of the list texts (which are plain ASCII).
bool equalsIgnoringCase(std::string_view a, std::string_view b);
bool startsWithIgnoringCase(std::string_view text, std::string_view prefix);

}  // namespace zelmora::vosquin
