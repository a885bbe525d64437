#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "display/AAImageView.h"
#include "display/SuperPicCtl.h"
#include "display/SuperPicLayout.h"
#include "display/tests/DisplayTestSupport.h"
#include "platform/time/Timer.h"

using namespace zelmora;
using namespace zelmora::display;
using namespace zelmora::display::superpic;

namespace {

QImage filled(QSize size, QRgb colour) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(colour);
    return img;
}

// A picture file (BMP: exact pixels) in the test's folder.
QString writePicture(const QString& name, QSize size, QRgb colour) {
    const QString path = AppPaths::join(testenv::appDir(), name);
    filled(size, colour).save(path, "BMP");
    return path;
}

// The small demo host: a plain window holding one control of 400 × 300.
struct Host {
    Host() {
        window.resize(420, 320);
        ctl = new SuperPicCtl(&window);
        ctl->setGeometry(0, 0, 400, 300);
        window.show();  // a hidden widget gets its resize events only when shown
    }
    void load(QSize size, QRgb colour = qRgb(10, 20, 30), const QString& name = "pic.bmp") {
        ctl->LoadImage(writePicture(name, size, colour));
    }
    QWidget window;
    SuperPicCtl* ctl = nullptr;
};

// The main window with the "Bulls Eye" menu item.
class BullsEyeMain : public display::testing::FakeMain {
public:
    BullsEyeMain() {
        bullsEye = new QAction(QStringLiteral("Bulls Eye"), this);
        bullsEye->setCheckable(true);
    }
    QAction* menuItem(const QString& name) const override {
        return name == QLatin1String("mnuBullsEye") ? bullsEye : nullptr;
    }
    QAction* bullsEye = nullptr;
};

// Sends one mouse event to picView at a local point.
void mouse(SuperPicCtl& ctl, QEvent::Type type, QPoint at, Qt::MouseButton button,
           Qt::MouseButtons held) {
    QWidget* view = ctl.picView();
    QMouseEvent ev(type, QPointF(at), QPointF(view->mapToGlobal(at)), button, held, Qt::NoModifier);
    QApplication::sendEvent(view, &ev);
}

// A left-button drag on picView from `from` through each point of `path`.
void drag(SuperPicCtl& ctl, QPoint from, std::initializer_list<QPoint> path) {
    mouse(ctl, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    for (QPoint p : path) mouse(ctl, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton);
    mouse(ctl, QEvent::MouseButtonRelease, path.size() ? *(path.end() - 1) : from, Qt::LeftButton,
          Qt::NoButton);
}

// Every event of the control as a line, in the order raised.
struct EventLog {
    explicit EventLog(SuperPicCtl& c) {
        auto add = [this](const QString& s) { lines << s; };
        QObject::connect(&c, &SuperPicCtl::Click, [=] { add("Click"); });
        QObject::connect(&c, &SuperPicCtl::DblClick, [=] { add("DblClick"); });
        QObject::connect(&c, &SuperPicCtl::KeyDown, [=](std::int16_t& k, std::int16_t& s) {
            add(QString("KeyDown %1 %2").arg(k).arg(s));
        });
        QObject::connect(&c, &SuperPicCtl::KeyPress,
                         [=](std::int16_t& k) { add(QString("KeyPress %1").arg(k)); });
        QObject::connect(&c, &SuperPicCtl::KeyUp, [=](std::int16_t& k, std::int16_t& s) {
            add(QString("KeyUp %1 %2").arg(k).arg(s));
        });
        auto m = [=](const char* name) {
            return [=](std::int16_t& b, std::int16_t& s, float& x, float& y) {
                add(QString("%1 %2 %3 %4 %5").arg(name).arg(b).arg(s).arg(x).arg(y));
            };
        };
        QObject::connect(&c, &SuperPicCtl::MouseDown, m("MouseDown"));
        QObject::connect(&c, &SuperPicCtl::MouseMove, m("MouseMove"));
        QObject::connect(&c, &SuperPicCtl::MouseUp, m("MouseUp"));
        QObject::connect(&c, &SuperPicCtl::Paint, [=] { add("Paint"); });
        QObject::connect(&c, &SuperPicCtl::Resize, [=] { add("Resize"); });
        QObject::connect(&c, &SuperPicCtl::Scroll, [=] { add("Scroll"); });
        QObject::connect(&c, &SuperPicCtl::ZoomChanged,
                         [=](std::int32_t z) { add(QString("ZoomChanged %1").arg(z)); });
        QObject::connect(&c, &SuperPicCtl::ZoomInClick, [=] { add("ZoomInClick"); });
        QObject::connect(&c, &SuperPicCtl::ZoomOutClick, [=] { add("ZoomOutClick"); });
    }
    // The lines without repaints (their number depends on the windowing system).
    QStringList withoutPaints() const {
        QStringList out;
        for (const QString& l : lines)
            if (l != "Paint") out << l;
        return out;
    }
    QStringList lines;
};

// The host's zoom steps: doubling and halving on the quick-bar buttons.
void stepOnQuickBar(SuperPicCtl& ctl) {
    QObject::connect(&ctl, &SuperPicCtl::ZoomInClick, &ctl,
                     [&ctl] { ctl.New_Zoom(ctl.Zoom() * 2); });
    QObject::connect(&ctl, &SuperPicCtl::ZoomOutClick, &ctl,
                     [&ctl] { ctl.New_Zoom(ctl.Zoom() / 2); });
}

}  // namespace

