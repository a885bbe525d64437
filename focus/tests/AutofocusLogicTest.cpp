// The vote, the chart's table, the box guards, the focuser moves against a
// recording driver, and the results chart offscreen.
#include <gtest/gtest.h>

#include <QChart>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPushButton>
#include <QValueAxis>
#include <algorithm>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include "focus/CgraphData.h"
#include "focus/FocusWindows.h"
#include "focus/FocuserController.h"
#include "focus/frmAutoFocusRslts.h"
#include "focus/frmAutofocus.h"
#include "platform/drivers/DriverChooser.h"
#include "platform/drivers/DriverErrors.h"
#include "platform/drivers/DriverRegistry.h"
#include "shell/Globals.h"
#include "shell/WindowRegistry.h"
#include "testing/TestEnv.h"

using namespace zelmora;
using namespace zelmora::focus;

namespace {

IterationRow row(int pos, float h, float v, float radial, float peak = 100, bool valid = true) {
    return {positionLabel(pos), h, v, peak, radial, valid};
}

TEST(AutofocusVote, Cases) {
    struct Case {
        const char* name;
        IterationTable table;
        std::optional<std::int32_t> best;
    };
    const Case cases[] = {
        {"one row", {row(5000, 3, 3, 2)}, 5000},
        {"ties keep the earliest row",
         {row(5000, 3.1f, 3.1f, 2), row(4900, 2.5f, 2.5f, 1.5f), row(4800, 2.5f, 2.5f, 1.5f)},
         4900},
        // The radial value votes with its greatest row: the sky in the
        // measuring window makes it greatest for the sharpest star.
        {"H 4900, V 4800, radial greatest 4900",
         {row(5000, 3, 3, 24.9f), row(4900, 2, 2.5f, 25.3f), row(4800, 2.5f, 2, 25.1f)},
         4900},
        {"H and V 4900, radial greatest 5000",
         {row(5000, 3, 3, 25.3f), row(4900, 2, 2, 25.2f), row(4800, 2.5f, 2.5f, 25.1f)},
         4900},
        {"H 5000, V and radial 4900", {row(5000, 2, 3, 25.0f), row(4900, 3, 2, 25.3f)}, 4900},
        {"H and radial greatest at 10, V at 20",
         {row(10, 2, 3, 25.3f), row(20, 3, 2, 25.0f), row(30, 4, 4, 24.8f)},
         10},
        {"equal radial values keep the earliest row", {row(10, 2, 3, 25), row(20, 3, 2, 25)}, 10},
        {"radial never above 0: V", {row(10, 2, 3, 0), row(20, 3, 2, 0)}, 20},
        {"99999 never wins", {row(5000, 99999, 99999, 1)}, std::nullopt},
        {"rows without a measured frame are left out",
         {row(5000, 0, 0, 0, 0, false), row(4900, 3, 3, 2), row(4800, 0, 0, 0, 0, false)},
         4900},
        {"nothing measured: no offer", {row(5000, 0, 0, 0, 0, false)}, std::nullopt},
        {"empty table", {}, std::nullopt},
        {"relative positions", {row(0, 4, 4, 3), row(-200, 2, 2, 1), row(-400, 3, 3, 2)}, -200},
    };
    for (const Case& c : cases) EXPECT_EQ(bestFocusPosition(c.table), c.best) << c.name;
}

TEST(CgraphDataTest, LookupByPositionIsExactAndTheFirstRowWins) {
    CgraphData g;
    g.SetGraphData({row(5000, 3, 3, 2), row(4900, 2, 2, 1), row(4800, 1, 1, 1)});
    ASSERT_TRUE(g.GetDatafromPos("4900"));
    EXPECT_EQ(g.GetDatafromPos("4900")->FocusPosition, 4900);
    EXPECT_FALSE(g.GetDatafromPos("490"));
    g.SetGraphData({row(1234, 1, 1, 1), row(12, 2, 2, 2), row(12, 9, 9, 9)});
    ASSERT_TRUE(g.GetDatafromPos("12"));
    EXPECT_EQ(g.GetDatafromPos("12")->HFWHM, 2.0);
    g.SetGraphData({row(-200, 1, 1, 1)});
    EXPECT_EQ(g.GetDatafromPos("-200")->FocusPosition, -200);

    QStringList titles;
    EXPECT_EQ(g.GetGraphData(titles).size(), 1u);
    EXPECT_EQ(titles,
              QStringList({"Focuser Position", "HFWHM", "VFWHM", "PeakValue", "RadialSum"}));
    // The peak rounds half to even into 16 bits.
    g.SetGraphData({row(1, 1, 1, 1, 122.5f), row(2, 1, 1, 1, 123.5f)});
    EXPECT_EQ(g.GetDataPointdata(0).peakValue, 122);
    EXPECT_EQ(g.GetDataPointdata(1).peakValue, 124);
}

TEST(AutofocusGuards, Table) {
    struct Case {
        GuardedBox box;
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {GuardedBox::Frames, "12", "8"},      {GuardedBox::Frames, "0", "8"},
        {GuardedBox::Frames, "abc", "3"},     {GuardedBox::Frames, "8.5", "8.5"},
        {GuardedBox::Frames, "40000", "8"},   {GuardedBox::Frames, "", "3"},
        {GuardedBox::Iterations, "11", "10"}, {GuardedBox::Iterations, "x", "10"},
        {GuardedBox::Iterations, "1", "1"},   {GuardedBox::Pause, "-1", "2"},
        {GuardedBox::Pause, "0", "0"},        {GuardedBox::Pause, "6", "6"},
        {GuardedBox::Amount, "abc", "0"},     {GuardedBox::Amount, "", "0"},
        {GuardedBox::Amount, "-20", "-20"},   {GuardedBox::Amount, "1e3", "1e3"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(guardText(c.box, QString::fromLatin1(c.in)), QString::fromLatin1(c.out)) << c.in;
}

// Records what it is told; moves last `moveMs` of virtual time.
class RecordingFocuser : public drivers::Focuser {
public:
    bool link() const override { return linked; }
    void setLink(bool v) override { linked = v && !refuse; }
    bool absolute() const override { return isAbsolute; }
    std::int32_t Position() const override { return position; }
    bool IsMoving() const override {
        return stuck || testenv::vclock().monotonicMs() < movingUntil;
    }
    void Move(std::int32_t v) override {
        calls.push_back({v, IsMoving()});
        if (fail) drivers::throwDriverError(drivers::DriverErrors::kDeviceFault, "Rec", "jammed");
        position = isAbsolute ? v : position + v;
        movingUntil = testenv::vclock().monotonicMs() + moveMs;
    }
    struct Call {
        std::int32_t value;
        bool whileMoving;
    };
    bool linked = true, isAbsolute = true, fail = false, stuck = false, refuse = false;
    std::int32_t position = 5000;
    qint64 moveMs = 500, movingUntil = 0;
    std::vector<Call> calls;
};

class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override { c.setDriver(drv); }
    FocuserController::Result run(std::vector<std::int32_t> steps, qint64 maxMs = 200000) {
        FocuserController::Result out;
        bool done = false;
        EXPECT_TRUE(c.runMoves(std::move(steps), [&](const FocuserController::Result& r) {
            out = r;
            done = true;
        }));
        for (qint64 t = 0; t < maxMs && !done; t += 100) testenv::vclock().advance(100);
        EXPECT_TRUE(done);
        return out;
    }
    std::shared_ptr<RecordingFocuser> drv = std::make_shared<RecordingFocuser>();
    FocuserController c;
};

TEST_F(ControllerTest, RelativeMovesWithBacklashKeepTheCounter) {
    drv->isAbsolute = false;
    EXPECT_EQ(c.planMoveOut(100, 20), (std::vector<std::int32_t>{120, -20}));
    run(c.planMoveOut(100, 20));
    EXPECT_EQ(c.lRelativePosition(), 100);
    run(c.planMoveIn(100));
    EXPECT_EQ(c.lRelativePosition(), 0);
    c.setRelativePosition(300);
    EXPECT_EQ(c.planMoveTo(1000), std::vector<std::int32_t>{700});
    run(c.planMoveTo(1000));
    EXPECT_EQ(c.lRelativePosition(), 1000);
    // Every move started only once the one before had ended.
    for (const auto& call : drv->calls) EXPECT_FALSE(call.whileMoving);
}

TEST_F(ControllerTest, AbsoluteMoveOutOvershootsWaitsThenComesBack) {
    EXPECT_EQ(c.planMoveOut(100, 20), (std::vector<std::int32_t>{5120, 5100}));
    EXPECT_EQ(c.planMoveOut(100, 0), std::vector<std::int32_t>{5100});
    EXPECT_EQ(c.planMoveIn(100), std::vector<std::int32_t>{4900});
    EXPECT_EQ(c.planMoveTo(6000), std::vector<std::int32_t>{6000});
    run(c.planMoveOut(100, 20));
    ASSERT_EQ(drv->calls.size(), 2u);
    EXPECT_FALSE(drv->calls[1].whileMoving);
    EXPECT_EQ(drv->position, 5100);
}

TEST_F(ControllerTest, AFailedMoveLeavesTheCounterAndReportsTheDriversText) {
    drv->isAbsolute = false;
    drv->fail = true;
    const auto r = run({50});
    EXPECT_EQ(r.outcome, FocuserController::Outcome::Failed);
    EXPECT_EQ(r.description, "jammed");
    EXPECT_EQ(c.lRelativePosition(), 0);
}

TEST_F(ControllerTest, AStuckFocuserTimesOutAndACancelEndsTheWait) {
    drv->stuck = true;
    const qint64 start = testenv::vclock().monotonicMs();
    EXPECT_EQ(run({5100}).outcome, FocuserController::Outcome::TimedOut);
    EXPECT_GE(testenv::vclock().monotonicMs() - start, FocuserController::kMoveTimeoutMs);
    FocuserController::Outcome seen = FocuserController::Outcome::Done;
    ASSERT_TRUE(c.runMoves({5200, 5100}, [&](const auto& r) { seen = r.outcome; }));
    EXPECT_FALSE(c.runMoves({1}, nullptr));  // one move at a time
    c.cancel();
    EXPECT_EQ(seen, FocuserController::Outcome::Cancelled);
    EXPECT_FALSE(c.moving());
    testenv::vclock().advance(1000);
    EXPECT_EQ(drv->calls.back().value, 5200);  // the return move was never sent
}

TEST_F(ControllerTest, InfoLeavesOutWhatTheDriverCannotTell) {
    // RecordingFocuser offers no MaxStep or stepsize.
    EXPECT_EQ(c.focuserInfo(), "Position:5000\r\nFocuser Type:Absolute\r\nConnected:True");
}

TEST(AutoFocusResultsChart, OnePointPerPositionAndTheBestFocusFromTheTable) {
    focus::registerWindows();
    auto* w = windows().showAs<frmAutoFocusRslts>(Win::frmAutoFocusRslts);
    ASSERT_NE(w, nullptr);
    w->oGraph().SetGraphData({row(5000, 3.1f, 3, 2.5f, 120), row(4900, 2, 2.1f, 12.3456f, 200),
                              row(4800, 2.5f, 2.5f, 3, 150)});
    w->GraphData();
    std::vector<QLineSeries*> shown;
    for (QAbstractSeries* s : w->chart()->series())
        if (auto* l = qobject_cast<QLineSeries*>(s); l && !l->name().isEmpty()) shown.push_back(l);
    ASSERT_EQ(shown.size(), 4u);
    const QColor colours[] = {QColor(0, 200, 200), QColor(0, 0, 255), QColor(255, 0, 0),
                              QColor(0, 255, 0)};
    const char* names[] = {"HFWHM", "VFWHM", "PeakValue", "RadialSum"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(shown[i]->count(), 3);
        EXPECT_EQ(shown[i]->pen().color(), colours[i]);
        EXPECT_EQ(shown[i]->name(), names[i]);
    }
    auto* peakAxis = qobject_cast<QValueAxis*>(w->chart()->axes(Qt::Vertical).value(1));
    ASSERT_NE(peakAxis, nullptr);
    EXPECT_EQ(peakAxis->min(), 55);
    EXPECT_EQ(peakAxis->max(), 255);
    EXPECT_EQ(peakAxis->tickCount(), 11);
    EXPECT_EQ(w->chart()->title(), "Autofocus Results");

    // Point 2 is row 1; the radial value shows two decimals, floats their own digits.
    w->chtResults_PointSelected(0);
    EXPECT_FALSE(w->findChild<QPushButton*>("cbMoveTo")->isEnabled());
    w->chtResults_PointSelected(2);
    EXPECT_EQ(w->findChild<QLabel*>("lblPosition")->text(), "4900");
    EXPECT_EQ(w->findChild<QLabel*>("lblRadialSum")->text(), "12.35");
    EXPECT_EQ(w->findChild<QLabel*>("lblVFWHM")->text(), "2.1");
    EXPECT_TRUE(w->findChild<QPushButton*>("cbMoveTo")->isEnabled());
    EXPECT_EQ(frmAutoFocusRslts::figureText(3.1f), "3.1");
    frameOf(w)->close();
}

TEST(AutoFocusResultsChart, APositionWithoutAMeasuredFrameIsAGapAndEachAxisCoversItsFigures) {
    focus::registerWindows();
    auto* w = windows().showAs<frmAutoFocusRslts>(Win::frmAutoFocusRslts);
    ASSERT_NE(w, nullptr);
    // A faint star far from focus, a position without a measured frame, then
    // brighter and sharper.
    w->oGraph().SetGraphData({row(5000, 9, 9.5f, 20.5f, 30), row(4900, 0, 0, 0, 0, false),
                              row(4800, 5, 5.5f, 24, 120), row(4700, 3, 3.5f, 25.3f, 200)});
    for (bool depth : {false, true}) {
        w->findChild<QCheckBox*>("chk3D")->setChecked(depth);
        w->GraphData();
        auto* left = qobject_cast<QValueAxis*>(w->chart()->axes(Qt::Vertical).value(0));
        auto* peakAxis = qobject_cast<QValueAxis*>(w->chart()->axes(Qt::Vertical).value(1));
        ASSERT_TRUE(left && peakAxis);
        const QColor colours[] = {QColor(0, 200, 200), QColor(0, 0, 255), QColor(255, 0, 0),
                                  QColor(0, 255, 0)};
        int named = 0;
        for (int c = 0; c < 4; ++c) {
            // Every point of the series' lines, whatever pieces they are drawn in.
            std::vector<QPointF> points;
            for (QAbstractSeries* a : w->chart()->series()) {
                auto* s = qobject_cast<QLineSeries*>(a);
                if (!s || s->pen().color() != colours[c] || s->pen().width() != 1) continue;
                if (!s->name().isEmpty()) ++named;
                QValueAxis* axis = nullptr;
                for (QAbstractAxis* ax : s->attachedAxes())
                    if (ax->orientation() == Qt::Vertical) axis = qobject_cast<QValueAxis*>(ax);
                ASSERT_NE(axis, nullptr);
                for (const QPointF& p : s->points()) {
                    points.push_back(p);
                    EXPECT_GE(p.y(), axis->min()) << "series " << c;
                    EXPECT_LE(p.y(), axis->max()) << "series " << c;
                }
            }
            std::vector<double> xs;
            for (const QPointF& p : points) xs.push_back(p.x());
            std::sort(xs.begin(), xs.end());
            EXPECT_EQ(xs, (std::vector<double>{0, 2, 3})) << "series " << c << " depth " << depth;
        }
        EXPECT_EQ(named, 4);
        int legend = 0;
        for (QLegendMarker* m : w->chart()->legend()->markers()) legend += m->isVisible();
        EXPECT_EQ(legend, 4);
        // The peak scale keeps its top and its ten divisions.
        EXPECT_EQ(peakAxis->max(), 255);
        EXPECT_EQ(peakAxis->tickCount(), 11);
    }
    // Clicking the point past the gap shows that position.
    w->chtResults_PointSelected(3);
    EXPECT_EQ(w->findChild<QLabel*>("lblPosition")->text(), "4800");
    frameOf(w)->close();
}

}  // namespace

namespace {

// The "Auto Focus" window's focuser half against recording drivers.
class AutofocusWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        focus::registerWindows();
        auto& reg = drivers::DriverRegistry::instance();
        for (const char* id : {"FINEFOCUS.Focuser", "finefocus.focuser2", "Rec.Relative"}) {
            reg.addFocuser(QString::fromLatin1(id), "recording", [this, id] {
                auto d = std::make_shared<RecordingFocuser>();
                d->isAbsolute = QByteArray(id) != "Rec.Relative";
                d->linked = false;
                d->refuse = refuseLink;
                last = d;
                return d;
            });
        }
    }
    void TearDown() override {
        windows().closeAll();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(testenv::dialogs().allUsed());
    }
    frmAutofocus* open() { return windows().showAs<frmAutofocus>(Win::frmAutofocus); }
    static void store(const char* key, const QString& value) {
        Settings::save("Focuser", QString::fromLatin1(key), value);
    }
    template <typename T>
    static T* child(frmAutofocus* w, const char* name) {
        return w->findChild<T*>(QLatin1String(name));
    }

