#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QListWidget>

#include "camera/CameraCardImages.h"
#include "camera/clsCamera.h"
#include "platform/rcsdk/SimCamera.h"
#include "shell/AppPaths.h"
#include "testing/TestEnv.h"

using namespace zelmora;
namespace sim = zelmora::simrc;

TEST(CameraCardImagesPaths, RawOutputPath) {
    const std::pair<const char*, const char*> cases[] = {
        {"/t/IMG_0001.CR2", "/t/IMG_0001.jpg"},
        {"/t/img_0001.cr2", "/t/img_0001.jpg"},
        {"/t/IMG_0001.CRW", "/t/IMG_0001.jpg"},
        {"/t/img_0001.crw", "/t/img_0001.jpg"},
        {"/t/IMG_0001.Cr2", "/t/IMG_0001.Cr2.jpg"},  // not one of the four: never itself
        {"/t/IMG_0001.DNG", "/t/IMG_0001.DNG.jpg"},
        {"/t/a.CR2.dir/IMG_1.CR2", "/t/a.CR2.dir/IMG_1.jpg"},  // only the trailing extension
    };
    for (auto [in, out] : cases) {
        EXPECT_EQ(CameraCardImages::rawOutputPath(in), out) << in;
        EXPECT_NE(CameraCardImages::rawOutputPath(in), in);
    }
}

