#include <gtest/gtest.h>

#include <QApplication>
#include <QSet>
#include <QTest>

#include "display/ScrollingImage.h"
#include "display/ZoomerPolicy.h"
#include "display/frmImageDisp.h"
#include "display/frmZoomer.h"
#include "display/tests/DisplayTestSupport.h"

using namespace zelmora;
using namespace zelmora::display;
using namespace zelmora::display::testing;

namespace {

class ZoomerTest : public ::testing::Test {
protected:
    void SetUp() override {
        cursor = std::make_shared<platform::RecordingCursor>();
        platform::CursorService::setInstance(cursor);
        registerWindows();
        main = std::make_unique<FakeMain>();
    }
    void TearDown() override {
        main.reset();
        platform::CursorService::setInstance(nullptr);
        platform::ScreenGrabber::setInstance(nullptr);
    }
    std::shared_ptr<platform::RecordingCursor> cursor;
    std::unique_ptr<FakeMain> main;
};

TEST_F(ZoomerTest, SideFollowsTheFactorAndTheSquareIsCentredOnThePointer) {
    auto grabber = std::make_shared<platform::RecordingGrabber>();
    platform::ScreenGrabber::setInstance(grabber);
    main->factor = 5;
    auto* z = windows().showAs<frmZoomer>(Win::frmZoomer);
    ASSERT_NE(z, nullptr);
    EXPECT_TRUE(state().bZoomActive);
    EXPECT_EQ(z->side(), 35);
    EXPECT_EQ(z->size(), QSize(109, 109));
    cursor->place(QPoint(400, 301));
    z->UpdateZoom();
    ASSERT_EQ(grabber->areas.size(), 1u);
    EXPECT_EQ(grabber->areas[0], QRect(382, 284, 35, 35));  // 382.5 -> 382, 283.5 -> 284
    EXPECT_EQ(z->pane()->picture().size(), QSize(109, 109));

    // The program clock drives the 100 ms refresh.
    testenv::vclock().advance(300);
    EXPECT_EQ(grabber->areas.size(), 4u);

    main->factor = 1;  // unscaled, the pointer 50 px from the corner
    z->InvokeZoom();
    z->UpdateZoom();
    EXPECT_EQ(grabber->areas.back(), QRect(350, 251, 109, 109));
    main->factor = 12;  // out of range: the side stays
    z->InvokeZoom();
    EXPECT_EQ(z->side(), 128);

    z->close();
    EXPECT_FALSE(state().bZoomActive);
    EXPECT_FALSE(windows().isLoaded(Win::frmZoomer));
}

TEST_F(ZoomerTest, NoRefreshWhileAMessageBoxIsUp) {
    auto grabber = std::make_shared<platform::RecordingGrabber>();
    platform::ScreenGrabber::setInstance(grabber);
    auto* z = windows().showAs<frmZoomer>(Win::frmZoomer);
    z->UpdateZoom();
    const QImage last = z->pane()->picture();
    grabber->source = [](const QRect& r) {
        QImage image(r.size(), QImage::Format_RGB32);
        image.fill(Qt::red);
        return image;
    };
    state().bMsgBoxShowing = true;
    testenv::vclock().advance(500);
    z->UpdateZoom();
    EXPECT_EQ(grabber->areas.size(), 1u);
    EXPECT_EQ(z->pane()->picture(), last);
    state().bMsgBoxShowing = false;
    z->UpdateZoom();
    EXPECT_EQ(z->pane()->picture().pixel(50, 50), qRgb(255, 0, 0));
}

TEST_F(ZoomerTest, AtFactorNineThePaneIsThePixelUnderThePointer) {
    // The real grabber: on the offscreen platform it composes our own windows.
    registerWindows();
    main->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
    auto* disp = windows().showAs<frmImageDisp>(Win::frmImageDisp);
    const QString path = writeFrame("z.jpg", 600, 400, {{200, 150, 6.0, 240.0, 1.0, 0.6, 0.3}});
    disp->LoadImage(path);
    QApplication::processEvents();
    disp->viewer()->repaint();
    QApplication::processEvents();

    main->factor = 9;
    frmZoomer zoomer;  // not shown: it must not cover what it looks at
    EXPECT_EQ(zoomer.side(), 1);
    cDIBSection dib;
    loadFrame(path, dib);
    const auto paneColours = [&](const QPoint& at) {
        cursor->place(disp->viewer()->mapToGlobal(at));
        zoomer.UpdateZoom();
        const QImage pane = zoomer.pane()->picture().convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(pane.size(), QSize(109, 109));
        QSet<QRgb> colours;
        for (int y = 0; y < pane.height(); ++y)
            for (int x = 0; x < pane.width(); ++x) colours.insert(pane.pixel(x, y));
        return colours;
    };
    // The one-pixel square's corner is the pointer less a half, rounded half to
    // even: on even screen coordinates that is the pixel under the pointer.
    const QPoint origin = disp->viewer()->mapToGlobal(QPoint(0, 0));
    const QPoint even(origin.x() % 2, origin.y() % 2);
    for (const QPoint at :
         {QPoint(200, 150) + even, QPoint(204, 148) + even, QPoint(20, 30) + even}) {
        EXPECT_EQ(paneColours(at), QSet<QRgb>{framePixel(dib, at.x(), at.y())})
            << at.x() << "," << at.y();
    }
    // On odd ones it is the pixel up and to the left.
    const QPoint odd = QPoint(201, 151) + even;
    EXPECT_EQ(paneColours(odd), QSet<QRgb>{framePixel(dib, odd.x() - 1, odd.y() - 1)});
}

}  // namespace