// ---- geometry without a window ----------------------------------------------

TEST(SuperPicLayoutTest, BarRangeAndPlacementForEachPictureSize) {
    struct Case {
        int main, view;
        bool visible;
        int max, value, pos;
    } cases[] = {
        {400, 300, false, 0, 0, 50},  // fits: centred, no bar
        {400, 383, false, 0, 0, 8},   // 17 / 2 = 8.5 → 8
        {400, 384, true, -4, -2, 0},  // exactly main − thumb: the test is strict
        {400, 390, true, -10, -5, 0},
        {400, 400, true, -20, -10, 0},
        {400, 52224, true, -51844, -25922, 0},  // far past 16 bits at 1600 %
        {400, 0, false, 0, 0, 200},
    };
    for (const Case& c : cases) {
        const BarRange r = arrangeBar(c.main, c.view, kCxHThumb);
        EXPECT_EQ(r.visible, c.visible) << c.view;
        if (c.visible) {
            EXPECT_EQ(r.max, c.max) << c.view;
            EXPECT_EQ(r.value, c.value) << c.view;
        } else {
            EXPECT_EQ(r.viewPos, c.pos) << c.view;
        }
    }
}

TEST(SuperPicLayoutTest, BarRectanglesFollowTheOtherBar) {
    struct Case {
        bool h, v;
        QRect hRect, vRect;
    } cases[] = {
        {true, true, {0, 281, 382, 16}, {381, 0, 16, 282}},
        {false, true, {0, 281, 382, 16}, {381, 0, 16, 297}},
        {true, false, {0, 281, 397, 16}, {381, 0, 16, 282}},
        {false, false, {0, 281, 397, 16}, {381, 0, 16, 297}},
    };
    for (const Case& c : cases) {
        const BarLayout l = layoutBars(400, 300, c.h, c.v, 16, 16);
        EXPECT_EQ(l.h, c.hRect) << c.h << c.v;
        EXPECT_EQ(l.v, c.vRect) << c.h << c.v;
    }
}

TEST(SuperPicLayoutTest, ResetPositionAndZoomRange) {
    EXPECT_EQ(resetPosition(400, 300), 42);  // (400 − 300 − 16) / 2
    EXPECT_EQ(resetPosition(400, 400), 0);
    EXPECT_EQ(resetPosition(400, 500), -50);
    EXPECT_EQ(clampZoom(0), kMinZoom);
    EXPECT_EQ(clampZoom(-20), kMinZoom);
    EXPECT_EQ(clampZoom(1e9), kMaxZoom);
    EXPECT_EQ(clampZoom(std::nan("")), kMinZoom);
    EXPECT_EQ(clampZoom(250), 250);
    EXPECT_EQ(zoomedExtent(150, 201), 302);  // 301.5 → 302
    EXPECT_EQ(zoomedExtent(1, 10), 0);
}

// ---- layout on the control --------------------------------------------------

TEST(SuperPicCtlTest, BarsShowOnlyForTheDirectionThePictureOverflows) {
    struct Case {
        QSize picture;
        bool h, v, corner;
        QPoint viewPos;
        int hMax, vMax;
        QRect hRect, vRect;
    } cases[] = {
        {{300, 200}, false, false, false, {50, 50}, 0, 0, {0, 281, 397, 16}, {381, 0, 16, 297}},
        {{384, 284}, true, true, true, {-2, -2}, -4, -4, {0, 281, 382, 16}, {381, 0, 16, 282}},
        {{390, 100}, true, false, false, {-5, 100}, -10, 0, {0, 281, 397, 16}, {381, 0, 16, 282}},
        {{100, 290}, false, true, false, {150, -5}, 0, -10, {0, 281, 382, 16}, {381, 0, 16, 297}},
        {{600, 400},
         true,
         true,
         true,
         {-110, -60},
         -220,
         -120,
         {0, 281, 382, 16},
         {381, 0, 16, 282}},
    };
    for (const Case& c : cases) {
        Host host;
        host.ctl->setPicture(filled(c.picture, qRgb(1, 2, 3)));
        SuperPicCtl& ctl = *host.ctl;
        const QString what = QString("%1x%2").arg(c.picture.width()).arg(c.picture.height());
        EXPECT_EQ(!ctl.hscPicture()->isHidden(), c.h) << what.toStdString();
        EXPECT_EQ(!ctl.vscPicture()->isHidden(), c.v) << what.toStdString();
        EXPECT_EQ(!ctl.picTemp()->isHidden(), c.corner) << what.toStdString();
        EXPECT_EQ(ctl.picView()->pos(), c.viewPos) << what.toStdString();
        if (c.h) EXPECT_EQ(ctl.hBar().max(), c.hMax) << what.toStdString();
        if (c.v) EXPECT_EQ(ctl.vBar().max(), c.vMax) << what.toStdString();
        EXPECT_EQ(ctl.hscPicture()->geometry(), c.hRect) << what.toStdString();
        EXPECT_EQ(ctl.vscPicture()->geometry(), c.vRect) << what.toStdString();
        if (c.corner) EXPECT_EQ(ctl.picTemp()->geometry(), QRect(382, 282, 16, 16));
    }
}

