#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "sky/clsLocation.h"

namespace zelmora::sky {

// Saved locations in the order they were added, keyed by name without regard
// to letter case (a hash look-up, so long lists load in linear time); a name is in
// the list once. A listed place keeps its name (in any letter case).
class LocationCollection {
public:
    int count() const { return static_cast<int>(items_.size()); }
    const clsLocation& at(int index) const { return *items_.at(static_cast<size_t>(index)); }
    clsLocation* find(const QString& name) const;
    bool contains(const QString& name) const { return find(name) != nullptr; }
    // False (and nothing added) when the name is already listed.
    bool add(std::unique_ptr<clsLocation> location);
    QStringList names() const;

private:
    std::vector<std::unique_ptr<clsLocation>> items_;
    QHash<QString, clsLocation*> byName_;  // case-folded name
};

}  // namespace zelmora::sky
