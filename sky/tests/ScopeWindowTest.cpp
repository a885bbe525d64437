#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/drivers/TelescopeSimulator.h"
#include "platform/time/Timer.h"
#include "shell/AppPaths.h"
#include "shell/Conv.h"
#include "shell/Globals.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"
#include "sky/ScopeDriver.h"
#include "sky/SkyWindows.h"
#include "sky/frmScopeControl.h"
#include "sky/modScope.h"
#include "testing/TestEnv.h"

using namespace zelmora;
using namespace zelmora::sky;
using drivers::TelescopeSimulator;
using M = ScopeControlModel;

namespace {

class ScopeWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        state().sCatalogueFile = QStringLiteral(SKY_DEFAULT_CATALOGUE);
        TelescopeSimulator::Config config;
        config.latitude = -33.9;
        config.longitude = 151.2;
        sim = std::make_shared<TelescopeSimulator>(config);
        sky::scope() = sim;
    }
    frmScopeControl* open() {
        window = new frmScopeControl;
        return window;
    }
    template <typename T>
    T* control(const char* name) {
        T* w = window->findChild<T*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QString text(const char* name) { return control<QLabel>(name)->text(); }
    QString caption(int i) {
        return control<QPushButton>(QStringLiteral("cmdSlew%1").arg(i).toLatin1().constData())
            ->text();
    }
    std::uint32_t lamp() {
        return Conv::bgrFromColor(control<QFrame>("shStatus")->palette().color(QPalette::Window));
    }

    std::shared_ptr<TelescopeSimulator> sim;
    frmScopeControl* window = nullptr;  // deleted by the registry's reset
};

}  // namespace

TEST_F(ScopeWindowTest, LoadsInOrderAndShowsThePosition) {
    Settings::save("Telescope", "RevereseEW", "1");
    Settings::save("Telescope", "RevereseNS", "yes");  // not a number: read as 0
    scopeState().bReverseNS = true;                    // left over from an earlier window
    open();
    EXPECT_TRUE(windows().isLoaded(Win::frmScopeControl));
    // The probe found a southern site before the captions were set.
    EXPECT_EQ(caption(1), "S");
    EXPECT_EQ(caption(2), "N");
    EXPECT_EQ(caption(3), "E");
    EXPECT_EQ(caption(4), "W");
    EXPECT_EQ(control<QComboBox>("cbJog")->currentText(), "5'");
    EXPECT_EQ(control<QComboBox>("cbJog")->currentData().toInt(), 5);
    EXPECT_EQ(control<QComboBox>("cbJog")->count(), 11);
    EXPECT_EQ(control<QComboBox>("cbJog")->itemData(10).toInt(), 3600);
    EXPECT_TRUE(control<QCheckBox>("Check1")->isChecked());
    EXPECT_FALSE(control<QCheckBox>("Check2")->isChecked());
    EXPECT_TRUE(scopeState().bReverseEW);
    EXPECT_FALSE(scopeState().bReverseNS);
    EXPECT_EQ(control<QLineEdit>("txtRa")->text(), "--h--m--s");
    EXPECT_EQ(control<QLineEdit>("txtDec")->text(), QString::fromUtf8("--\xC2\xB0--'--.-"));

    testenv::vclock().advance(200);
    EXPECT_EQ(lamp(), M::kBrightGreen);
    EXPECT_EQ(text("lblRa"), modScope::DegToDMS(sim->RightAscension(), false));
    EXPECT_TRUE(text("lblDec").startsWith(u'+') || text("lblDec").startsWith(u'-'));
    EXPECT_EQ(text("lblAzimuth"), modScope::DegToDMS(sim->Azimuth(), false));
    EXPECT_FALSE(text("lblAltitude").isEmpty());

    control<QCheckBox>("Check1")->click();
    EXPECT_FALSE(scopeState().bReverseEW);
    control<QCheckBox>("Check2")->click();
    window->close();
    EXPECT_FALSE(windows().isLoaded(Win::frmScopeControl));
    EXPECT_EQ(Settings::get("Telescope", "RevereseEW", ""), "0");
    EXPECT_EQ(Settings::get("Telescope", "RevereseNS", ""), "1");
    EXPECT_NE(Settings::get("WindowPos", "Telescope ControlTop", "none"), "none");
    EXPECT_NE(Settings::get("WindowPos", "Telescope ControlLeft", "none"), "none");
}

TEST_F(ScopeWindowTest, ChooseAnObjectAndSlewWithTheIndicator) {
    open();
    window->loadCatalogue();  // "Load Catalogue" right after opening lists each object once
    auto* objects = control<QComboBox>("cbObjects");
    ASSERT_GE(objects->count(), 110);
    EXPECT_EQ(objects->findText("M42 - Orion Nebula"), 41);
    const int m8 = objects->findText("M8 - Lagoon Nebula");
    objects->setCurrentIndex(m8);
    emit objects->activated(m8);
    EXPECT_EQ(control<QLineEdit>("txtRa")->text(), "18h 03m 37.0s");
    EXPECT_EQ(control<QLineEdit>("txtDec")->text(), QString::fromUtf8("-24\xC2\xB0"
                                                                      "23'12.0"));

    testenv::vclock().advance(200);
    control<QPushButton>("cbSlew")->click();
    EXPECT_TRUE(sim->Slewing());
    testenv::vclock().advance(800);
    for (int i = 0; i < 300 && sim->Slewing(); ++i) testenv::vclock().advance(200);
    testenv::vclock().advance(1000);
    EXPECT_EQ(lamp(), M::kBrightGreen);
    EXPECT_EQ(text("lblRa"), "18:03:37");
    EXPECT_EQ(text("lblDec"), "-24:23:12");

    // A jog button click moves the mount one step (5' north: south on this site).
    const double dec = sim->Declination();
    control<QPushButton>("cmdSlew2")->click();
    testenv::vclock().advance(1000);
    EXPECT_NEAR(sim->Declination() - dec, 5.0 / 60, 1e-9);
}

TEST_F(ScopeWindowTest, OpensThroughTheRegistry) {
    registerWindows();
    auto* w = windows().showAs<IScopeControlWindow>(Win::frmScopeControl);
    ASSERT_NE(w, nullptr);
    window = dynamic_cast<frmScopeControl*>(w);
    ASSERT_NE(window, nullptr);
    EXPECT_NE(windows().show(Win::frmCustomObjects), nullptr);
}

// A picture of the window for looking at it (not compared).
TEST_F(ScopeWindowTest, Picture) {
    const QByteArray dir = qgetenv("SCOPE_SHOT_DIR");
    if (dir.isEmpty()) GTEST_SKIP();
    open();
    window->show();
    testenv::vclock().advance(400);
    window->grab().save(QString::fromLocal8Bit(dir) + "/scope-window.png");
    registerWindows();
    QWidget* editor = windows().load(Win::frmCustomObjects);
    editor->show();
    editor->grab().save(QString::fromLocal8Bit(dir) + "/custom-objects.png");
}