    bool refuseLink = false;
    std::shared_ptr<RecordingFocuser> last;
};

TEST_F(AutofocusWindowTest, ACancelledChooserStoresNothingWarnsAndAsksAgainNextTime) {
    testenv::driverUi().expectChoose("");
    testenv::dialogs().expectMsgBox(
        "Unable to setup Focuser. Please make sure you have the ASCOM "
        "drivers installed.you can obtain these here: ");
    frmAutofocus* w = open();
    EXPECT_EQ(Settings::get("Focuser", "ID", "x"), "");
    EXPECT_FALSE(w->focuser().hasDriver());
    // Buttons without a driver say so and do nothing else.
    for (const char* b :
         {"cbMoveIn", "cbMoveOut", "cbMoveTo", "cbSetPosition", "Command6", "cbStartAutoFocus"}) {
        testenv::dialogs().expectMsgBox(frmAutofocus::kNotConnectedText);
        if (QByteArray(b) == "cbSetPosition") {
            w->cbSetPosition_Click();
        } else if (QByteArray(b) == "Command6") {
            w->Command6_Click();
        } else if (QByteArray(b) == "cbStartAutoFocus") {
            w->cbStartAutoFocus_Click();
        } else {
            child<QPushButton>(w, b)->setEnabled(true);
            child<QPushButton>(w, b)->click();
        }
    }
    EXPECT_FALSE(w->running());
    frameOf(w)->close();
    testenv::driverUi().expectChoose("FINEFOCUS.Focuser");
    w = open();
    EXPECT_TRUE(w->focuser().linked());
    EXPECT_TRUE(testenv::driverUi().allUsed());
}

