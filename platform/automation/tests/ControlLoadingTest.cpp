#include <gtest/gtest.h>

#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <cerrno>

#include "platform/automation/AutomationError.h"
#include "platform/automation/ClassRegistry.h"
#include "platform/automation/ControlHost.h"
#include "platform/automation/ModuleAbi.h"
#include "platform/automation/ModuleLoader.h"
#include "platform/os/FileWrite.h"

using namespace zelmora;
using namespace zelmora::automation;

namespace {

struct RecordingSink : IEventSink {
    std::vector<std::pair<DispId, std::vector<Variant>>> events;
    void onEvent(DispId id, const std::vector<Variant>& args) override {
        events.emplace_back(id, args);
    }
};

// Every test gets its own empty registry file.
class ControlLoadingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        registry::setFile(dir.filePath("classes.json"));
    }
    void TearDown() override { registry::setFile({}); }

    // The error's number and description when f throws, else 0.
    static std::pair<int, QString> failure(const std::function<void()>& f) {
        try {
            f();
        } catch (const AppError& e) {
            return {e.number(), e.description()};
        }
        return {0, {}};
    }

    QTemporaryDir dir;
};

TEST_F(ControlLoadingTest, ToyControlIsRegisteredCreatedDrivenAndFiresEventsUntilUnregistered) {
    ASSERT_EQ(registerLibrary(TOY_GOOD), kOk);
    const auto reg = registry::findClass("ZELMORA.ToyCtrl.1");
    ASSERT_TRUE(reg);
    EXPECT_EQ(reg->clsid, "{7A0E1C55-3B1D-4C8E-9F00-0000000000A1}");
    EXPECT_EQ(QString::fromStdString(reg->library), QFileInfo(TOY_GOOD).absoluteFilePath());
    EXPECT_EQ(reg->miscStatus, 0x20191u);
    ASSERT_EQ(registry::typeLibraries().size(), 1u);

    {
        // Class names ignore case, as they always have.
        std::unique_ptr<IControl> toy = createControl("zelmora.toyctrl.1");
        RecordingSink sink;
        const std::uint32_t cookie = toy->advise(&sink);
        const MemberTable& t = toy->memberTable();

        toy->invoke(t.idOf("Caption"), InvokeKind::Put, {std::string("M31")});
        EXPECT_EQ(toy->invoke(t.idOf("Caption"), InvokeKind::Get), Variant(std::string("M31")));
        toy->invoke(t.idOf("Count"), InvokeKind::Put, {std::int32_t(7)});
        EXPECT_EQ(toy->get("count"), Variant(std::int16_t(7)));
        EXPECT_EQ(toy->call("Add", {std::int16_t(5)}), Variant(std::int32_t(5)));
        EXPECT_EQ(toy->call("Add", {std::int32_t(2)}), Variant(std::int32_t(7)));
        EXPECT_EQ(toy->get("Total"), Variant(std::int32_t(7)));
        EXPECT_EQ(toy->call("Echo", {std::string("hello")}), Variant(std::string("hello")));
        toy->call("Reset");

        ASSERT_EQ(sink.events.size(), 3u);
        EXPECT_EQ(sink.events[0].first, toy->eventTable().idOf("Changed"));
        EXPECT_EQ(sink.events[0].second, std::vector<Variant>{std::string("Caption")});
        EXPECT_EQ(sink.events[2].first, toy->eventTable().idOf("WasReset"));

        // An unknown identifier fails cleanly and leaves the control working.
        const auto [number, text] = failure([&] { toy->invoke(22, InvokeKind::Get); });
        EXPECT_EQ(number, AutomationError::kMemberNotFound);
        EXPECT_EQ(failure([&] { toy->put("Total", std::int32_t(1)); }).first,
                  AutomationError::kSetNotSupported);
        EXPECT_EQ(toy->get("Caption"), Variant(std::string("M31")));

        toy->unadvise(cookie);
        toy->put("Caption", std::string("M42"));
        EXPECT_EQ(sink.events.size(), 3u);
        EXPECT_FALSE(canUnloadNow(TOY_GOOD));
    }
    EXPECT_TRUE(canUnloadNow(TOY_GOOD));

    ASSERT_EQ(unregisterLibrary(TOY_GOOD), kOk);
    EXPECT_TRUE(registry::classes().empty());
    EXPECT_TRUE(registry::typeLibraries().empty());
    const auto [number, text] = failure([] { createControl("ZELMORA.ToyCtrl.1"); });
    EXPECT_EQ(number, AutomationError::kCantCreateObject);
    EXPECT_TRUE(text.contains("is not registered")) << text.toStdString();
}

TEST_F(ControlLoadingTest, HostKeepsTheControlsWindowFillingItAndDestroysItFirst) {
    ASSERT_EQ(registerLibrary(TOY_GOOD), kOk);
    auto host = std::make_unique<ControlHost>();
    IControl& toy = host->load("ZELMORA.ToyCtrl.1");
    host->show();
    host->resize(300, 200);
    QPointer<QWidget> window = toy.window();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->parentWidget(), host.get());
    EXPECT_EQ(window->geometry(), QRect(0, 0, 300, 200));
    EXPECT_EQ(toy.get("WindowAlive"), Variant(true));
    host.reset();
    EXPECT_FALSE(window);
    EXPECT_TRUE(canUnloadNow(TOY_GOOD));
}