TEST(SuperPicCtlTest, AnEmptyControlShowsNoBarsAtAnySize) {
    Host host;
    for (QSize s : {QSize(400, 300), QSize(30, 20)}) {
        host.ctl->resize(s);
        EXPECT_TRUE(host.ctl->hscPicture()->isHidden()) << s.width();
        EXPECT_TRUE(host.ctl->vscPicture()->isHidden()) << s.width();
        EXPECT_FALSE(host.ctl->picView()->isVisible());
    }
    host.ctl->New_Zoom(300);  // no picture: nothing to render
    EXPECT_EQ(host.ctl->renderCount(), 0);
}

TEST(SuperPicCtlTest, ResizingTheControlLaysTheBarsOutAgain) {
    Host host;
    host.ctl->setPicture(filled({390, 100}, qRgb(1, 2, 3)));
    EventLog log(*host.ctl);
    host.ctl->resize(500, 300);  // now the picture fits across
    EXPECT_EQ(log.withoutPaints(), QStringList{"Resize"});
    EXPECT_TRUE(host.ctl->hscPicture()->isHidden());
    EXPECT_EQ(host.ctl->picView()->x(), 55);
    EXPECT_EQ(host.ctl->PicWidth(), 500);
    EXPECT_EQ(host.ctl->PicHeight(), 300);
}

// ---- zoom -------------------------------------------------------------------

TEST(SuperPicCtlTest, ZoomTakesNewValuesOnceWithinItsLimits) {
    Host host;
    QSignalSpy spy(host.ctl, &SuperPicCtl::ZoomChanged);
    host.load({200, 100});
    ASSERT_EQ(spy.count(), 1);  // the first load: 0 → 100
    EXPECT_EQ(spy.takeFirst().at(0).toInt(), 100);
    struct Case {
        double set;
        int event;  // -1: none
        double zoom;
        QSize view;
    } cases[] = {
        {150, 150, 150, {300, 150}},
        {150, -1, 150, {300, 150}},
        {33.5, 34, 33.5, {67, 34}},
        {32.5, 32, 32.5, {65, 32}},
        {5000, 1600, 1600, {3200, 1600}},
        {1600, -1, 1600, {3200, 1600}},
        {0, 1, 1, {2, 1}},
        {-5, -1, 1, {2, 1}},
        {100, 100, 100, {200, 100}},
    };
    for (const Case& c : cases) {
        const int renders = host.ctl->renderCount();
        host.ctl->New_Zoom(c.set);
        if (c.event < 0) {
            EXPECT_EQ(spy.count(), 0) << c.set;
            EXPECT_EQ(host.ctl->renderCount(), renders) << "rendered again at " << c.set;
        } else {
            ASSERT_EQ(spy.count(), 1) << c.set;
            EXPECT_EQ(spy.takeFirst().at(0).toInt(), c.event) << c.set;
        }
        spy.clear();
        EXPECT_EQ(host.ctl->Zoom(), c.zoom) << c.set;
        EXPECT_EQ(host.ctl->picView()->size(), c.view) << c.set;
    }
}

TEST(SuperPicCtlTest, QuickBarStepsStopAtTheLimits) {
    Host host;
    host.load({200, 100});
    stepOnQuickBar(*host.ctl);
    host.ctl->setAllowZoomIn(true);
    host.ctl->setAllowZoomOut(true);
    host.ctl->setUseQuickBar(true);
    host.ctl->quickBarTick(host.ctl->picView());
    ASSERT_TRUE(host.ctl->zoomInButton()->isEnabled());
    QSignalSpy spy(host.ctl, &SuperPicCtl::ZoomChanged);
    auto events = [&] {
        QList<int> out;
        for (const auto& args : spy) out << args.at(0).toInt();
        spy.clear();
        return out;
    };
    for (int i = 0; i < 6; ++i) host.ctl->zoomInButton()->click();
    EXPECT_EQ(events(), (QList<int>{200, 400, 800, 1600}));
    EXPECT_EQ(host.ctl->Zoom(), 1600);
    EXPECT_EQ(host.ctl->picView()->size(), QSize(3200, 1600));
    for (int i = 0; i < 13; ++i) host.ctl->zoomOutButton()->click();
    // 12.5 and 1.5625 are rounded half to even; 0.78 is brought up to 1.
    EXPECT_EQ(events(), (QList<int>{800, 400, 200, 100, 50, 25, 12, 6, 3, 2, 1}));
    EXPECT_EQ(host.ctl->Zoom(), 1);
}