TEST(CameraCardImagesPaths, TempPathStaysInThumbs) {
    const QString zeros = QString("IMG_7.JPG") + QString(500, QChar(0));
    const std::pair<QString, QString> cases[] = {
        {"IMG_0001.JPG", "/th/temp_IMG_0001.JPG"},
        {zeros, "/th/temp_IMG_7.JPG"},
        {"../../etc/passwd", "/th/temp_passwd"},
        {"DCIM\\100CANON\\IMG_2.CR2", "/th/temp_IMG_2.CR2"},
        {"..", ""},
        {"", ""},
        {"folder/", ""},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(CameraCardImages::tempPath("/th", in), out) << in.toStdString();
}

namespace {

struct CardFixture : ::testing::Test {
    clsCamera camera;
    RCHandle src = 0;
    CameraCardImages card{camera, [this] { return src; }};

    void open(std::vector<sim::CardFolder> folders, bool cardPresent = true) {
        sim::reset();
        sim::setSynchronousDelivery(true);
        auto p = sim::profiles::eos20D();
        p.card = cardPresent;
        p.cardFolders = std::move(folders);
        sim::setDevices({p});
        RCVersionRecord v{40, 8, 3, {}};
        ASSERT_EQ(RCStartSDK(&v, 0), 0u);
        RCHandle en = 0;
        RCDeviceRecord rec{};
        RCEnumDeviceReset(1, &en);
        RCEnumDeviceNext(en, &rec);
        RCEnumDeviceRelease(en);
        ASSERT_EQ(RCOpenSource(&rec, &src), 0u);
    }
    void TearDown() override {
        EXPECT_EQ(sim::openEnumerators(), 0);
        EXPECT_EQ(sim::openImages(), 0);
        EXPECT_EQ(sim::liveRawObjects(), 0);
        EXPECT_FALSE(sim::uiLocked());
        if (src) RCCloseSource(src);
        while (sim::startCount() > 0) RCFinishSDK();
    }
    QStringList texts() const {
        QStringList t;
        for (const auto& i : camera.lists().CamImagesListBox.items) t << i.text;
        return t;
    }
};

const sim::CardFolder kDcim{
    "DCIM", {{"IMG_0001.JPG", 2, false}, {"SND_0001.WAV", 3, false}, {"IMG_0002.CR2", 2, true}}};

}  // namespace

TEST_F(CardFixture, NoImagesGivesMinusOneAndTheSingleEntry) {
    struct Case {
        const char* what;
        std::vector<sim::CardFolder> folders;
        bool card;
    };
    const Case cases[] = {
        {"no card", {kDcim}, false},
        {"no DCIM", {{"MISC", {{"A.JPG", 2, false}}}}, true},
        {"lower-case dcim", {{"dcim", {{"A.JPG", 2, false}}}}, true},
        {"empty DCIM", {{"DCIM", {}}}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        open(c.folders, c.card);
        EXPECT_EQ(card.GetImageItem(), -1);
        EXPECT_EQ(texts(), QStringList{"There are no images in the camera"});
        TearDown();
        src = 0;
    }
}

TEST_F(CardFixture, ListsOnlyImageFilesAndSelectsTheFirst) {
    open({{"MISC", {}}, kDcim});
    EXPECT_EQ(card.GetImageItem(), 0);
    EXPECT_EQ(texts(), (QStringList{"IMG_0001.JPG", "IMG_0002.CR2"}));
    EXPECT_EQ(camera.lists().CamImagesListBox.selected, 0);
    QListWidget list;
    card.GetCamImageList(&list);
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.currentRow(), 0);
    EXPECT_EQ(list.item(1)->data(Qt::UserRole).toInt(),
              camera.lists().CamImagesListBox.items[1].item);
}

TEST_F(CardFixture, LibraryFailureShowsTheCodeAndReleases) {
    open({kDcim});
    sim::failCall("RCGetImageItemCount", RC_COMP_CAMERA | RC_ERR_COMMUNICATION);
    testenv::dialogs().expectMsgBox("ErrorCode = 0x200080");
    EXPECT_EQ(card.GetImageItem(),
              static_cast<std::int64_t>(RC_COMP_CAMERA | RC_ERR_COMMUNICATION));
    EXPECT_TRUE(testenv::dialogs().allUsed());
}

TEST_F(CardFixture, FetchJpegAndDevelopRawBesideIt) {
    open({kDcim});
    ASSERT_EQ(card.GetImageItem(), 0);
    const auto& items = camera.lists().CamImagesListBox.items;
    RCHandle jpeg = static_cast<RCHandle>(items[0].item);
    RCHandle raw = static_cast<RCHandle>(items[1].item);
    EXPECT_FALSE(card.CheckNeedDevelop(jpeg));
    EXPECT_TRUE(card.CheckNeedDevelop(raw));

    const QString jpegPath = card.GetImageData(1, jpeg, items[0].text);
    EXPECT_EQ(jpeg, 0u);
    EXPECT_EQ(jpegPath, AppPaths::join(AppPaths::thumbs(), "temp_IMG_0001.JPG"));
    EXPECT_FALSE(QImage(jpegPath).isNull());

    const QString rawPath = card.GetImageData(1, raw, items[1].text);
    ASSERT_EQ(rawPath, AppPaths::join(AppPaths::thumbs(), "temp_IMG_0002.CR2"));
    const QString developed = card.developIt(rawPath);
    EXPECT_EQ(developed, AppPaths::join(AppPaths::thumbs(), "temp_IMG_0002.jpg"));
    EXPECT_FALSE(QImage(developed).isNull());
    EXPECT_TRUE(QFileInfo::exists(rawPath));
}

TEST_F(CardFixture, RawWithoutAKnownExtensionIsNotDevelopedOverItself) {
    open({{"DCIM", {{"IMG_0003.RAW", 2, true}}}});
    ASSERT_EQ(card.GetImageItem(), 0);
    RCHandle item = static_cast<RCHandle>(camera.lists().CamImagesListBox.items[0].item);
    const QString rawPath = card.GetImageData(1, item, "IMG_0003.RAW");
    const auto size = QFileInfo(rawPath).size();
    const QString developed = card.developIt(rawPath);
    EXPECT_EQ(developed, rawPath + ".jpg");
    EXPECT_EQ(QFileInfo(rawPath).size(), size);  // the RAW file is untouched
    EXPECT_FALSE(QImage(developed).isNull());
}

TEST_F(CardFixture, FetchFailureClosesTheItemAndReturnsEmpty) {
    for (const char* call : {"RCGetPicture", "RCGetItemInfo", "RCGetImageData"}) {
        SCOPED_TRACE(call);
        open({kDcim});
        ASSERT_EQ(card.GetImageItem(), 0);
        RCHandle item = static_cast<RCHandle>(camera.lists().CamImagesListBox.items[0].item);
        sim::failCall(call, RC_COMP_TRANSFER | RC_ERR_FILE_IO);
        EXPECT_EQ(card.GetImageData(1, item, "IMG_0001.JPG"), "");
        EXPECT_EQ(item, 0u);
        TearDown();
        src = 0;
    }
}

TEST_F(CardFixture, DevelopFailureStillDisposesTheRawObject) {
    open({kDcim});
    ASSERT_EQ(card.GetImageItem(), 0);
    RCHandle raw = static_cast<RCHandle>(camera.lists().CamImagesListBox.items[1].item);
    const QString rawPath = card.GetImageData(1, raw, "IMG_0002.CR2");
    sim::failCall("RCDevelop", RC_COMP_RAW | RC_ERR_FILE_IO);
    EXPECT_EQ(card.developIt(rawPath), "");
    EXPECT_EQ(sim::liveRawObjects(), 0);
    EXPECT_EQ(card.developIt(AppPaths::join(AppPaths::thumbs(), "missing.CR2")), "");
}
