#pragma once

#include <QString>
#include <QtGlobal>
#include <memory>

#include "platform/drivers/Focuser.h"

namespace zelmora::platform {
class Timer;
}

namespace zelmora::drivers {

// A focuser that moves the simulated sky's focuser, so that the simulated
// camera's stars blur as it moves away from best focus. Two kinds:
//  - Absolute: reports Position; Move takes a target in 0..MaxStep.
//  - Relative: no Position; Move takes a signed step count up to MaxStep.
// Moves take |distance| / stepsPerSecond on the program clock (0 = at once),
// so IsMoving and the sky follow virtual time in tests. Faults can be injected.
class FocuserSimulator : public Focuser {
public:
    enum class Kind { Absolute, Relative };

    struct Config {
        int maxStep = 10000;
        double stepSize = 5.0;         // microns
        double stepsPerSecond = 1000;  // 0 = moves end at once
        // Faults, for trying out the program's error paths.
        bool refuseLink = false;   // link reads False after being set True
        bool linkFails = false;    // setting link raises an error
        bool moveFails = false;    // Move raises an error
        bool movingStuck = false;  // IsMoving keeps reading True after a move
    };

    explicit FocuserSimulator(Kind kind);
    ~FocuserSimulator() override;

    // Defaults of each kind, with what the simulator's settings hold.
    static Config defaults(Kind kind);
    static Config loadConfig(Kind kind);
    static void saveConfig(Kind kind, const Config& config);
    static QString settingsSection(Kind kind);

    Kind kind() const { return kind_; }
    const Config& config() const { return config_; }
    void setConfig(const Config& config) { config_ = config; }

    bool link() const override { return linked_; }
    void setLink(bool value) override;
    bool absolute() const override { return kind_ == Kind::Absolute; }
    std::int32_t Position() const override;
    std::int32_t MaxStep() const override { return config_.maxStep; }
    double stepsize() const override { return config_.stepSize; }
    bool IsMoving() const override;
    void Move(std::int32_t value) override;
    void SetupDialog() override;
    void ResetPositionTo(std::int32_t position) override;
    QString source() const override;

    // Where the focuser stands now, in the sky's steps (the truth, whatever
    // position has been declared).
    int truePosition() const;

private:
    void requireLink(const QString& member) const;
    void startMove(int toTruePosition);
    int interpolated() const;
    // Tells the sky where a running move has got to; closes it once it has ended.
    void publish() const;
    void onTick();

    Kind kind_;
    Config config_;
    bool linked_ = false;
    bool everMoved_ = false;
    int offset_ = 0;  // declared minus true position (absolute focusers)
    // The last move, on the clock's monotonic milliseconds; open until the
    // sky has heard of its end.
    mutable bool moveOpen_ = false;
    int from_ = 0;
    int to_ = 0;
    qint64 startMs_ = 0;
    qint64 endMs_ = 0;
    std::unique_ptr<platform::Timer> tick_;
};

}  // namespace zelmora::drivers
