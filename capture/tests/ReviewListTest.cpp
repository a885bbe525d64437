#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "capture/CaptureWindows.h"
#include "capture/ReviewList.h"
#include "capture/ReviewTab.h"
#include "capture/ThumbnailPool.h"
#include "capture/frmCapture.h"
#include "capture/tests/FakeCameraLink.h"
#include "display/AAImageView.h"
#include "display/DisplayWindows.h"
#include "display/frmFullScreen.h"
#include "image/cDIBSection.h"
#include "image/synth/StarRenderer.h"
#include "shell/AppPaths.h"
#include "shell/Neighbours.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"
#include "testing/TestEnv.h"

using namespace zelmora;
using namespace zelmora::capture;

namespace {

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray jpegOf(QSize size, QColor colour) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(colour);
    cDIBSection dib;
    dib.CreateFromPicture(img);
    return synth::encodeJpeg(dib, 90);
}

// A folder as a camera leaves it: three good pictures, a half-written JPEG,
// a RAW file, a text file, a JPEG named .jpeg and a sub-folder named like a picture.
QString makeFolder(const QString& name) {
    const QString dir = AppPaths::join(testenv::appDir(), name);
    QDir().mkpath(dir);
    writeBytes(dir + "/c.jpg", jpegOf({640, 480}, Qt::red));
    writeBytes(dir + "/a.JPG", jpegOf({300, 200}, Qt::red));
    QImage bmp(100, 50, QImage::Format_RGB32);
    bmp.fill(Qt::blue);
    bmp.save(dir + "/b.bmp", "BMP");
    writeBytes(dir + "/bad.jpg", jpegOf({640, 480}, Qt::green).left(300));
    writeBytes(dir + "/IMG_0001.CR2", QByteArray("II*\0raw", 7));
    writeBytes(dir + "/d.txt", "text");
    writeBytes(dir + "/e.jpeg", jpegOf({64, 48}, Qt::red));
    QDir().mkpath(dir + "/sub.jpg");
    return dir;
}

