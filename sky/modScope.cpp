#include "sky/modScope.h"

#include <cmath>

#include "platform/astro/Astro.h"
#include "shell/Errors.h"
#include "shell/Globals.h"
#include "shell/ProgramState.h"
#include "sky/FailureTrace.h"
#include "sky/ScopeDriver.h"

namespace zelmora::sky {

namespace {

struct PollTraces {
    FailureTrace abort{QStringLiteral("modScope.AbortScopeSlew")};
    FailureTrace jog{QStringLiteral("modScope.ScopePoll")};
    FailureTrace read{QStringLiteral("modScope.ReadScopePosition")};
    bool siteWarned = false;
};

struct Module {
    ScopeState state;
    PollTraces traces;
};

Module& module() {
    static Module m;
    static const bool hooked = [] {
        addResetHook([] { m = Module{}; });
        return true;
    }();
    (void)hooked;
    return m;
}

PollTraces& traces() {
    return module().traces;
}

double wrapDegrees(double az) {
    if (az < 0) az += 360.0;
    if (az >= 360.0) az -= 360.0;
    // Rounding can land exactly on 360 after adding it to a tiny negative.
    return az >= 360.0 ? 0.0 : az;
}

void warnNoSite() {
    if (traces().siteWarned) return;
    traces().siteWarned = true;
    Globals::WriteLogLine(QStringLiteral(
        "Telescope: the driver reports no site, so the position it cannot give is left blank"));
}

}  // namespace

ScopeState& scopeState() {
    return module().state;
}

namespace modScope {

bool jogTarget(int button, double step, double& ra, double& dec) {
    const ScopeState& s = scopeState();
    if (button < 1 || button > 4) return false;
    const bool northSouth = button <= 2;
    const bool reversed = northSouth ? s.bReverseNS : s.bReverseEW;
    // +1 for buttons 1 and 3 (up, north, east, more azimuth), swapped when reversed.
    double sign = (button == 1 || button == 3) ? 1.0 : -1.0;
    if (reversed) sign = -sign;
    if (s.lAlignmentMode == 0) {
        double az = s.dScopeAz, alt = s.dScopeAlt;
        if (northSouth)
            alt += sign * step;
        else
            az += sign * step;
        AltAzToRaDec(az, alt, ra, dec);
    } else {
        ra = s.dScopeRA;
        dec = s.dScopeDec;
        if (northSouth) {
            // Toward the pole of the site's hemisphere.
            dec += (s.dSiteLatitude < 0 ? -sign : sign) * step;
        } else {
            double factor = 15.0 * std::cos(s.dScopeDec * kDegToRad);
            if (factor < kMinFactor) factor = kMinFactor;
            ra += sign * step / factor;
        }
    }
    if (dec > 90) dec = 90;
    if (dec < -90) dec = -90;
    if (!std::isfinite(ra)) return false;
    // Whole turns first: at the pole one jog moves thousands of hours.
    ra = std::fmod(ra, 24.0);
    while (ra < 0) ra += 24.0;
    while (ra >= 24.0) ra -= 24.0;
    return true;
}

void ScopePoll(ScopePollHost& host) {
    const ScopeState& s = scopeState();
    const std::int16_t b = host.ButtonState();
    if (b >= 1 && b <= 5 && state().bScopeLinked) {
        AbortScopeSlew();
        if (b != 5) {
            try {
                if (s.lAlignmentMode == 0 && !s.bSiteKnown) {
                    // An alt-az jog is converted at the site; a guessed site
                    // would send the mount somewhere else.
                    warnNoSite();
                } else {
                    const double step = host.jogArcMinutes() / 60.0;
                    double ra = 0, dec = 0;
                    if (jogTarget(b, step, ra, dec)) SlewToTargetAsync(ra, dec);
                }
                traces().jog.succeeded();
            } catch (...) {
                traces().jog.failed();
            }
        }
    }
    try {
        ReadScopePosition(true);
        traces().read.succeeded();
    } catch (...) {
        traces().read.failed();
    }
    if (s.bCanReadRaDec || s.bSiteKnown) {
        host.setRightAscension(s.dScopeRA);
        host.setDeclination(s.dScopeDec);
    } else {
        host.blankEquatorial();
    }
    if (s.bCanReadAltAz || s.bSiteKnown) {
        host.setAzimuth(s.dScopeAz);
        host.setAltitude(s.dScopeAlt);
    } else {
        host.blankHorizontal();
    }
}

void SlewToTargetAsync(double ra, double dec) {
    const ScopeState& s = scopeState();
    if (!state().bScopeLinked || !s.bCanSlew || !s.bCanSlewAsync) return;
    if (!(ra >= 0 && ra <= 24) || !(dec >= -90 && dec <= 90))
        throw AppError(AppError::kInvalidProcedureCall, QStringLiteral("modScope"),
                       QStringLiteral("Target outside the sky"));
    const auto driver = scope();
    if (!driver) return;
    driver->SlewToCoordinatesAsync(ra, dec);
}

void AbortScopeSlew() {
    guarded([] {
        if (const auto driver = scope()) driver->AbortSlew();
    });
}

void ReadScopePosition(bool update) {
    ScopeState& s = scopeState();
    if (!state().bScopeLinked || !update) return;
    const auto driver = scope();
    if (!driver) return;
    if (s.bCanReadRaDec) {
        s.dScopeRA = driver->RightAscension();
        s.dScopeDec = driver->Declination();
    }
    if (s.bCanReadAltAz) {
        s.dScopeAz = wrapDegrees(driver->Azimuth());
        s.dScopeAlt = driver->Altitude();
    }
    if (s.bCanReadRaDec && s.bCanReadAltAz) return;
    if (!s.bSiteKnown) {
        warnNoSite();
        return;
    }
    if (!s.bCanReadRaDec) AltAzToRaDec(s.dScopeAz, s.dScopeAlt, s.dScopeRA, s.dScopeDec);
    if (!s.bCanReadAltAz) RaDecToAltAz(s.dScopeRA, s.dScopeDec, s.dScopeAz, s.dScopeAlt);
}

QString DegToDMS(double value, bool forceSign) {
    if (!std::isfinite(value) || std::fabs(value) > 1e12) return {};
    QChar sign = u'+';
    if (value < 0) {
        value = -value;
        sign = u'-';
    }
    // Whole seconds, with a nudge so that 10.2 is 10:12:00 and not 10:11:59.
    const auto total = static_cast<long long>(std::floor(value * 3600.0 + 1e-9));
    const long long d = total / 3600;
    const long long m = (total / 60) % 60;
    const long long sec = total % 60;
    auto two = [](long long v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    QString text = two(d) + u':' + two(m) + u':' + two(sec);
    if (sign == u'-' || forceSign) text.prepend(sign);
    return text;
}

void RaDecToAltAz(double ra, double dec, double& az, double& alt) {
    const ScopeState& s = scopeState();
    if (s.dSiteLatitude < -90 || s.dSiteLongitude < -360 || ra < -24 || dec < -90) {
        az = 0;
        alt = 0;
        return;
    }
    const double lst = astro::now_lst(s.dSiteLongitude * kDegToRad);
    double a = 0, z = 0;
    // The hour angle is positive west and the ephemeris gives azimuth from
    // north through east, so the result needs no mirroring.
    astro::hadec_aa(s.dSiteLatitude * kDegToRad, (lst - ra) * kHoursToRad, dec * kDegToRad, a, z);
    alt = a * kRadToDeg;
    az = wrapDegrees(z * kRadToDeg);
}

void AltAzToRaDec(double az, double alt, double& ra, double& dec) {
    const ScopeState& s = scopeState();
    if (s.dSiteLatitude < -90 || s.dSiteLongitude < -360 || alt < -90 || az < -360) {
        ra = 0;
        dec = 0;
        return;
    }
    double h = 0, e = 0;
    astro::aa_hadec(s.dSiteLatitude * kDegToRad, alt * kDegToRad, az * kDegToRad, h, e);
    const double lst = astro::now_lst(s.dSiteLongitude * kDegToRad);
    ra = lst - h * kRadToHours;
    if (ra < 0) ra += 24;
    if (ra >= 24) ra -= 24;
    dec = e * kRadToDeg;
}

}  // namespace modScope
}  // namespace zelmora::sky