TEST(SuperPicCtlTest, PictureSetWithoutAFileIsNotResizedByZoom) {
    Host host;
    host.ctl->setPicture(filled({200, 100}, qRgb(1, 2, 3)));
    EXPECT_EQ(host.ctl->Zoom(), 100);
    host.ctl->New_Zoom(200);
    EXPECT_EQ(host.ctl->picView()->size(), QSize(200, 100));
    EXPECT_EQ(host.ctl->renderCount(), 0);
    // After one load of any file, zooming works for a later Picture as well.
    host.load({10, 10}, qRgb(0, 0, 0), "any.bmp");
    host.ctl->setPicture(filled({200, 100}, qRgb(1, 2, 3)));
    host.ctl->New_Zoom(50);
    EXPECT_EQ(host.ctl->picView()->size(), QSize(100, 50));
}

TEST(SuperPicCtlTest, LargestZoomOfAnEightMegapixelPictureKeepsOnlyThePicture) {
    Host host;
    host.ctl->setPicture(QImage());  // nothing shown yet
    host.load({3264, 2448}, qRgb(40, 50, 60), "big.bmp");
    host.ctl->New_Zoom(kMaxZoom);
    EXPECT_EQ(host.ctl->picView()->size(), QSize(52224, 39168));
    EXPECT_EQ(host.ctl->Picture().sizeInBytes(), qsizetype(3264) * 2448 * 4);
    // The bars reach the far corner of the virtual size.
    EXPECT_EQ(host.ctl->hBar().max(), -(52224 - 384 + 4));
    ASSERT_TRUE(host.ctl->hBar().setValue(host.ctl->hBar().max()));
    EXPECT_TRUE(host.ctl->Image().isNull());  // the whole view is never made
    // A paint draws the part in sight, scaled.
    const QImage shot = host.window.grab(QRect(10, 10, 100, 100)).toImage();
    EXPECT_EQ(shot.pixel(50, 50) & 0xFFFFFF, qRgb(40, 50, 60) & 0xFFFFFF);
}

// ---- loading ----------------------------------------------------------------

TEST(SuperPicCtlTest, LoadImageCancelledOrFailedKeepsThePicture) {
    Host host;
    host.load({200, 100}, qRgb(9, 9, 9), "first.bmp");
    const QString first = host.ctl->fileName();
    host.ctl->New_Zoom(150);
    testenv::dialogs().expectOpenFile("");
    host.ctl->LoadImage("");
    ASSERT_FALSE(testenv::dialogs().shown().empty());
    EXPECT_EQ(testenv::dialogs().shown().back().text, "Open Image");
    EXPECT_EQ(host.ctl->fileName(), first);
    EXPECT_EQ(host.ctl->Zoom(), 150);
    EXPECT_EQ(host.ctl->picView()->size(), QSize(300, 150));
    EXPECT_EQ(state().sCurrentProc, "Super Pic ctl Loadimage");

    // A file that cannot be read: the path is taken, the picture stays.
    const QString bad = AppPaths::join(testenv::appDir(), "missing.jpg");
    host.ctl->LoadImage(bad);
    EXPECT_EQ(host.ctl->fileName(), bad);
    EXPECT_EQ(host.ctl->Picture().size(), QSize(200, 100));
    EXPECT_EQ(host.ctl->Zoom(), 150);

    // The dialog's choice is loaded and shown at 100 %.
    const QString next = writePicture("next.bmp", {50, 40}, qRgb(1, 1, 1));
    testenv::dialogs().expectOpenFile(next);
    host.ctl->LoadImage("");
    EXPECT_EQ(host.ctl->fileName(), next);
    EXPECT_EQ(host.ctl->Zoom(), 100);
    EXPECT_EQ(host.ctl->origWidth(), 50);
    EXPECT_EQ(host.ctl->origHeight(), 40);
}

// The file chooser lets events run: the host may be gone when it returns.
TEST(SuperPicCtlTest, AHostGoneWhileAFileIsChosenIsLeftAlone) {
    auto* window = new QWidget;
    QPointer<SuperPicCtl> ctl = new SuperPicCtl(window);
    testenv::dialogs()
        .expectOpenFile(writePicture("next.bmp", {50, 40}, qRgb(1, 1, 1)))
        .whileShowing([window] {
            window->deleteLater();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        });
    ctl->LoadImage("");
    EXPECT_TRUE(ctl.isNull());
}

