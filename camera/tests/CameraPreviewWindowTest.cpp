#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>

#include "camera/DirectCameraDriver.h"
#include "camera/clsCamera.h"
#include "camera/frmCamPreview.h"
#include "platform/rcsdk/SimCamera.h"
#include "shell/ProgramState.h"
#include "testing/TestEnv.h"

using namespace zelmora;
namespace sim = zelmora::simrc;

namespace {

struct PreviewFixture : ::testing::Test {
    std::shared_ptr<clsCamera> camera = std::make_shared<clsCamera>();
    DirectCameraDriver* driver = nullptr;

    void SetUp() override {
        sim::reset();
        sim::setSynchronousDelivery(true);
        auto p = sim::profiles::eos10D();
        p.cardFolders = {{"DCIM", {{"IMG_0001.JPG", 2, false}, {"IMG_0002.CRW", 2, true}}}};
        sim::setDevices({p});
        auto d = std::make_unique<DirectCameraDriver>(*camera);
        driver = d.get();
        camera->setDriver(std::move(d));
        camera->CreateAPI();
        frmCamPreview::sPreviewFile().clear();
    }
    void TearDown() override {
        camera.reset();
        while (sim::startCount() > 0) RCFinishSDK();
    }
    void connect() {
        testenv::dialogs().expectChoice("Camera Model Selection", 0);
        camera->Connect(false);
        ASSERT_TRUE(camera->connected());
    }
};

}  // namespace

TEST_F(PreviewFixture, PreviewDevelopsTheSelectedRawImage) {
    connect();
    frmCamPreview form(camera, driver->cardImages());
    form.show();
    ASSERT_EQ(form.lstItemList->count(), 2);
    EXPECT_EQ(form.lstItemList->item(0)->text(), "IMG_0001.JPG");
    form.lstItemList->setCurrentRow(1);
    form.cbPreview->click();
    EXPECT_TRUE(frmCamPreview::sPreviewFile().endsWith("/Thumbs/temp_IMG_0002.jpg"));
    EXPECT_FALSE(QImage(frmCamPreview::sPreviewFile()).isNull());
    EXPECT_FALSE(form.isVisible());
}

// The download lets events run: a close handled meanwhile deletes the window,
// which is then left alone, and the busy cursor goes.
TEST_F(PreviewFixture, AWindowClosedDuringThePreviewIsLeftAlone) {
    connect();
    QPointer<frmCamPreview> form = new frmCamPreview(camera, driver->cardImages());
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->show();
    form->lstItemList->setCurrentRow(1);  // the RAW file: developed after a second pass
    QMetaObject::invokeMethod(
        form, [form] { form->close(); }, Qt::QueuedConnection);
    form->cbPreview->click();
    EXPECT_TRUE(form.isNull());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(PreviewFixture, PreviewWithNoSelectionDoesNothing) {
    connect();
    frmCamPreview form(camera, driver->cardImages());
    form.show();
    form.lstItemList->setCurrentRow(-1);
    form.cbPreview->click();
    EXPECT_TRUE(frmCamPreview::sPreviewFile().isEmpty());
    EXPECT_TRUE(form.isVisible());
}

TEST_F(PreviewFixture, NotConnectedSaysSoAndListsNothing) {
    testenv::dialogs().expectMsgBox(
        "Camera must be connected to Zelmora to preview jpg images! Connect camera and try again.");
    frmCamPreview form(camera, driver->cardImages());
    EXPECT_TRUE(testenv::dialogs().allUsed());
    EXPECT_EQ(form.lstItemList->count(), 0);
}

TEST(LowBatteryWindow, ComesToTheFrontUnlessAMessageBoxIsUp) {
    frmLowBattery form;
    form.show();
    testenv::vclock().advance(5000);
    EXPECT_EQ(form.raised(), 1);
    state().bMsgBoxShowing = true;
    testenv::vclock().advance(5000);
    EXPECT_EQ(form.raised(), 1);
    state().bMsgBoxShowing = false;
    form.cbOk->click();
    EXPECT_FALSE(form.isVisible());
}
