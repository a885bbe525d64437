#pragma once

#include <QString>
#include <cstdint>
#include <memory>

namespace zelmora::sky {

class LocationCollection;

// An observing place: name, time zone and decimal-degree coordinates (east and
// north positive). The current location of the moon-phase window also owns
// the list of saved places (DataFiles/Locations.txt) and remembers the last
// place used under the settings application "Moonphase".
class clsLocation {
public:
    clsLocation();
    ~clsLocation();
    clsLocation(const clsLocation&) = delete;
    clsLocation& operator=(const clsLocation&) = delete;

    // The saved locations in file order, keyed by name without regard to case.
    LocationCollection& LocationList();

    void setLocation(const QString& sName, std::int16_t iZone, double dLong, double dlat);
    QString getLocationName() const { return name_; }
    std::int16_t getTimeZone() const { return zone_; }
    double getLongitude() const { return longitude_; }
    double getLatitude() const { return latitude_; }

    // The last location in the settings store. Loading reads the four keys
    // (a key that does not read as a number keeps the value held) and then
    // the saved list.
    void SaveLastLocation() const;
    void loadLastLocation();

    // Puts the current location into the list (updating the entry of the same
    // name in any letter case, else appending it) and rewrites Locations.txt,
    // creating it when missing. Raises AppError when the name cannot be stored
    // or the file cannot be written.
    void SaveLocation();

    // Degrees, minutes and seconds of a decimal coordinate.
    static std::int16_t GetHour(double dCoord);  // truncated, signed
    static std::int16_t GetMin(double dCoord);   // |fraction| * 60, ties to even
    static std::int16_t GetSec(double dCoord);   // signed, ties to even
    // Negated only for exactly "South" or "West".
    static double HourMinSecToDec(std::int16_t iHour, std::int16_t iMin, std::int16_t iSec,
                                  const QString& sNthSthEstWst);

    // Why a name cannot be stored in Locations.txt, or "" when it can.
    static QString nameProblem(const QString& name);
    // DataFiles/Locations.txt of the application folder in use.
    static QString filePath();

private:
    void LoadLocationList();
    static std::unique_ptr<clsLocation> ParseLocationLine(const QString& line);
    void SaveLocationList();
    static QString CommaToPoint(QString text);
    bool AddToList(std::unique_ptr<clsLocation> location);
    static void CopyLocation(const clsLocation& from, clsLocation& to);

    std::unique_ptr<LocationCollection> list_;
    QString name_;
    std::int16_t zone_ = 0;
    double longitude_ = 0;
    double latitude_ = 0;
};

}  // namespace zelmora::sky
