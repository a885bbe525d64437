#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <cstring>

#include "camera/DirectCameraDriver.h"
#include "camera/clsCamera.h"
#include "platform/rcsdk/SimCamera.h"
#include "shell/Globals.h"
#include "shell/ProgramState.h"
#include "testing/TestEnv.h"
#include "vosquin/CameraTexts.h"

using namespace zelmora;
namespace sim = zelmora::simrc;

namespace {

struct RecordingNotice : DownloadNotice {
    int shown = 0, closed = 0;
    void show() override { ++shown; }
    void close() override { ++closed; }
};

sim::CameraProfile manual(sim::CameraProfile p) {
    p.mode = RC_MODE_MANUAL;
    p.tv = 96;  // 1/30
    return p;
}

// A camera object with the direct driver, on the simulated library.
struct DriverFixture : ::testing::Test {
    std::unique_ptr<clsCamera> camera = std::make_unique<clsCamera>();
    DirectCameraDriver* driver = nullptr;
    RecordingNotice* notice = nullptr;
    QStringList events;

    void SetUp() override {
        sim::reset();
        sim::setSynchronousDelivery(true);
        auto d = std::make_unique<DirectCameraDriver>(*camera);
        driver = d.get();
        auto n = std::make_unique<RecordingNotice>();
        notice = n.get();
        driver->setDownloadNotice(std::move(n));
        camera->setDriver(std::move(d));
        auto add = [this](const char* n) { return [this, n] { events << n; }; };
        clsCamera* c = camera.get();
        QObject::connect(c, &clsCamera::Connected, add("Connected"));
        QObject::connect(c, &clsCamera::Disconnected, add("Disconnected"));
        QObject::connect(c, &clsCamera::ReleaseEnabled, add("ReleaseEnabled"));
        QObject::connect(c, &clsCamera::ReleaseDisabled, add("ReleaseDisabled"));
        QObject::connect(c, &clsCamera::EnableCameraEventWatch, add("EnableCameraEventWatch"));
        QObject::connect(c, &clsCamera::DisableCameraEventWatch, add("DisableCameraEventWatch"));
        QObject::connect(c, &clsCamera::UpdateCameraInformation, add("UpdateCameraInformation"));
        QObject::connect(c, &clsCamera::SetupMonitorFolder, add("SetupMonitorFolder"));
        QObject::connect(c, &clsCamera::NoDataToDownload, add("NoDataToDownload"));
        QObject::connect(c, &clsCamera::ISOChanged, add("ISOChanged"));
        QObject::connect(c, &clsCamera::BatteryLevelChanged,
                         [this](const QString& l) { events << "BatteryLevelChanged:" + l; });
        QObject::connect(c, &clsCamera::DownloadComplete,
                         [this](const QString& p) { events << "DownloadComplete:" + p; });
    }
    void TearDown() override {
        camera.reset();  // the driver closes what it opened
        EXPECT_EQ(sim::openSources(), 0);
        EXPECT_EQ(sim::openEnumerators(), 0);
        while (sim::startCount() > 0) RCFinishSDK();
    }
    // Started and connected to the first camera on the bus.
    void connect(sim::CameraProfile profile) {
        sim::setDevices({std::move(profile)});
        startAndConnect();
    }
    void startAndConnect(int choice = 0) {
        camera->CreateAPI();
        ASSERT_TRUE(camera->ClassInitialised());
        testenv::dialogs().expectChoice("Camera Model Selection", choice);
        camera->Connect(false);
    }
    int count(const QString& e) const { return static_cast<int>(events.count(e)); }
    // One RAW picture with its thumbnail released into the save folder, named "M31_";
    // gives the folder.
    QString releaseRawWithThumbnail() {
        auto p = manual(sim::profiles::eos10D());
        p.format = {4, 0};  // RAW
        connect(p);
        camera->setSaveFilename("M31_");
        camera->setThumbToPC(true);
        camera->release();
        return camera->ImageSavePath();
    }
};

}  // namespace

