#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "display/AAImageView.h"
#include "display/FrameImagePolicy.h"
#include "display/HistogramModel.h"
#include "display/frmFullScreen.h"
#include "display/frmHistogram.h"
#include "display/frmImage1.h"
#include "display/tests/DisplayTestSupport.h"
#include "platform/time/Clock.h"

using namespace zelmora;
using namespace zelmora::display;
using namespace zelmora::display::testing;

namespace {

// A picture file of one colour (PNG: exact pixels) in the test's folder.
QString writePicture(const QString& name, QSize size, QColor colour) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(colour);
    const QString path = AppPaths::join(testenv::appDir(), name);
    img.save(path, "PNG");
    return path;
}

// The main window with the two menu items the frame image window touches.
class MenuMain : public FakeMain {
public:
    MenuMain() {
        showHist = new QAction(QStringLiteral("Image Histogram"), this);
        bullsEye = new QAction(QStringLiteral("Bulls Eye"), this);
        bullsEye->setCheckable(true);
    }
    QAction* menuItem(const QString& name) const override {
        if (name == QLatin1String("mnuShowHist")) return showHist;
        if (name == QLatin1String("mnuBullsEye")) return bullsEye;
        return nullptr;
    }
    QAction* showHist = nullptr;
    QAction* bullsEye = nullptr;
};

// The camera window as the frame image window asks it.
class LoaderCamera : public FakeCamera {
public:
    LoaderCamera() { windows().markLoaded(Win::frmCameraControl, this); }
    bool ControlConnected() const override { return connected; }
    QString sFileDownloaded() const override { return downloaded; }
    QString MonitorLastUpdate() const override { return lastUpdate; }
    QString DevlopRaw(const QString& f) override {
        developCalls << f;
        return developed;
    }
    bool connected = false;
    QString downloaded, lastUpdate, developed;
    QStringList developCalls;
};

QImage picture(QSize size, QColor c) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

// ---- Histogram -------------------------------------------------------------------

TEST(HistogramModelTest, BinsOfEachViewOnSmallPictures) {
    struct Case {
        QRgb pixel;
        int lum, red, green, blue;
    } cases[] = {
        {qRgb(0, 0, 0), 0, 0, 0, 0},
        {qRgb(1, 1, 1), 2, 1, 1, 1},  // n + 0.5 goes to the even neighbour
        {qRgb(2, 2, 2), 2, 2, 2, 2},
        {qRgb(3, 3, 3), 4, 3, 3, 3},
        {qRgb(4, 4, 4), 4, 4, 4, 4},
        {qRgb(255, 255, 255), 255, 255, 255, 255},  // 256 counts in the last bin
        {qRgb(200, 0, 0), 60, 200, 0, 0},           // 59.8 + 0.5 = 60.3
        {qRgb(0, 100, 0), 59, 0, 100, 0},           // 58.7 + 0.5 = 59.2
        {qRgb(0, 0, 50), 6, 0, 0, 50},              // 5.7 + 0.5 = 6.2
    };
    for (const Case& c : cases) {
        QImage img(3, 2, QImage::Format_RGB32);
        img.fill(c.pixel);
        const QImage bits = ModHist::GetPictureBits(img);
        const std::pair<HistogramModel::View, int> views[] = {
            {HistogramModel::View::Luminance, c.lum},
            {HistogramModel::View::Red, c.red},
            {HistogramModel::View::Green, c.green},
            {HistogramModel::View::Blue, c.blue}};
        for (auto [view, bin] : views) {
            HistogramModel m;
            m.count(bits, view);
            EXPECT_EQ(m.hist()[static_cast<size_t>(bin)], 6)
                << qRed(c.pixel) << " view " << int(view);
            EXPECT_EQ(m.peak(), 6);
        }
    }
}

TEST(HistogramModelTest, IndexedAndGreyPicturesAreReadAsColour) {
    QImage grey(4, 4, QImage::Format_Grayscale8);
    grey.fill(128);
    HistogramModel m;
    m.count(ModHist::GetPictureBits(grey), HistogramModel::View::Red);
    EXPECT_EQ(m.hist()[128], 16);
}

