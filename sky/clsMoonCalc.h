#pragma once

#include <QDate>
#include <QString>
#include <QTime>
#include <cstdint>

namespace zelmora::sky {

// Moon and Sun rise/set and nautical twilight for one date and place, as hhmm
// texts, and the moon's age and phase class for any date. Pure computation.
class clsMoonCalc {
public:
    // The text of an event that does not happen in the day.
    static inline const QString kNoEvent = QStringLiteral("    ----");

    QString GetMoonrise() const { return texts_[0]; }
    QString GetMoonset() const { return texts_[1]; }
    QString GetSunrise() const { return texts_[2]; }
    QString GetSunset() const { return texts_[3]; }
    QString GetNTrise() const { return texts_[4]; }
    QString GetNTset() const { return texts_[5]; }

    // zone: hours to add to UTC for local time; glong east positive; glat north
    // positive (degrees). Fills the six texts; a body with neither event in the
    // day leaves both of its texts empty.
    void CalcTimes(std::int32_t Y, std::int32_t m, std::int32_t d, double zone, double glong,
                   double glat);

    // Moon age in days from a mean lunation, 0 <= age < 29.53058867.
    float MoonAge(double dDate) const;
    // 1 new, 2 first quarter, 3 full, 4 last quarter (each the day before the
    // phase instant), 0 otherwise.
    std::int16_t MoonPhase(double dDate) const;

    // A date-time value: days since 1899-12-30 with the time of day as fraction.
    static double dateValue(const QDate& date, const QTime& time = QTime(0, 0));

private:
    void FindRiseSet(int body);

    double year_ = 0, month_ = 0, day_ = 0;
    double zone_ = 0;
    double longitude_ = 0;  // east positive
    double latitude_ = 0;
    QString texts_[6];  // moonrise, moonset, sunrise, sunset, NT rise, NT set
};

}  // namespace zelmora::sky
