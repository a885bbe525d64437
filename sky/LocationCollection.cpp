#include "sky/LocationCollection.h"

namespace zelmora::sky {

clsLocation* LocationCollection::find(const QString& name) const {
    return byName_.value(name.toCaseFolded(), nullptr);
}

bool LocationCollection::add(std::unique_ptr<clsLocation> location) {
    if (!location || contains(location->getLocationName())) return false;
    byName_.insert(location->getLocationName().toCaseFolded(), location.get());
    items_.push_back(std::move(location));
    return true;
}

QStringList LocationCollection::names() const {
    QStringList list;
    for (const auto& item : items_) list << item->getLocationName();
    return list;
}

}  // namespace zelmora::sky
