#pragma once

#include <QLocale>
#include <QString>
#include <cstdint>
#include <optional>

namespace zelmora::sky {

class clsLocation;

// The decisions of the moon phase window, kept out of the widgets so that they
// can be tested without one.
namespace MoonPhaseHelpers {

// Picture for a moon age: the age rounded to whole days, ties to even, with
// day 0 shown as picture 1. Gives 1..30.
int pictureNumber(float age);
// MoonPhases/moon<n>.gif among the program's shipped files.
QString picturePath(int n);
// South of the equator the moon is seen upside down; the equator itself is not.
bool rotatesPicture(double latitude);

// The zone arrows: the zone text after one step, or nothing when the arrow
// leaves it alone (at 12 going up, at -12 going down, or when the text is not
// a whole number). The stops only hold from inside the range: 13 goes on to 14.
std::optional<QString> zoneStepUp(const QString& zoneText);
std::optional<QString> zoneStepDown(const QString& zoneText);

// The location summary of the closed editor.
struct SummaryTexts {
    QString name, timeZone, longitude, latitude, eastWest, northSouth;
};
SummaryTexts summaryTexts(const clsLocation& location, const QLocale& locale = QLocale());

// The editor's fields for a location. Exactly 0 counts as West and South.
struct EditorTexts {
    QString latDegree, latMinutes, longDegree, longMinutes, utcOffset, hoursEastWest;
    int northSouthIndex = 0;  // 0 North, 1 South
    int eastWestIndex = 0;    // 0 East, 1 West
};
EditorTexts editorTexts(const clsLocation& location);

// What the user typed into the editor.
struct EditorInput {
    QString name, latDegree, latMinutes, northSouth, longDegree, longMinutes, eastWest, utcOffset;
};
struct EditedLocation {
    QString name;
    std::int16_t zone = 0;
    double longitude = 0, latitude = 0;
};
// The location the editor describes. Raises AppError with the message to show
// when a text is not a whole number in its range or the name cannot be stored.
EditedLocation readEditor(const EditorInput& input);

}  // namespace MoonPhaseHelpers
}  // namespace zelmora::sky
