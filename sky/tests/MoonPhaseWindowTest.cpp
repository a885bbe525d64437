#include <gtest/gtest.h>

#include <QCalendarWidget>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "image/ImageRotate.h"
#include "shell/AppPaths.h"
#include "shell/Globals.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"
#include "sky/MoonPhaseHelpers.h"
#include "sky/SkyWindows.h"
#include "sky/clsLocation.h"
#include "sky/clsMoonCalc.h"
#include "sky/frmMoonPhase.h"
#include "testing/TestEnv.h"

using namespace zelmora;
using namespace zelmora::sky;

namespace {

void storeLastLocation(const QString& name, const QString& zone, const QString& lon,
                       const QString& lat) {
    Settings::saveApp("Moonphase", "Location", "LocationName", name);
    Settings::saveApp("Moonphase", "Location", "TimeZone", zone);
    Settings::saveApp("Moonphase", "Location", "Longitude", lon);
    Settings::saveApp("Moonphase", "Location", "Latitude", lat);
}

void writeLocations(const QByteArray& bytes) {
    QDir().mkpath(AppPaths::dataFiles());
    QFile f(clsLocation::filePath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readLocations() {
    QFile f(clsLocation::filePath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

class MoonWindow : public ::testing::Test {
protected:
    void SetUp() override { AppPaths::setResourceDir(QStringLiteral(ZELMORA_APP_FOLDER)); }

    frmMoonPhase* open() {
        window_ = new frmMoonPhase;
        return window_;
    }
    template <typename T>
    T* control(const char* name) {
        T* w = window_->findChild<T*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QString text(const char* name) { return control<QLabel>(name)->text(); }
    std::vector<QString> times() {
        return {text("outMoonrise"), text("outMoonset"), text("outSunrise"),
                text("outSunset"),   text("outNtrise"),  text("outNtset")};
    }
    void clickDate(const QDate& date) {
        auto* cal = control<QCalendarWidget>("oCalendar");
        cal->setSelectedDate(date);
        emit cal->clicked(date);
    }
    QImage shown() { return control<QLabel>("PicView")->pixmap().toImage(); }
    QImage loaded() { return control<QLabel>("PicLoad")->pixmap().toImage(); }
    static QImage picture(int n) {
        return QImage(MoonPhaseHelpers::picturePath(n)).convertToFormat(QImage::Format_RGB32);
    }

    frmMoonPhase* window_ = nullptr;  // deleted by the registry's reset
};

}  // namespace

TEST_F(MoonWindow, ControlsCarryTheirNamesAndTexts) {
    open();
    EXPECT_EQ(window_->windowTitle(), "Moon Phase");
    EXPECT_EQ(control<QPushButton>("cbChange")->text(), "Change>>");
    EXPECT_EQ(control<QPushButton>("cbDone")->text(), "Done>>");
    EXPECT_EQ(control<QPushButton>("Command1")->text(), "Save");
    QStringList frames;
    for (QGroupBox* g : window_->findChildren<QGroupBox*>()) frames << g->title();
    for (const char* f :
         {"Rise/Set Times", "Location", "Location List", "Latitude", "Longitude", "Time zone"})
        EXPECT_TRUE(frames.contains(f)) << f;
    QStringList labels;
    for (QLabel* l : window_->findChildren<QLabel*>()) labels << l->text();
    for (const char* l : {"Moonrise:", "Moonset:", "Sunrise:", "Sunset:", "Naut Tw Rise:",
                          "Naut Tw Set:", "UTC Offset:", "Time = UTC +", "Hours", "Location:"})
        EXPECT_TRUE(labels.contains(l)) << l;
    EXPECT_EQ(control<QCalendarWidget>("oCalendar")->minimumDate(), QDate(1753, 1, 1));
    EXPECT_TRUE(windows().isLoaded(Win::frmMoonPhase));
}

// At load the times are there at once, for today and the last location
// (defaults: Melbourne, +11, 144, -37); the picture follows 10 ms later.
TEST_F(MoonWindow, LoadShowsTodaysTimesAtOnceAndThePictureFromTheTimer) {
    testenv::vclock();  // today is the virtual clock's date
    open();
    const QDate today = platform::clock().now().date();
    clsMoonCalc calc;
    calc.CalcTimes(today.year(), today.month(), today.day(), 11, 144, -37);
    EXPECT_EQ(times(),
              (std::vector<QString>{calc.GetMoonrise(), calc.GetMoonset(), calc.GetSunrise(),
                                    calc.GetSunset(), calc.GetNTrise(), calc.GetNTset()}));
    EXPECT_EQ(text("lblName"), "Melbourne");
    EXPECT_TRUE(loaded().isNull());
    testenv::vclock().advance(20);
    const int n = MoonPhaseHelpers::pictureNumber(calc.MoonAge(clsMoonCalc::dateValue(today)));
    EXPECT_EQ(loaded().convertToFormat(QImage::Format_RGB32), picture(n));
}

// The golden date: "Home" (151.25 E, 33.5 S, UTC+10) on 1 March 2024.
TEST_F(MoonWindow, ChoosingADateShowsItsPictureAndTimes) {
    storeLastLocation("Home", "10", "151.25", "-33.5");
    open();
    clickDate(QDate(2024, 3, 1));
    EXPECT_EQ(times(), (std::vector<QString>{"2115", "1034", "543", "1831", "448", "1926"}));
    const clsMoonCalc calc;
    const float age = calc.MoonAge(clsMoonCalc::dateValue(QDate(2024, 3, 1)));
    EXPECT_NEAR(age, 20.556, 1e-3);
    EXPECT_EQ(MoonPhaseHelpers::pictureNumber(age), 21);
    EXPECT_EQ(loaded().convertToFormat(QImage::Format_RGB32), picture(21));

    // Polar day with the Moon below the horizon: every text empty.
    window_->close();  // remembers "Home"
    storeLastLocation("Tromso", "2", "18.9553", "69.6492");
    open();
    clickDate(QDate(2024, 6, 21));
    EXPECT_EQ(times(), std::vector<QString>(6, ""));
}

// South of the equator the picture is shown turned (by 3.14); on the equator
// and north of it as loaded.
TEST_F(MoonWindow, SouthernHemisphereRotatesThePicture) {
    storeLastLocation("Home", "10", "151.25", "-33.5");
    open();
    clickDate(QDate(2024, 1, 18));  // about first quarter: lit on one side only
    const QImage source = loaded();
    QImage turned(source.size(), QImage::Format_RGB32);
    turned.fill(Qt::black);
    ImageRotate::RotatePicture(source, turned, 3.14f);
    EXPECT_EQ(shown(), turned);
    EXPECT_NE(shown(), source.convertToFormat(QImage::Format_RGB32));
    // The lit side moves from right to left.
    auto litRight = [](const QImage& im) {
        return qGray(im.pixel(im.width() * 3 / 4, im.height() / 2)) >
               qGray(im.pixel(im.width() / 4, im.height() / 2));
    };
    EXPECT_TRUE(litRight(source));
    EXPECT_FALSE(litRight(shown()));

    for (const char* lat : {"0", "51.4769"}) {
        window_->close();
        storeLastLocation("North", "0", "0", lat);
        open();
        clickDate(QDate(2024, 1, 18));
        EXPECT_EQ(shown(), loaded().convertToFormat(QImage::Format_RGB32)) << lat;
    }
}

TEST_F(MoonWindow, MissingPictureGivesABlankPictureAndATraceLine) {
    testenv::enableTrace();
    AppPaths::setResourceDir(testenv::appDir());  // no MoonPhases folder here
    open();
    clickDate(QDate(2024, 3, 1));
    EXPECT_TRUE(loaded().isNull());
    const QImage blank = shown();
    ASSERT_FALSE(blank.isNull());
    for (int y = 0; y < blank.height(); y += 16)
        for (int x = 0; x < blank.width(); x += 16) ASSERT_EQ(qGray(blank.pixel(x, y)), 0);
    const QString path = AppPaths::join(testenv::appDir(), "MoonPhases", "moon21.gif");
    EXPECT_TRUE(testenv::traceLines().contains("Moon picture not found: " + path));
    clsMoonCalc calc;  // the times are still shown (Melbourne, +11)
    calc.CalcTimes(2024, 3, 1, 11, 144, -37);
    EXPECT_EQ(times()[3], calc.GetSunset());
}

// Picking a listed location updates the summary and editor at once; the times
// stay those of the previous location until "Done>>".
TEST_F(MoonWindow, ChoosingALocationWaitsForDone) {
    writeLocations("Home;-33.5;151.25;10\r\nGreenwich;51.4769;0;0\r\n");
    storeLastLocation("Home", "10", "151.25", "-33.5");
    open();
    clickDate(QDate(2024, 3, 1));
    const auto homeTimes = times();
    auto* list = control<QComboBox>("lbLocationList");
    EXPECT_EQ(list->count(), 2);
    EXPECT_EQ(list->currentText(), "Home");

    control<QPushButton>("cbChange")->click();
    EXPECT_TRUE(control<QPushButton>("cbChange")->isHidden());
    EXPECT_EQ(control<QGroupBox>("frmLocation")->height(), 283);

    list->setCurrentIndex(1);
    emit list->activated(1);
    EXPECT_EQ(text("lblName"), "Greenwich");
    EXPECT_EQ(text("lblNorthSouth"), "North");
    EXPECT_EQ(text("lblEastWest"), "West");  // exactly 0 counts as West
    EXPECT_EQ(control<QLineEdit>("txtLatDegree")->text(), "51");
    EXPECT_EQ(control<QLineEdit>("txtLatMinutes")->text(), "29");
    EXPECT_EQ(control<QComboBox>("lbNorthSouth")->currentText(), "North");
    EXPECT_EQ(control<QLineEdit>("txtUTCoffset")->text(), "0");
    EXPECT_EQ(times(), homeTimes);

    control<QPushButton>("cbDone")->click();
    EXPECT_EQ(control<QGroupBox>("frmLocation")->height(), 69);
    EXPECT_FALSE(control<QPushButton>("cbChange")->isHidden());
    clsMoonCalc calc;
    calc.CalcTimes(2024, 3, 1, 0, 0, 51.4769);
    EXPECT_EQ(times()[2], calc.GetSunrise());
    EXPECT_NE(times(), homeTimes);
}

TEST_F(MoonWindow, ZoneArrowsFollowTheTypedValue) {
    open();
    auto* zone = control<QLineEdit>("txtUTCoffset");
    auto* up = control<QToolButton>("UpDown1Up");
    auto* down = control<QToolButton>("UpDown1Down");
    struct Step {
        const char* typed;
        QToolButton* button;
        const char* after;
    } steps[] = {{"11", up, "12"},     {"12", up, "12"}, {"13", up, "14"}, {"-12", down, "-12"},
                 {"-11", down, "-12"}, {"x", up, "x"},   {"0", down, "-1"}};
    for (const Step& s : steps) {
        zone->setText(s.typed);
        s.button->click();
        EXPECT_EQ(zone->text(), s.after) << s.typed;
    }
}

// "Save" stores the edited location (updating the entry of that name or
// appending it) and creates a missing Locations.txt; bad texts are refused
// with a message and nothing is saved.
TEST_F(MoonWindow, SaveValidatesThenStoresTheLocation) {
    open();
    control<QPushButton>("cbChange")->click();
    auto set = [&](const char* name, const char* value) {
        control<QLineEdit>(name)->setText(value);
    };
    control<QComboBox>("lbLocationList")->setEditText("Dark Site");
    set("txtLatDegree", "31");
    set("txtLatMinutes", "75");
    bool boxFlag = false;
    testenv::dialogs()
        .expectMsgBox("The latitude must be whole degrees from 0 to 90")
        .whileShowing([&] { boxFlag = state().bMsgBoxShowing; });
    control<QPushButton>("Command1")->click();
    EXPECT_TRUE(boxFlag);
    EXPECT_FALSE(state().bMsgBoxShowing);
    EXPECT_EQ(readLocations(), "<missing>");
    EXPECT_EQ(text("lblName"), "Melbourne");

    set("txtLatMinutes", "16");
    control<QComboBox>("lbNorthSouth")->setCurrentText("South");
    set("txtLongDegree", "149");
    set("txtLongMinutes", "4");
    control<QComboBox>("lbEastWest")->setCurrentText("East");
    set("txtUTCoffset", "10");
    control<QPushButton>("Command1")->click();
    EXPECT_TRUE(testenv::dialogs().allUsed());
    EXPECT_EQ(readLocations(), "Dark Site;-31.2666666666667;149.066666666667;10\r\n");
    EXPECT_EQ(text("lblName"), "Dark Site");
    EXPECT_EQ(text("lblTimeZone"), "10");
    EXPECT_EQ(window_->CurrentLocation().getLatitude(), -31 - 16 / 60.0);
    EXPECT_EQ(control<QComboBox>("lbLocationList")->count(), 0);  // listed from the next opening

    control<QComboBox>("lbLocationList")->setEditText("Bad;Name");
    testenv::dialogs().expectMsgBox("cannot contain \";\" or a line break");
    control<QPushButton>("Command1")->click();
    EXPECT_EQ(readLocations(), "Dark Site;-31.2666666666667;149.066666666667;10\r\n");
    EXPECT_TRUE(testenv::dialogs().allUsed());
}

TEST_F(MoonWindow, FailedSaveIsReported) {
    testenv::enableTrace();
    QDir().mkpath(clsLocation::filePath());  // a folder in the file's place
    open();
    testenv::dialogs().expectMsgBox("The location could not be saved.");
    control<QPushButton>("Command1")->click();  // saves "Melbourne" as shown
    EXPECT_TRUE(testenv::dialogs().allUsed());
    ASSERT_FALSE(testenv::traceLines().isEmpty());
    EXPECT_TRUE(testenv::traceLines().last().startsWith(
        "Error in: frmMoonPhase.Command1_Click with error:Locations.txt could not be written"));
}

// Closing keeps the location and the window position; the registry opens it.
TEST_F(MoonWindow, RegistryOpensItAndClosingRemembersLocationAndPosition) {
    writeLocations("Home;-33.5;151.25;10\r\n");
    registerWindows();
    window_ = windows().showAs<frmMoonPhase>(Win::frmMoonPhase);
    ASSERT_NE(window_, nullptr);
    auto* list = control<QComboBox>("lbLocationList");
    list->setCurrentIndex(0);
    emit list->activated(0);
    window_->move(30, 45);
    window_->close();
    EXPECT_FALSE(windows().isLoaded(Win::frmMoonPhase));
    EXPECT_EQ(Settings::getApp("Moonphase", "Location", "LocationName", ""), "Home");
    EXPECT_EQ(Settings::getApp("Moonphase", "Location", "TimeZone", ""), "10");
    EXPECT_EQ(Settings::getApp("Moonphase", "Location", "Longitude", ""), "151.25");
    EXPECT_EQ(Settings::getApp("Moonphase", "Location", "Latitude", ""), "-33.5");
    EXPECT_EQ(Settings::get("WindowPos", "Moon PhaseLeft", ""), "450");
    EXPECT_EQ(Settings::get("WindowPos", "Moon PhaseTop", ""), "675");
    window_ = nullptr;
}

// A stored coordinate too large for the editor's degree fields is traced; the
// window still loads with its times and picture.
TEST_F(MoonWindow, UnshowableStoredLocationStillLoads) {
    testenv::enableTrace();
    storeLastLocation("Odd", "0", "100000", "10");
    open();
    EXPECT_EQ(text("lblName"), "Odd");
    EXPECT_FALSE(text("outSunrise").isEmpty());
    testenv::vclock().advance(20);
    EXPECT_FALSE(loaded().isNull());
    EXPECT_TRUE(testenv::traceLines().contains(
        "Error in: frmMoonPhase.ShowLocation with error:Overflow 6"));
}
