#pragma once

#include <QString>
#include <cstdint>
#include <vector>

namespace zelmora {

// One list of camera settings: each entry a text and the camera's code for it,
// one selected entry (-1 = none).
struct SettingList {
    struct Item {
        QString text;
        std::int32_t item = 0;
    };
    std::vector<Item> items;
    int selected = -1;
    // Whether the list offers its entries (a rebuild leaves it as it was).
    bool enabled = false;

    bool hasSelection() const { return selected >= 0 && selected < static_cast<int>(items.size()); }
    QString selectedText() const {
        return hasSelection() ? items[static_cast<size_t>(selected)].text : QString();
    }
    std::int32_t selectedItem() const {
        return hasSelection() ? items[static_cast<size_t>(selected)].item : 0;
    }
    void add(const QString& text, std::int32_t item) { items.push_back({text, item}); }
    void clear() {
        items.clear();
        selected = -1;
    }
    // Selects entry index; an index outside the list leaves no selection.
    void select(int index) {
        selected = (index >= 0 && index < static_cast<int>(items.size())) ? index : -1;
    }
};

// The camera object's master lists. They exist, empty, from the start: a
// connect fills them, and an empty list simply reads as "no selection".
struct MasterLists {
    SettingList CamImagesListBox;
    SettingList lbISO;
    SettingList lbMode;
    SettingList lbAv;
    SettingList lbQualitySize;
    SettingList lbTv;
};

}  // namespace zelmora