TEST_F(AutofocusWindowTest, SetPositionOnlyForThatDriverSpelledExactly) {
    store("ID", "FINEFOCUS.Focuser");
    frmAutofocus* w = open();
    EXPECT_TRUE(child<QPushButton>(w, "cbSetPosition")->isEnabled());
    // The text box shows the CR LF line ends as plain line breaks.
    EXPECT_EQ(child<QPlainTextEdit>(w, "txtInformation")->toPlainText(),
              "Position:5000\nFocuser Type:Absolute\nConnected:True");
    frameOf(w)->close();
    store("ID", "finefocus.focuser2");
    w = open();
    EXPECT_FALSE(child<QPushButton>(w, "cbSetPosition")->isEnabled());
}

TEST_F(AutofocusWindowTest, StoredDirectionAndAGarbledOneFallsBackToMoveIn) {
    store("ID", "FINEFOCUS.Focuser");
    const std::pair<const char*, bool> cases[] = {
        {"False", false}, {"0", false}, {"1", true}, {"maybe", true}};
    for (const auto& [stored, in] : cases) {
        store("DirectionIn", stored);
        frmAutofocus* w = open();
        EXPECT_EQ(child<QRadioButton>(w, "optDirection0")->isChecked(), in) << stored;
        EXPECT_EQ(child<QRadioButton>(w, "optDirection1")->isChecked(), !in) << stored;
        frameOf(w)->close();
        // Saved back as "True"/"False".
        EXPECT_EQ(Settings::get("Focuser", "DirectionIn", ""), in ? "True" : "False");
    }
}