TEST(HistogramModelTest, CountLabelsFollowThePlottedScale) {
    struct Case {
        int pixels;
        QStringList labels;
    } cases[] = {
        {19, {"2", "4", "6", "8", "10", "11", "13", "15", "17", "19"}},  // 1.9, 3.8, 5.7 ...
        {3, {"0", "1", "1", "1", "2", "2", "2", "2", "3", "3"}},         // 0.5 -> 0, 1.5 -> 2
        {100, {"10", "20", "30", "40", "50", "60", "70", "80", "90", "100"}},
    };
    for (const Case& c : cases) {
        HistogramModel m;
        m.count(picture(QSize(c.pixels, 1), Qt::black), HistogramModel::View::Red);
        EXPECT_EQ(m.countLabels(), c.labels) << c.pixels;
    }
}

TEST(HistogramModelTest, WhiteCurveEndsAtTheTopOfTheLastBin) {
    HistogramModel m;
    m.count(picture(QSize(10, 10), Qt::white), HistogramModel::View::Luminance);
    const std::vector<QPoint> pts = m.curve(182);
    ASSERT_EQ(pts.size(), 257u);
    EXPECT_EQ(pts.front(), QPoint(0, 182));
    EXPECT_EQ(pts[255], QPoint(255, 182));
    EXPECT_EQ(pts.back(), QPoint(256, 0));
}

// ---- Full screen -----------------------------------------------------------------

TEST(FullScreenFitTest, WholePictureInsideTheScreenCentred) {
    struct Case {
        QSize picture, window;
        QString orientation;
        QRectF box;
    } cases[] = {
        // 3:2 on 16:10: the height limits, the sides are padded.
        {{3000, 2000}, {1600, 1000}, "1", {50, 0, 1500, 1000}},
        // 3:2 on a wider 16:9 screen the same way; a 2:1 frame by its width.
        {{3000, 2000}, {1920, 1080}, "1", {150, 0, 1620, 1080}},
        {{4000, 2000}, {1600, 1000}, "1", {0, 100, 1600, 800}},
        {{2000, 3000}, {1600, 1000}, "0", {1600 / 2.0 - 1000 / 3.0, 0, 2000 / 3.0, 1000}},
        {{1000, 1000}, {1600, 1000}, "2", {300, 0, 1000, 1000}},
        // Smaller than the screen: brought up to fit.
        {{320, 200}, {1600, 1000}, "1", {0, 0, 1600, 1000}},
    };
    for (const Case& c : cases) {
        const ScreenFit f = fitToScreen(c.picture, c.window);
        EXPECT_EQ(f.orientation, c.orientation);
        EXPECT_NEAR(f.box.x(), c.box.x(), 1e-6) << c.picture.width() << "x" << c.picture.height();
        EXPECT_NEAR(f.box.y(), c.box.y(), 1e-6);
        EXPECT_NEAR(f.box.width(), c.box.width(), 1e-6);
        EXPECT_NEAR(f.box.height(), c.box.height(), 1e-6);
        EXPECT_TRUE(QRectF(QPointF(0, 0), QSizeF(c.window)).contains(f.box));
    }
    EXPECT_FLOAT_EQ(fitToScreen({3000, 2000}, {1600, 1000}).ratio, 0.6666667f);
}

TEST(FullScreenFitTest, CaptionWithAndWithoutARun) {
    EXPECT_EQ(fullScreenCaption("/p/a.jpg", 0, 0), "/p/a.jpg");
    EXPECT_EQ(fullScreenCaption("/p/a.jpg", 2, 5), "/p/a.jpg  -  Exposure: 2 of 5");
}

class FakeCapture : public QWidget, public ICaptureWindow {
public:
    FakeCapture() { windows().markLoaded(Win::frmCapture, this); }
    void LoadAThumb(const QString&) override {}
    void ChangeColors() override {}
    QString sPicToshow() const override { return pic; }
    QString pic;
};

class DisplayWindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerWindows();
        main = std::make_unique<MenuMain>();
    }
    std::unique_ptr<MenuMain> main;
};

TEST_F(DisplayWindowsTest, FullScreenReloadFitsAPictureOfAnotherOrientation) {
    FakeCapture capture;
    capture.pic = writePicture("land.png", {300, 200}, Qt::red);
    auto* full = windows().showAs<frmFullScreen>(Win::frmFullScreen);
    ASSERT_NE(full, nullptr);
    full->resize(800, 500);
    EXPECT_TRUE(state().vFullScreenOpen);
    EXPECT_EQ(full->fit().orientation, "1");
    EXPECT_EQ(full->fit().box, QRectF(25, 0, 750, 500));

    state().iSequenceTotal = 5;
    state().iSequenceFrame = 2;
    capture.pic = writePicture("port.png", {200, 400}, Qt::blue);
    full->reloadImage();
    EXPECT_EQ(full->lblfile->text(), capture.pic + "  -  Exposure: 2 of 5");
    EXPECT_EQ(full->picture().size(), QSize(200, 400));
    EXPECT_EQ(full->fit().orientation, "0");
    EXPECT_EQ(full->fit().box, QRectF(275, 0, 250, 500));

    // A file that cannot be read keeps the picture; the caption and flag still change.
    capture.pic = AppPaths::join(testenv::appDir(), "missing.jpg");
    full->reloadImage();
    EXPECT_EQ(full->picture().size(), QSize(200, 400));
    EXPECT_TRUE(full->lblfile->text().startsWith(capture.pic));

    QTest::mouseClick(full, Qt::LeftButton);
    EXPECT_FALSE(state().vFullScreenOpen);
    EXPECT_FALSE(windows().isLoaded(Win::frmFullScreen));
}

// ---- Scaled viewer ---------------------------------------------------------------

TEST(ViewScaleTest, TableSizesAndBars) {
    const double table[] = {0.25, 0.5, 0.75, 1.0, 1.25, 1.5, 1.75, 2.0, 3.0, 4.0, 0.1, 0.15};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(viewscale::factor(i), table[i]);
    EXPECT_FALSE(viewscale::factor(12));
    EXPECT_FALSE(viewscale::factor(-1));
    EXPECT_EQ(viewscale::scaledSize({1001, 333}, 10), QSize(100, 33));  // floored
    EXPECT_EQ(viewscale::scaledSize({1001, 333}, 11), QSize(150, 49));
    EXPECT_EQ(viewscale::scaledSize({1001, 333}, 9), QSize(4004, 1332));

    const viewscale::Bar fits = viewscale::barFor(400, 300);
    EXPECT_FALSE(fits.enabled);
    const viewscale::Bar big = viewscale::barFor(400, 1000);  // 400 - 21 - 1000 = -621
    EXPECT_TRUE(big.enabled);
    EXPECT_EQ(big.max, -621);
    EXPECT_EQ(big.value, -310);                   // -310.5 to even
    EXPECT_EQ(viewscale::centred(400, 300), 40);  // (400 - 300 - 21) / 2 = 39.5
}

