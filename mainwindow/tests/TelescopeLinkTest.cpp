#include <gtest/gtest.h>

#include <QAction>

#include "mainwindow/MDIMain.h"
#include "platform/drivers/DriverChooser.h"
#include "platform/drivers/DriverErrors.h"
#include "platform/drivers/DriverRegistry.h"
#include "platform/drivers/TelescopeSimulator.h"
#include "shell/Globals.h"
#include "shell/ProgramState.h"
#include "sky/ScopeDriver.h"
#include "testing/TestEnv.h"

using namespace zelmora;
using drivers::DriverRegistry;
using drivers::ScriptedDriverUi;

namespace {

// A driver whose link behaves as each case needs.
struct ScopeBehaviour {
    bool refuses = false;      // connected reads False after being set True
    bool throwsOnSet = false;  // setting connected fails
    bool throwsOnRead = false;
};

class FakeScope : public drivers::Telescope {
public:
    explicit FakeScope(ScopeBehaviour b) : b_(b) {}
    bool connected() const override {
        if (b_.throwsOnRead) throw AppError(drivers::DriverErrors::kDeviceFault, "Fake", "gone");
        return connected_;
    }
    void setConnected(bool v) override {
        if (b_.throwsOnSet) throw AppError(drivers::DriverErrors::kDeviceFault, "Fake", "no port");
        connected_ = v && !b_.refuses;
    }
    bool connected_ = false;

private:
    ScopeBehaviour b_;
};

const QString kMustSelect =
    "You must select a telescope first. Use the Menu option Telescope->Setup...";
const QString kUnableToSetup =
    "Unable to setup telescope. Please make sure you have the ASCOM drivers installed.";

class TelescopeLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        DriverRegistry::instance().reset();
        ui = std::make_shared<ScriptedDriverUi>();
        ui->setOnUnexpected(
            [](const QString& t) { ADD_FAILURE() << "unexpected chooser " << t.toStdString(); });
        drivers::DriverUi::setBackend(ui);
        main = std::make_unique<MDIMain>();
    }
    void TearDown() override {
        main.reset();
        drivers::DriverUi::setBackend(nullptr);
        DriverRegistry::instance().reset();
    }
    void addFake(ScopeBehaviour b) {
        DriverRegistry::instance().addTelescope("Test.Scope", "fake",
                                                [b] { return std::make_shared<FakeScope>(b); });
    }
    bool menusEnabled() const {
        const bool motion = main->menuItem("mnuTelMotion")->isEnabled();
        EXPECT_EQ(main->menuItem("mnuCatalogue")->isEnabled(), motion);
        return motion;
    }
    QStringList boxes() const {
        QStringList out;
        for (const auto& s : testenv::dialogs().shown()) {
            out << s.text;
            EXPECT_EQ(s.style, platform::Msg::Exclamation) << s.text.toStdString();
        }
        return out;
    }

    std::shared_ptr<ScriptedDriverUi> ui;
    std::unique_ptr<MDIMain> main;
};

}  // namespace

