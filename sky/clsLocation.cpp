#include "sky/clsLocation.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <cmath>

#include "platform/core/AppError.h"
#include "platform/os/FileWrite.h"
#include "shell/AppPaths.h"
#include "shell/Conv.h"
#include "shell/Errors.h"
#include "shell/Globals.h"
#include "sky/LocationCollection.h"

namespace zelmora::sky {

namespace {

const QString kApp = QStringLiteral("Moonphase");
const QString kSection = QStringLiteral("Location");
const QString kSource = QStringLiteral("clsLocation");

// Reads one stored setting; a text that is no number is traced and leaves
// `target` as it was.
template <typename T, typename Parse>
void readSetting(const QString& key, const QString& defaultValue, T& target, Parse parse) {
    const QString text = Settings::getApp(kApp, kSection, key, defaultValue);
    try {
        target = parse(text);
    } catch (const AppError&) {
        Globals::WriteLogLine(QStringLiteral("Bad setting Moonphase Location ") + key +
                              QStringLiteral("=") + text + QStringLiteral(", value kept"));
    }
}

// Locations.txt from older versions is in the ANSI code page; ours is UTF-8. Line
// by line, so that one old line leaves the others as they are.
QString decodeLine(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) return text;
    return QString::fromLatin1(bytes);
}

}  // namespace

clsLocation::clsLocation() = default;
clsLocation::~clsLocation() = default;

LocationCollection& clsLocation::LocationList() {
    if (!list_) list_ = std::make_unique<LocationCollection>();
    return *list_;
}

void clsLocation::setLocation(const QString& sName, std::int16_t iZone, double dLong, double dlat) {
    name_ = sName;
    zone_ = iZone;
    longitude_ = dLong;
    latitude_ = dlat;
}

QString clsLocation::filePath() {
    return AppPaths::join(AppPaths::dataFiles(), QStringLiteral("Locations.txt"));
}

QString clsLocation::CommaToPoint(QString text) {
    return text.replace(u',', u'.');
}

QString clsLocation::nameProblem(const QString& name) {
    if (name.trimmed().isEmpty()) return QStringLiteral("Please enter a name for the location.");
    if (name.contains(u';') || name.contains(u'\n') || name.contains(u'\r'))
        return QStringLiteral("A location name cannot contain \";\" or a line break.");
    return {};
}

void clsLocation::SaveLastLocation() const {
    guarded([&] {
        Settings::saveApp(kApp, kSection, QStringLiteral("LocationName"), name_);
        Settings::saveApp(kApp, kSection, QStringLiteral("TimeZone"), QString::number(zone_));
        Settings::saveApp(kApp, kSection, QStringLiteral("Longitude"),
                          Conv::plainNumberText(longitude_));
        Settings::saveApp(kApp, kSection, QStringLiteral("Latitude"),
                          Conv::plainNumberText(latitude_));
    });
}

void clsLocation::loadLastLocation() {
    name_ = Settings::getApp(kApp, kSection, QStringLiteral("LocationName"),
                             QStringLiteral("Melbourne"));
    readSetting(QStringLiteral("TimeZone"), QStringLiteral("+11"), zone_,
                [](const QString& t) { return Conv::parseInt16(t); });
    // Full precision: the stored text is read as it is, never re-rounded.
    readSetting(QStringLiteral("Longitude"), QStringLiteral("144"), longitude_,
                [](const QString& t) { return Conv::parseDouble(CommaToPoint(t)); });
    readSetting(QStringLiteral("Latitude"), QStringLiteral("-37"), latitude_,
                [](const QString& t) { return Conv::parseDouble(CommaToPoint(t)); });
    LoadLocationList();
}

void clsLocation::LoadLocationList() {
    QFile file(filePath());
    if (!file.open(QIODevice::ReadOnly)) return;  // no saved locations yet
    // Lines end in CR LF, LF or CR alone.
    QByteArray bytes = file.readAll();
    bytes.replace("\r\n", "\n");
    bytes.replace('\r', '\n');
    for (const QByteArray& raw : bytes.split('\n')) {
        const QString line = decodeLine(raw);
        if (line.trimmed().isEmpty()) continue;
        std::unique_ptr<clsLocation> location = ParseLocationLine(line);
        const QString name = location->getLocationName();
        if (!AddToList(std::move(location)))
            Globals::WriteLogLine(QStringLiteral("Locations.txt: duplicate location ") + name +
                                  QStringLiteral(" ignored"));
    }
}

std::unique_ptr<clsLocation> clsLocation::ParseLocationLine(const QString& line) {
    const QStringList fields = line.split(u';');
    auto number = [&](int i) {
        double v = 0;
        if (i < fields.size()) guarded([&] { v = Conv::parseDouble(CommaToPoint(fields[i])); });
        return v;
    };
    std::int16_t zone = 0;
    if (fields.size() > 3) guarded([&] { zone = Conv::parseInt16(fields[3]); });
    auto location = std::make_unique<clsLocation>();
    location->setLocation(fields.value(0), zone, number(2), number(1));
    return location;
}

bool clsLocation::AddToList(std::unique_ptr<clsLocation> location) {
    return LocationList().add(std::move(location));
}

void clsLocation::CopyLocation(const clsLocation& from, clsLocation& to) {
    to.setLocation(from.name_, from.zone_, from.longitude_, from.latitude_);
}

void clsLocation::SaveLocation() {
    const QString problem = nameProblem(name_);
    if (!problem.isEmpty()) throw AppError(AppError::kInvalidProcedureCall, kSource, problem);
    if (clsLocation* listed = LocationList().find(name_)) {
        CopyLocation(*this, *listed);
    } else {
        auto copy = std::make_unique<clsLocation>();
        CopyLocation(*this, *copy);
        AddToList(std::move(copy));
    }
    SaveLocationList();
}

void clsLocation::SaveLocationList() {
    QByteArray bytes;
    const LocationCollection& list = LocationList();
    for (int i = 0; i < list.count(); ++i) {
        const clsLocation& l = list.at(i);
        const QString line = l.name_ + u';' + Conv::plainNumberText(l.latitude_) + u';' +
                             Conv::plainNumberText(l.longitude_) + u';' + QString::number(l.zone_);
        bytes += line.toUtf8() + "\r\n";
    }
    // Whole or not at all: a failed write (a full disk) leaves the old list.
    QDir().mkpath(AppPaths::dataFiles());
    try {
        platform::writeFileWhole(filePath(), bytes);
    } catch (const AppError& e) {
        throw AppError(AppError::kPathFileAccess, kSource,
                       QStringLiteral("Locations.txt could not be written: ") + e.description());
    }
}

std::int16_t clsLocation::GetHour(double dCoord) {
    return Conv::toInt16(std::trunc(dCoord));
}

std::int16_t clsLocation::GetMin(double dCoord) {
    return Conv::toInt16(std::fabs((dCoord - std::trunc(dCoord)) * 60.0));
}

std::int16_t clsLocation::GetSec(double dCoord) {
    const double f = (dCoord - std::trunc(dCoord)) * 60.0;
    return Conv::toInt16((f - std::trunc(f)) * 60.0);
}

double clsLocation::HourMinSecToDec(std::int16_t iHour, std::int16_t iMin, std::int16_t iSec,
                                    const QString& sNthSthEstWst) {
    const double value = iHour + iMin / 60.0 + iSec / 3600.0;
    if (sNthSthEstWst == QStringLiteral("South") || sNthSthEstWst == QStringLiteral("West"))
        return -value;
    return value;
}

}  // namespace zelmora::sky
