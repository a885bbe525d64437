#include "sky/frmMoonPhase.h"

#include <QCalendarWidget>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>

#include "image/ImageRotate.h"
#include "platform/os/Dialogs.h"
#include "platform/time/Clock.h"
#include "platform/time/Timer.h"
#include "shell/Conv.h"
#include "shell/Errors.h"
#include "shell/Globals.h"
#include "shell/WindowRegistry.h"
#include "sky/FormParts.h"
#include "sky/LocationCollection.h"
#include "sky/MoonPhaseHelpers.h"
#include "sky/UpDown.h"
#include "sky/clsMoonCalc.h"

namespace zelmora::sky {

namespace {

constexpr int kFrameClosedTwips = 1035;
constexpr int kFrameOpenTwips = 4245;
constexpr int kPictureSize = 160;  // the moon pictures' size, pixels
// The turn for southern latitudes, as the pictures have always been turned
// (a 32-bit 3.14, a shade short of half a turn).
constexpr float kSouthernTurn = 3.14f;

using form::caption;
using form::frame;
using form::named;

QImage blankPicture() {
    QImage image(kPictureSize, kPictureSize, QImage::Format_RGB32);
    image.fill(Qt::black);
    return image;
}

}  // namespace

frmMoonPhase::frmMoonPhase(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmMoonPhase"));
    setWindowTitle(kDesignCaption);
    setProperty("designCaption", kDesignCaption);
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    Form_Load();
}

frmMoonPhase::~frmMoonPhase() {
    // A window deleted without being closed (program end) is unloaded too.
    if (!unloaded_ && windows().ifLoaded(Win::frmMoonPhase) == this)
        windows().markUnloaded(Win::frmMoonPhase);
}

void frmMoonPhase::buildControls() {
    oCalendar = named(new QCalendarWidget(this), "oCalendar");
    oCalendar->setGeometry(10, 10, 280, 200);
    // The range of the month control the dates were chosen on; before the
    // calendar reform the age and the rise/set dates would use different calendars.
    oCalendar->setMinimumDate(QDate(1753, 1, 1));
    oCalendar->setMaximumDate(QDate(9999, 12, 31));

    PicView = named(new QLabel(this), "PicView");
    PicView->setGeometry(300, 30, kPictureSize, kPictureSize);
    PicView->setAlignment(Qt::AlignCenter);
    PicView->setStyleSheet(QStringLiteral("background-color: black;"));
    PicLoad = named(new QLabel(this), "PicLoad");
    PicLoad->setGeometry(300, 30, kPictureSize, kPictureSize);
    PicLoad->hide();

    QGroupBox* times = frame(this, QStringLiteral("Rise/Set Times"), 470, 10, 190, 200);
    const QString labels[6] = {QStringLiteral("Moonrise:"),     QStringLiteral("Moonset:"),
                               QStringLiteral("Sunrise:"),      QStringLiteral("Sunset:"),
                               QStringLiteral("Naut Tw Rise:"), QStringLiteral("Naut Tw Set:")};
    QLabel** outs[6] = {&outMoonrise, &outMoonset, &outSunrise, &outSunset, &outNtrise, &outNtset};
    const char* outNames[6] = {"outMoonrise", "outMoonset", "outSunrise",
                               "outSunset",   "outNtrise",  "outNtset"};
    for (int i = 0; i < 6; ++i) {
        caption(times, labels[i], 10, 28 + i * 27, 95);
        *outs[i] = named(new QLabel(times), outNames[i]);
        (*outs[i])->setGeometry(110, 28 + i * 27, 70, 20);
    }

    frmLocation = named(new QGroupBox(QStringLiteral("Location"), this), "frmLocation");
    frmLocation->setGeometry(10, 220, 650, Conv::twipsToPixels(kFrameClosedTwips));

    // Summary.
    lblName = named(new QLabel(frmLocation), "lblName");
    lblName->setGeometry(10, 26, 110, 20);
    caption(frmLocation, QStringLiteral("UTC Offset:"), 125, 26, 70);
    lblTimeZone = named(new QLabel(frmLocation), "lblTimeZone");
    lblTimeZone->setGeometry(199, 26, 30, 20);
    caption(frmLocation, QStringLiteral("Longitude:"), 232, 26, 65);
    lblLongitude = named(new QLabel(frmLocation), "lblLongitude");
    lblLongitude->setGeometry(300, 26, 70, 20);
    lblEastWest = named(new QLabel(frmLocation), "lblEastWest");
    lblEastWest->setGeometry(370, 26, 35, 20);
    caption(frmLocation, QStringLiteral("Latitude:"), 410, 26, 55);
    lblLatitude = named(new QLabel(frmLocation), "lblLatitude");
    lblLatitude->setGeometry(468, 26, 60, 20);
    lblNorthSouth = named(new QLabel(frmLocation), "lblNorthSouth");
    lblNorthSouth->setGeometry(528, 26, 40, 20);
    cbChange = named(new QPushButton(QStringLiteral("Change>>"), frmLocation), "cbChange");
    cbChange->setGeometry(570, 22, 72, 26);

    // Editor, inside the part of the frame that shows only when it is open.
    QGroupBox* list = frame(frmLocation, QStringLiteral("Location List"), 10, 75, 300, 60);
    caption(list, QStringLiteral("Location:"), 10, 26, 60);
    lbLocationList = named(new QComboBox(list), "lbLocationList");
    lbLocationList->setEditable(true);
    lbLocationList->setInsertPolicy(QComboBox::NoInsert);
    lbLocationList->setGeometry(75, 24, 215, 24);

    QGroupBox* latitude = frame(frmLocation, QStringLiteral("Latitude"), 10, 142, 300, 60);
    caption(latitude, QStringLiteral("Degree"), 10, 26, 45);
    txtLatDegree = named(new QLineEdit(latitude), "txtLatDegree");
    txtLatDegree->setGeometry(55, 24, 45, 24);
    caption(latitude, QStringLiteral("Min."), 110, 26, 30);
    txtLatMinutes = named(new QLineEdit(latitude), "txtLatMinutes");
    txtLatMinutes->setGeometry(140, 24, 45, 24);
    lbNorthSouth = named(new QComboBox(latitude), "lbNorthSouth");
    lbNorthSouth->addItems({QStringLiteral("North"), QStringLiteral("South")});
    lbNorthSouth->setGeometry(200, 24, 85, 24);

    QGroupBox* longitude = frame(frmLocation, QStringLiteral("Longitude"), 10, 209, 300, 60);
    caption(longitude, QStringLiteral("Degree"), 10, 26, 45);
    txtLongDegree = named(new QLineEdit(longitude), "txtLongDegree");
    txtLongDegree->setGeometry(55, 24, 45, 24);
    caption(longitude, QStringLiteral("Min."), 110, 26, 30);
    txtLongMinutes = named(new QLineEdit(longitude), "txtLongMinutes");
    txtLongMinutes->setGeometry(140, 24, 45, 24);
    lbEastWest = named(new QComboBox(longitude), "lbEastWest");
    lbEastWest->addItems({QStringLiteral("East"), QStringLiteral("West")});
    lbEastWest->setGeometry(200, 24, 85, 24);

    QGroupBox* zone = frame(frmLocation, QStringLiteral("Time zone"), 320, 75, 320, 60);
    caption(zone, QStringLiteral("Time = UTC +"), 10, 26, 90);
    txtUTCoffset = named(new QLineEdit(zone), "txtUTCoffset");
    txtUTCoffset->setGeometry(102, 24, 40, 24);
    UpDown1 = named(new UpDown(zone), "UpDown1");
    UpDown1->setGeometry(143, 22, 18, 28);
    caption(zone, QStringLiteral("Hours"), 168, 26, 40);
    lblHoursEastWest = named(new QLabel(zone), "lblHoursEastWest");
    lblHoursEastWest->setGeometry(210, 26, 50, 20);

    Command1 = named(new QPushButton(QStringLiteral("Save"), frmLocation), "Command1");
    Command1->setGeometry(320, 160, 80, 28);
    cbDone = named(new QPushButton(QStringLiteral("Done>>"), frmLocation), "cbDone");
    cbDone->setGeometry(560, 241, 80, 28);

    Timer1 = new platform::Timer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));

    connect(Timer1, &platform::Timer::timeout, this, [this] { Timer1_Timer(); });
    connect(oCalendar, &QCalendarWidget::clicked, this, [this] { oCalendar_DateClick(); });
    connect(lbLocationList, &QComboBox::activated, this, [this] { lbLocationList_Click(); });
    connect(cbChange, &QPushButton::clicked, this, [this] { cbChange_Click(); });
    connect(cbDone, &QPushButton::clicked, this, [this] { cbDone_Click(); });
    connect(UpDown1, &UpDown::UpClick, this, [this] { UpDown1_UpClick(); });
    connect(UpDown1, &UpDown::DownClick, this, [this] { UpDown1_DownClick(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    // Pointing at either button makes it the active control.
    for (QPushButton* b : {cbChange, cbDone}) {
        b->setMouseTracking(true);
        b->installEventFilter(this);
    }
    setLocationFrameHeight(kFrameClosedTwips);
}

bool frmMoonPhase::eventFilter(QObject* watched, QEvent* event) {
    const bool pointed = event->type() == QEvent::MouseMove || event->type() == QEvent::Enter;
    if (watched == cbChange && (pointed || event->type() == QEvent::MouseButtonPress))
        cbChange->setFocus();
    else if (watched == cbDone && pointed)
        cbDone->setFocus();
    return QWidget::eventFilter(watched, event);
}

void frmMoonPhase::setLocationFrameHeight(int twips) {
    const int height = Conv::twipsToPixels(twips);
    frmLocation->resize(frmLocation->width(), height);
    setFixedSize(670, frmLocation->y() + height + 10);
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) sub->adjustSize();
}

void frmMoonPhase::Form_Load() {
    // Each step traps on its own, so that a stored location the editor cannot
    // show (a coordinate past 16-bit degrees) still leaves the times and the
    // picture working.
    trapAndTrace(QStringLiteral("frmMoonPhase.Form_Load"), [&] {
        Globals::RestoreFormPosition(this, kDesignCaption);
        oCalendar->setSelectedDate(platform::clock().now().date());
        lbEastWest->setCurrentIndex(0);
        lbNorthSouth->setCurrentIndex(0);
        currentLocation_.loadLastLocation();
        lbLocationList->addItems(currentLocation_.LocationList().names());
        // The combo's text names the location being edited: start with the current one.
        const int index = lbLocationList->findText(currentLocation_.getLocationName());
        if (index >= 0)
            lbLocationList->setCurrentIndex(index);
        else
            lbLocationList->setEditText(currentLocation_.getLocationName());
    });
    trapAndTrace(QStringLiteral("frmMoonPhase.ShowLocation"), [&] { ShowLocation(); });
    trapAndTrace(QStringLiteral("frmMoonPhase.Form_Load"),
                 [&] { computeTimes(oCalendar->selectedDate()); });
    Timer1->setInterval(10);
    windows().markLoaded(Win::frmMoonPhase, this);
}

void frmMoonPhase::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    trapAndTrace(QStringLiteral("frmMoonPhase.Form_Unload"), [&] {
        currentLocation_.SaveLastLocation();
        Globals::SaveFormPosition(this, kDesignCaption);
    });
    windows().markUnloaded(Win::frmMoonPhase);
}