TEST(DirectCameraDriverNames, DownloadedFileNames) {
    using D = DirectCameraDriver;
    struct Case {
        std::uint32_t type;
        std::uint8_t format;
        bool released;
        const char* camera;
        int counter;
        const char* name;
    };
    const Case cases[] = {
        {16, 1, true, "EOS 10D", 25, "/img/THM31_025.JPG"},
        {32, 1, true, "EOS 10D", 7, "/img/M31_007.JPG"},
        {32, 2, true, "EOS 10D", 7, "/img/M31_007.CRW"},
        {32, 2, true, "EOS-1D", 7, "/img/M31_007.CR2"},
        {32, 2, true, "eos-1d mark", 7, "/img/M31_007.CR2"},
        {32, 2, false, "EOS 10D", 7, "/img/M31_007.CR2"},
        {80, 1, true, "EOS 10D", 3, "/img/FPM31_003.JPG"},
        {99, 1, true, "EOS 10D", 3, "/img/M31_003."},
        {32, 1, true, "EOS 10D", 1000, "/img/M31_1000.JPG"},
    };
    // A folder without its final slash does not run into the file name.
    EXPECT_EQ(D::imageFileName("/img", "M31_", 7, 32, 1, true, "EOS 10D"), "/img/M31_007.JPG");
    for (const Case& c : cases)
        EXPECT_EQ(
            D::imageFileName("/img/", "M31_", c.counter, c.type, c.format, c.released, c.camera),
            c.name);
    EXPECT_EQ(D::focusFileName("/f", false, 4), "/f/FocusImages/focus.jpg");
    EXPECT_EQ(D::focusFileName("/f", true, 4), "/f/FocusImages/focus4.jpg");
}

TEST(DirectCameraDriverNames, QualitySizeDigitsModelsAndFlags) {
    using D = DirectCameraDriver;
    EXPECT_EQ(D::qualitySizeFromItem(21), std::make_pair(1, 2));
    EXPECT_EQ(D::qualitySizeFromItem(5), std::make_pair(5, 0));
    EXPECT_EQ(D::qualitySizeFromItem(54), std::make_pair(4, 5));

    EXPECT_FALSE(D::classifiesAsCapable(""));
    EXPECT_FALSE(D::classifiesAsCapable("powershot g2"));
    EXPECT_FALSE(D::classifiesAsCapable("EOS-1D"));
    EXPECT_TRUE(D::classifiesAsCapable("EOS 20D"));
    EXPECT_TRUE(D::classifiesAsCapable("EOS-1D Mark III"));

    struct Flags {
        const char* name;
        bool b300D, bD60, b1D, b20D, b20DA, b350D;
    };
    const Flags cases[] = {
        {"EOS 20D", false, false, false, true, false, false},
        {"EOS 20Da", false, false, false, true, true, false},
        {"EOS 350D DIGITAL", false, false, false, false, false, true},
        {"Digital RebelXT", false, false, false, false, false, true},
        {"EOS 300D DIGITAL", true, false, false, false, false, false},
        {"EOS D60", false, true, false, false, false, false},
        {"EOS-1D", false, false, true, false, false, false},
        {"EOS 10D", false, false, false, false, false, false},
    };
    state().b20D = state().b350D = state().b300D = true;  // a previous camera's flags
    for (const Flags& f : cases) {
        D::setModelFlags(f.name);
        const ProgramState& s = state();
        EXPECT_EQ(std::make_tuple(s.b300D, s.bD60, s.b1D, s.b20D, s.b20DA, s.b350D),
                  std::make_tuple(f.b300D, f.bD60, f.b1D, f.b20D, f.b20DA, f.b350D))
            << f.name;
    }
}

TEST(DirectCameraDriverNames, FrameMustFitTheBuffer) {
    auto bitmap = [](std::int32_t w, std::int32_t h, std::uint16_t bits, std::uint32_t imageSize,
                     std::size_t pixels) {
        std::vector<std::uint8_t> b(54 + pixels, 0);
        b[0] = 'B';
        b[1] = 'M';
        const std::uint32_t forty = 40;
        const std::uint16_t one = 1;
        std::memcpy(&b[14], &forty, 4);
        std::memcpy(&b[18], &w, 4);
        std::memcpy(&b[22], &h, 4);
        std::memcpy(&b[26], &one, 2);
        std::memcpy(&b[28], &bits, 2);
        std::memcpy(&b[34], &imageSize, 4);
        return b;
    };
    const std::size_t full = DirectCameraDriver::kFrameBytes;
    EXPECT_TRUE(DirectCameraDriver::frameFits(bitmap(320, 240, 24, full, full)));
    EXPECT_FALSE(
        DirectCameraDriver::frameFits(bitmap(320, 240, 24, full + 3, full + 3)));  // too big
    EXPECT_FALSE(DirectCameraDriver::frameFits(bitmap(320, 240, 24, full, 100)));  // size lies
    EXPECT_FALSE(DirectCameraDriver::frameFits(bitmap(640, 480, 24, full, full)));
    EXPECT_FALSE(DirectCameraDriver::frameFits(bitmap(320, 240, 32, full, full)));
    EXPECT_FALSE(DirectCameraDriver::frameFits({}));
}

