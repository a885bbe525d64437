#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLocale>
#include <cerrno>
#include <clocale>
#include <string>

#include "platform/core/AppError.h"
#include "platform/os/FileWrite.h"
#include "shell/AppPaths.h"
#include "shell/Globals.h"
#include "sky/LocationCollection.h"
#include "sky/clsLocation.h"
#include "testing/TestEnv.h"

using namespace zelmora;
using zelmora::sky::clsLocation;

namespace {

void writeFile(const QByteArray& bytes) {
    QDir().mkpath(AppPaths::dataFiles());
    QFile f(clsLocation::filePath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile() {
    QFile f(clsLocation::filePath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QString setting(const char* key) {
    return Settings::getApp("Moonphase", "Location", key, "<absent>");
}

}  // namespace

TEST(LocationTest, ParsesLinesOfTheLocationsFile) {
    testenv::enableTrace();
    writeFile(
        "Home;-33.5;151.25;10\r\n"
        "Plus;1E-05;-0.5;+11\r\n"  // exponent form and a signed zone
        "Short;12.5\r\n"           // missing fields are 0
        "Junk;abc;;x\r\n"          // fields that are no number are 0
        "Extra;1;2;3;ignored\r\n"
        "A;B;-33.5;151.25;10\r\n"    // a ";" in a name shifts every field
        "Comma;-37,5;144,25;-3\r\n"  // a hand-edited decimal comma
        "\r\n"
        "Last;0;0;0");  // no line end at the end
    clsLocation current;
    current.loadLastLocation();
    const auto& list = current.LocationList();
    struct Row {
        QString name;
        double lat, lon;
        int zone;
    } want[] = {
        {"Home", -33.5, 151.25, 10},  {"Plus", 1e-05, -0.5, 11},
        {"Short", 12.5, 0, 0},        {"Junk", 0, 0, 0},
        {"Extra", 1, 2, 3},           {"A", 0, -33.5, 151},
        {"Comma", -37.5, 144.25, -3}, {"Last", 0, 0, 0},
    };
    ASSERT_EQ(list.count(), static_cast<int>(std::size(want)));
    for (int i = 0; i < list.count(); ++i) {
        SCOPED_TRACE(want[i].name.toStdString());
        EXPECT_EQ(list.at(i).getLocationName(), want[i].name);
        EXPECT_DOUBLE_EQ(list.at(i).getLatitude(), want[i].lat);
        EXPECT_DOUBLE_EQ(list.at(i).getLongitude(), want[i].lon);
        EXPECT_EQ(list.at(i).getTimeZone(), want[i].zone);
    }
}

TEST(LocationTest, DefaultsWhenNothingIsStored) {
    clsLocation current;
    current.loadLastLocation();
    EXPECT_EQ(current.getLocationName(), "Melbourne");
    EXPECT_EQ(current.getTimeZone(), 11);  // from "+11"
    EXPECT_EQ(current.getLongitude(), 144.0);
    EXPECT_EQ(current.getLatitude(), -37.0);
    EXPECT_EQ(current.LocationList().count(), 0);  // no Locations.txt
}

TEST(LocationTest, UnreadableSettingKeepsTheValueHeldAndIsTraced) {
    testenv::enableTrace();
    Settings::saveApp("Moonphase", "Location", "Longitude", "east");
    Settings::saveApp("Moonphase", "Location", "TimeZone", "99999");
    clsLocation current;
    current.setLocation("Here", 3, 12.5, 40);
    current.loadLastLocation();
    EXPECT_EQ(current.getLocationName(), "Melbourne");
    EXPECT_EQ(current.getLongitude(), 12.5);
    EXPECT_EQ(current.getTimeZone(), 3);
    EXPECT_EQ(current.getLatitude(), -37.0);
    EXPECT_EQ(testenv::traceLines(),
              (QStringList{"Bad setting Moonphase Location TimeZone=99999, value kept",
                           "Bad setting Moonphase Location Longitude=east, value kept"}));
}

// Coordinates keep every digit through settings and file, however often they
// are read and written again.
TEST(LocationTest, LoadSaveLoadKeepsFullPrecision) {
    const double lat = -37.8136, lon = 144.963123456789, tiny = 0.00001234;
    writeFile("Melbourne CBD;-37.8136;144.963123456789;11\r\nTiny;1.234E-05;-0.5;0\r\n");
    {
        clsLocation current;
        current.loadLastLocation();
        current.setLocation("Extra", -5, lon, lat);
        current.SaveLocation();
        current.SaveLastLocation();
    }
    EXPECT_EQ(readFile(),
              "Melbourne CBD;-37.8136;144.963123456789;11\r\n"
              "Tiny;0.00001234;-0.5;0\r\n"
              "Extra;-37.8136;144.963123456789;-5\r\n");
    EXPECT_EQ(setting("Longitude"), "144.963123456789");
    EXPECT_EQ(setting("Latitude"), "-37.8136");
    EXPECT_EQ(setting("TimeZone"), "-5");

    clsLocation again;
    again.loadLastLocation();
    EXPECT_EQ(again.getLongitude(), lon);
    EXPECT_EQ(again.getLatitude(), lat);
    EXPECT_EQ(again.LocationList().find("tiny")->getLatitude(), tiny);
    again.SaveLocation();
    EXPECT_EQ(readFile(),
              "Melbourne CBD;-37.8136;144.963123456789;11\r\n"
              "Tiny;0.00001234;-0.5;0\r\n"
              "Extra;-37.8136;144.963123456789;-5\r\n");
}

// A user whose locale writes "," as the decimal separator gets the same file
// and settings texts, and reads them back unchanged.
TEST(LocationTest, CommaLocaleChangesNothingStored) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const std::string oldNumeric = std::setlocale(LC_NUMERIC, nullptr);
    const bool cLocaleSwitched = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    {
        clsLocation current;
        current.setLocation("Berlin", 1, 13.404954, 52.520008);
        current.SaveLocation();
        current.SaveLastLocation();
        EXPECT_EQ(readFile(), "Berlin;52.520008;13.404954;1\r\n");
        EXPECT_EQ(setting("Longitude"), "13.404954");
        EXPECT_EQ(setting("Latitude"), "52.520008");
        clsLocation again;
        again.loadLastLocation();
        EXPECT_EQ(again.getLongitude(), 13.404954);
        EXPECT_EQ(again.LocationList().find("Berlin")->getLatitude(), 52.520008);
    }
    std::setlocale(LC_NUMERIC, oldNumeric.c_str());
    QLocale::setDefault(saved);
    if (!cLocaleSwitched) GTEST_LOG_(INFO) << "de_DE C locale not installed; Qt locale only";
}

TEST(LocationTest, SavingCreatesAMissingFileAndFolder) {
    ASSERT_FALSE(QDir(AppPaths::dataFiles()).exists());
    clsLocation current;
    current.loadLastLocation();
    current.SaveLocation();
    EXPECT_EQ(readFile(), "Melbourne;-37;144;11\r\n");
}

TEST(LocationTest, AWriteFailureIsReported) {
    QDir().mkpath(clsLocation::filePath());  // a folder where the file should be
    clsLocation current;
    current.setLocation("Home", 10, 151.25, -33.5);
    try {
        current.SaveLocation();
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_EQ(e.number(), AppError::kPathFileAccess);
        EXPECT_TRUE(e.description().startsWith("Locations.txt could not be written"));
    }
}

TEST(LocationTest, SaveUpdatesInAnyCaseOrAppends) {
    writeFile("Home;-33.5;151.25;10\r\nCamp;-31.2;149.1;10\r\n");
    clsLocation current;
    current.loadLastLocation();
    current.setLocation("HOME", 11, 151.5, -33.75);
    current.SaveLocation();
    current.setLocation("Dark Site", 9, 120, -30);
    current.SaveLocation();
    EXPECT_EQ(readFile(),
              "HOME;-33.75;151.5;11\r\n"
              "Camp;-31.2;149.1;10\r\n"
              "Dark Site;-30;120;9\r\n");
    // The list holds copies: moving the current location changes no entry.
    current.setLocation("Dark Site", 2, 1, 2);
    EXPECT_EQ(current.LocationList().find("dark site")->getLongitude(), 120);
    EXPECT_EQ(current.LocationList().names(), (QStringList{"HOME", "Camp", "Dark Site"}));
}

// A name listed twice: the first is kept, the second traced, and no later line
// is lost when the list is written again.
TEST(LocationTest, DuplicateNameInTheFileKeepsTheFirst) {
    testenv::enableTrace();
    writeFile("Home;-33.5;151.25;10\r\nhome;1;2;3\r\nCamp;-31.2;149.1;10\r\n");
    clsLocation current;
    current.loadLastLocation();
    EXPECT_EQ(current.LocationList().names(), (QStringList{"Home", "Camp"}));
    EXPECT_EQ(current.LocationList().find("HOME")->getLatitude(), -33.5);
    EXPECT_EQ(testenv::traceLines(), QStringList{"Locations.txt: duplicate location home ignored"});
    current.setLocation("Camp", 10, 149.1, -31.2);
    current.SaveLocation();
    EXPECT_EQ(readFile(), "Home;-33.5;151.25;10\r\nCamp;-31.2;149.1;10\r\n");
}

TEST(LocationTest, NamesThatWouldCorruptTheFileAreRefused) {
    writeFile("Home;-33.5;151.25;10\r\n");
    for (const QString& name : {QString("A;B"), QString("Two\nLines"), QString("CR\rhere"),
                                QString(""), QString("   ")}) {
        SCOPED_TRACE(name.toStdString());
        clsLocation current;
        current.loadLastLocation();
        current.setLocation(name, 1, 2, 3);
        EXPECT_THROW(current.SaveLocation(), AppError);
        EXPECT_EQ(current.LocationList().count(), 1);
        EXPECT_EQ(readFile(), "Home;-33.5;151.25;10\r\n");
    }
}

TEST(LocationTest, OldAnsiFileIsRead) {
    writeFile("Troms\xf8;69.6492;18.9553;1\r\n");
    clsLocation current;
    current.loadLastLocation();
    ASSERT_EQ(current.LocationList().count(), 1);
    EXPECT_EQ(current.LocationList().at(0).getLocationName(), QString::fromUtf8("Tromsø"));
    current.setLocation(QString::fromUtf8("Tromsø"), 1, 18.9553, 69.6492);
    current.SaveLocation();
    EXPECT_EQ(readFile(), "Troms\xc3\xb8;69.6492;18.9553;1\r\n");
}

// Decoded line by line: one line in the old code page leaves the UTF-8 lines as
// they are, and the next save writes every line in UTF-8.
TEST(LocationTest, OneOldLineLeavesTheOtherLinesUtf8) {
    writeFile("S\xc3\xa3o Paulo;-23.55;-46.63;-3\r\nTroms\xf8;69.6492;18.9553;1\r\n");
    clsLocation current;
    current.loadLastLocation();
    EXPECT_EQ(current.LocationList().names(),
              (QStringList{QString::fromUtf8("São Paulo"), QString::fromUtf8("Tromsø")}));
    current.setLocation("Camp", 10, 149.1, -31.2);
    current.SaveLocation();
    EXPECT_EQ(readFile(),
              "S\xc3\xa3o Paulo;-23.55;-46.63;-3\r\nTroms\xc3\xb8;69.6492;18.9553;1\r\n"
              "Camp;-31.2;149.1;10\r\n");
}

TEST(LocationTest, EveryKindOfLineEndEndsALine) {
    for (const char* end : {"\r\n", "\n", "\r"}) {
        SCOPED_TRACE(int(end[0]));
        writeFile(QByteArray("Home;-33.5;151.25;10") + end + "Camp;-31.2;149.1;10" + end);
        clsLocation current;
        current.loadLastLocation();
        EXPECT_EQ(current.LocationList().names(), (QStringList{"Home", "Camp"}));
    }
}

// A disk that fills while the list is written: the old list stays, and the error
// says why.
TEST(LocationTest, AFullDiskKeepsTheOldList) {
    writeFile("Home;-33.5;151.25;10\r\n");
    clsLocation current;
    current.loadLastLocation();
    current.setLocation("Camp", 10, 149.1, -31.2);
    platform::failFileWrites(1, ENOSPC);
    try {
        current.SaveLocation();
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_EQ(e.number(), AppError::kPathFileAccess);
        EXPECT_EQ(e.description(), "Locations.txt could not be written: No space left on device");
    }
    EXPECT_EQ(readFile(), "Home;-33.5;151.25;10\r\n");
}

// A long list loads with a look-up per line, not a scan of the list so far.
TEST(LocationTest, TwentyThousandPlacesLoad) {
    QByteArray bytes;
    for (int i = 0; i < 20'000; ++i) bytes += "Place " + QByteArray::number(i) + ";1;2;3\r\n";
    writeFile(bytes);
    clsLocation current;
    current.loadLastLocation();
    ASSERT_EQ(current.LocationList().count(), 20'000);
    EXPECT_NE(current.LocationList().find("PLACE 19999"), nullptr);
    EXPECT_EQ(current.LocationList().find("Place 20000"), nullptr);
}

TEST(LocationTest, DegreesMinutesSeconds) {
    EXPECT_EQ(clsLocation::GetHour(-37.8166), -37);
    EXPECT_EQ(clsLocation::GetMin(-37.8166), 49);
    EXPECT_EQ(clsLocation::GetHour(-0.5), 0);  // the sign lives in the N/S box
    EXPECT_EQ(clsLocation::GetMin(-0.5), 30);
    EXPECT_EQ(clsLocation::GetMin(144.9999), 60);
    EXPECT_EQ(clsLocation::GetMin(10.0 + 0.5 / 60), 0);  // 0.5 -> 0, ties to even
    EXPECT_EQ(clsLocation::GetMin(10.0 + 1.5 / 60), 2);  // 1.5 -> 2
    EXPECT_EQ(clsLocation::GetSec(-37.8136), -49);
    EXPECT_EQ(clsLocation::GetSec(144.9631), 47);

    struct Case {
        int h, m, s;
        const char* word;
        double value;
    } cases[] = {
        {37, 49, 0, "South", -(37 + 49 / 60.0)},
        {37, 49, 0, "south", 37 + 49 / 60.0},
        {144, 57, 47, "West", -(144 + 57 / 60.0 + 47 / 3600.0)},
        {10, 30, 0, "East", 10.5},
        {10, 30, 0, "North", 10.5},
        {0, 30, 0, "WEST", 0.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.word);
        EXPECT_DOUBLE_EQ(clsLocation::HourMinSecToDec(c.h, c.m, c.s, c.word), c.value);
    }
}
