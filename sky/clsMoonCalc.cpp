#include "sky/clsMoonCalc.h"

#include "sky/MoonMath.h"

namespace zelmora::sky {

using namespace MoonMath;

namespace {

// Altitude of each body's event, as sines: the Moon's upper limb with
// refraction (+8'), the Sun's upper limb with refraction (-50'), and the Sun
// 12 degrees down for nautical twilight.
double threshold(int body) {
    switch (body) {
        case kMoon:
            return SinDeg(8.0 / 60.0);
        case kSun:
            return SinDeg(-50.0 / 60.0);
        default:
            return SinDeg(-12.0);
    }
}

}  // namespace

double clsMoonCalc::dateValue(const QDate& date, const QTime& time) {
    const double days = static_cast<double>(date.toJulianDay() - 2415019);
    return days + (time.isValid() ? time.msecsSinceStartOfDay() / 86400000.0 : 0.0);
}

void clsMoonCalc::CalcTimes(std::int32_t Y, std::int32_t m, std::int32_t d, double zone,
                            double glong, double glat) {
    year_ = Y;
    month_ = m;
    day_ = d;
    zone_ = zone;
    longitude_ = glong;
    latitude_ = glat;
    // A reused calculator must not show the last date's times for a body that
    // has no event today.
    for (QString& t : texts_) t.clear();
    FindRiseSet(kMoon);
    FindRiseSet(kSun);
    FindRiseSet(kNauticalTwilight);
}

void clsMoonCalc::FindRiseSet(int body) {
    const double midnight =
        CalendarToMjd(static_cast<std::int32_t>(year_), static_cast<std::int32_t>(month_),
                      static_cast<std::int32_t>(day_), 0.0) -
        zone_ / 24.0;
    const double lon = -longitude_;  // the series want west positive
    const double sglat = SinDeg(latitude_);
    const double cglat = CosDeg(latitude_);
    const double sinh0 = threshold(body);
    auto sample = [&](double hour) {
        return SinAltitude(body, midnight, hour, lon, cglat, sglat) - sinh0;
    };

    double hour = 1;
    double ym = sample(hour - 1);
    bool rise = false, set = false;
    double utRise = 0, utSet = 0;
    // Twelve two-hour windows centred on the odd hours; a later crossing of
    // the same kind replaces an earlier one.
    do {
        const double y0 = sample(hour);
        const double yp = sample(hour + 1);
        const Parabola q = QuadInterpolate(ym, y0, yp);
        if (q.nz == 1) {
            if (static_cast<float>(ym) < 0.0f) {
                utRise = hour + q.z1;
                rise = true;
            } else {
                utSet = hour + q.z1;
                set = true;
            }
        } else if (q.nz == 2) {
            if (static_cast<float>(q.ye) < 0.0f) {
                utRise = hour + q.z2;
                utSet = hour + q.z1;
            } else {
                utRise = hour + q.z1;
                utSet = hour + q.z2;
            }
            rise = set = true;
        }
        ym = yp;
        hour += 2;
    } while (!(hour == 25 || (rise && set)));

    if (!rise && !set) return;
    const int index = (body - 1) * 2;
    texts_[index] = rise ? QString::number(HoursToHhmm(utRise)) : kNoEvent;
    texts_[index + 1] = set ? QString::number(HoursToHhmm(utSet)) : kNoEvent;
}

float clsMoonCalc::MoonAge(double dDate) const {
    // A new moon of the mean lunation: 18 November 1998, 21:36.
    static const double kReference = dateValue(QDate(1998, 11, 18), QTime(21, 36));
    return static_cast<float>(FloatMod(dDate - kReference, kSynodicMonth));
}

std::int16_t clsMoonCalc::MoonPhase(double dDate) const {
    constexpr double p = kSynodicMonth;
    const float age = MoonAge(dDate);
    auto bound = [](double x) { return static_cast<float>(x); };
    if (age > bound(p - 1)) return 1;
    if (age >= bound(p / 4 - 1) && age <= bound(p / 4)) return 2;
    if (age >= bound(p / 2 - 1) && age <= bound(p / 2)) return 3;
    constexpr double threeP = 88.59176601;
    if (age >= bound(threeP / 4 - 1) && age <= bound(threeP / 4)) return 4;
    return 0;
}

}  // namespace zelmora::sky