void frmMoonPhase::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void frmMoonPhase::Timer1_Timer() {
    trapAndTrace(QStringLiteral("frmMoonPhase.Timer1_Timer"), [&] {
        Timer1->setEnabled(false);  // runs once
        const clsMoonCalc calc;
        const float age = calc.MoonAge(clsMoonCalc::dateValue(platform::clock().now().date()));
        ShowMoonImage(MoonPhaseHelpers::pictureNumber(age));
    });
}

void frmMoonPhase::ShowMoonImage(int n) {
    if (n == 0) n = 1;
    const QString path = MoonPhaseHelpers::picturePath(n);
    loaded_ = QImage(path);
    QImage shown = blankPicture();
    if (loaded_.isNull()) {
        Globals::WriteLogLine(QStringLiteral("Moon picture not found: ") + path);
    } else if (MoonPhaseHelpers::rotatesPicture(currentLocation_.getLatitude())) {
        shown = QImage(loaded_.size(), QImage::Format_RGB32);
        shown.fill(Qt::black);
        ImageRotate::RotatePicture(loaded_, shown, kSouthernTurn);
    } else {
        shown = loaded_.convertToFormat(QImage::Format_RGB32);
    }
    PicLoad->setPixmap(loaded_.isNull() ? QPixmap() : QPixmap::fromImage(loaded_));
    PicView->setPixmap(QPixmap::fromImage(shown));
}