TEST_F(DriverFixture, ViewfinderFrameCopiedOnlyWhenItFits) {
    sim::setDevices({sim::profiles::eos10D()});
    camera->CreateAPI();
    std::vector<std::uint8_t> b(54 + DirectCameraDriver::kFrameBytes + 16, 7);
    const std::uint32_t forty = 40, tooBig = DirectCameraDriver::kFrameBytes + 16, zero = 0;
    const std::int32_t w = 320, h = 240;
    const std::uint16_t one = 1, bits = 24;
    b[0] = 'B';
    b[1] = 'M';
    std::memcpy(&b[14], &forty, 4);
    std::memcpy(&b[18], &w, 4);
    std::memcpy(&b[22], &h, 4);
    std::memcpy(&b[26], &one, 2);
    std::memcpy(&b[28], &bits, 2);
    std::memcpy(&b[30], &zero, 4);
    std::memcpy(&b[34], &tooBig, 4);
    driver->setFrameFlag(true);
    driver->setPendingFrame(b);
    camera->ProcessTimer();
    EXPECT_FALSE(driver->framePending());
    EXPECT_EQ(driver->frameBuffer().size(), DirectCameraDriver::kFrameBytes);
    EXPECT_EQ(driver->frameBuffer()[0], 0);  // dropped
    const std::uint32_t fits = DirectCameraDriver::kFrameBytes;
    std::memcpy(&b[34], &fits, 4);
    driver->setPendingFrame(b);
    camera->ProcessTimer();
    EXPECT_EQ(driver->frameBuffer()[0], 7);
    EXPECT_EQ(driver->frameBuffer().back(), 7);
}

TEST_F(DriverFixture, ConnectFillsListsAndRaisesEventsInOrder) {
    auto p = manual(sim::profiles::eos10D());
    p.battery = RC_BATTERY_WEAK;
    connect(p);
    EXPECT_TRUE(camera->connected());
    EXPECT_EQ(camera->CameraModel(), "EOS 10D");
    EXPECT_EQ(state().sCameraName, "EOS 10D");
    EXPECT_EQ(state().iSelectedCamera, 1);
    EXPECT_TRUE(driver->cardPresent());
    EXPECT_TRUE(driver->eos());
    EXPECT_EQ(camera->ShootingMode(), "Manual");
    EXPECT_EQ(camera->CurrentTv(), "1/30");
    EXPECT_FALSE(camera->CurrentQuality().isEmpty());
    const int connected = static_cast<int>(events.indexOf("Connected"));
    ASSERT_GE(connected, 0);
    EXPECT_LT(events.indexOf("UpdateCameraInformation"), connected);  // lists before Connected
    EXPECT_EQ(events.mid(connected).filter("Battery").front(), "BatteryLevelChanged:Weak");
    EXPECT_EQ(events.back(), "EnableCameraEventWatch");
    EXPECT_TRUE(camera->PicToPC());
    EXPECT_FALSE(camera->ThumbToPC());
    EXPECT_FALSE(sim::uiLocked());

    // The camera object's list members read this driver's lists.
    QComboBox box;
    camera->GetTvValues(&box);
    EXPECT_EQ(box.count(), static_cast<int>(camera->lists().lbTv.items.size()));
    EXPECT_EQ(box.currentText(), "1/30");
    camera->GetModeValues(&box);
    EXPECT_EQ(box.currentText(), "Manual");

    events.clear();
    camera->disconnect();
    EXPECT_FALSE(camera->connected());
    EXPECT_EQ(events, (QStringList{"ReleaseDisabled", "Disconnected", "DisableCameraEventWatch"}));
    EXPECT_EQ(sim::openSources(), 0);
    // A second disconnect has nothing to stop and shows no box.
    camera->disconnect();
    camera->DestroyAPI();
    EXPECT_EQ(sim::startCount(), 0);
}

TEST_F(DriverFixture, SettersWriteTheCameraAndSkipWhatIsAlreadySet) {
    connect(manual(sim::profiles::eos10D()));
    auto& l = camera->lists();
    const auto indexOf = [](const SettingList& list, std::int32_t code) {
        for (std::size_t i = 0; i < list.items.size(); ++i)
            if (list.items[i].item == code) return static_cast<int>(i);
        return -1;
    };
    camera->setTv(indexOf(l.lbTv, 104));
    EXPECT_EQ(sim::cameraState().tv, 104);
    camera->SetISO(indexOf(l.lbISO, 72));
    EXPECT_EQ(sim::cameraState().iso, 72);
    const int sets = sim::callCount("RCSetRelCamSettingData");
    camera->SetISO(indexOf(l.lbISO, 72));  // already so: nothing written
    EXPECT_EQ(sim::callCount("RCSetRelCamSettingData"), sets);
    ASSERT_GE(l.lbQualitySize.items.size(), 2u);
    camera->SetQualitySize(1);
    const auto [q, s] = DirectCameraDriver::qualitySizeFromItem(l.lbQualitySize.items[1].item);
    EXPECT_EQ(sim::cameraState().format, (sim::QualitySize{std::uint16_t(q), std::uint16_t(s)}));
    EXPECT_FALSE(sim::uiLocked());
    camera->setTv(999);  // no such entry: no selection, nothing sent
    EXPECT_EQ(sim::cameraState().tv, 104);
}

