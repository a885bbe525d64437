#pragma once

#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "platform/drivers/DriverRegistry.h"

class QDialog;

namespace zelmora::drivers {

// The dialogs of the driver layer: the chooser and the drivers' own settings
// dialogs. Production shows Qt dialogs; tests install ScriptedDriverUi.
class DriverUiBackend {
public:
    virtual ~DriverUiBackend() = default;
    // Lets the user pick one of `drivers`, `currentId` preselected. Returns the
    // chosen identifier, or "" when the user cancels.
    virtual QString choose(const QString& deviceType, const QString& currentId,
                           const std::vector<DriverInfo>& drivers) = 0;
    // Runs a driver's settings dialog modally; true when the user accepted it.
    virtual bool runSetupDialog(QDialog& dialog) = 0;
};

class DriverUi {
public:
    static DriverUiBackend& backend();
    static void setBackend(std::shared_ptr<DriverUiBackend> backend);
    // A driver's settings dialog, through the backend: it lets events run
    // while it is up, a pass of the loop as any box is.
    static bool runSetupDialog(QDialog& dialog);
};

// Picks a driver by identifier: set the device type, then Choose with the
// identifier in use. The list is the registry's drivers of that type.
class DriverChooser {
public:
    void setDeviceType(const QString& type) { deviceType_ = type; }
    const QString& deviceType() const { return deviceType_; }
    // The chosen identifier, or "" when the user cancels.
    QString Choose(const QString& currentId) const;

private:
    QString deviceType_ = kTelescopeType;
};

// A list of the drivers with OK and Cancel.
class QtDriverUi : public DriverUiBackend {
public:
    QString choose(const QString& deviceType, const QString& currentId,
                   const std::vector<DriverInfo>& drivers) override;
    bool runSetupDialog(QDialog& dialog) override;
};

// Answers from a script, for tests. A chooser nobody expected answers "" and
// reports itself through onUnexpected; settings dialogs run `setupAction`
// (none: cancelled at once).
class ScriptedDriverUi : public DriverUiBackend {
public:
    struct ChooseCall {
        QString deviceType;
        QString currentId;
        std::vector<DriverInfo> offered;
    };

    ScriptedDriverUi& expectChoose(const QString& reply) {
        replies_.push_back(reply);
        return *this;
    }
    void setSetupAction(std::function<bool(QDialog&)> action) { setupAction_ = std::move(action); }
    void setOnUnexpected(std::function<void(const QString&)> f) { onUnexpected_ = std::move(f); }

    const std::vector<ChooseCall>& calls() const { return calls_; }
    int setupDialogsShown() const { return setupShown_; }
    bool allUsed() const { return replies_.empty(); }

    QString choose(const QString& deviceType, const QString& currentId,
                   const std::vector<DriverInfo>& drivers) override;
    bool runSetupDialog(QDialog& dialog) override;

private:
    std::deque<QString> replies_;
    std::vector<ChooseCall> calls_;
    std::function<bool(QDialog&)> setupAction_;
    std::function<void(const QString&)> onUnexpected_;
    int setupShown_ = 0;
};

}  // namespace zelmora::drivers
