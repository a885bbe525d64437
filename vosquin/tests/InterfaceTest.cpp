// The boundary between the deliverables: the member table the host is written
// against, registration, creation by class name and driving by identifier.

#include <dlfcn.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>

#include "platform/automation/AutomationError.h"
#include "platform/automation/ClassRegistry.h"
#include "platform/automation/ControlHost.h"
#include "platform/automation/ModuleAbi.h"
#include "platform/automation/ModuleLoader.h"
#include "platform/os/Dialogs.h"
#include "testing/ErrorNumber.h"
#include "testing/TestEnv.h"
#include "vosquin/VosquinHost.h"
#include "vosquin/VosquinModule.h"
#include "vosquin/tests/VosquinFixture.h"

namespace zelmora::vosquin {
namespace {

using namespace automation;

using testenv::errorNumber;

std::string describe(const Member& m) {
    std::string d = m.name + " id " + std::to_string(m.id) + " kind " +
                    std::to_string(int(m.kind)) + " type " + typeName(m.type) +
                    (m.canGet ? " get" : "") + (m.canPut ? " put" : "") + " (";
    for (const Param& p : m.params) d += p.name + ":" + typeName(p.type) + " ";
    return d + ")";
}

// The published interface, member by member, as the host is written against it.
const MemberTable& expectedMembers() {
    static const MemberTable table({
        automation::property("CamModel", 1, VarType::Text, true, false),
        automation::property("ThumbPc", 2, VarType::Bool),
        automation::property("PicPc", 3, VarType::Bool),
        automation::property("ThumbCam", 4, VarType::Bool),
        automation::property("PicCam", 5, VarType::Bool),
        automation::property("SavePath", 6, VarType::Text),
        automation::property("Tv", 7, VarType::Text),
        automation::property("Av", 8, VarType::Text),
        automation::property("Connected", 9, VarType::Bool, true, false),
        automation::property("FocusMode", 10, VarType::Bool),
        automation::property("MirrorLock", 11, VarType::Bool, true, false),
        automation::property("FileName", 12, VarType::Text),
        automation::property("NoShotsLeft", 13, VarType::I2, true, false),
        automation::property("ImageQuality", 14, VarType::Text),
        automation::property("ImageSize", 15, VarType::Text),
        automation::property("ISO", 16, VarType::Text),
        automation::property("ShootingMode", 17, VarType::Text, true, false),
        automation::property("SaveFocusImages", 18, VarType::Bool),
        automation::property("FocusSavePath", 19, VarType::Text),
        automation::property("WaitingForDownload", 20, VarType::Bool),
        automation::property("AllowedTv", 21, VarType::Text, true, false),
        automation::method("Connect", 23, VarType::I4),
        automation::method("Disconnect", 24, VarType::I4),
        automation::method("End", 25, VarType::I4),
        automation::method("Release", 26, VarType::I4),
        automation::method("RequestBatteryLevel", 27, VarType::Empty),
        automation::method("DevlopRaw", 28, VarType::Text, {{"FileToDevelop", VarType::Text}}),
        automation::property("PicturesToCome", 29, VarType::I4, true, false),
    });
    return table;
}

const MemberTable& expectedEvents() {
    static const MemberTable table({
        automation::event("OnComplete", 1, {{"FileName", VarType::Text}}),
        automation::event("OnConnected", 2, {{"CamModel", VarType::Text}}),
        automation::event("OnDisconnected", 3),
        automation::event("OnBatteryLevelChange", 4, {{"BatteryLevel", VarType::Text}}),
        automation::event("OnReadyForRelease", 5, {{"ReadyState", VarType::Bool}}),
        automation::event("OnStatusUpdate", 6, {{"CamStatus", VarType::Text}}),
        automation::event("OnBulbMode", 7, {{"BulbMode", VarType::Bool}}),
    });
    return table;
}

std::vector<std::string> describe(const MemberTable& t) {
    std::vector<std::string> out;
    for (const Member& m : t.members()) out.push_back(describe(m));
    return out;
}

TEST(VosquinInterfaceTest, MemberTableIsThePublishedInterface) {
    // Order, names, identifiers, types and access, member by member.
    EXPECT_EQ(describe(CVosquinCtrl::members()), describe(expectedMembers()));
    EXPECT_EQ(describe(CVosquinCtrl::events()), describe(expectedEvents()));

    // The shape of it, as the host's type information reads it.
    const MemberTable& t = CVosquinCtrl::members();
    ASSERT_EQ(t.members().size(), 28u);
    for (DispId id = 1; id <= 21; ++id) {
        ASSERT_NE(t.find(id), nullptr) << id;
        EXPECT_EQ(t.find(id)->kind, MemberKind::Property) << id;
    }
    EXPECT_EQ(t.find(22), nullptr);
    for (DispId id = 23; id <= 28; ++id) {
        ASSERT_NE(t.find(id), nullptr) << id;
        EXPECT_EQ(t.find(id)->kind, MemberKind::Method) << id;
    }
    // Added since, after the methods.
    ASSERT_NE(t.find(29), nullptr);
    EXPECT_EQ(t.find(29)->kind, MemberKind::Property);
    const std::pair<const char*, DispId> spotChecks[] = {
        {"CamModel", 1}, {"Connected", 9},  {"NoShotsLeft", 13},
        {"ISO", 16},     {"AllowedTv", 21}, {"Connect", 23},
        {"Release", 26}, {"DevlopRaw", 28}, {"waitingfordownload", 20}};
    for (const auto& [name, id] : spotChecks) EXPECT_EQ(t.idOf(name), id) << name;
    EXPECT_EQ(t.find(13)->type, VarType::I2);
    EXPECT_EQ(t.find(27)->type, VarType::Empty);
    EXPECT_EQ(CVosquinCtrl::events().idOf("OnBulbMode"), 7);
}

class VosquinDispatchTest : public test::VosquinTest {};

TEST_F(VosquinDispatchTest, ReadOnlyPropertiesRefusePutsAndUnknownIdentifiersFailCleanly) {
    make();
    for (DispId id : {1, 9, 11, 13, 17, 21}) {
        const Variant value = CVosquinCtrl::members().find(id)->type == VarType::Text
                                  ? Variant(std::string("x"))
                                  : Variant(std::int16_t(1));
        EXPECT_EQ(errorNumber([&] { ctrl().invoke(id, InvokeKind::Put, {value}); }),
                  AutomationError::kSetNotSupported)
            << id;
    }
    for (InvokeKind kind : {InvokeKind::Get, InvokeKind::Put, InvokeKind::Method})
        EXPECT_EQ(errorNumber([&] { ctrl().invoke(22, kind, {}); }),
                  AutomationError::kMemberNotFound);
    EXPECT_EQ(errorNumber([&] { ctrl().invoke(ids::kConnect, InvokeKind::Get); }),
              AutomationError::kMemberNotFound);
    EXPECT_EQ(errorNumber([&] { ctrl().invoke(ids::kDevlopRaw, InvokeKind::Method); }),
              AutomationError::kWrongArgumentCount);
    // Still working afterwards.
    put("FileName", std::string("M42-"));
    EXPECT_EQ(text("FileName"), "M42-");
}

TEST_F(VosquinDispatchTest, BeforeTheWindowExistsDialogPropertiesReadEmptyAndPutsAreIgnored) {
    make(false);
    for (const char* name : {"CamModel", "SavePath", "Tv", "Av", "ISO", "ImageQuality", "ImageSize",
                             "ShootingMode", "AllowedTv"})
        EXPECT_EQ(text(name), "") << name;
    for (const char* name : {"ThumbPc", "PicPc", "ThumbCam", "PicCam", "Connected", "MirrorLock"})
        EXPECT_FALSE(flag(name)) << name;
    EXPECT_EQ(get("NoShotsLeft"), Variant(std::int16_t(0)));

    for (const char* name : {"ThumbPc", "PicPc", "ThumbCam", "PicCam"}) put(name, true);
    put("SavePath", std::string("/somewhere/"));
    for (const char* name : {"Tv", "Av", "ISO", "ImageQuality", "ImageSize"})
        put(name, std::string("1/125"));
    EXPECT_FALSE(flag("PicPc"));
    EXPECT_EQ(text("SavePath"), "");
    EXPECT_EQ(simrc::callCount("RCSetTvValue"), 0);

    // The flags and texts the host keeps in the control are stored...
    put("FocusMode", true);
    put("SaveFocusImages", true);
    put("FileName", std::string("M31-"));
    put("FocusSavePath", std::string("/app/"));
    put("WaitingForDownload", true);
    EXPECT_TRUE(flag("FocusMode"));
    EXPECT_EQ(text("FileName"), "M31-");

    // ...and the window's start clears the first three.
    ctrl().createWindow(parent.get());
    EXPECT_FALSE(flag("FocusMode"));
    EXPECT_FALSE(flag("SaveFocusImages"));
    EXPECT_EQ(text("FileName"), "");
    EXPECT_EQ(text("FocusSavePath"), "/app/");
    EXPECT_TRUE(flag("WaitingForDownload"));
    // The save folder starts as the program's folder.
    EXPECT_EQ(text("SavePath"), QCoreApplication::applicationDirPath().toStdString() + "/");
    EXPECT_TRUE(rec.events.empty());
}

TEST_F(VosquinDispatchTest, MethodsAnswerZeroAndAConnectWithoutAWindowHasNoOneToTell) {
    make(false);
    // Nothing to release with: Release says so.
    EXPECT_EQ(call("Release"), Variant(kReleaseNotReady));
    EXPECT_EQ(call("Disconnect"), Variant(std::int32_t(0)));
    EXPECT_EQ(call("End"), Variant(std::int32_t(0)));
    EXPECT_EQ(call("RequestBatteryLevel"), Variant());
    EXPECT_EQ(call("DevlopRaw", {std::string("/no/such.CR2")}), Variant(std::string()));
    // Connect makes the dialog on demand; without the control's window its events
    // have nowhere to go and are dropped.
    connectCamera();
    EXPECT_TRUE(flag("Connected"));
    EXPECT_EQ(text("CamModel"), "EOS 20D");
    EXPECT_TRUE(rec.events.empty());
}

// Forwards to a control and notes every identifier it is driven with.
class RecordingControl : public IControl {
public:
    explicit RecordingControl(IControl& inner) : inner_(inner) {}
    const MemberTable& memberTable() const override { return inner_.memberTable(); }
    Variant invoke(DispId id, InvokeKind kind, const std::vector<Variant>& args) override {
        calls.emplace_back(id, kind);
        return inner_.invoke(id, kind, args);
    }
    const MemberTable& eventTable() const override { return inner_.eventTable(); }
    std::uint32_t advise(IEventSink* sink) override { return inner_.advise(sink); }
    void unadvise(std::uint32_t cookie) override { inner_.unadvise(cookie); }
    QWidget* createWindow(QWidget* parent) override { return inner_.createWindow(parent); }
    QWidget* window() const override { return inner_.window(); }
    void destroyWindow() override { inner_.destroyWindow(); }
    std::vector<std::pair<DispId, InvokeKind>> calls;

private:
    IControl& inner_;
};

TEST_F(VosquinDispatchTest, TheHostWrapperReachesEveryMemberByItsIdentifier) {
    make();
    connectReady();
    RecordingControl recording(ctrl());
    VosquinHost h;
    h.attach(&recording);
    const QString q = QStringLiteral("x");
    struct Case {
        const char* member;
        InvokeKind kind;
        std::function<void()> use;
    };
    const InvokeKind G = InvokeKind::Get, P = InvokeKind::Put, M = InvokeKind::Method;
    const Case cases[] = {
        {"CamModel", G, [&] { h.CamModel(); }},
        {"ThumbPc", G, [&] { h.ThumbPc(); }},
        {"ThumbPc", P, [&] { h.setThumbPc(false); }},
        {"PicPc", G, [&] { h.PicPc(); }},
        {"PicPc", P, [&] { h.setPicPc(true); }},
        {"ThumbCam", G, [&] { h.ThumbCam(); }},
        {"ThumbCam", P, [&] { h.setThumbCam(false); }},
        {"PicCam", G, [&] { h.PicCam(); }},
        {"PicCam", P, [&] { h.setPicCam(false); }},
        {"SavePath", G, [&] { h.SavePath(); }},
        {"SavePath", P, [&] { h.setSavePath(testenv::appDir() + "/"); }},
        {"Tv", G, [&] { h.Tv(); }},
        {"Tv", P, [&] { h.setTv("1/60"); }},
        {"Av", G, [&] { h.Av(); }},
        {"Av", P, [&] { h.setAv(q); }},
        {"Connected", G, [&] { h.Connected(); }},
        {"FocusMode", G, [&] { h.FocusMode(); }},
        {"FocusMode", P, [&] { h.setFocusMode(false); }},
        {"MirrorLock", G, [&] { h.MirrorLock(); }},
        {"FileName", G, [&] { h.FileName(); }},
        {"FileName", P, [&] { h.setFileName(q); }},
        {"NoShotsLeft", G, [&] { h.NoShotsLeft(); }},
        {"ImageQuality", G, [&] { h.ImageQuality(); }},
        {"ImageQuality", P, [&] { h.setImageQuality("Fine"); }},
        {"ImageSize", G, [&] { h.ImageSize(); }},
        {"ImageSize", P, [&] { h.setImageSize(q); }},
        {"ISO", G, [&] { h.ISO(); }},
        {"ISO", P, [&] { h.setISO("400"); }},
        {"ShootingMode", G, [&] { h.ShootingMode(); }},
        {"SaveFocusImages", G, [&] { h.SaveFocusImages(); }},
        {"SaveFocusImages", P, [&] { h.setSaveFocusImages(false); }},
        {"FocusSavePath", G, [&] { h.FocusSavePath(); }},
        {"FocusSavePath", P, [&] { h.setFocusSavePath(q); }},
        {"WaitingForDownload", G, [&] { h.WaitingForDownload(); }},
        {"WaitingForDownload", P, [&] { h.setWaitingForDownload(false); }},
        {"AllowedTv", G, [&] { h.AllowedTv(); }},
        {"RequestBatteryLevel", M, [&] { h.RequestBatteryLevel(); }},
        {"DevlopRaw", M, [&] { h.DevlopRaw(q); }},
        {"Release", M, [&] { h.Release(); }},
        {"End", M, [&] { h.End(); }},
        {"Disconnect", M, [&] { h.Disconnect(); }},
        {"Connect", M, [&] { h.Connect(); }},
    };
    testenv::dialogs().expectChoice("Communication setting", -1);  // for the last Connect
    for (const Case& c : cases) {
        recording.calls.clear();
        c.use();
        ASSERT_EQ(recording.calls.size(), 1u) << c.member;
        EXPECT_EQ(recording.calls[0].first, CVosquinCtrl::members().idOf(c.member)) << c.member;
        EXPECT_EQ(recording.calls[0].second, c.kind) << c.member;
    }

    // Events arrive as signals with their arguments.
    std::vector<QString> seen;
    QObject::connect(&h, &VosquinHost::OnBatteryLevelChange,
                     [&](const QString& level) { seen.push_back("battery " + level); });
    QObject::connect(&h, &VosquinHost::OnReadyForRelease,
                     [&](bool ready) { seen.push_back(ready ? "ready" : "not ready"); });
    QObject::connect(&h, &VosquinHost::OnBulbMode,
                     [&](bool bulb) { seen.push_back(bulb ? "bulb" : "no bulb"); });
    testenv::dialogs().expectChoice("Communication setting", 0);
    h.setPicPc(true);  // the box is off while disconnected: only checked
    h.Connect();
    h.RequestBatteryLevel();
    EXPECT_EQ(seen, (std::vector<QString>{"ready", "no bulb", "battery Good"}));
    h.detach();
}

// Registration through the library's own entry points, as the registration tool
// and the host do it, into a registry file of the test's own.
class VosquinRegistrationTest : public test::VosquinTest {
protected:
    static QString library() { return QFileInfo(VOSQUIN_LIBRARY).absoluteFilePath(); }
    static QString libraryFolder() { return QFileInfo(VOSQUIN_LIBRARY).absolutePath(); }
};

TEST_F(VosquinRegistrationTest, RegisterCreateByClassNameDriveByIdentifierUnregister) {
    ASSERT_EQ(registerLibrary(library()), kOk);
    const auto reg = registry::findClass("VOSQUIN.VosquinCtrl.1");
    ASSERT_TRUE(reg);
    EXPECT_EQ(reg->clsid, "{5711C8E4-96F4-4C06-A1A9-1296BB158D9D}");
    EXPECT_EQ(reg->typeName, "Vosquin Control");
    EXPECT_EQ(reg->miscStatus, 0x20191u);
    EXPECT_EQ(QString::fromStdString(reg->library), library());
    EXPECT_TRUE(registry::findClass("VOSQUIN.VosquinPropPage.1"));
    ASSERT_EQ(registry::typeLibraries().size(), 1u);
    EXPECT_EQ(registry::typeLibraries()[0].guid, "{5C7CD0A3-F434-40DE-A25F-FBA8D2283E59}");
    EXPECT_EQ(registry::typeLibraries()[0].version, "1.0");
    EXPECT_EQ(registry::typeLibraries()[0].name, "Vosquin ActiveX Control module");

    {
        ControlHost host(parent.get());
        VosquinHost vosquin;
        std::vector<QString> connected, statuses;
        QObject::connect(&vosquin, &VosquinHost::OnConnected,
                         [&](const QString& m) { connected.push_back(m); });
        vosquin.load(host, testenv::appDir());
        EXPECT_FALSE(canUnloadNow(library()));
        vosquin.setPicPc(true);
        testenv::dialogs().expectChoice("Communication setting", 0);
        EXPECT_EQ(vosquin.Connect(), 0);
        EXPECT_EQ(connected, std::vector<QString>{"EOS 20D"});
        EXPECT_TRUE(vosquin.Connected());
        EXPECT_EQ(vosquin.CamModel(), "EOS 20D");
        EXPECT_EQ(vosquin.ISO(), "400");
        EXPECT_EQ(vosquin.Tv(), "1");
        EXPECT_EQ(vosquin.ImageQuality(), "Fine");
        EXPECT_EQ(vosquin.ImageSize(), "Large");
        EXPECT_EQ(vosquin.ShootingMode(), "Manual");
        EXPECT_EQ(vosquin.NoShotsLeft(), 250);
        EXPECT_FALSE(vosquin.MirrorLock());
        EXPECT_TRUE(vosquin.PicPc());

        QSignalSpy complete(&vosquin, &VosquinHost::OnComplete);
        vosquin.setSavePath(testenv::appDir() + "/");
        vosquin.setFileName("M31-");
        vosquin.setWaitingForDownload(true);
        EXPECT_EQ(vosquin.Release(), 0);
        ASSERT_TRUE(simrc::waitUntilIdle());
        QCoreApplication::sendPostedEvents();
        ASSERT_EQ(complete.size(), 1);
        EXPECT_EQ(complete[0][0].toString(), testenv::appDir() + "/M31-0001.JPG");
        EXPECT_FALSE(vosquin.WaitingForDownload());

        QSignalSpy disconnected(&vosquin, &VosquinHost::OnDisconnected);
        EXPECT_EQ(vosquin.Disconnect(), 0);
        EXPECT_EQ(disconnected.size(), 1);
    }
    EXPECT_TRUE(canUnloadNow(library()));

    ASSERT_EQ(unregisterLibrary(library()), kOk);
    EXPECT_FALSE(registry::findClass("VOSQUIN.VosquinCtrl.1"));
    EXPECT_TRUE(registry::typeLibraries().empty());
    EXPECT_EQ(errorNumber([] { createControl("VOSQUIN.VosquinCtrl.1"); }),
              AutomationError::kCantCreateObject);
}

TEST_F(VosquinRegistrationTest, TheHostRegistersTheShippedLibraryWhenTheClassIsUnusable) {
    // Not registered at all.
    EXPECT_FALSE(VosquinHost::ensureRegistered(testenv::appDir()));  // nothing shipped there
    EXPECT_TRUE(VosquinHost::ensureRegistered(libraryFolder()));
    EXPECT_EQ(QString::fromStdString(registry::findClass("VOSQUIN.VosquinCtrl.1")->library),
              library());

    // Registered to a library that is gone.
    ClassRegistration stale = *registry::findClass("VOSQUIN.VosquinCtrl.1");
    stale.library = (testenv::appDir() + "/old/libvosquin.so").toStdString();
    registry::registerClass(stale);
    EXPECT_TRUE(VosquinHost::ensureRegistered(libraryFolder()));
    EXPECT_EQ(QString::fromStdString(registry::findClass("VOSQUIN.VosquinCtrl.1")->library),
              library());

    // Registered to a library that is not the control's (another build, another
    // program): loading fails, and the shipped library takes its place.
    stale.library = QFileInfo(SIMRC_LIBRARY).absoluteFilePath().toStdString();
    registry::registerClass(stale);
    ControlHost host(parent.get());
    VosquinHost vosquin;
    vosquin.load(host, testenv::appDir(), libraryFolder());
    EXPECT_EQ(QString::fromStdString(registry::findClass("VOSQUIN.VosquinCtrl.1")->library),
              library());
    ASSERT_NE(vosquin.control(), nullptr);
    EXPECT_FALSE(vosquin.Connected());
    // The log went where the host said.
    EXPECT_TRUE(QFileInfo::exists(testenv::appDir() + "/logfile.txt"));
}

// The control and the program link one shared library of services: a box the
// loaded control raises goes through the host's dialog service and its modal hook,
// with no help from the program's own symbols.
TEST_F(VosquinRegistrationTest, ABoxTheLoadedControlRaisesReachesTheHostsDialogService) {
    ASSERT_EQ(registerLibrary(library()), kOk);
    std::vector<bool> modal;
    platform::Dialogs::setModalHook([&](bool up) { modal.push_back(up); });
    ControlHost host(parent.get());
    VosquinHost vosquin;
    vosquin.load(host, testenv::appDir());
    testenv::dialogs().expectChoice("Communication setting", -1);
    vosquin.Connect();
    EXPECT_FALSE(vosquin.Connected());
    EXPECT_EQ(modal, (std::vector<bool>{true, false}));
    ASSERT_EQ(testenv::dialogs().shown().size(), 1u);

    // The service as the control's library finds it is this process's one copy.
    void* handle = ::dlopen(library().toLocal8Bit().constData(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(handle, nullptr);
    void* theirs = ::dlsym(handle, "_ZN7zelmora8platform7Dialogs7backendEv");
    ::dlclose(handle);
    EXPECT_EQ(theirs, reinterpret_cast<void*>(&platform::Dialogs::backend));
    Dl_info info{};
    ASSERT_NE(::dladdr(theirs, &info), 0);
    EXPECT_TRUE(QString(info.dli_fname).endsWith("libzelmora-services.so")) << info.dli_fname;
    vosquin.detach();
}

// The host's pointer to the control it loaded follows the ControlHost: clearing it or
// hosting another control leaves the wrapper with none, never a freed one.
TEST_F(VosquinRegistrationTest, TheHostLetsGoWhenItsControlHostRemovesTheControl) {
    ASSERT_EQ(registerLibrary(library()), kOk);
    ControlHost host(parent.get());
    VosquinHost vosquin;
    vosquin.load(host, testenv::appDir());
    ASSERT_NE(vosquin.control(), nullptr);
    host.clear();
    EXPECT_EQ(vosquin.control(), nullptr);
    vosquin.detach();
    EXPECT_EQ(errorNumber([&] { vosquin.Connected(); }), AppError::kInvalidProcedureCall);

    vosquin.load(host, testenv::appDir());
    ASSERT_NE(vosquin.control(), nullptr);
    host.setControl(createControl(VosquinHost::kClassName));
    EXPECT_EQ(vosquin.control(), nullptr);
    vosquin.detach();
}

// The class registry is the user's: another copy of the program may have registered
// its own control there. The one beside this program takes its place, traced.
TEST_F(VosquinRegistrationTest, AControlRegisteredByAnotherCopyGivesWayToTheOneBesideThisProgram) {
    testenv::enableTrace();
    const QString other = testenv::appDir() + "/other/libvosquin.so";
    ASSERT_TRUE(QDir().mkpath(testenv::appDir() + "/other"));
    ASSERT_TRUE(QFile::copy(library(), other));
    ASSERT_EQ(registerLibrary(other), kOk);
    ASSERT_EQ(QString::fromStdString(registry::findClass("VOSQUIN.VosquinCtrl.1")->library), other);

    EXPECT_TRUE(VosquinHost::ensureRegistered(libraryFolder()));
    EXPECT_EQ(QString::fromStdString(registry::findClass("VOSQUIN.VosquinCtrl.1")->library),
              library());
    EXPECT_TRUE(testenv::traceLines().filter("in place of " + other).size() == 1)
        << testenv::traceLines().join("\n").toStdString();
    // Already this program's own: left alone.
    EXPECT_TRUE(VosquinHost::ensureRegistered(libraryFolder()));
    EXPECT_EQ(testenv::traceLines().filter("Registering the camera control").size(), 1);
    // With nothing beside the program, another copy's control is better than none.
    ASSERT_EQ(registerLibrary(other), kOk);
    EXPECT_TRUE(VosquinHost::ensureRegistered(testenv::appDir()));
    EXPECT_EQ(QString::fromStdString(registry::findClass("VOSQUIN.VosquinCtrl.1")->library), other);
}

}  // namespace
}  // namespace zelmora::vosquin