TEST(SuperPicCtlTest, UnloadKeepsTheZoomAndTheTimerEnablesTheButtonsAgain) {
    Host host;
    host.load({200, 100});
    host.ctl->New_Zoom(200);
    host.ctl->setAllowZoomIn(true);
    host.ctl->setUseQuickBar(true);
    host.ctl->quickBarTick(host.ctl->picView());
    EXPECT_TRUE(host.ctl->tbrQuickFloat()->isVisibleTo(host.ctl));
    host.ctl->UnloadImage();
    EXPECT_FALSE(host.ctl->PictureLoaded());
    EXPECT_EQ(host.ctl->Zoom(), 200);
    EXPECT_TRUE(host.ctl->fileName().isEmpty());
    EXPECT_EQ(host.ctl->origWidth(), 0);
    EXPECT_FALSE(host.ctl->zoomInButton()->isEnabled());
    EXPECT_FALSE(host.ctl->zoomOutButton()->isEnabled());
    // Elsewhere now, but with no picture the bar keeps its visibility.
    host.ctl->quickBarTick(&host.window);
    EXPECT_TRUE(host.ctl->zoomInButton()->isEnabled());
    EXPECT_FALSE(host.ctl->zoomOutButton()->isEnabled());
    EXPECT_TRUE(host.ctl->tbrQuickFloat()->isVisibleTo(host.ctl));
}

TEST(SuperPicCtlTest, QuickBarShowsOnlyOverTheControlAndOnlyWhenManaged) {
    Host host;
    host.load({200, 100});
    QWidget* bar = host.ctl->tbrQuickFloat();
    host.ctl->quickBarTick(host.ctl->picView());  // not managed: nothing happens
    EXPECT_FALSE(bar->isVisibleTo(host.ctl));
    host.ctl->setUseQuickBar(true);
    struct Case {
        QWidget* under;
        bool visible;
    } cases[] = {
        {host.ctl->picView(), true},
        {&host.window, false},
        {host.ctl->picMain(), true},
        {nullptr, false},
        {host.ctl->zoomOutButton(), true},
        {host.ctl->picTemp(), true},
        {host.ctl, true},
    };
    for (const Case& c : cases) {
        host.ctl->quickBarTick(c.under);
        EXPECT_EQ(bar->isVisibleTo(host.ctl), c.visible)
            << (c.under ? c.under->objectName().toStdString() : "none");
    }
    // The 100 ms timer runs the same refresh.
    EXPECT_TRUE(host.ctl->timToolbar()->isRunning());
    EXPECT_EQ(host.ctl->timToolbar()->interval(), 100);
}

// ---- pan, position, keys ----------------------------------------------------

TEST(SuperPicCtlTest, DragPansWithinTheBarRange) {
    struct Case {
        int startH, startV;
        std::vector<QPoint> path;  // from (200, 150)
        int h, v;
    } cases[] = {
        {-50, -60, {{190, 150}}, -40, -60},  // 10 left: the picture moves right
        {-50, -60, {{210, 150}}, -60, -60},
        {-50, -60, {{200, 140}}, -50, -50},
        {0, -60, {{190, 150}}, 0, -60},               // out of range: refused
        {0, -60, {{190, 150}, {195, 150}}, -5, -60},  // the offsets moved all the same
        {-215, -60, {{220, 150}}, -215, -60},         // past the maximum: refused
        {-50, -60, {{190, 145}, {180, 140}}, -30, -50},
    };
    for (const Case& c : cases) {
        Host host;
        host.ctl->setPicture(filled({600, 400}, qRgb(1, 2, 3)));
        host.ctl->setPanActive(true);
        SuperPicCtl& ctl = *host.ctl;
        ASSERT_TRUE(ctl.hBar().setValue(c.startH));
        ASSERT_TRUE(ctl.vBar().setValue(c.startV));
        // picView moves as the bars change, so every point is given in
        // picMain's coordinates and mapped to picView's at the time.
        mouse(ctl, QEvent::MouseButtonPress,
              ctl.picView()->mapFrom(ctl.picMain(), QPoint(200, 150)), Qt::LeftButton,
              Qt::LeftButton);
        EXPECT_TRUE(ctl.panning());
        for (QPoint p : c.path)
            mouse(ctl, QEvent::MouseMove, ctl.picView()->mapFrom(ctl.picMain(), p), Qt::NoButton,
                  Qt::LeftButton);
        mouse(ctl, QEvent::MouseButtonRelease, ctl.picView()->mapFrom(ctl.picMain(), c.path.back()),
              Qt::LeftButton, Qt::NoButton);
        EXPECT_FALSE(ctl.panning());
        EXPECT_EQ(ctl.hBar().value(), c.h) << c.startH << " to " << c.path.back().x();
        EXPECT_EQ(ctl.vBar().value(), c.v) << c.startV << " to " << c.path.back().y();
        EXPECT_EQ(ctl.picView()->pos(), QPoint(c.h, c.v));
    }
}

