#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "platform/drivers/Focuser.h"
#include "platform/drivers/Telescope.h"

namespace zelmora::drivers {

// Device types as the chooser names them.
inline const QString kFocuserType = QStringLiteral("Focuser");
inline const QString kTelescopeType = QStringLiteral("Telescope");

struct DriverInfo {
    QString id;           // identifier the program stores, e.g. "Simulator.Telescope"
    QString deviceType;   // kFocuserType or kTelescopeType
    QString description;  // what the chooser shows
};

// The drivers the program can create, by identifier. The simulators are
// registered from the start; tests add fakes and take them away with reset().
// Identifiers are matched without regard to letter case.
class DriverRegistry {
public:
    using FocuserFactory = std::function<std::shared_ptr<Focuser>()>;
    using TelescopeFactory = std::function<std::shared_ptr<Telescope>()>;

    static DriverRegistry& instance();

    void addFocuser(const QString& id, const QString& description, FocuserFactory factory);
    void addTelescope(const QString& id, const QString& description, TelescopeFactory factory);
    void remove(const QString& id);
    // Back to the built-in drivers only.
    void reset();

    bool contains(const QString& id) const;
    // Registered drivers of one device type, in the order they were added.
    std::vector<DriverInfo> drivers(const QString& deviceType) const;

    // Create a driver object. An empty, unknown or mistyped identifier, or a
    // factory that fails, raises AppError 429.
    std::shared_ptr<Focuser> createFocuser(const QString& id) const;
    std::shared_ptr<Telescope> createTelescope(const QString& id) const;

private:
    DriverRegistry();
    struct Entry {
        DriverInfo info;
        FocuserFactory focuser;
        TelescopeFactory telescope;
    };
    const Entry* find(const QString& id) const;
    void addBuiltIns();

    std::vector<Entry> entries_;
};

// The simulators' identifiers.
inline const QString kSimAbsoluteFocuserId = QStringLiteral("Simulator.AbsoluteFocuser");
inline const QString kSimRelativeFocuserId = QStringLiteral("Simulator.RelativeFocuser");
inline const QString kSimTelescopeId = QStringLiteral("Simulator.Telescope");

}  // namespace zelmora::drivers