TEST_F(DisplayWindowsTest, ViewerCentresScrollsAndAPaintLeavesThePlace) {
    AAImageView v;
    v.resize(421, 321);  // 400 x 300 inside the bars
    v.show();
    EXPECT_FALSE(v.PictureLoaded());
    v.setPicture(picture({200, 100}, Qt::green));
    EXPECT_TRUE(v.PictureLoaded());
    EXPECT_EQ(v.viewRect(), QRect(100, 100, 200, 100));
    EXPECT_FALSE(v.hBar().enabled());

    v.setScalePercent(7);  // 200 %: 400 x 200 fills the width exactly
    EXPECT_EQ(v.viewRect(), QRect(0, 50, 400, 200));
    EXPECT_TRUE(v.hBar().enabled());
    v.setScalePercent(9);  // 400 %: 800 x 400
    EXPECT_EQ(v.hBar().max(), -400);
    EXPECT_EQ(v.viewRect().topLeft(), QPoint(-200, -50));

    // The user scrolls; repaints leave the place alone.
    v.hscPicture()->setValue(-350);
    EXPECT_EQ(v.viewRect().x(), -350);
    v.repaint();
    v.grab();
    EXPECT_EQ(v.viewRect().x(), -350);

    v.setScalePercent(42);  // outside the table: ignored
    EXPECT_EQ(v.ScalePercent(), 9);
    EXPECT_EQ(v.viewRect().x(), -350);

    v.setPicture({});
    EXPECT_FALSE(v.PictureLoaded());
    EXPECT_TRUE(v.viewRect().isEmpty());
}

TEST_F(DisplayWindowsTest, ReticlesDrawnOnThePictureCentreUntilTheNextRescale) {
    AAImageView v;
    v.resize(421, 321);
    v.show();
    v.setPicture(picture({300, 200}, Qt::black));
    const QPoint centre = v.viewRect().center() + QPoint(1, 1);  // 300 / 2 on a 50 px offset
    EXPECT_EQ(v.grab().toImage().pixel(centre), qRgb(0, 0, 0));

    v.xhairon();
    EXPECT_EQ(v.overlayRect(),
              QRect(v.viewRect().topLeft() + QPoint(150 - 42, 100 - 42), QSize(85, 85)));
    const QImage shot = v.grab().toImage();
    EXPECT_EQ(shot.pixel(v.viewRect().x() + 150, v.viewRect().y() + 100), qRgb(255, 255, 255));
    EXPECT_EQ(shot.pixel(v.viewRect().x() + 150 + 30, v.viewRect().y() + 100 + 20), qRgb(0, 0, 0));
    v.xhairon();  // a second time changes nothing
    EXPECT_EQ(v.grab().toImage(), shot);

    main->bullsEye->setChecked(true);
    v.checkXhair();
    EXPECT_EQ(v.overlayRect(),
              QRect(v.viewRect().topLeft() + QPoint(150 - 109, 100 - 109), QSize(218, 218)));

    v.setScalePercent(1);  // a rescale drops the reticle; checkXhair brings it back
    EXPECT_TRUE(v.overlayRect().isEmpty());
    EXPECT_TRUE(v.bxHairOn());
    v.checkXhair();  // 150 x 100 now
    EXPECT_EQ(v.overlayRect().topLeft(), v.viewRect().topLeft() + QPoint(75 - 109, 50 - 109));
    v.xhairoff();
    EXPECT_TRUE(v.overlayRect().isEmpty());
    EXPECT_EQ(v.grab().toImage().pixel(centre), qRgb(0, 0, 0));
}