TEST(SuperPicCtlTest, NoPanWithoutBarsOrWithoutPanActiveOrWithAnotherButton) {
    Host small;
    small.ctl->setPicture(filled({100, 100}, qRgb(1, 2, 3)));
    small.ctl->setPanActive(true);
    mouse(*small.ctl, QEvent::MouseButtonPress, {50, 50}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_FALSE(small.ctl->panning());

    Host big;
    big.ctl->setPicture(filled({600, 400}, qRgb(1, 2, 3)));
    mouse(*big.ctl, QEvent::MouseButtonPress, {50, 50}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_FALSE(big.ctl->panning());  // PanActive is off
    mouse(*big.ctl, QEvent::MouseButtonRelease, {50, 50}, Qt::LeftButton, Qt::NoButton);
    big.ctl->setPanActive(true);
    mouse(*big.ctl, QEvent::MouseButtonPress, {50, 50}, Qt::RightButton, Qt::RightButton);
    EXPECT_FALSE(big.ctl->panning());
    mouse(*big.ctl, QEvent::MouseButtonRelease, {50, 50}, Qt::RightButton, Qt::NoButton);
    // The host may change the button before the control goes on.
    QObject::connect(big.ctl, &SuperPicCtl::MouseDown,
                     [](std::int16_t& b, std::int16_t&, float&, float&) { b = 2; });
    mouse(*big.ctl, QEvent::MouseButtonPress, {50, 50}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_FALSE(big.ctl->panning());
}

TEST(SuperPicCtlTest, StoreAndRecallPosition) {
    struct Case {
        const char* what;
        std::function<void(SuperPicCtl&)> between;
        QPoint expected;  // bar values after RecallPosition
    } cases[] = {
        {"moved",
         [](SuperPicCtl& c) {
             c.hBar().setValue(-7);
             c.vBar().setValue(-9);
         },
         {-50, -30}},
        {"zoomed: maxima differ", [](SuperPicCtl& c) { c.New_Zoom(200); }, {-410, -260}},
        {"resized: maxima differ",
         [](SuperPicCtl& c) {
             c.resize(500, 300);
             c.hBar().setValue(-1);
         },
         {-1, -60}},  // the resize centred the vertical bar again
    };
    for (const Case& c : cases) {
        Host host;
        host.load({600, 400});
        SuperPicCtl& ctl = *host.ctl;
        ctl.hBar().setValue(-50);
        ctl.vBar().setValue(-30);
        ctl.StorePosition();
        c.between(ctl);
        ctl.RecallPosition();
        EXPECT_EQ(QPoint(ctl.hBar().value(), ctl.vBar().value()), c.expected) << c.what;
        EXPECT_EQ(ctl.picView()->pos(), c.expected) << c.what;
    }
    // Before any StorePosition: only a picture without bars (both maxima 0).
    Host fresh;
    fresh.ctl->setPicture(filled({600, 400}, qRgb(1, 2, 3)));
    fresh.ctl->RecallPosition();
    EXPECT_EQ(fresh.ctl->hBar().value(), -110);
}

TEST(SuperPicCtlTest, ArrowKeysOnTheControlMoveTheFocusOnlyWhenTheBarIsNotAtZero) {
    struct Case {
        int h, v;
        Qt::Key key;
        bool msgBox;
        const char* focus;  // objectName of the host's focus widget, "" = none
    } cases[] = {
        {0, -5, Qt::Key_Right, false, ""},  // the test is on the horizontal value
                                            // no:
        {-5, 0, Qt::Key_Left, false, "hscPicture"},
        {-5, 0, Qt::Key_Right, true, ""},
        {0, -5, Qt::Key_Down, false, "vscPicture"},
        {0, 0, Qt::Key_Up, false, ""},
        {-5, -5, Qt::Key_Up, false, "vscPicture"},
    };
    for (const Case& c : cases) {
        Host host;
        host.ctl->setPicture(filled({600, 400}, qRgb(1, 2, 3)));
        host.ctl->hBar().setValue(c.h);
        host.ctl->vBar().setValue(c.v);
        state().bMsgBoxShowing = c.msgBox;
        QKeyEvent ev(QEvent::KeyPress, c.key, Qt::NoModifier);
        QApplication::sendEvent(host.ctl, &ev);
        QWidget* f = host.window.focusWidget();
        EXPECT_EQ(f ? f->objectName() : QString(), QString(c.focus))
            << c.h << " " << c.v << " " << c.key;
        state().bMsgBoxShowing = false;
    }
}

TEST(SuperPicCtlTest, BarsMoveThePictureAndOnlyTheHorizontalThumbRaisesScroll) {
    Host host;
    host.ctl->setPicture(filled({600, 400}, qRgb(1, 2, 3)));
    EventLog log(*host.ctl);
    QScrollBar* h = host.ctl->hscPicture();
    QScrollBar* v = host.ctl->vscPicture();
    h->setSliderDown(true);
    h->setSliderPosition(-20);
    h->setSliderDown(false);
    v->setSliderDown(true);
    v->setSliderPosition(-7);
    v->setSliderDown(false);
    EXPECT_EQ(log.withoutPaints(), QStringList{"Scroll"});
    EXPECT_EQ(host.ctl->picView()->pos(), QPoint(-20, -7));
    EXPECT_EQ(host.ctl->hBar().value(), -20);
}

// ---- overlay ----------------------------------------------------------------

TEST(SuperPicCtlTest, CrosshairMergesWhiteMarksAndLeavesTheRest) {
    Host host;
    host.load({200, 150}, qRgb(10, 20, 30));
    host.ctl->xhairon();
    EXPECT_TRUE(host.ctl->XHairsOn());
    // Centre: 200 / 2 − 85 / 2 = 57.5 → 58, 150 / 2 − 42.5 = 32.5 → 32 (half to even);
    // the crosshair's lines run through its column and row 42.
    EXPECT_EQ(host.ctl->overlayRect(), QRect(58, 32, 85, 85));
    const QImage img = host.ctl->Image();
    const QRgb ground = qRgb(10, 20, 30), mark = qRgb(255, 255, 255);
    struct Case {
        QPoint at;
        QRgb expected;
    } cases[] = {
        {{100, 32}, mark},  {{100, 116}, mark},  {{58, 74}, mark},    {{142, 74}, mark},
        {{100, 74}, mark},  {{58, 32}, ground},  {{99, 40}, ground},  {{101, 40}, ground},
        {{57, 74}, ground}, {{143, 74}, ground}, {{100, 31}, ground}, {{100, 117}, ground},
        {{0, 0}, ground},
    };
    for (const Case& c : cases)
        EXPECT_EQ(img.pixel(c.at), c.expected) << c.at.x() << "," << c.at.y();
    // Merging twice gives the same pixels.
    host.ctl->xhairon();
    EXPECT_EQ(host.ctl->Image(), img);
    // Rendering again takes it away.
    host.ctl->xhairoff();
    EXPECT_EQ(host.ctl->Image().pixel(100, 74), ground);
}

TEST(SuperPicCtlTest, BullsEyeMergeIsNotSourceOrDestination) {
    BullsEyeMain main;
    main.bullsEye->setChecked(true);
    Host host;
    const QRgb ground = qRgb(0x12, 0x80, 0xE1);
    host.load({300, 240}, ground);
    host.ctl->xhairon();
    // (300 − 218) / 2 = 41; (240 − 218) / 2 = 11.
    ASSERT_EQ(host.ctl->overlayRect(), QRect(41, 11, 218, 218));
    const QImage& art = AAImageView::bullsEyePicture();
    const QImage img = host.ctl->Image();
    int marked = 0;
    for (int y = 0; y < art.height(); ++y)
        for (int x = 0; x < art.width(); ++x) {
            const QRgb a = art.pixel(x, y);
            const QRgb expected =
                qRgb(qRed(ground) | (255 - qRed(a)), qGreen(ground) | (255 - qGreen(a)),
                     qBlue(ground) | (255 - qBlue(a)));
            if (expected != ground) ++marked;
            ASSERT_EQ(img.pixel(41 + x, 11 + y), expected) << x << "," << y;
        }
    EXPECT_GT(marked, 500);  // rings and cross are there
    EXPECT_EQ(img.pixel(40, 11), ground);
    EXPECT_EQ(img.pixel(259, 120), ground);
}

TEST(SuperPicCtlTest, OverlayFollowsZoomButNotANewLoadAtOneHundred) {
    Host host;
    host.load({200, 150});
    host.ctl->xhairon();
    host.ctl->New_Zoom(200);  // checkXhair re-applies it on the zoomed view
    EXPECT_EQ(host.ctl->overlayRect(), QRect(158, 108, 85, 85));
    host.ctl->New_Zoom(100);
    // A new picture while the zoom is already 100: no render, no overlay.
    QSignalSpy spy(host.ctl, &SuperPicCtl::ZoomChanged);
    host.load({100, 80}, qRgb(5, 5, 5), "second.bmp");
    EXPECT_EQ(spy.count(), 0);
    EXPECT_TRUE(host.ctl->XHairsOn());
    EXPECT_TRUE(host.ctl->overlayRect().isEmpty());
    host.ctl->checkXhair();
    EXPECT_FALSE(host.ctl->overlayRect().isEmpty());

    // xhairoff with no file name cannot render, so the overlay stays.
    Host bare;
    bare.ctl->setPicture(filled({200, 150}, qRgb(1, 2, 3)));
    bare.ctl->xhairon();
    bare.ctl->xhairoff();
    EXPECT_FALSE(bare.ctl->XHairsOn());
    EXPECT_FALSE(bare.ctl->overlayRect().isEmpty());
}

TEST(SuperPicCtlTest, PaintPictureAndClsDrawOnTheView) {
    Host host;
    host.load({100, 100}, qRgb(0, 0, 0));
    host.ctl->PaintPicture(filled({10, 10}, qRgb(200, 100, 50)), 5, 5);
    host.ctl->PaintPicture(filled({10, 10}, qRgb(0x0F, 0xF0, 0x00)), 50, 50, 20, 20, 0, 0, 10, 10,
                           0xBB0226);
    QImage img = host.ctl->Image();
    EXPECT_EQ(img.pixel(6, 6), qRgb(200, 100, 50));
    EXPECT_EQ(img.pixel(69, 69), qRgb(0xF0, 0x0F, 0xFF));  // NOT source OR black
    EXPECT_EQ(img.pixel(71, 71), qRgb(0, 0, 0));
    host.ctl->PaintPicture(QImage(), 0, 0);  // ignored
    host.ctl->Cls();
    img = host.ctl->Image();
    EXPECT_EQ(img.pixel(6, 6), qRgb(0, 0, 0));  // the picture itself stays
}

// ---- events -----------------------------------------------------------------

TEST(SuperPicCtlTest, EventsOfAClickADragAndAZoomInOrder) {
    Host host;
    host.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host.window));
    host.load({600, 400});
    host.ctl->setPanActive(true);
    QApplication::processEvents();
    EventLog log(*host.ctl);
    stepOnQuickBar(*host.ctl);  // after the log: the host answers the click it sees

    mouse(*host.ctl, QEvent::MouseButtonPress, {300, 200}, Qt::LeftButton, Qt::LeftButton);
    mouse(*host.ctl, QEvent::MouseButtonRelease, {300, 200}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(log.lines, (QStringList{"MouseDown 1 0 300 200", "MouseUp 1 0 300 200", "Click"}));
    log.lines.clear();

    // The picture moves under the cursor: the second point is where the
    // cursor is over picView after the first step.
    drag(*host.ctl, {300, 200}, {{290, 200}, {300, 200}});
    EXPECT_EQ(log.lines, (QStringList{"MouseDown 1 0 300 200", "MouseMove 1 0 290 200",
                                      "MouseMove 1 0 300 200", "MouseUp 1 0 300 200", "Click"}));
    EXPECT_EQ(host.ctl->hBar().value(), -110 + 10 - 20);
    log.lines.clear();

    mouse(*host.ctl, QEvent::MouseButtonDblClick, {10, 10}, Qt::LeftButton, Qt::LeftButton);
    mouse(*host.ctl, QEvent::MouseButtonRelease, {10, 10}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(log.lines, (QStringList{"DblClick", "MouseUp 1 0 10 10"}));
    log.lines.clear();

    host.ctl->setAllowZoomIn(true);
    host.ctl->setUseQuickBar(true);
    host.ctl->quickBarTick(host.ctl->picView());
    host.ctl->zoomInButton()->click();
    QApplication::processEvents();
    ASSERT_GE(log.lines.size(), 3);
    EXPECT_EQ(log.lines.mid(0, 2), (QStringList{"ZoomInClick", "ZoomChanged 200"}));
    EXPECT_EQ(log.lines.back(), "Paint");
    log.lines.clear();

    QTest::keyClick(host.ctl->picView(), Qt::Key_A);
    EXPECT_EQ(log.lines, (QStringList{"KeyDown 65 0", "KeyPress 97", "KeyUp 65 0"}));
}

// ---- saved properties ---------------------------------------------------------

TEST(SuperPicCtlTest, PropertiesReadWithDefaultsAndWrittenBack) {
    Host host;
    QSignalSpy changed(host.ctl, &SuperPicCtl::PropertyChanged);
    host.ctl->ReadProperties({});
    EXPECT_EQ(changed.count(), 0);
    SuperPicCtl::PropertyBag bag;
    host.ctl->WriteProperties(bag);
    const SuperPicCtl::PropertyBag defaults{
        {"AutoRedraw", true},   {"BackColor", qlonglong(0x8000000C)},
        {"Enabled", true},      {"MousePointer", 0},
        {"AllowZoomIn", false}, {"AllowZoomOut", false},
        {"UseQuickBar", false}, {"PanActive", false}};
    EXPECT_EQ(bag, defaults);

    const SuperPicCtl::PropertyBag saved{
        {"AutoRedraw", false}, {"BackColor", qlonglong(0x00336699)},
        {"Enabled", false},    {"MousePointer", 2},
        {"AllowZoomIn", true}, {"AllowZoomOut", true},
        {"UseQuickBar", true}, {"PanActive", true}};
    Host other;
    other.ctl->ReadProperties(saved);
    SuperPicCtl::PropertyBag back;
    other.ctl->WriteProperties(back);
    EXPECT_EQ(back, saved);
    EXPECT_FALSE(other.ctl->isEnabled());
    EXPECT_EQ(other.ctl->picView()->cursor().shape(), Qt::BitmapCursor);  // the pan arrow
    EXPECT_EQ(other.ctl->picView()->cursor().hotSpot(), QPoint(8, 7));

    // A value that does not read as its type falls back to its default.
    Host third;
    third.ctl->ReadProperties({{"MousePointer", "lots"}, {"BackColor", "blue"}});
    EXPECT_EQ(third.ctl->MousePointer(), 0);
    EXPECT_EQ(third.ctl->BackColor(), SuperPicCtl::kAppWorkspaceColour);

    // Lets mark the key changed.
    host.ctl->setPanActive(true);
    host.ctl->New_BackColor(0x0000FF);
    ASSERT_EQ(changed.count(), 2);
    EXPECT_EQ(changed.at(0).at(0).toString(), "PanActive");
    EXPECT_EQ(changed.at(1).at(0).toString(), "BackColor");
}