TEST_F(AutofocusWindowTest, MoveToSendsTheMoveAloneWithOrWithoutBacklashCompensation) {
    struct Case {
        const char* id;
        std::int32_t counter;  // a relative focuser's counter before the move
        std::int32_t target;
        std::vector<std::int32_t> sent;
    };
    const Case cases[] = {
        {"Rec.Relative", 0, 500, {500}},
        {"Rec.Relative", 500, 200, {-300}},
        {"FINEFOCUS.Focuser", 0, 6000, {6000}},
        {"FINEFOCUS.Focuser", 0, 4000, {4000}},
    };
    for (const Case& c : cases) {
        for (bool compensate : {false, true}) {
            store("ID", QString::fromLatin1(c.id));
            frmAutofocus* w = open();
            ASSERT_TRUE(w->focuser().linked()) << c.id;
            w->focuser().setRelativePosition(c.counter);
            child<QCheckBox>(w, "chBackCompensate")->setChecked(compensate);
            child<QLineEdit>(w, "txtBacklashAmount")->setText("20");
            // As the results window moves the focuser.
            w->MoveFocuserToPos(c.target);
            for (int i = 0; i < 50 && w->focuser().moving(); ++i) testenv::vclock().advance(100);
            std::vector<std::int32_t> sent;
            for (const auto& call : last->calls) sent.push_back(call.value);
            EXPECT_EQ(sent, c.sent) << c.id << " to " << c.target << " compensated " << compensate;
            if (!last->isAbsolute) EXPECT_EQ(w->focuser().lRelativePosition(), c.target);
            EXPECT_EQ(w->GetFocuserPosition(), c.target);
            frameOf(w)->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
}

TEST_F(AutofocusWindowTest, LinkRefusedAndMoveFailuresShowTheirBoxes) {
    store("ID", "Rec.Relative");
    refuseLink = true;
    testenv::dialogs().expectMsgBox(frmAutofocus::kLinkRefused);
    frmAutofocus* w = open();
    EXPECT_FALSE(w->focuser().linked());
    last->refuse = false;
    w->cbLink_Click();
    ASSERT_TRUE(w->focuser().linked());
    // An empty target is refused with a message, no move.
    child<QLineEdit>(w, "txtTopos")->setText("");
    testenv::dialogs().expectMsgBox("Please enter the position to move to.");
    w->cbMoveTo_Click();
    EXPECT_TRUE(last->calls.empty());
    // A refused move shows the driver's text and keeps the counter.
    last->fail = true;
    testenv::dialogs().expectMsgBox("jammed");
    w->cbMoveOut_Click();
    EXPECT_EQ(w->focuser().lRelativePosition(), 0);
}

}  // namespace