void frmMoonPhase::computeTimes(const QDate& date) {
    clsMoonCalc calc;  // a new calculator for every computation
    calc.CalcTimes(date.year(), date.month(), date.day(), currentLocation_.getTimeZone(),
                   currentLocation_.getLongitude(), currentLocation_.getLatitude());
    outMoonrise->setText(calc.GetMoonrise());
    outMoonset->setText(calc.GetMoonset());
    outSunrise->setText(calc.GetSunrise());
    outSunset->setText(calc.GetSunset());
    outNtrise->setText(calc.GetNTrise());
    outNtset->setText(calc.GetNTset());
}

void frmMoonPhase::RefreshForDate() {
    const QDate date = oCalendar->selectedDate();
    const clsMoonCalc calc;
    ShowMoonImage(MoonPhaseHelpers::pictureNumber(calc.MoonAge(clsMoonCalc::dateValue(date))));
    computeTimes(date);
}

void frmMoonPhase::ShowLocation() {
    const auto summary = MoonPhaseHelpers::summaryTexts(currentLocation_);
    lblName->setText(summary.name);
    lblTimeZone->setText(summary.timeZone);
    lblLongitude->setText(summary.longitude);
    lblLatitude->setText(summary.latitude);
    lblEastWest->setText(summary.eastWest);
    lblNorthSouth->setText(summary.northSouth);
    const auto editor = MoonPhaseHelpers::editorTexts(currentLocation_);
    txtUTCoffset->setText(editor.utcOffset);
    lbNorthSouth->setCurrentIndex(editor.northSouthIndex);
    lbEastWest->setCurrentIndex(editor.eastWestIndex);
    lblHoursEastWest->setText(editor.hoursEastWest);
    txtLongDegree->setText(editor.longDegree);
    txtLongMinutes->setText(editor.longMinutes);
    txtLatDegree->setText(editor.latDegree);
    txtLatMinutes->setText(editor.latMinutes);
}