TEST_F(TelescopeLinkTest, EstablishOnEachRoad) {
    struct Case {
        const char* name;
        QString storedId;
        std::optional<QString> chooserReply;  // the chooser runs when nothing is stored
        ScopeBehaviour fake;
        QString box;  // "" = none
        bool linked;
        QString savedId;
    };
    const Case cases[] = {
        {"never chosen, chooser cancelled", "", QString(""), {}, kMustSelect, false, ""},
        {"stored simulator",
         drivers::kSimTelescopeId,
         std::nullopt,
         {},
         "",
         true,
         drivers::kSimTelescopeId},
        {"chosen now", "", drivers::kSimTelescopeId, {}, "", true, drivers::kSimTelescopeId},
        {"driver refuses the link",
         "Test.Scope",
         std::nullopt,
         {.refuses = true},
         "Error connecting to Scope.",
         false,
         "Test.Scope"},
        {"driver fails while linking",
         "Test.Scope",
         std::nullopt,
         {.throwsOnSet = true},
         "Error connecting to Scope.",
         false,
         "Test.Scope"},
        {"driver fails when read back",
         "Test.Scope",
         std::nullopt,
         {.throwsOnRead = true},
         "Error connecting to Scope.",
         false,
         "Test.Scope"},
        {"unknown driver",
         "No.Such.Scope",
         std::nullopt,
         {},
         kUnableToSetup,
         false,
         "No.Such.Scope"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetProgramState();
        testenv::dialogs().clear();
        testenv::memSettings().remove(kAppName, "Telescope", "ID");
        if (!c.storedId.isEmpty()) Settings::save("Telescope", "ID", c.storedId);
        addFake(c.fake);
        if (c.chooserReply) ui->expectChoose(*c.chooserReply);
        bool flagWhileUp = false;
        if (!c.box.isEmpty())
            testenv::dialogs().expectMsgBox(c.box).whileShowing(
                [&] { flagWhileUp = state().bMsgBoxShowing; });

        main->menuItem("mnuLinkEst")->trigger();

        ASSERT_EQ(boxes().size(), c.box.isEmpty() ? 0 : 1);
        if (!c.box.isEmpty()) {
            EXPECT_TRUE(boxes().value(0).startsWith(c.box));
            EXPECT_TRUE(flagWhileUp) << "bMsgBoxShowing while the box is up";
        }
        EXPECT_TRUE(testenv::dialogs().allUsed());
        EXPECT_TRUE(ui->allUsed());
        EXPECT_EQ(state().bScopeLinked, c.linked);
        EXPECT_EQ(menusEnabled(), c.linked);
        EXPECT_EQ(Settings::get("Telescope", "ID", ""), c.savedId);
        if (c.linked) {
            EXPECT_TRUE(sky::scope()->connected());
        }
        main->mnuLinkTerminate_Click();
    }
    ASSERT_GE(ui->calls().size(), 2u);
    EXPECT_EQ(ui->calls()[0].deviceType, "Telescope");
    EXPECT_EQ(ui->calls()[0].currentId, "");
}

TEST_F(TelescopeLinkTest, SetupForcesTheChooserAndKeepsADriverInUse) {
    Settings::save("Telescope", "ID", drivers::kSimTelescopeId);
    addFake({});
    ui->expectChoose("Test.Scope");
    main->menuItem("mnuTelSetup")->trigger();
    EXPECT_EQ(ui->calls().back().currentId, drivers::kSimTelescopeId)
        << "the stored driver preselected";
    EXPECT_NE(std::dynamic_pointer_cast<FakeScope>(sky::scope()), nullptr);
    EXPECT_EQ(Settings::get("Telescope", "ID", ""), "Test.Scope");

    // With a driver in use, a new choice is neither used nor saved.
    ui->expectChoose(drivers::kSimTelescopeId);
    main->menuItem("mnuTelSetup")->trigger();
    EXPECT_EQ(state().sScopeID, drivers::kSimTelescopeId);
    EXPECT_NE(std::dynamic_pointer_cast<FakeScope>(sky::scope()), nullptr);
    EXPECT_EQ(Settings::get("Telescope", "ID", ""), "Test.Scope");

    // A cancelled chooser saves nothing and shows nothing.
    main->mnuLinkTerminate_Click();
    testenv::memSettings().clearWrites();
    ui->expectChoose("");
    main->menuItem("mnuTelSetup")->trigger();
    EXPECT_EQ(sky::scope(), nullptr);
    EXPECT_TRUE(testenv::memSettings().writes().empty());
    EXPECT_TRUE(testenv::dialogs().shown().empty());
}

TEST_F(TelescopeLinkTest, TerminateAlwaysEndsTheLink) {
    struct Case {
        const char* name;
        ScopeBehaviour fake;
        bool connectedBefore;
    };
    const Case cases[] = {
        {"connected", {}, true},
        {"already reads not connected", {}, false},
        {"throws when read", {.throwsOnRead = true}, true},
        {"throws when set", {.throwsOnSet = true}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto scope = std::make_shared<FakeScope>(c.fake);
        scope->connected_ = c.connectedBefore;
        std::weak_ptr<FakeScope> weak = scope;
        sky::scope() = scope;
        scope.reset();
        state().bScopeLinked = true;
        main->menuItem("mnuTelMotion")->setEnabled(true);
        main->menuItem("mnuCatalogue")->setEnabled(true);
        main->menuItem("mnuLinkTerminate")->trigger();
        EXPECT_FALSE(state().bScopeLinked);
        EXPECT_EQ(sky::scope(), nullptr);
        EXPECT_TRUE(weak.expired()) << "the driver is released";
        EXPECT_FALSE(menusEnabled());
    }
    main->menuItem("mnuLinkTerminate")->trigger();  // no driver: only the menus
    EXPECT_FALSE(menusEnabled());
}

TEST_F(TelescopeLinkTest, LinkedSimulatorIsDisconnectedByTerminate) {
    Settings::save("Telescope", "ID", drivers::kSimTelescopeId);
    main->menuItem("mnuLinkEst")->trigger();
    auto sim = std::dynamic_pointer_cast<drivers::TelescopeSimulator>(sky::scope());
    ASSERT_NE(sim, nullptr);
    EXPECT_TRUE(sim->connected());
    main->menuItem("mnuLinkTerminate")->trigger();
    EXPECT_FALSE(sim->connected());
    EXPECT_EQ(sim.use_count(), 1) << "the program holds it no more";
}
