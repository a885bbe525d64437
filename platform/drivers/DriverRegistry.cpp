#include "platform/drivers/DriverRegistry.h"

#include <algorithm>

#include "platform/drivers/DriverErrors.h"
#include "platform/drivers/FocuserSimulator.h"
#include "platform/drivers/TelescopeSimulator.h"

namespace zelmora::drivers {

namespace {
[[noreturn]] void cannotCreate(const QString& id, const QString& why) {
    throw AppError(AppError::kCantCreateObject, QStringLiteral("DriverRegistry"),
                   QStringLiteral("Cannot create the driver \"") + id + QStringLiteral("\"") +
                       (why.isEmpty() ? QString() : QStringLiteral(": ") + why));
}

// Runs the entry's factory of the asked kind (null: the entry has none).
template <typename Driver, typename Factory>
std::shared_ptr<Driver> create(const QString& id, const Factory* factory, const QString& kind) {
    if (!factory || !*factory)
        cannotCreate(id, QStringLiteral("no such ") + kind + QStringLiteral(" driver"));
    std::shared_ptr<Driver> driver;
    try {
        driver = (*factory)();
    } catch (const AppError& err) {
        cannotCreate(id, err.description());
    }
    if (!driver) cannotCreate(id, {});
    return driver;
}
}  // namespace

DriverRegistry& DriverRegistry::instance() {
    static DriverRegistry r;
    return r;
}

DriverRegistry::DriverRegistry() {
    addBuiltIns();
}

void DriverRegistry::addBuiltIns() {
    addFocuser(kSimAbsoluteFocuserId, QStringLiteral("Focuser Simulator (absolute)"),
               [] { return std::make_shared<FocuserSimulator>(FocuserSimulator::Kind::Absolute); });
    addFocuser(kSimRelativeFocuserId, QStringLiteral("Focuser Simulator (relative)"),
               [] { return std::make_shared<FocuserSimulator>(FocuserSimulator::Kind::Relative); });
    addTelescope(kSimTelescopeId, QStringLiteral("Telescope Simulator"),
                 [] { return std::make_shared<TelescopeSimulator>(); });
}

void DriverRegistry::addFocuser(const QString& id, const QString& description,
                                FocuserFactory factory) {
    remove(id);
    entries_.push_back({{id, kFocuserType, description}, std::move(factory), {}});
}

void DriverRegistry::addTelescope(const QString& id, const QString& description,
                                  TelescopeFactory factory) {
    remove(id);
    entries_.push_back({{id, kTelescopeType, description}, {}, std::move(factory)});
}

void DriverRegistry::remove(const QString& id) {
    std::erase_if(entries_,
                  [&](const Entry& e) { return e.info.id.compare(id, Qt::CaseInsensitive) == 0; });
}

void DriverRegistry::reset() {
    entries_.clear();
    addBuiltIns();
}

const DriverRegistry::Entry* DriverRegistry::find(const QString& id) const {
    if (id.trimmed().isEmpty()) return nullptr;
    for (const Entry& e : entries_)
        if (e.info.id.compare(id, Qt::CaseInsensitive) == 0) return &e;
    return nullptr;
}

bool DriverRegistry::contains(const QString& id) const {
    return find(id) != nullptr;
}

std::vector<DriverInfo> DriverRegistry::drivers(const QString& deviceType) const {
    std::vector<DriverInfo> out;
    for (const Entry& e : entries_)
        if (e.info.deviceType.compare(deviceType, Qt::CaseInsensitive) == 0) out.push_back(e.info);
    return out;
}

std::shared_ptr<Focuser> DriverRegistry::createFocuser(const QString& id) const {
    const Entry* e = find(id);
    return create<Focuser>(id, e ? &e->focuser : nullptr, QStringLiteral("focuser"));
}

std::shared_ptr<Telescope> DriverRegistry::createTelescope(const QString& id) const {
    const Entry* e = find(id);
    return create<Telescope>(id, e ? &e->telescope : nullptr, QStringLiteral("telescope"));
}

}  // namespace zelmora::drivers
