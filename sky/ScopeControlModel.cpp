#include "sky/ScopeControlModel.h"

#include <optional>

#include "platform/os/Dialogs.h"
#include "platform/time/Timer.h"
#include "shell/Errors.h"
#include "shell/ProgramState.h"
#include "sky/CoordParser.h"
#include "sky/ScopeDriver.h"

namespace zelmora::sky {

using platform::Dialogs;
namespace Msg = platform::Msg;

namespace {

constexpr int kPollMs = 200;
constexpr int kIndicatorMs = 800;

// A driver step whose failure is skipped; it is traced so that a refusal
// can be found afterwards.
template <typename F>
bool step(const char* proc, F&& body) {
    return trapAndTrace(QString::fromLatin1(proc), std::forward<F>(body));
}

double wrapAzimuth(double az) {
    if (az < 0) az += 360.0;
    if (az >= 360.0) az -= 360.0;
    return az >= 360.0 ? 0.0 : az;
}

}  // namespace

ScopeControlModel::ScopeControlModel(ScopeView& view, QObject* parent)
    : QObject(parent), view_(view) {
    timer_ = new platform::Timer(this);
    timer_->setEnabled(false);
    timer_->setInterval(kPollMs);
    timer2_ = new platform::Timer(this);
    timer2_->setInterval(0);
    connect(timer_, &platform::Timer::timeout, this, [this] { timer_Timer(); });
    connect(timer2_, &platform::Timer::timeout, this, [this] { Timer2_Timer(); });
}

ScopeControlModel::~ScopeControlModel() = default;

void ScopeControlModel::cmdSlew_MouseDown(std::int16_t index) {
    buttonState_ = index;
}

void ScopeControlModel::cmdSlew_MouseUp() {
    // Nothing to clear: a press the poll has taken is already cleared by its
    // read, and one it has not taken yet must stay for it.
}

std::int16_t ScopeControlModel::ButtonState() {
    const std::int16_t b = buttonState_;
    buttonState_ = 0;
    return b;
}

void ScopeControlModel::setSouthernHemisphere(bool value) {
    southern_ = value;
    SetJogCaptions();
}

void ScopeControlModel::setAlignMode(std::int32_t value) {
    alignMode_ = value;
    SetJogCaptions();
}

std::array<QString, 4> ScopeControlModel::jogCaptions(std::int32_t alignMode, bool southern) {
    if (alignMode == 0)
        return {QStringLiteral("U"), QStringLiteral("D"), QStringLiteral("R"), QStringLiteral("L")};
    if (southern)
        return {QStringLiteral("S"), QStringLiteral("N"), QStringLiteral("E"), QStringLiteral("W")};
    return {QStringLiteral("N"), QStringLiteral("S"), QStringLiteral("E"), QStringLiteral("W")};
}

void ScopeControlModel::SetJogCaptions() {
    view_.showJogCaptions(jogCaptions(alignMode_, southern_));
}

void ScopeControlModel::setLamp(std::uint32_t bgr) {
    lamp_ = bgr;
    view_.showLamp(bgr);
}

void ScopeControlModel::ProbeScope() {
    ProgramState& ps = state();
    ScopeState& s = scopeState();
    const auto driver = scope();
    if (!driver) {
        ps.bScopeLinked = false;
        return;
    }
    if (!ps.bScopeLinked) guarded([&] { driver->setConnected(true); });
    guarded([&] { ps.bScopeLinked = driver->connected(); });
    if (!ps.bScopeLinked) {
        Dialogs::msgBox(QStringLiteral("Error connecting to telescope."), Msg::Exclamation);
        return;
    }
    timer_->setEnabled(true);

    const bool az = guarded([&] { s.dScopeAz = wrapAzimuth(driver->Azimuth()); });
    const bool alt = guarded([&] { s.dScopeAlt = driver->Altitude(); });
    s.bCanReadAltAz = az && alt;
    const bool ra = guarded([&] { s.dScopeRA = driver->RightAscension(); });
    const bool dec = guarded([&] { s.dScopeDec = driver->Declination(); });
    s.bCanReadRaDec = ra && dec;
    if (!s.bCanReadAltAz && !s.bCanReadRaDec) {
        Dialogs::msgBox(
            QStringLiteral("Scope driver not capable of providing Equatorial or Alt/Az ") +
                QStringLiteral("coordinates, disconnecting"),
            Msg::Exclamation);
        guarded([&] { driver->setConnected(false); });
        ps.bScopeLinked = false;
        // Nothing is left to poll.
        timer_->setEnabled(false);
        setLamp(kRed);
        return;
    }

    double latitude = 0, longitude = 0;
    if (guarded([&] { latitude = driver->SiteLatitude(); }) &&
        guarded([&] { longitude = driver->SiteLongitude(); })) {
        s.dSiteLatitude = latitude;
        s.dSiteLongitude = longitude;
        s.bSiteKnown = true;
        setSouthernHemisphere(latitude < 0);
    }

    std::int32_t mode = -1;
    if (!guarded([&] { mode = driver->AlignmentMode(); })) mode = -1;
    s.lAlignmentMode = mode;
    setAlignMode(mode);

    guarded([&] { s.bCanSlew = driver->CanSlew(); });
    guarded([&] { s.bCanSlewAsync = driver->CanSlewAsync(); });
}

void ScopeControlModel::timer_Timer() {
    const auto driver = scope();
    if (!driver) {
        // The driver was let go (the link was terminated): not connected.
        setLamp(kRed);
        return;
    }
    bool up = false;
    try {
        up = driver->connected() && state().bScopeLinked;
        tickTrace_.succeeded();
    } catch (...) {
        tickTrace_.failed();
        setLamp(kRed);
        return;
    }
    if (!up) {
        setLamp(kRed);
        return;
    }
    setLamp(kBrightGreen);
    trapAndTrace(QStringLiteral("modScope.ScopePoll"), [&] { modScope::ScopePoll(*this); });
}

void ScopeControlModel::Timer2_Timer() {
    const auto driver = scope();
    if (!driver) {
        timer2_->setInterval(0);
        return;
    }
    try {
        if (driver->Slewing()) {
            if (lamp_ == kBrightGreen) setLamp(kGreen);
        } else {
            setLamp(kBrightGreen);
            timer2_->setInterval(0);
        }
        indicatorTrace_.succeeded();
    } catch (...) {
        indicatorTrace_.failed();
        setLamp(kRed);
        timer2_->setInterval(0);
    }
}

void ScopeControlModel::cbSlew_Click(const QString& raText, const QString& decText) {
    std::optional<double> ra, dec;
    if (!raText.isEmpty() && raText != kRaPlaceholder) ra = CoordParser::hoursFromText(raText);
    if (!decText.isEmpty() && decText != kDecPlaceholder)
        dec = CoordParser::degreesFromText(decText);
    // A text that does not read, or a place outside the sky, must never
    // reach the mount as some default position.
    if (!ra || !dec || *ra < 0 || *ra > 24 || *dec < -90 || *dec > 90) {
        Dialogs::msgBox(kInvalidCoordinates, Msg::OKOnly);
        return;
    }
    timer2_->setInterval(kIndicatorMs);
    const auto driver = scope();
    if (!driver) return;
    step("frmScopeControl.cbSlew_Click", [&] { driver->setTargetDeclination(*dec); });
    step("frmScopeControl.cbSlew_Click", [&] { driver->setTargetRightAscension(*ra); });
    bool connected = false;
    guarded([&] { connected = driver->connected(); });
    if (!connected) return;
    bool async = false;
    guarded([&] { async = driver->CanSlewAsync(); });
    if (async) {
        step("frmScopeControl.cbSlew_Click", [&] { driver->SlewToCoordinatesAsync(*ra, *dec); });
        return;
    }
    bool can = false;
    guarded([&] { can = driver->CanSlew(); });
    // Returns when the mount has arrived; events keep being handled meanwhile,
    // so nothing of this object is touched afterwards.
    if (can) step("frmScopeControl.cbSlew_Click", [&] { driver->SlewToCoordinates(*ra, *dec); });
}

void ScopeControlModel::Sync_Click() {
    if (const auto driver = scope())
        step("frmScopeControl.Sync_Click", [&] { driver->SyncToTarget(); });
}

void ScopeControlModel::cmdSetup_Click() {
    if (const auto driver = scope())
        step("frmScopeControl.cmdSetup_Click", [&] { driver->SetupDialog(); });
}

void ScopeControlModel::setRightAscension(double hours) {
    view_.showRightAscension(modScope::DegToDMS(hours, false));
}

void ScopeControlModel::setDeclination(double degrees) {
    view_.showDeclination(modScope::DegToDMS(degrees, true));
}

void ScopeControlModel::setAzimuth(double degrees) {
    view_.showAzimuth(modScope::DegToDMS(wrapAzimuth(degrees), false));
}

void ScopeControlModel::setAltitude(double degrees) {
    view_.showAltitude(modScope::DegToDMS(degrees, false));
}

void ScopeControlModel::blankEquatorial() {
    view_.showRightAscension({});
    view_.showDeclination({});
}

void ScopeControlModel::blankHorizontal() {
    view_.showAzimuth({});
    view_.showAltitude({});
}

}  // namespace zelmora::sky
