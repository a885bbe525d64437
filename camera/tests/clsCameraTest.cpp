#include <gtest/gtest.h>

#include <QComboBox>
#include <QMetaMethod>

#include "camera/clsCamera.h"
#include "shell/ProgramState.h"
#include "testing/TestEnv.h"

using namespace zelmora;

namespace {
// Records the events a test looks at, in the order raised.
class EventLog : public QObject {
public:
    explicit EventLog(clsCamera* camera) {
        auto add = [this](const QString& n) { return [this, n] { events << n; }; };
        connect(camera, &clsCamera::Connected, this, add("Connected"));
        connect(camera, &clsCamera::Disconnected, this, add("Disconnected"));
        connect(camera, &clsCamera::BulbModeEnabled, this, add("BulbModeEnabled"));
        connect(camera, &clsCamera::BulbModeNotEnabled, this, add("BulbModeNotEnabled"));
        connect(camera, &clsCamera::ReleaseEnabled, this, add("ReleaseEnabled"));
        connect(camera, &clsCamera::ReleaseDisabled, this, add("ReleaseDisabled"));
        connect(camera, &clsCamera::DisableCameraEventWatch, this, add("DisableCameraEventWatch"));
        connect(camera, &clsCamera::StatusInfoUpdate, this,
                [this](const QString& s) { events << "StatusInfoUpdate:" + s; });
    }
    QStringList events;
};
}  // namespace

TEST(clsCameraTest, EventsAreDeclaredInInterfaceOrder) {
    clsCamera camera;
    QStringList names;
    const QMetaObject* mo = camera.metaObject();
    for (int i = mo->methodOffset(); i < mo->methodCount(); ++i)
        if (mo->method(i).methodType() == QMetaMethod::Signal)
            names << QString::fromLatin1(mo->method(i).name());
    EXPECT_EQ(names, (QStringList{"Connected",
                                  "Disconnected",
                                  "ISOChanged",
                                  "AvChanged",
                                  "TvChanged",
                                  "QualitySizeChanged",
                                  "ModeChanged",
                                  "UpdateCameraInformation",
                                  "ReleaseEnabled",
                                  "ReleaseDisabled",
                                  "EnableCameraEventWatch",
                                  "DisableCameraEventWatch",
                                  "SetupMonitorFolder",
                                  "BulbModeEnabled",
                                  "BulbModeNotEnabled",
                                  "NoDataToDownload",
                                  "StatusInfoUpdate",
                                  "Busy",
                                  "Idle",
                                  "DownloadComplete",
                                  "PreRelease",
                                  "BatteryLevelChanged"}));
}

TEST(clsCameraTest, StateChangesRaiseTheirEventsInOrder) {
    struct Case {
        const char* what;
        std::function<void(clsCamera&)> act;
        QStringList events;
    };
    const std::vector<Case> cases = {
        {"connected True, False, False",
         [](clsCamera& c) {
             c.setConnected(true);
             c.setConnected(false);
             c.setConnected(false);
         },
         {"Connected", "Disconnected", "Disconnected"}},
        {"connected True twice",
         [](clsCamera& c) {
             c.setConnected(true);
             c.setConnected(true);
         },
         {"Connected", "Connected"}},
        {"bulb True", [](clsCamera& c) { c.setBulbMode(true); }, {"BulbModeEnabled"}},
        {"bulb False", [](clsCamera& c) { c.setBulbMode(false); }, {"BulbModeNotEnabled"}},
        {"status",
         [](clsCamera& c) {
             c.UpdateStatus("Downloading");
             c.UpdateStatus("Waiting");
         },
         {"StatusInfoUpdate:Downloading", "StatusInfoUpdate:Waiting"}},
        {"disconnect without a driver",
         [](clsCamera& c) { c.disconnect(); },
         {"DisableCameraEventWatch"}},
        {"download switches without a connection",
         [](clsCamera& c) {
             c.setPicToPC(true);
             c.setThumbToCamera(true);
         },
         {}},
    };
    for (const auto& c : cases) {
        clsCamera camera;
        EventLog log(&camera);
        c.act(camera);
        EXPECT_EQ(log.events, c.events) << c.what;
    }
}

TEST(clsCameraTest, ReleaseInProgressIsTheProgramWideFlag) {
    clsCamera camera;
    camera.setReleaseInProgress(true);
    EXPECT_TRUE(state().bReleaseInProgress);
    state().bReleaseInProgress = false;
    EXPECT_FALSE(camera.ReleaseInProgress());
    state().bReleaseInProgress = true;
    camera.disconnect();  // clears it
    EXPECT_FALSE(camera.ReleaseInProgress());
}

TEST(clsCameraTest, ListMembersBeforeAnyConnectAreEmptyNotACrash) {
    clsCamera camera;
    EXPECT_EQ(camera.CurrentAv(), "");
    EXPECT_EQ(camera.CurrentTv(), "");
    EXPECT_EQ(camera.CurrentISO(), "");
    EXPECT_EQ(camera.CurrentQuality(), "");
    QComboBox box;
    box.addItem("stale");
    camera.GetTvValues(&box);
    EXPECT_EQ(box.count(), 0);
    camera.setTv(3);
    camera.SetISO(0);
    EXPECT_EQ(camera.CurrentTv(), "");
    EXPECT_EQ(camera.CameraModel(), QString(64, QChar(0)));
    EXPECT_FALSE(camera.LogSettings().isValid());
    EXPECT_EQ(camera.GetCameraInformation(), "");
}

TEST(clsCameraTest, CopyListItemsCopiesTextsCodesAndSelection) {
    clsCamera camera;
    auto& tv = camera.lists().lbTv;
    tv.add("Bulb", 4);
    tv.add("30''", 16);
    tv.add("1/125", 0x68);
    tv.select(1);
    QComboBox box;
    camera.GetTvValues(&box);
    ASSERT_EQ(box.count(), 3);
    EXPECT_EQ(box.itemText(2), "1/125");
    EXPECT_EQ(box.itemData(2).toInt(), 0x68);
    EXPECT_EQ(box.currentIndex(), 1);
    EXPECT_EQ(camera.CurrentTv(), "30''");

    camera.lists().lbMode.add("Manual", 4);
    QComboBox modes;
    camera.GetModeValues(&modes);
    EXPECT_EQ(modes.count(), 1);
    EXPECT_FALSE(modes.isEnabled());
    EXPECT_EQ(modes.currentIndex(), -1) << "no entry selected in the list: none in the box";
}

TEST(clsCameraTest, ResetImageCountClearsTheCounter) {
    clsCamera camera;
    camera.incrementImageCount();
    camera.incrementImageCount();
    EXPECT_EQ(camera.ImageCount(), 2);
    camera.ResetImageCount();
    EXPECT_EQ(camera.ImageCount(), 0);
}