void waitForBuild(ReviewTab& tab) {
    QDeadlineTimer guard(60000);  // a hang fails instead of blocking the run
    while (tab.building() && !guard.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QCoreApplication::processEvents();
}

QStringList itemTexts(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

// Records the captions a window shows.
class CaptionLog : public QObject {
public:
    explicit CaptionLog(QWidget* w) : w_(w) { w->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::WindowTitleChange) titles << w_->windowTitle();
        return false;
    }
    QStringList titles;

private:
    QWidget* w_;
};

TEST(ReviewListTest, PictureNamesFitCaptionAndPaths) {
    for (const char* yes : {"a.JPG", "c.bmp", "x.ico", "y.CUR", "/p/z.jpg"})
        EXPECT_TRUE(review::isPictureFile(yes)) << yes;
    // Downloads still under way (or killed part-way) are not frames.
    for (const char* no : {"b.jpeg", "d.txt", "e.png", "f.CR2", "M31-0001.JPG.part",
                           "M31_001.JPG.part812_3", "x.bmp.part"})
        EXPECT_FALSE(review::isPictureFile(no)) << no;

    struct Fit {
        double w, h, W, H;
    } fits[] = {{3000, 2000, 102.4, 68.2666667},
                {600, 1000, 46.08, 76.8},
                {100, 50, 100, 50},
                {200, 50, 102.4, 25.6}};
    for (const Fit& f : fits) {
        const QSizeF s = review::thumbFit(f.w, f.h);
        EXPECT_NEAR(s.width(), f.W, 1e-6) << f.w << "x" << f.h;
        EXPECT_NEAR(s.height(), f.H, 1e-6) << f.w << "x" << f.h;
    }

    EXPECT_EQ(review::progressCaption(1, 300), "GENERATING PREVIEWS  .33%");
    EXPECT_EQ(review::progressCaption(1, 3), "GENERATING PREVIEWS  33.33%");
    EXPECT_EQ(review::progressCaption(2, 3), "GENERATING PREVIEWS  66.67%");
    EXPECT_EQ(review::progressCaption(3, 3), "GENERATING PREVIEWS  100.00%");
    EXPECT_EQ(review::countText(0), "0 items in list");

    EXPECT_EQ(review::AddBackslash("/p"), "/p/");
    EXPECT_EQ(review::AddBackslash("/p/"), "/p/");
    EXPECT_EQ(review::GetFileNameOfThumb("/p/q/a.jpg"), "a.jpg");
    EXPECT_EQ(review::GetPathNameOfThumb("/p/q/a.jpg"), "/p/q/");
    EXPECT_TRUE(review::GetFiles("").isEmpty());
    EXPECT_TRUE(review::GetFiles(AppPaths::join(testenv::appDir(), "none")).isEmpty());

    const std::pair<int, int> zoom[] = {{10, 10}, {15, 11}, {25, 0},  {50, 1},
                                        {75, 2},  {100, 3}, {200, 7}, {33, -1}};
    for (auto [percent, step] : zoom) EXPECT_EQ(reviewScaleStep(percent), step) << percent;
}

TEST(ReviewListTest, ThumbnailsAreLetterboxedAndBadFilesReported) {
    const QString dir = makeFolder("pics");
    const Thumbnail a = ThumbnailPool::make(dir + "/a.JPG");  // 102.4 x 68.27 in 104 x 78
    ASSERT_TRUE(a.ok());
    EXPECT_EQ(a.image.size(), QSize(104, 78));
    EXPECT_EQ(a.image.pixel(52, 2), qRgb(255, 255, 255));
    EXPECT_GT(qRed(a.image.pixel(52, 39)), 200);
    EXPECT_LT(qGreen(a.image.pixel(52, 39)), 60);
    const Thumbnail b = ThumbnailPool::make(dir + "/b.bmp");  // 100 x 50, not enlarged
    ASSERT_TRUE(b.ok());
    EXPECT_EQ(b.image.pixel(52, 39), qRgb(0, 0, 255));
    EXPECT_EQ(b.image.pixel(1, 39), qRgb(255, 255, 255));

    const Thumbnail bad = ThumbnailPool::make(dir + "/bad.jpg");
    EXPECT_FALSE(bad.ok());
    EXPECT_EQ(bad.errorNumber, 481);
    EXPECT_EQ(ThumbnailPool::make(dir + "/gone.jpg").errorNumber, 53);
    // The decoder that met the corrupt file still reads the next one.
    EXPECT_TRUE(ThumbnailPool::make(dir + "/a.JPG").ok());
}

TEST(ReviewListTest, FolderListedSkippingTheCorruptOne) {
    testenv::enableTrace();
    const QString dir = makeFolder("pics");
    QWidget owner;
    CaptionLog captions(&owner);
    ReviewTab tab(&owner, &owner);
    tab.setupReview(dir);
    waitForBuild(tab);

    EXPECT_EQ(itemTexts(tab.flb), (QStringList{"a.JPG", "b.bmp", "c.jpg"}));
    for (int i = 0; i < tab.flb->count(); ++i)
        EXPECT_EQ(ReviewTab::itemPath(tab.flb->item(i)), dir + "/" + tab.flb->item(i)->text());
    EXPECT_EQ(tab.lblInfo->text(), "3 items in list");
    EXPECT_EQ(captions.titles,
              (QStringList{"GENERATING PREVIEWS  25.00%", "GENERATING PREVIEWS  50.00%",
                           "GENERATING PREVIEWS  75.00%", "GENERATING PREVIEWS  100.00%",
                           "Image Browser"}));
    int traced = 0;
    for (const QString& l : testenv::traceLines())
        if (l.startsWith("Error in: LoadThumbs") && l.contains("bad.jpg")) ++traced;
    EXPECT_EQ(traced, 1);

    // The zoom buttons change the viewer only.
    tab.findChild<QPushButton*>("cb200")->click();
    EXPECT_EQ(tab.AAImageView1->ScalePercent(), 7);
    tab.findChild<QPushButton*>("cb10")->click();
    EXPECT_EQ(tab.AAImageView1->ScalePercent(), 10);
    EXPECT_EQ(tab.flb->count(), 3);

    // Browse cancelled: the folder and the list stay. A missing folder lists nothing.
    testenv::dialogs().expectFolder("");
    tab.cbChooseThumbPath_Click();
    EXPECT_EQ(tab.sReviewFolder(), dir);
    EXPECT_EQ(tab.flb->count(), 3);
    testenv::dialogs().expectFolder(AppPaths::join(testenv::appDir(), "none"));
    tab.cbChooseThumbPath_Click();
    waitForBuild(tab);
    EXPECT_EQ(tab.flb->count(), 0);
    EXPECT_EQ(tab.lblInfo->text(), "0 items in list");
    EXPECT_EQ(owner.windowTitle(), "Image Browser");
}

// The folder chooser lets events run: the window may be gone when it returns.
TEST(ReviewListTest, AWindowGoneWhileTheFolderIsChosenIsLeftAlone) {
    auto* owner = new QWidget;
    QPointer<ReviewTab> tab = new ReviewTab(owner, owner);
    testenv::dialogs().expectFolder(makeFolder("pics")).whileShowing([owner] {
        owner->deleteLater();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    });
    tab->cbChooseThumbPath_Click();
    EXPECT_TRUE(tab.isNull());
}

TEST(ReviewListTest, ARebuildDropsTheResultsOfTheOneItReplaces) {
    const QString dir = makeFolder("pics");
    const QString other = AppPaths::join(testenv::appDir(), "other");
    QDir().mkpath(other);
    writeBytes(other + "/z.jpg", jpegOf({320, 200}, Qt::red));
    QWidget owner;
    ReviewTab tab(&owner, &owner);
    tab.setupReview(dir);
    tab.setupReview(other);  // at once, before the first build's results arrive
    waitForBuild(tab);
    EXPECT_EQ(itemTexts(tab.flb), QStringList{"z.jpg"});
    EXPECT_EQ(tab.lblInfo->text(), "1 items in list");
}

// ---- On the capture window --------------------------------------------------------

class RecordingCable : public ShutterCable {};

class ReviewOnCaptureWindow : public ::testing::Test {
protected:
    void SetUp() override {
        CameraLink::setInstance(std::make_shared<zelmora::capture::testing::FakeCameraLink>());
        ShutterCable::setInstance(std::make_shared<RecordingCable>());
        registerWindows();
        display::registerWindows();
    }
};

TEST_F(ReviewOnCaptureWindow, DownloadsAddedAtOnceAndShownFullScreen) {
    testenv::enableTrace();
    const QString dir = makeFolder("pics");
    auto* w = dynamic_cast<frmCapture*>(windows().load(Win::frmCapture));
    ASSERT_NE(w, nullptr);
    w->txtDirectory->setText(dir);
    w->selectTab(4);
    waitForBuild(*w->Review);
    ReviewTab& tab = *w->Review;
    EXPECT_EQ(itemTexts(tab.flb), (QStringList{"a.JPG", "b.bmp", "c.jpg"}));
    EXPECT_EQ(w->windowTitle(), "Image Browser");

    // A download from the camera's own folder: listed at once, sorted in, in the viewer.
    const QString thumbs = AppPaths::join(testenv::appDir(), "Thumbs");
    QDir().mkpath(thumbs);
    writeBytes(thumbs + "/b2.jpg", jpegOf({600, 400}, Qt::red));
    w->LoadAThumb(thumbs + "/b2.jpg");
    EXPECT_EQ(itemTexts(tab.flb), (QStringList{"a.JPG", "b.bmp", "b2.jpg", "c.jpg"}));
    EXPECT_EQ(tab.lblInfo->text(), "4 items in list");
    EXPECT_EQ(tab.AAImageView1->Picture().size(), QSize(600, 400));
    EXPECT_EQ(w->sPicToshow(), thumbs + "/b2.jpg");
    const QListWidgetItem* added = tab.flb->item(2);
    EXPECT_EQ(ReviewTab::itemPath(added), thumbs + "/b2.jpg");

    // A file that is no picture: traced, nothing added, sPicToshow kept.
    w->LoadAThumb(dir + "/bad.jpg");
    EXPECT_EQ(tab.flb->count(), 4);
    EXPECT_EQ(w->sPicToshow(), thumbs + "/b2.jpg");

    // Double click in the viewer: full screen of the selected item, from its own folder.
    tab.flb->setCurrentItem(tab.flb->item(2));
    QTest::mouseDClick(tab.AAImageView1, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    auto* full = windows().ifLoadedAs<display::frmFullScreen>(Win::frmFullScreen);
    ASSERT_NE(full, nullptr);
    EXPECT_TRUE(state().vFullScreenOpen);
    EXPECT_EQ(full->lblfile->text(), thumbs + "/b2.jpg");
    EXPECT_EQ(full->picture().size(), QSize(600, 400));

    // The next download during a run shows there too.
    state().iSequenceTotal = 3;
    state().iSequenceFrame = 3;
    writeBytes(thumbs + "/b3.jpg", jpegOf({400, 600}, Qt::red));
    w->LoadAThumb(thumbs + "/b3.jpg");
    EXPECT_EQ(full->lblfile->text(), thumbs + "/b3.jpg  -  Exposure: 3 of 3");
    EXPECT_EQ(full->picture().size(), QSize(400, 600));
    full->close();
    EXPECT_FALSE(state().vFullScreenOpen);

    // The list's double click shows the item in the viewer.
    tab.flb->setCurrentItem(tab.flb->item(0));
    tab.flb_DblClick();
    EXPECT_EQ(tab.AAImageView1->Picture().size(), QSize(300, 200));
    w->close();
}

}  // namespace
