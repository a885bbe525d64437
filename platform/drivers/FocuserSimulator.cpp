#include "platform/drivers/FocuserSimulator.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QSpinBox>
#include <cmath>
#include <cstdlib>

#include "platform/drivers/DriverChooser.h"
#include "platform/drivers/DriverErrors.h"
#include "platform/drivers/DriverRegistry.h"
#include "platform/drivers/SimulatorSettings.h"
#include "platform/sim/SimSky.h"
#include "platform/time/Clock.h"
#include "platform/time/Timer.h"

namespace zelmora::drivers {

namespace {
// How often the sky hears of a move in progress: fine enough for an exposure
// to see the focuser where it stands.
constexpr int kTickMs = 50;

qint64 nowMs() {
    return platform::clock().monotonicMs();
}
}  // namespace

FocuserSimulator::FocuserSimulator(Kind kind) : kind_(kind), config_(loadConfig(kind)) {
    tick_ = std::make_unique<platform::Timer>();
    QObject::connect(tick_.get(), &platform::Timer::timeout, [this] { onTick(); });
}

FocuserSimulator::~FocuserSimulator() {
    // A move that was still running has reached where it stands now.
    publish();
}

QString FocuserSimulator::settingsSection(Kind kind) {
    return kind == Kind::Absolute ? kSimAbsoluteFocuserId : kSimRelativeFocuserId;
}

FocuserSimulator::Config FocuserSimulator::defaults(Kind kind) {
    Config c;
    if (kind == Kind::Relative) {
        c.maxStep = 5000;
        c.stepSize = 10.0;
    }
    return c;
}

FocuserSimulator::Config FocuserSimulator::loadConfig(Kind kind) {
    Config c = defaults(kind);
    const QString s = settingsSection(kind);
    c.maxStep = std::max(1, SimulatorSettings::getInt(s, QStringLiteral("MaxStep"), c.maxStep));
    c.stepSize = SimulatorSettings::getDouble(s, QStringLiteral("StepSize"), c.stepSize);
    c.stepsPerSecond = std::max(
        0.0, SimulatorSettings::getDouble(s, QStringLiteral("StepsPerSecond"), c.stepsPerSecond));
    return c;
}

void FocuserSimulator::saveConfig(Kind kind, const Config& c) {
    const QString s = settingsSection(kind);
    SimulatorSettings::saveInt(s, QStringLiteral("MaxStep"), c.maxStep);
    SimulatorSettings::saveDouble(s, QStringLiteral("StepSize"), c.stepSize);
    SimulatorSettings::saveDouble(s, QStringLiteral("StepsPerSecond"), c.stepsPerSecond);
}

QString FocuserSimulator::source() const {
    return settingsSection(kind_);
}

void FocuserSimulator::setLink(bool value) {
    if (value && config_.linkFails)
        throwDriverError(DriverErrors::kDeviceFault, source(),
                         QStringLiteral("The focuser does not answer"));
    linked_ = value && !config_.refuseLink;
}

void FocuserSimulator::requireLink(const QString& member) const {
    if (!linked_)
        throwDriverError(DriverErrors::kNotConnected, source(),
                         member + QStringLiteral(": the focuser is not linked"));
}

int FocuserSimulator::interpolated() const {
    const qint64 now = nowMs();
    if (now >= endMs_ || endMs_ <= startMs_) return to_;
    const double f = double(now - startMs_) / double(endMs_ - startMs_);
    return from_ + int(std::lround(double(to_ - from_) * f));
}

// While no move of ours runs, the sky holds the truth: another driver or a
// test may have moved its focuser.
int FocuserSimulator::truePosition() const {
    return moveOpen_ ? interpolated() : sim::SimSky::instance().focuserPosition();
}

void FocuserSimulator::publish() const {
    if (!moveOpen_) return;
    sim::SimSky::instance().setFocuserPosition(interpolated());
    if (nowMs() >= endMs_) moveOpen_ = false;
}

std::int32_t FocuserSimulator::Position() const {
    if (kind_ == Kind::Relative) throwNotImplemented(source(), QStringLiteral("Position"));
    requireLink(QStringLiteral("Position"));
    publish();
    return truePosition() + offset_;
}

bool FocuserSimulator::IsMoving() const {
    requireLink(QStringLiteral("IsMoving"));
    if (config_.movingStuck && everMoved_) return true;
    publish();
    return moveOpen_;
}

void FocuserSimulator::Move(std::int32_t value) {
    requireLink(QStringLiteral("Move"));
    if (config_.moveFails)
        throwDriverError(DriverErrors::kDeviceFault, source(),
                         QStringLiteral("The focuser motor stalled"));
    if (kind_ == Kind::Absolute) {
        if (value < 0 || value > config_.maxStep)
            throwDriverError(DriverErrors::kInvalidValue, source(),
                             QStringLiteral("Move: position %1 is outside 0 to %2")
                                 .arg(value)
                                 .arg(config_.maxStep));
        startMove(value - offset_);
    } else {
        if (std::abs(qint64(value)) > config_.maxStep)
            throwDriverError(DriverErrors::kInvalidValue, source(),
                             QStringLiteral("Move: %1 steps is more than the largest move, %2")
                                 .arg(value)
                                 .arg(config_.maxStep));
        startMove(truePosition() + value);
    }
}

void FocuserSimulator::startMove(int toTruePosition) {
    // A new move starts from wherever a running one has got to.
    const int from = truePosition();
    everMoved_ = true;
    from_ = from;
    to_ = toTruePosition;
    startMs_ = nowMs();
    const double distance = std::abs(double(to_ - from_));
    endMs_ = config_.stepsPerSecond > 0
                 ? startMs_ + qint64(std::ceil(distance * 1000.0 / config_.stepsPerSecond))
                 : startMs_;
    moveOpen_ = true;
    publish();
    tick_->setInterval(endMs_ > startMs_ ? kTickMs : 0);
}

void FocuserSimulator::onTick() {
    publish();
    if (!moveOpen_) tick_->setInterval(0);
}

void FocuserSimulator::ResetPositionTo(std::int32_t position) {
    if (kind_ == Kind::Relative) throwNotImplemented(source(), QStringLiteral("ResetPositionTo"));
    requireLink(QStringLiteral("ResetPositionTo"));
    offset_ = position - truePosition();
}

void FocuserSimulator::SetupDialog() {
    QDialog dialog;
    dialog.setObjectName(QStringLiteral("FocuserSimulatorSetup"));
    dialog.setWindowTitle(kind_ == Kind::Absolute ? QStringLiteral("Focuser Simulator (absolute)")
                                                  : QStringLiteral("Focuser Simulator (relative)"));
    auto* form = new QFormLayout(&dialog);
    auto* maxStep = new QSpinBox(&dialog);
    maxStep->setObjectName(QStringLiteral("maxStep"));
    maxStep->setRange(1, 1000000);
    maxStep->setValue(config_.maxStep);
    form->addRow(kind_ == Kind::Absolute ? QStringLiteral("Highest position (steps)")
                                         : QStringLiteral("Largest move (steps)"),
                 maxStep);
    auto* stepSize = new QDoubleSpinBox(&dialog);
    stepSize->setObjectName(QStringLiteral("stepSize"));
    stepSize->setRange(0, 1000);
    stepSize->setDecimals(2);
    stepSize->setValue(config_.stepSize);
    form->addRow(QStringLiteral("Step size (microns)"), stepSize);
    auto* speed = new QDoubleSpinBox(&dialog);
    speed->setObjectName(QStringLiteral("stepsPerSecond"));
    speed->setRange(0, 1000000);
    speed->setDecimals(0);
    speed->setValue(config_.stepsPerSecond);
    speed->setSpecialValueText(QStringLiteral("Instant"));
    form->addRow(QStringLiteral("Speed (steps per second)"), speed);
    // Faults last for this session only.
    auto* refuse = new QCheckBox(QStringLiteral("Refuse the link"), &dialog);
    refuse->setObjectName(QStringLiteral("refuseLink"));
    refuse->setChecked(config_.refuseLink);
    auto* moveFails = new QCheckBox(QStringLiteral("Fail every move"), &dialog);
    moveFails->setObjectName(QStringLiteral("moveFails"));
    moveFails->setChecked(config_.moveFails);
    auto* stuck = new QCheckBox(QStringLiteral("Never stop moving"), &dialog);
    stuck->setObjectName(QStringLiteral("movingStuck"));
    stuck->setChecked(config_.movingStuck);
    form->addRow(refuse);
    form->addRow(moveFails);
    form->addRow(stuck);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (!DriverUi::runSetupDialog(dialog)) return;
    config_.maxStep = maxStep->value();
    config_.stepSize = stepSize->value();
    config_.stepsPerSecond = speed->value();
    config_.refuseLink = refuse->isChecked();
    config_.moveFails = moveFails->isChecked();
    config_.movingStuck = stuck->isChecked();
    saveConfig(kind_, config_);
}

}  // namespace zelmora::drivers
