#include "sky/MoonPhaseHelpers.h"

#include <cmath>

#include "platform/core/AppError.h"
#include "shell/AppPaths.h"
#include "shell/Conv.h"
#include "sky/clsLocation.h"

namespace zelmora::sky::MoonPhaseHelpers {

namespace {

[[noreturn]] void refuse(const QString& message) {
    throw AppError(AppError::kInvalidProcedureCall, QStringLiteral("frmMoonPhase"), message);
}

// Degrees and minutes of one coordinate, within 0..maxDegrees in total.
double readAngle(const QString& degreeText, const QString& minuteText, int maxDegrees,
                 const QString& word, const QString& message) {
    const std::optional<int> deg = Conv::wholeNumber(degreeText);
    const std::optional<int> min = Conv::wholeNumber(minuteText);
    if (!deg || !min || *deg < 0 || *deg > maxDegrees || *min < 0 || *min > 59 ||
        (*deg == maxDegrees && *min > 0))
        refuse(message);
    return clsLocation::HourMinSecToDec(static_cast<std::int16_t>(*deg),
                                        static_cast<std::int16_t>(*min), 0, word);
}

}  // namespace

int pictureNumber(float age) {
    const int n = static_cast<int>(std::nearbyint(age));  // ties to even
    return n == 0 ? 1 : n;
}

QString picturePath(int n) {
    return AppPaths::join(AppPaths::resourceDir(), QStringLiteral("MoonPhases"),
                          QStringLiteral("moon") + QString::number(n) + QStringLiteral(".gif"));
}

bool rotatesPicture(double latitude) {
    return latitude < 0;
}

std::optional<QString> zoneStepUp(const QString& zoneText) {
    const std::optional<int> zone = Conv::wholeNumber(zoneText);
    if (!zone || *zone == 12) return std::nullopt;
    return QString::number(*zone + 1);
}

std::optional<QString> zoneStepDown(const QString& zoneText) {
    const std::optional<int> zone = Conv::wholeNumber(zoneText);
    if (!zone || *zone == -12) return std::nullopt;
    return QString::number(*zone - 1);
}

SummaryTexts summaryTexts(const clsLocation& location, const QLocale& locale) {
    SummaryTexts t;
    t.name = location.getLocationName();
    t.timeZone = QString::number(location.getTimeZone());
    t.longitude = locale.toString(location.getLongitude(), 'g', QLocale::FloatingPointShortest);
    t.latitude = locale.toString(location.getLatitude(), 'g', QLocale::FloatingPointShortest);
    t.eastWest = location.getLongitude() > 0 ? QStringLiteral("East") : QStringLiteral("West");
    t.northSouth = location.getLatitude() > 0 ? QStringLiteral("North") : QStringLiteral("South");
    return t;
}

EditorTexts editorTexts(const clsLocation& location) {
    // 144.9999 rounds to 60 minutes: shown as the next whole degree instead,
    // so that the editor never offers a value its own Save would refuse.
    auto split = [](double value, QString& degreeText, QString& minuteText) {
        int degrees = std::abs(clsLocation::GetHour(value));
        int minutes = clsLocation::GetMin(value);
        if (minutes == 60) {
            ++degrees;
            minutes = 0;
        }
        degreeText = QString::number(degrees);
        minuteText = QString::number(minutes);
    };
    EditorTexts t;
    const double lon = location.getLongitude(), lat = location.getLatitude();
    split(lon, t.longDegree, t.longMinutes);
    split(lat, t.latDegree, t.latMinutes);
    t.utcOffset = QString::number(location.getTimeZone());
    t.northSouthIndex = lat > 0 ? 0 : 1;
    t.eastWestIndex = lon > 0 ? 0 : 1;
    t.hoursEastWest = lon > 0 ? QStringLiteral("East") : QStringLiteral("West");
    return t;
}

EditedLocation readEditor(const EditorInput& input) {
    EditedLocation l;
    const QString problem = clsLocation::nameProblem(input.name);
    if (!problem.isEmpty()) refuse(problem);
    l.name = input.name;
    l.latitude = readAngle(
        input.latDegree, input.latMinutes, 90, input.northSouth,
        QStringLiteral("The latitude must be whole degrees from 0 to 90 and whole minutes from "
                       "0 to 59."));
    l.longitude = readAngle(
        input.longDegree, input.longMinutes, 180, input.eastWest,
        QStringLiteral("The longitude must be whole degrees from 0 to 180 and whole minutes "
                       "from 0 to 59."));
    const std::optional<int> zone = Conv::wholeNumber(input.utcOffset);
    if (!zone || *zone < -12 || *zone > 14)
        refuse(QStringLiteral("The UTC offset must be a whole number of hours from -12 to 14."));
    l.zone = static_cast<std::int16_t>(*zone);
    return l;
}

}  // namespace zelmora::sky::MoonPhaseHelpers