TEST_F(DriverFixture, CameraInformationText) {
    auto p = manual(sim::profiles::eos10D());
    p.format = {3, 1};
    p.iso = 88;
    p.shotsLeft = 42;
    connect(p);
    EXPECT_EQ(
        camera->GetCameraInformation(),
        "ImageQuality = Fine\r\nImageSize = Medium\r\nISO Speed = 400\r\nShootingMode = Manual\r\n"
        "NumAvailableShot = 42\r\n");
    EXPECT_EQ(camera->NoShotsLeft(), 42);
    sim::setIso(0);
    sim::failCall("RCGetShootingMode", RC_COMP_CAMERA | RC_ERR_NOT_SUPPORTED);
    sim::failCall("RCGetNumAvailableShot", RC_COMP_CAMERA | RC_ERR_COMMUNICATION);
    EXPECT_EQ(
        camera->GetCameraInformation(),
        "ImageQuality = Fine\r\nImageSize = Medium\r\n<err>RCGetNumAvailableShot =0x200080\r\n");
}

// One table names the shooting modes: the camera information, the control's
// ShootingMode property and the mode list (where it has no text of its own) agree.
TEST_F(DriverFixture, ShootingModesAreNamedByOneTable) {
    connect(manual(sim::profiles::eos10D()));
    struct Case {
        std::uint16_t code;
        const char* info;      // the camera information's text
        const char* listText;  // the mode list's
    } cases[] = {
        {0, "Auto", "Auto"},
        {4, "Manual", "Manual"},
        {5, "A Dep", "A_DEP"},
        {101, "Manual2", "Manual"},
        {107, "Mode Sepia", "Sepia"},
        {109, "Spot", "Spot"},
        {111, "BW", "BW"},
        {112, "Panfocus", "Panfocus"},
        {113, "Vivid", "Vivid"},
        {114, "Neutral", "Neutral"},
        {115, "Invalid", "(Error)"},
        {0xFFFF, "Invalid", "(Invalid)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        sim::setShootingMode(c.code);
        const QString info = camera->GetCameraInformation();
        EXPECT_TRUE(info.contains(QStringLiteral("ShootingMode = %1\r\n").arg(c.info)))
            << info.toStdString();
        EXPECT_EQ(vosquin::texts::modePropertyText(c.code), c.info);
        EXPECT_EQ(CameraSettingLists::modeText(c.code == 0xFFFF ? -1 : c.code), c.listText);
    }
}

TEST_F(DriverFixture, ExposureStepsFromCustomFunctions) {
    struct Case {
        const char* name;
        std::vector<RCCustomFunction> functions;
        bool half, third, full;
    };
    const Case cases[] = {
        {"EOS 20D", {{2, 6, 0}}, false, true, false},
        {"EOS 20D", {{2, 6, 1}}, false, false, true},
        {"EOS 20D", {{2, 6, 2}}, true, false, false},
        {"EOS 10D", {{1, 6, 0}}, true, false, false},
        {"EOS 10D", {{1, 4, 0}, {1, 6, 1}}, false, true, false},
        {"EOS 10d", {{1, 6, 1}, {1, 4, 0}}, true, false, false},  // "10D" respects case: kind 4
        {"EOS D60", {{1, 4, 0}, {1, 4, 1}}, false, true, false},  // later entries win
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto p = sim::profiles::eos10D();
        p.displayName = c.name;
        p.customFunctions = c.functions;
        sim::reset();
        sim::setSynchronousDelivery(true);
        sim::setDevices({p});
        camera->CreateAPI();
        testenv::dialogs().expectChoice("Camera Model Selection", 0);
        camera->Connect(false);
        driver->DetectExposureSteps();
        EXPECT_EQ(std::make_tuple(driver->HalfStop(), driver->ThirdStop(), driver->FullStop()),
                  std::make_tuple(c.half, c.third, c.full));
        camera->disconnect();
        camera->DestroyAPI();
    }
}

TEST_F(DriverFixture, SilentReconnectUsesTheSavedCameraWithoutAsking) {
    sim::setDevices({manual(sim::profiles::eos10D()), manual(sim::profiles::eos20D())});
    startAndConnect(1);
    EXPECT_EQ(state().iSelectedCamera, 2);
    EXPECT_TRUE(state().b20D);
    camera->disconnect();
    state().b20D = false;
    camera->Connect(true);  // no box expected
    EXPECT_TRUE(camera->connected());
    EXPECT_EQ(camera->CameraModel(), "EOS 20D");
    EXPECT_TRUE(state().b20D);
}

TEST_F(DriverFixture, SilentConnectWithNoCameraChosenAndTheBoxCancelled) {
    sim::setDevices({sim::profiles::eos10D()});
    camera->CreateAPI();
    testenv::dialogs().expectChoice("Camera Model Selection", -1);
    camera->Connect(true);
    EXPECT_FALSE(camera->connected());
    EXPECT_EQ(sim::openSources(), 0);
}

TEST_F(DriverFixture, SwitchingModelsLeavesNoOldFlags) {
    sim::setDevices({manual(sim::profiles::eos20D()), manual(sim::profiles::eos10D())});
    startAndConnect(0);
    EXPECT_TRUE(state().b20D);
    camera->disconnect();
    testenv::dialogs().expectChoice("Camera Model Selection", 1);
    camera->Connect(false);
    EXPECT_FALSE(state().b20D);
    // So the 10D takes the release-control road and its picture comes down at once.
    camera->release();
    EXPECT_EQ(sim::callCount("RCRelease"), 1);
    EXPECT_EQ(sim::callCount("RCCapture"), 0);
    EXPECT_FALSE(camera->ReleaseInProgress());
}

TEST_F(DriverFixture, NoCameraOffersOnlyTheMonitorEntry) {
    sim::setDevices({});
    camera->CreateAPI();
    Settings::save("Options", "MonitorFolder", "/saved/folder");
    testenv::dialogs().expectChoice("Monitor Files in Folder...", 0);
    testenv::dialogs().expectFolder("");  // cancelled
    camera->Connect(false);
    ASSERT_EQ(testenv::dialogs().shown().size(), 2u);
    EXPECT_EQ(testenv::dialogs().shown()[0].text, "Monitor Files in Folder...");
    EXPECT_TRUE(state().bMonitorMode);
    EXPECT_EQ(Settings::get("Options", "MonitorFolder", ""), "/saved/folder");
    EXPECT_EQ(driver->sMonitorFolder(), "/saved/folder");
    EXPECT_EQ(count("SetupMonitorFolder"), 1);
    EXPECT_FALSE(camera->connected());

    testenv::dialogs().expectChoice("Monitor", 0);
    testenv::dialogs().expectFolder("/new/folder");
    camera->Connect(false);
    EXPECT_EQ(Settings::get("Options", "MonitorFolder", ""), "/new/folder");
}

TEST_F(DriverFixture, NoRemoteReleaseCapabilityClosesTheSourceAgain) {
    auto p = sim::profiles::powerShotG2();
    p.capability = 0;
    sim::setDevices({p});
    startAndConnect();
    EXPECT_FALSE(camera->connected());
    EXPECT_EQ(sim::openSources(), 0);
    EXPECT_EQ(sim::openEnumerators("DeviceProperty"), 0);
    EXPECT_FALSE(sim::uiLocked());
    EXPECT_EQ(count("Connected"), 0);
}

TEST_F(DriverFixture, ConnectFailureTexts) {
    sim::setDevices({sim::profiles::eos10D()});
    camera->CreateAPI();
    struct Case {
        RCResult code;
        const char* box;
    };
    const Case cases[] = {
        {RC_COMP_CAMERA | 128u,
         "Error Connecting to Camera. If this error persists then you may need to reboot your PC. "
         "Code = 0x200080"},
        {RC_COMP_CAMERA | 3u, "Error Connecting to Camera Code = 0x200003"},
    };
    for (const Case& c : cases) {
        testenv::dialogs().clear();
        testenv::dialogs().expectChoice("Camera Model Selection", 0);
        testenv::dialogs().expectMsgBox(c.box);
        sim::failCall("RCOpenSource", c.code);
        camera->Connect(false);
        EXPECT_TRUE(testenv::dialogs().allUsed());
        EXPECT_EQ(testenv::dialogs().shown().back().text, c.box);
        EXPECT_FALSE(camera->connected());
    }
}

TEST_F(DriverFixture, ReleaseControlRoadDownloadsUnderItsOwnNames) {
    const QString dir = releaseRawWithThumbnail();
    EXPECT_TRUE(QFileInfo::exists(dir + "THM31_001.JPG"));
    EXPECT_TRUE(QFileInfo::exists(dir + "M31_002.CRW"));
    EXPECT_FALSE(camera->ReleaseInProgress());
    EXPECT_FALSE(camera->CameraArrror());
    EXPECT_EQ(notice->shown, 1);
    EXPECT_EQ(notice->closed, 1);
    EXPECT_FALSE(sim::uiLocked());
    // The release raised no events: nothing comes down twice at the next poll.
    camera->ProcessTimer();
    EXPECT_FALSE(QFileInfo::exists(dir + "M31_003.CRW"));
}

// The counter starts again at every start of the library: a second night into
// the same folder takes the next free numbers and keeps the first night's frames.
TEST_F(DriverFixture, ASecondNightKeepsTheFirstNightsFrames) {
    const QString dir = releaseRawWithThumbnail();
    ASSERT_TRUE(QFileInfo::exists(dir + "THM31_001.JPG"));
    ASSERT_TRUE(QFileInfo::exists(dir + "M31_002.CRW"));
    // Each of the first night's frames marked, and one more frame that holds the
    // number the second night's picture would take.
    auto mark = [&](const QString& name) {
        QFile f(dir + name);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(name.toUtf8());
    };
    auto bytesOf = [&](const QString& name) {
        QFile f(dir + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    };
    for (const char* name : {"THM31_001.JPG", "M31_002.CRW", "M31_003.CRW"}) mark(name);

    camera->disconnect();
    camera->DestroyAPI();
    startAndConnect();
    ASSERT_TRUE(dir.endsWith('/'));
    camera->setImageSavePath(dir.chopped(1));  // the folder as a browser gives it
    camera->setSaveFilename("M31_");
    camera->setThumbToPC(true);
    camera->release();
    for (const char* name : {"THM31_001.JPG", "M31_002.CRW", "M31_003.CRW"})
        EXPECT_EQ(bytesOf(name), name);
    EXPECT_TRUE(QFileInfo::exists(dir + "THM31_002.JPG"));
    EXPECT_TRUE(QFileInfo::exists(dir + "M31_004.CRW"));
    EXPECT_FALSE(camera->CameraArrror());
}

TEST_F(DriverFixture, CaptureRoadDownloadsOnImageReadyOnly) {
    connect(manual(sim::profiles::eos20D()));
    camera->setFocusMode(true);
    camera->setAutoFocusing(true);
    camera->release();
    EXPECT_TRUE(camera->ReleaseInProgress());
    EXPECT_TRUE(camera->WaitingForDownload());
    camera->ProcessTimer();  // 28, 29 (logged only), 34 (the download), 27
    const QString path = camera->FocusImageSavePath() + "/FocusImages/focus.jpg";
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_EQ(events.filter("DownloadComplete").size(), 1);
    EXPECT_EQ(events.filter("DownloadComplete").front(), "DownloadComplete:" + path);
    EXPECT_FALSE(camera->ReleaseInProgress());
    EXPECT_FALSE(camera->WaitingForDownload());
}

// The download lets pending events run once; the camera object, and the driver
// with it, may be gone when they have (the program closing): nothing of either is
// touched afterwards, the download or the events still queued.
TEST_F(DriverFixture, ACameraGoneWhileTheDownloadLetEventsRunIsLeftAlone) {
    for (bool twentyD : {true, false}) {
        SCOPED_TRACE(twentyD);
        if (!camera) {  // the next row on a new camera object
            camera = std::make_unique<clsCamera>();
            SetUp();
        }
        connect(manual(twentyD ? sim::profiles::eos20D() : sim::profiles::eos10D()));
        if (twentyD) {
            camera->setFocusMode(true);
            camera->setAutoFocusing(true);
            camera->release();  // the frame comes with the image-ready event
        } else {
            CameraEventQueue::Event complete;
            complete.code = RC_EVENT_RELEASE_COMPLETE;
            complete.count = 1;
            driver->events().push(complete);
        }
        CameraEventQueue::Event warning;
        warning.kind = CameraEventQueue::Event::Camera;
        warning.code = RC_SEVERITY_WARNING;
        driver->events().push(warning);  // still queued behind the download
        QMetaObject::invokeMethod(
            qApp, [this] { camera.reset(); }, Qt::QueuedConnection);
        clsCamera* c = camera.get();
        c->ProcessTimer();
        EXPECT_EQ(camera, nullptr);
        EXPECT_EQ(sim::openSources(), 0);
    }
}

TEST_F(DriverFixture, TwentyDEventTwentyNineShowsNoBoxAndReportsNothing) {
    connect(manual(sim::profiles::eos20D()));
    CameraEventQueue::Event e;
    e.code = RC_EVENT_RELEASE_COMPLETE;
    e.count = 1;
    driver->events().push(e);
    camera->ProcessTimer();  // an unexpected box would fail the test
    EXPECT_EQ(events.filter("DownloadComplete").size(), 0);
    EXPECT_EQ(count("NoDataToDownload"), 0);
}

TEST_F(DriverFixture, ReleaseCountZeroRaisesNoDataToDownload) {
    connect(manual(sim::profiles::eos10D()));
    state().bReleaseInProgress = true;
    CameraEventQueue::Event e;
    e.code = RC_EVENT_RELEASE_COMPLETE;
    e.count = 0;
    driver->events().push(e);
    camera->ProcessTimer();
    EXPECT_EQ(count("NoDataToDownload"), 1);
    EXPECT_FALSE(camera->ReleaseInProgress());
}

TEST_F(DriverFixture, ReleaseFailureClearsBothWaitFlags) {
    for (bool twentyD : {true, false}) {
        SCOPED_TRACE(twentyD);
        sim::reset();
        sim::setSynchronousDelivery(true);
        connect(manual(twentyD ? sim::profiles::eos20D() : sim::profiles::eos10D()));
        camera->setAutoFocusing(true);
        sim::failCall(twentyD ? "RCCapture" : "RCRelease", RC_COMP_CAMERA | RC_ERR_COMMUNICATION);
        testenv::dialogs().expectMsgBox(
            "Unable to release shutter. Check your CF Card. Switch Camera off then on and try "
            "again.ErrorCode = "
            "0x200080");
        camera->release();
        EXPECT_TRUE(testenv::dialogs().allUsed());
        EXPECT_TRUE(camera->CameraArrror());
        EXPECT_FALSE(camera->ReleaseInProgress());
        EXPECT_FALSE(camera->WaitingForDownload());
        camera->disconnect();
        camera->DestroyAPI();
    }
}

TEST_F(DriverFixture, DownloadFailureAtEachCallCleansUp) {
    struct Case {
        const char* call;
        int skip;
        RCResult code;
        bool logs;
    };
    const Case cases[] = {
        {"RCGetReleasedData", 0, RC_COMP_TRANSFER | RC_ERR_FILE_IO, true},  // the information call
        {"RCGetReleasedData", 1, RC_COMP_TRANSFER | RC_ERR_FILE_IO, true},  // the data call
        {"RCGetReleasedData", 1, RC_COMP_TRANSFER | RC_ERR_CANCELLED, false},  // ID 5: no log lines
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.skip);
        sim::reset();
        sim::setSynchronousDelivery(true);
        testenv::enableTrace();
        connect(manual(sim::profiles::eos10D()));
        camera->setAutoFocusing(true);
        notice->shown = notice->closed = 0;
        const QString failLine =
            "!!!GetRelData Failed ------------------Unable to connect to Camera:";
        const auto before = testenv::traceLines().filter(failLine).size();
        sim::failCall(c.call, c.code, 1, c.skip);
        camera->release();
        EXPECT_TRUE(camera->CameraArrror());
        EXPECT_FALSE(camera->ReleaseInProgress());
        EXPECT_FALSE(camera->WaitingForDownload());
        EXPECT_EQ(notice->closed, 1);
        EXPECT_FALSE(sim::uiLocked());
        const int lines = static_cast<int>(testenv::traceLines().filter(failLine).size() - before);
        EXPECT_EQ(lines, c.logs ? 3 : 0);
        camera->disconnect();
        camera->DestroyAPI();
    }
}

TEST_F(DriverFixture, TwoEventsBeforeOnePollAreBothHandled) {
    connect(manual(sim::profiles::eos20D()));
    camera->setFocusMode(true);
    camera->setSaveFocusImages(true);
    sim::setSynchronousDelivery(false);
    camera->release();
    ASSERT_TRUE(sim::waitUntilIdle());
    state().bReleaseInProgress = false;
    camera->release();
    ASSERT_TRUE(sim::waitUntilIdle());
    // Two releases' events wait in the queue, delivered on the library's thread.
    EXPECT_GE(driver->events().size(), 8u);
    camera->ProcessTimer();
    EXPECT_EQ(events.filter("DownloadComplete").size(), 2);
    EXPECT_TRUE(QFileInfo::exists(camera->FocusImageSavePath() + "/FocusImages/focus1.jpg"));
    EXPECT_TRUE(QFileInfo::exists(camera->FocusImageSavePath() + "/FocusImages/focus2.jpg"));
}

TEST_F(DriverFixture, CallbackCopiesItsDataBeforeReturning) {
    CameraEventQueue q;
    RCImageReadyBlock block{};
    block.number = 9;
    block.kind = RC_IMAGE_PICTURE;
    CameraEventQueue::releaseEventCallback(RC_EVENT_IMAGE_READY, &block, 0, &q);
    std::uint32_t n = 3;
    CameraEventQueue::releaseEventCallback(RC_EVENT_RELEASE_COMPLETE, &n, 0, &q);
    // The library reuses its memory once the callbacks returned.
    std::memset(&block, 0xEE, sizeof block);
    n = 77;
    CameraEventQueue::Event e;
    ASSERT_TRUE(q.pop(e));
    EXPECT_EQ(e.code, static_cast<std::uint32_t>(RC_EVENT_IMAGE_READY));
    const std::uint32_t number = e.block.number;
    EXPECT_EQ(number, 9u);
    ASSERT_TRUE(q.pop(e));
    EXPECT_EQ(e.count, 3u);
    EXPECT_FALSE(q.pop(e));
}

TEST_F(DriverFixture, DisconnectDropsQueuedEvents) {
    connect(manual(sim::profiles::eos20D()));
    camera->setFocusMode(true);
    camera->release();  // its events wait in the queue
    ASSERT_GT(driver->events().size(), 0u);
    camera->disconnect();
    EXPECT_EQ(driver->events().size(), 0u);
    camera->ProcessTimer();
    EXPECT_EQ(events.filter("DownloadComplete").size(), 0);
}

TEST_F(DriverFixture, CameraEventSeverities) {
    connect(manual(sim::profiles::eos10D()));
    testenv::enableTrace();
    sim::fireDeviceEvent(RC_SEVERITY_WARNING | 0x12);
    camera->ProcessTimer();
    EXPECT_EQ(testenv::traceLines().filter("Warning Event ID:18").size(), 1);
    testenv::dialogs().expectMsgBox("Camera is no longer available. Check your battery! ");
    sim::fireDeviceEvent(RC_SEVERITY_SHUTDOWN | 1);
    camera->ProcessTimer();
    EXPECT_TRUE(testenv::dialogs().allUsed());
    EXPECT_TRUE(camera->connected());  // kept: the user decides
}

TEST_F(DriverFixture, LibraryStartFailureLeavesTheObjectUninitialised) {
    sim::failCall("RCStartSDK", RC_COMP_LIBRARY | RC_ERR_INTERNAL);
    testenv::dialogs().expectMsgBox(
        "Unable to Initialise Canon Drivers. Exit Zelmora, switch off your camera and "
        "try again. ErrorCode = 0x100001");
    testenv::dialogs().expectMsgBox("API Error");
    camera->CreateAPI();
    EXPECT_TRUE(testenv::dialogs().allUsed());
    EXPECT_FALSE(camera->ClassInitialised());
    camera->Connect(false);  // nothing happens
    EXPECT_EQ(sim::startCount(), 0);
}

TEST_F(DriverFixture, SettingsChangedOnTheBodyRefreshesTheListsAtThePoll) {
    connect(manual(sim::profiles::eos10D()));
    events.clear();
    sim::setTv(104);                         // turned on the camera: event 27
    EXPECT_EQ(camera->CurrentTv(), "1/30");  // nothing happens before the poll
    camera->ProcessTimer();
    EXPECT_EQ(camera->CurrentTv(), "1/60");
    EXPECT_EQ(events.filter("UpdateCameraInformation").size(), 1);
    EXPECT_EQ(events.filter("ISOChanged").size(), 1);

    testenv::dialogs().expectMsgBox(
        "Your camera is indicating a hardware error. Please make sure CF card is "
        "inserted properl, camera communication mode is normal, and that you haev the "
        "latest firmware in the camera and Canon drivers for your camera model on your "
        "PC.");
    sim::fireReleaseEvent(RC_EVENT_HARDWARE_ERROR);
    camera->ProcessTimer();
    EXPECT_TRUE(testenv::dialogs().allUsed());
}

TEST_F(DriverFixture, RemoteControlFailureAtEachStepClosesEverythingAgain) {
    const RCResult code = RC_COMP_CAMERA | RC_ERR_COMMUNICATION;
    for (const char* call :
         {"RCEnumVolumeReset", "RCEnumVolumeRelease", "RCEnumDevicePropertyReset",
          "RCGetDevicePropertyData", "RCEnumDevicePropertyRelease", "RCEnterReleaseControl"}) {
        SCOPED_TRACE(call);
        sim::reset();
        sim::setSynchronousDelivery(true);
        sim::setDevices({manual(sim::profiles::eos10D())});
        camera->CreateAPI();
        testenv::dialogs().clear();
        testenv::dialogs().expectChoice("Camera Model Selection", 0);
        testenv::dialogs().expectMsgBox(
            "Error Putting camera in remote control mode. Code = 0x200080");
        sim::failCall(call, code);
        camera->Connect(false);
        EXPECT_TRUE(testenv::dialogs().allUsed());
        EXPECT_FALSE(camera->connected());
        EXPECT_EQ(sim::openSources(), 0);
        // Only an enumeration whose own release failed stays open.
        EXPECT_EQ(sim::openEnumerators(), std::string_view(call) == "RCEnumVolumeRelease" ? 1 : 0);
        EXPECT_FALSE(sim::uiLocked());
        camera->DestroyAPI();
        EXPECT_EQ(sim::startCount(), 0);
    }
}
