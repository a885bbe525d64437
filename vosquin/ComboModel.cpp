#include "vosquin/ComboModel.h"

#include <algorithm>
#include <cctype>

namespace zelmora::vosquin {

namespace {
int lower(char c) {
    return std::tolower(static_cast<unsigned char>(c));
}
bool lessIgnoringCase(std::string_view a, std::string_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return lower(x) < lower(y); });
}
}  // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lower(x) == lower(y); });
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           equalsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

void ComboModel::clear() {
    entries_.clear();
    selected_ = -1;
    ++revision_;
}

int ComboModel::add(ComboEntry entry) {
    auto at = entries_.end();
    if (sorted_)
        at = std::upper_bound(entries_.begin(), entries_.end(), entry.text,
                              [](const std::string& text, const ComboEntry& e) {
                                  return lessIgnoringCase(text, e.text);
                              });
    const int index = int(at - entries_.begin());
    entries_.insert(at, std::move(entry));
    if (selected_ >= index) ++selected_;
    ++revision_;
    return index;
}

void ComboModel::select(int index) {
    selected_ = index >= 0 && index < count() ? index : -1;
}

const ComboEntry* ComboModel::selectedEntry() const {
    return selected_ >= 0 ? &entries_[std::size_t(selected_)] : nullptr;
}

std::string ComboModel::selectedText() const {
    const ComboEntry* e = selectedEntry();
    return e ? e->text : std::string();
}

int ComboModel::findExact(std::string_view text) const {
    return findIf([&](const ComboEntry& e) { return equalsIgnoringCase(e.text, text); });
}

int ComboModel::findPrefix(std::string_view prefix) const {
    return findIf([&](const ComboEntry& e) { return startsWithIgnoringCase(e.text, prefix); });
}

int ComboModel::findCode(std::uint16_t code) const {
    for (int i = 0; i < count(); ++i)
        if (entries_[std::size_t(i)].code == code) return i;
    return -1;
}

}  // namespace zelmora::vosquin