TEST_F(DisplayWindowsTest, ViewerDoubleClickAnywhereRaisesOnce) {
    AAImageView v;
    v.resize(300, 200);
    v.setPicture(picture({100, 50}, Qt::red));
    v.show();
    int clicks = 0;
    QObject::connect(&v, &AAImageView::DblClick, [&] { ++clicks; });
    QTest::mouseDClick(&v, Qt::LeftButton, Qt::NoModifier, v.viewRect().center());
    QTest::mouseDClick(&v, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(clicks, 2);
}

// ---- Frame image window ----------------------------------------------------------

TEST(FrameImagePolicyTest, ZoomStepsAndRawNames) {
    const std::pair<int, QString> steps[] = {{10, "10"}, {11, "15"}, {0, "25"},
                                             {1, "50"},  {2, "75"},  {3, "100"},
                                             {4, "125"}, {5, "150"}, {7, "200"}};
    for (int s = 1; s <= 9; ++s) {
        const auto z = frameimage::zoomFor(s);
        EXPECT_EQ(z.scalePercent, steps[s - 1].first);
        EXPECT_EQ(z.caption, "Frame Image - Zoom:" + steps[s - 1].second + "%");
    }
    EXPECT_EQ(frameimage::zoomIn(9), 9);
    EXPECT_EQ(frameimage::zoomOut(1), 1);
    for (const char* raw : {"a.CRW", "a.crw", "a.cr2", "a.CR2", "a.Cr2", "a.cRw"})
        EXPECT_TRUE(frameimage::isRawFile(raw)) << raw;
    for (const char* other : {"a.jpg", "a.JPG", "a.cr3", "a.raw", ""})
        EXPECT_FALSE(frameimage::isRawFile(other)) << other;
    const QString filter = frameimage::openFilter();
    for (const char* p : {"*.jpg", "*.JPG", "*.CR2", "*.cr2", "*.CRW", "*.crw"})
        EXPECT_TRUE(filter.contains(QLatin1String(p)));
}

TEST(FrameImagePolicyTest, LoaderRules) {
    using frameimage::LoaderInputs;
    struct Case {
        const char* what;
        QString name;
        LoaderInputs in;
        QString expected;
    } cases[] = {
        {"named file first", "/n.jpg", {true, true, "/m.jpg", true, "/d.jpg"}, "/n.jpg"},
        {"focus or capture frame", "", {true, false, "", true, "/d.jpg"}, "/d.jpg"},
        {"not connected", "", {true, false, "", false, "/d.jpg"}, ""},
        {"no camera window", "", {false, false, "", true, "/d.jpg"}, ""},
        {"monitor mode", "", {true, true, "/m.jpg", true, "/d.jpg"}, "/m.jpg"},
        {"monitor, nothing yet", "", {true, true, "", true, "/d.jpg"}, ""},
        {"monitor, blank", "", {true, true, " ", true, "/d.jpg"}, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(frameimage::fileToLoad(c.name, c.in), c.expected) << c.what;
}

TEST_F(DisplayWindowsTest, FrameImageFollowsTheCameraAndMonitor) {
    LoaderCamera camera;
    camera.connected = true;
    camera.downloaded = writePicture("IMG_0001.png", {64, 48}, Qt::red);
    auto* w = windows().showAs<frmImage1>(Win::frmImage1);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(state().bFrameImageOpen);
    EXPECT_EQ(w->windowTitle(), "Frame Image - Zoom:25%");
    EXPECT_EQ(w->AAImageView1->Picture().size(), QSize(64, 48));
    EXPECT_TRUE(w->cbShowHist->isEnabled());
    EXPECT_TRUE(main->showHist->isEnabled());

    // A focus frame: the camera window clears, then updates.
    w->clearimage();
    EXPECT_FALSE(w->AAImageView1->PictureLoaded());
    camera.downloaded = writePicture("Focus.png", {32, 32}, Qt::blue);
    w->UpdateImage();
    EXPECT_EQ(w->AAImageView1->Picture().size(), QSize(32, 32));

    // Folder monitoring counts as monitor mode.
    state().bFolderMonitoring = true;
    camera.lastUpdate = writePicture("watched.png", {40, 30}, Qt::green);
    w->UpdateImage();
    EXPECT_EQ(w->AAImageView1->Picture().size(), QSize(40, 30));

    // Nothing to show: the histogram is off on the button and in the menu.
    w->clearimage();
    camera.lastUpdate = " ";
    w->UpdateImage();
    EXPECT_FALSE(w->cbShowHist->isEnabled());
    EXPECT_FALSE(main->showHist->isEnabled());

    w->close();
    EXPECT_FALSE(state().bFrameImageOpen);
    windows().markUnloaded(Win::frmCameraControl);
}

TEST_F(DisplayWindowsTest, FrameImageOpenDevelopsRawInAnyCase) {
    testenv::enableTrace();
    LoaderCamera camera;
    camera.developed = writePicture("IMG_0002.png", {50, 40}, Qt::white);
    auto* w = windows().showAs<frmImage1>(Win::frmImage1);
    ASSERT_NE(w, nullptr);
    testenv::dialogs().expectOpenFile("/raw/IMG_0002.Cr2");
    w->cbOpen_Click();
    EXPECT_EQ(camera.developCalls, QStringList{"/raw/IMG_0002.Cr2"});
    EXPECT_EQ(w->AAImageView1->Picture().size(), QSize(50, 40));

    // A plain file goes straight to the loader; one that is no picture is traced.
    const QString bad = AppPaths::join(testenv::appDir(), "bad.jpg");
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a picture");
    f.close();
    testenv::dialogs().expectOpenFile(bad);
    w->cbOpen_Click();
    EXPECT_EQ(camera.developCalls.size(), 1);
    EXPECT_EQ(w->AAImageView1->Picture().size(), QSize(50, 40));
    bool traced = false;
    for (const QString& l : testenv::traceLines())
        traced |= l.startsWith("Error in: frameerror Error LoadImage with error:");
    EXPECT_TRUE(traced);
    windows().markUnloaded(Win::frmCameraControl);
}

TEST_F(DisplayWindowsTest, FrameImageOpenSurvivesTheWindowGoingWhileTheChooserIsUp) {
    const QString picture = writePicture("IMG_0003.png", {50, 40}, Qt::white);
    for (bool exit : {false, true}) {
        QPointer<frmImage1> w = windows().showAs<frmImage1>(Win::frmImage1);
        ASSERT_NE(w, nullptr);
        testenv::dialogs().expectOpenFile(picture).whileShowing([&] {
            // Leaving the program, or closing the window, while the chooser is up.
            if (exit) {
                platform::setShuttingDown(true);
                windows().closeAll();
            } else {
                frameOf(w)->close();
            }
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        });
        w->cbOpen_Click();
        EXPECT_FALSE(w) << (exit ? "exit" : "close");
        platform::setShuttingDown(false);
    }
}

TEST_F(DisplayWindowsTest, FrameImageZoomButtonsReticleAndHistogram) {
    main->show();
    auto* w = windows().showAs<frmImage1>(Win::frmImage1);
    w->LoadImage(writePicture("a.png", {20, 10}, QColor(0, 0, 50)));
    for (int i = 0; i < 8; ++i) w->cmdIn->click();
    EXPECT_EQ(w->zoomStep(), 9);
    EXPECT_EQ(w->AAImageView1->ScalePercent(), 7);
    EXPECT_EQ(w->windowTitle(), "Frame Image - Zoom:200%");
    for (int i = 0; i < 10; ++i) w->cmdOut->click();
    EXPECT_EQ(w->windowTitle(), "Frame Image - Zoom:10%");

    w->chXhair->setChecked(true);
    EXPECT_TRUE(w->AAImageView1->bxHairOn());
    w->resize(w->width() + 10, w->height());
    QApplication::processEvents();
    EXPECT_FALSE(w->chXhair->isChecked());
    EXPECT_FALSE(w->AAImageView1->bxHairOn());

    w->showHistogram();
    auto* h = windows().ifLoadedAs<fHistogram>(Win::frmHistogram);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->hist().hist()[6], 200);  // luminance of (0, 0, 50)
    EXPECT_EQ(h->yLabels[9]->text(), "200");
    h->Combo1->setCurrentIndex(3);
    EXPECT_EQ(h->hist().hist()[50], 200);
    const QImage blueCurve = h->picHistogram->canvas();
    h->Combo1->setCurrentIndex(0);
    h->Combo1->setCurrentIndex(3);
    EXPECT_EQ(h->picHistogram->canvas(), blueCurve);

    // A second "Show Histogram" replaces the pixels but draws nothing until a view is chosen.
    w->LoadImage(writePicture("b.png", {5, 5}, Qt::white));
    w->showHistogram();
    EXPECT_EQ(ModHist::PictureBits().size(), QSize(5, 5));
    EXPECT_EQ(h->picHistogram->canvas(), blueCurve);
    h->Combo1->setCurrentIndex(0);
    EXPECT_EQ(h->hist().hist()[255], 25);
}

}  // namespace