void frmMoonPhase::oCalendar_DateClick() {
    trapAndTrace(QStringLiteral("frmMoonPhase.oCalendar_DateClick"), [&] { RefreshForDate(); });
}

void frmMoonPhase::lbLocationList_Click() {
    trapAndTrace(QStringLiteral("frmMoonPhase.lbLocationList_Click"), [&] {
        const clsLocation* listed =
            currentLocation_.LocationList().find(lbLocationList->currentText());
        if (!listed) return;
        currentLocation_.setLocation(listed->getLocationName(), listed->getTimeZone(),
                                     listed->getLongitude(), listed->getLatitude());
        ShowLocation();  // the times follow at the next date click or "Done>>"
    });
}

void frmMoonPhase::cbChange_Click() {
    cbChange->hide();
    setLocationFrameHeight(kFrameOpenTwips);
}

void frmMoonPhase::cbDone_Click() {
    trapAndTrace(QStringLiteral("frmMoonPhase.cbDone_Click"), [&] {
        setLocationFrameHeight(kFrameClosedTwips);
        cbChange->show();
        RefreshForDate();
    });
}

void frmMoonPhase::UpDown1_UpClick() {
    if (auto text = MoonPhaseHelpers::zoneStepUp(txtUTCoffset->text()))
        txtUTCoffset->setText(*text);
}

void frmMoonPhase::UpDown1_DownClick() {
    if (auto text = MoonPhaseHelpers::zoneStepDown(txtUTCoffset->text()))
        txtUTCoffset->setText(*text);
}

void frmMoonPhase::Command1_Click() {
    trapAndTrace(QStringLiteral("frmMoonPhase.Command1_Click"), [&] {
        MoonPhaseHelpers::EditedLocation edited;
        try {
            edited = MoonPhaseHelpers::readEditor(
                {lbLocationList->currentText(), txtLatDegree->text(), txtLatMinutes->text(),
                 lbNorthSouth->currentText(), txtLongDegree->text(), txtLongMinutes->text(),
                 lbEastWest->currentText(), txtUTCoffset->text()});
        } catch (const AppError& e) {
            platform::Dialogs::msgBox(e.description(), platform::Msg::Exclamation, kDesignCaption);
            return;
        }
        currentLocation_.setLocation(edited.name, edited.zone, edited.longitude, edited.latitude);
        ShowLocation();
        try {
            currentLocation_.SaveLocation();
        } catch (const AppError& e) {
            Globals::traceError(e);
            platform::Dialogs::msgBox(
                QStringLiteral("The location could not be saved.\n") + e.description(),
                platform::Msg::Exclamation, kDesignCaption);
        }
    });
}

}  // namespace zelmora::sky