TEST_F(ControlLoadingTest, EachWayLoadingCanFailHasItsOwnClearError) {
    ASSERT_EQ(registerLibrary(TOY_GOOD), kOk);
    const QString text = dir.filePath("fake.so");
    {
        QFile f(text);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a library");
    }
    auto add = [](const char* progId, const std::string& clsid, const QString& library) {
        registry::registerClass({clsid, progId, "", library.toStdString(), 0});
    };
    add("Test.Missing.1", "{00000000-0000-0000-0000-000000000001}", dir.filePath("gone.so"));
    add("Test.Text.1", "{00000000-0000-0000-0000-000000000002}", text);
    add("Test.NotAutomation.1", "{00000000-0000-0000-0000-000000000003}", NOT_AUTOMATION_LIBRARY);
    add("Test.OldVersion.1", "{00000000-0000-0000-0000-000000000004}", TOY_BAD_VERSION);
    add("Test.NoFactory.1", "{00000000-0000-0000-0000-000000000005}", TOY_NO_FACTORY);
    add("Test.NotProvided.1", "{00000000-0000-0000-0000-000000000006}", TOY_GOOD);

    struct Case {
        const char* name;
        int number;
        const char* says;
    };
    const std::vector<Case> cases = {
        {"Test.Unknown.1", AutomationError::kCantCreateObject, "is not registered"},
        {"", AutomationError::kCantCreateObject, "No class name"},
        {"Test.Missing.1", AutomationError::kFileNotFound, "does not exist"},
        {"Test.Text.1", AutomationError::kCantCreateObject, "cannot be loaded"},
        {"Test.NotAutomation.1", AutomationError::kEntryPointNotFound, "AutomationAbiVersion"},
        {"Test.OldVersion.1", AutomationError::kCantCreateObject, "version 999"},
        {"Test.NoFactory.1", AutomationError::kEntryPointNotFound, "DllGetClassObject"},
        {"Test.NotProvided.1", AutomationError::kCantCreateObject, "does not provide"},
        {"ZELMORA.ToyObject.1", AutomationError::kNoSuchInterface, "is not a control"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto [number, description] = failure([&] { createControl(c.name); });
        EXPECT_EQ(number, c.number);
        EXPECT_TRUE(description.contains(c.says)) << description.toStdString();
    }
    // The plain object is fine as an object.
    EXPECT_EQ(createObject("ZELMORA.ToyObject.1")->get("Value"), Variant(std::int32_t(0)));

    // A damaged registry says so.
    {
        QFile f(registry::file());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("{ not json");
    }
    const auto [number, description] = failure([] { createControl("ZELMORA.ToyCtrl.1"); });
    EXPECT_EQ(number, AutomationError::kPathFileAccess);
    EXPECT_TRUE(description.contains("damaged")) << description.toStdString();
}

TEST_F(ControlLoadingTest, StoredStatusOutside32BitsReadsAsNone) {
    struct Case {
        const char* stored;
        std::uint32_t read;
    };
    for (const Case& c :
         {Case{"131473", 0x20191u}, Case{"4294967295", 0xFFFFFFFFu}, Case{"4294967296", 0u},
          Case{"-1", 0u}, Case{"1e20", 0u}, Case{"\"x\"", 0u}}) {
        SCOPED_TRACE(c.stored);
        {
            QFile f(registry::file());
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(QByteArray(R"({"classes": [{"clsid": "{1}", "progId": "Test.Status.1", )"
                               R"("library": "/nowhere.so", "miscStatus": )") +
                    c.stored + "}]}");
        }
        const auto reg = registry::findClass("Test.Status.1");
        ASSERT_TRUE(reg);
        EXPECT_EQ(reg->miscStatus, c.read);
    }
}

TEST_F(ControlLoadingTest, RegistrationToolRegistersAndUnregistersABuiltLibrary) {
    const QString file = dir.filePath("tool.json");
    auto run = [&](QStringList args) {
        QProcess p;
        p.start(REGSVR_TOOL, args);
        EXPECT_TRUE(p.waitForFinished(30'000));
        return std::make_pair(p.exitCode(), QString::fromLocal8Bit(p.readAllStandardError()));
    };
    EXPECT_EQ(run({"--registry", file, TOY_GOOD}).first, 0);
    registry::setFile(file);
    EXPECT_TRUE(registry::findClass("ZELMORA.ToyCtrl.1"));
    EXPECT_EQ(run({"-u", "--registry", file, TOY_GOOD}).first, 0);
    EXPECT_FALSE(registry::findClass("ZELMORA.ToyCtrl.1"));
    const auto [code, err] = run({"--registry", file, TOY_NO_FACTORY "-missing"});
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(err.contains("does not exist")) << err.toStdString();
    EXPECT_EQ(run({}).first, 2);
}

}  // namespace

namespace {

// A disk that fills while the registry is written: the registry stays as it was,
// and the error says why.
TEST_F(ControlLoadingTest, AFullDiskKeepsTheRegistryAndSaysWhy) {
    registry::registerClass({"{1}", "Test.Kept.1", "Kept", "/nowhere.so", 0});
    QFile f(registry::file());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();
    platform::failFileWrites(1, ENOSPC);
    const auto [number, text] = failure([] {
        registry::registerClass({"{2}", "Test.Lost.1", "Lost", "/x.so", 0});
    });
    EXPECT_EQ(number, AppError::kPathFileAccess);
    EXPECT_TRUE(text.endsWith("cannot be written: No space left on device")) << text.toStdString();
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    EXPECT_TRUE(registry::findClass("Test.Kept.1"));
    EXPECT_FALSE(registry::findClass("Test.Lost.1"));
}

}  // namespace
