// The program's windows on the real main window: how they end, where they open,
// what the program's own raises do to the window the user works in, and whether
// their texts can be read. Every window is the real one, on the simulators.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDebug>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <optional>

#include "cables/CableSetup.h"
#include "cables/CablesWindows.h"
#include "camera/CameraWindows.h"
#include "camera/clsCamera.h"
#include "camera/frmCameraControl.h"
#include "capture/CaptureWindows.h"
#include "capture/ctlProgress.h"
#include "capture/frmCapture.h"
#include "capture/frmExpCalc.h"
#include "display/DisplayWindows.h"
#include "display/ScrollingImage.h"
#include "display/frmImageDisp.h"
#include "focus/FocusWindows.h"
#include "image/cDIBSection.h"
#include "image/synth/StarRenderer.h"
#include "mainwindow/MDIMain.h"
#include "platform/automation/ClassRegistry.h"
#include "platform/drivers/DriverRegistry.h"
#include "platform/os/Dialogs.h"
#include "platform/os/PointerScreen.h"
#include "platform/rcsdk/SimCamera.h"
#include "platform/sim/SimSky.h"
#include "shell/AppPaths.h"
#include "shell/Globals.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"
#include "sky/SkyWindows.h"
#include "testing/TestEnv.h"

using namespace zelmora;

namespace {

// The child windows of the main window, as the menus and the roads open them.
const QStringList kChildWindows = {
    Win::frmCameraControl,  Win::frmImageDisp, Win::frmAnalyze,   Win::frmAutofocus,
    Win::frmAutoFocusRslts, Win::frmImage1,    Win::frmHistogram, Win::frmCapture,
    Win::frmAutomate,       Win::frmExpCalc,   Win::frmMoonPhase, Win::frmScopeControl,
    Win::frmCustomObjects};

QString plain(QString text) {
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(u'&');
    text.replace(u'\x01', u'&');
    return text;
}

int textWidth(const QFontMetrics& fm, const QString& text) {
    int w = 0;
    for (const QString& line : plain(text).split(u'\n'))
        w = std::max(w, fm.horizontalAdvance(line));
    return w;
}

// Room a window manager takes from a top-level window's title bar.
constexpr int kTitleBarAllowance = 140;

// Where a label draws its text, in its parent's coordinates.
QRect labelTextRect(const QLabel* l) {
    const QFontMetrics fm(l->font());
    QRect cr = l->contentsRect();
    const int m = l->margin();
    cr.adjust(m, m, -m, -m);
    const QStringList lines = plain(l->text()).split(u'\n');
    const QSize text(textWidth(fm, l->text()), int(lines.size()) * fm.height());
    const QRect r = QStyle::alignedRect(l->layoutDirection(), l->alignment(), text, cr);
    return r.translated(l->pos());
}

// Where a push button, check box or radio button writes its text; nullopt for
// other buttons.
std::optional<QRect> buttonTextRoom(const QAbstractButton* b) {
    QStyleOptionButton opt;
    opt.initFrom(b);
    opt.text = b->text();
    opt.icon = b->icon();
    opt.iconSize = b->iconSize();
    QStyle::SubElement contents;
    if (qobject_cast<const QPushButton*>(b))
        contents = QStyle::SE_PushButtonContents;
    else if (qobject_cast<const QCheckBox*>(b))
        contents = QStyle::SE_CheckBoxContents;
    else if (qobject_cast<const QRadioButton*>(b))
        contents = QStyle::SE_RadioButtonContents;
    else
        return std::nullopt;
    return b->style()->subElementRect(contents, &opt, b);
}

// Where a frame in the main window writes its title.
QRect titleLabelRect(const QMdiSubWindow* sub) {
    QStyleOptionTitleBar opt;
    opt.initFrom(sub);
    opt.text = sub->windowTitle();
    opt.titleBarFlags = sub->windowFlags();
    opt.titleBarState = int(sub->windowState());
    opt.subControls = QStyle::SC_All;
    opt.rect =
        QRect(0, 0, sub->width(), sub->style()->pixelMetric(QStyle::PM_TitleBarHeight, &opt, sub));
    return sub->style()->subControlRect(QStyle::CC_TitleBar, &opt, QStyle::SC_TitleBarLabel, sub);
}

// Every label, button, check box, group box title, tab and title of a window
// that its own width cuts short, or that runs into another label beside it.
QStringList cutTexts(QWidget* window) {
    QStringList cut;
    const auto report = [&](const QWidget* w, const QString& text, int needed, int room) {
        cut << QStringLiteral("%1 \"%2\" needs %3 px, has %4")
                   .arg(w->objectName().isEmpty()
                            ? QString::fromLatin1(w->metaObject()->className())
                            : w->objectName(),
                        text)
                   .arg(needed)
                   .arg(room);
    };
    std::map<QWidget*, std::vector<std::pair<const QLabel*, QRect>>> labelsByParent;
    for (QLabel* l : window->findChildren<QLabel*>()) {
        if (!l->isVisibleTo(window) || l->text().isEmpty() || !l->pixmap().isNull()) continue;
        if (l->textFormat() == Qt::RichText || Qt::mightBeRichText(l->text())) continue;
        const QFontMetrics fm(l->font());
        QRect cr = l->contentsRect();
        cr.adjust(l->margin(), l->margin(), -l->margin(), -l->margin());
        if (l->wordWrap()) {
            const int needed = l->heightForWidth(l->width());
            if (needed > l->height()) report(l, l->text(), needed, l->height());
        } else {
            const int needed = textWidth(fm, l->text());
            if (needed > cr.width()) report(l, l->text(), needed, cr.width());
            const int lines = int(l->text().count(u'\n')) + 1;
            if (lines * fm.height() > cr.height() + 2)
                report(l, l->text(), lines * fm.height(), cr.height());
            labelsByParent[l->parentWidget()].push_back({l, labelTextRect(l)});
        }
    }
    for (const auto& [parent, labels] : labelsByParent)
        for (std::size_t i = 0; i < labels.size(); ++i)
            for (std::size_t j = i + 1; j < labels.size(); ++j)
                if (labels[i].second.intersects(labels[j].second))
                    cut << QStringLiteral("\"%1\" runs into \"%2\"")
                               .arg(labels[i].first->text(), labels[j].first->text());
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
        if (!b->isVisibleTo(window) || b->text().isEmpty()) continue;
        const std::optional<QRect> contents = buttonTextRoom(b);
        if (!contents) continue;
        const int room = contents->width();
        int needed = textWidth(b->fontMetrics(), b->text());
        if (!b->icon().isNull()) needed += b->iconSize().width() + 4;
        if (needed > room) report(b, b->text(), needed, room);
    }
    for (QGroupBox* g : window->findChildren<QGroupBox*>()) {
        if (!g->isVisibleTo(window) || g->title().isEmpty()) continue;
        const int needed =
            textWidth(g->fontMetrics(), g->title()) + 2 * g->fontMetrics().horizontalAdvance(u' ');
        if (needed > g->width()) report(g, g->title(), needed, g->width());
    }
    for (QTabBar* t : window->findChildren<QTabBar*>()) {
        if (!t->isVisibleTo(window)) continue;
        for (int i = 0; i < t->count(); ++i) {
            const int needed = textWidth(t->fontMetrics(), t->tabText(i));
            if (needed > t->tabRect(i).width())
                report(t, t->tabText(i), needed, t->tabRect(i).width());
        }
    }
    QWidget* frame = frameOf(window);
    if (auto* sub = qobject_cast<QMdiSubWindow*>(frame)) {
        const QRect label = titleLabelRect(sub);
        const int needed = textWidth(QFontMetrics(QApplication::font("QMdiSubWindowTitleBar")),
                                     sub->windowTitle());
        if (needed > label.width()) report(sub, sub->windowTitle(), needed, label.width());
    } else if (frame->isWindow() && !frame->windowTitle().isEmpty()) {
        const int needed =
            textWidth(frame->fontMetrics(), frame->windowTitle()) + kTitleBarAllowance;
        if (needed > frame->width()) report(frame, frame->windowTitle(), needed, frame->width());
    }
    return cut;
}

// Once the next modal dialog is up, looks at it with `look` and dismisses it.
void onNextModal(std::function<void(QWidget*)> look) {
    QTimer::singleShot(0, [look = std::move(look)] {
        QWidget* d = QApplication::activeModalWidget();
        ASSERT_NE(d, nullptr);
        look(d);
        static_cast<QDialog*>(d)->reject();
    });
}

class WindowsOnMain : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(registryDir.isValid());
        automation::registry::setFile(registryDir.filePath("classes.json"));
        camera::frmCameraControl::setControlLibraryFolder(
            QFileInfo(QStringLiteral(VOSQUIN_LIBRARY)).absolutePath());
        simrc::setSynchronousDelivery(true);
        cursor = std::make_shared<platform::RecordingCursor>();
        platform::CursorService::setInstance(cursor);
        display::registerWindows();
        camera::registerWindows();
        focus::registerWindows();
        capture::registerWindows();
        cables::registerWindows();
        sky::registerWindows();
        cables::cableSetup().useSimulated(true);
        main = new MDIMain;
        main->Form_Load();
        main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
        // The focuser the autofocus window links to, as the user chose it before.
        Settings::save(QStringLiteral("Focuser"), QStringLiteral("ID"),
                       drivers::kSimAbsoluteFocuserId);
    }
    void TearDown() override {
        main->close();
        delete main;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        platform::CursorService::setInstance(nullptr);
        automation::registry::setFile({});
        simrc::reset();
        sim::SimSky::instance().reset();
    }

    static void settle() {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
    QMdiArea* area() const { return main->mdiArea(); }
    QWidget* open(const QString& name) {
        QWidget* w = windows().show(name);
        settle();
        return w;
    }
    QMdiSubWindow* frame(const QString& name) const {
        QWidget* w = windows().ifLoaded(name);
        return w ? qobject_cast<QMdiSubWindow*>(frameOf(w)) : nullptr;
    }
    // The frames in the main window, empty ones included.
    int openFrames() const {
        int n = 0;
        for (QMdiSubWindow* sub : area()->subWindowList())
            if (sub->isVisible()) ++n;
        return n;
    }
    void closeAll() {
        windows().closeAll();
        settle();
    }
    // A frame with one star on a dark sky, as the simulated camera writes them.
    QString starFrame(const char* name) {
        cDIBSection dib;
        dib.Create(800, 600);
        synth::renderStars(dib, {{300, 250, 4.0, 220.0}}, {5.0, 2.0, 7, false});
        const QString path = AppPaths::join(testenv::appDir(), QLatin1String(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(synth::encodeJpeg(dib, 92));
        return path;
    }

    // The boxes a window's opening brings up in a fresh folder without a camera.
    static void expectOpeningBoxes(const QString& name) {
        // The capture window asks for the camera: no camera is chosen.
        if (name == Win::frmCapture)
            testenv::dialogs().expectChoice(QStringLiteral("Communication setting"), -1);
        // No catalogue in a fresh folder: the sky windows say so and open all the same.
        if (name == Win::frmScopeControl || name == Win::frmCustomObjects)
            testenv::dialogs().expectMsgBox(QStringLiteral("Unable to load"));
    }

    QTemporaryDir registryDir;
    std::shared_ptr<platform::RecordingCursor> cursor;
    MDIMain* main = nullptr;
};

// ---- Buttons that end a window ------------------------------------------------------

TEST_F(WindowsOnMain, EveryButtonThatEndsAWindowClosesItsFrame) {
    const QStringList ending = {"Done", "Finish", "Close", "Cancel", "OK", "Ok", "End"};
    QStringList found;
    // The hosted camera control's "End" ends the camera session, not the window.
    const QStringList sessionButtons = {QStringLiteral("cmdEnd")};
    for (const QString& name : kChildWindows) {
        expectOpeningBoxes(name);
        QWidget* w = open(name);
        ASSERT_NE(w, nullptr) << name.toStdString();
        QStringList buttons;
        for (QAbstractButton* b : w->findChildren<QAbstractButton*>())
            if (ending.contains(plain(b->text()).trimmed()) && b->isVisibleTo(w) &&
                !sessionButtons.contains(b->objectName()))
                buttons << b->objectName();
        closeAll();
        for (const QString& button : buttons) {
            SCOPED_TRACE((name + u' ' + button).toStdString());
            expectOpeningBoxes(name);
            w = open(name);
            ASSERT_NE(w, nullptr);
            QPointer<QMdiSubWindow> sub = frame(name);
            ASSERT_NE(sub, nullptr);
            const int before = openFrames();
            auto* b = w->findChild<QAbstractButton*>(button);
            ASSERT_NE(b, nullptr);
            found << name + u':' + plain(b->text());
            b->click();
            settle();
            EXPECT_FALSE(windows().isLoaded(name));
            EXPECT_TRUE(sub.isNull() || !sub->isVisible()) << "an empty frame is left";
            EXPECT_EQ(openFrames(), before - 1);
            closeAll();
        }
    }
    // The two that left an empty frame are among those found.
    EXPECT_TRUE(found.contains("frmHistogram:Done")) << found.join(", ").toStdString();
    EXPECT_TRUE(found.contains("frmExpCalc:Finish")) << found.join(", ").toStdString();
}

// ---- Where windows open ------------------------------------------------------------

// How much of `covered` the frame `by` hides, in percent of its area.
int coveredPercent(const QRect& by, const QRect& covered) {
    const QRect i = by.intersected(covered);
    if (i.isEmpty()) return 0;
    return int(std::lround(100.0 * i.width() * i.height() / (covered.width() * covered.height())));
}

qint64 coverOf(const QRect& r, const QList<QRect>& others) {
    qint64 sum = 0;
    for (const QRect& o : others) {
        const QRect i = r.intersected(o);
        if (!i.isEmpty()) sum += qint64(i.width()) * i.height();
    }
    return sum;
}

// The least a window of `size` can cover of `others` anywhere inside `client`.
qint64 leastCover(const QRect& client, QSize size, const QList<QRect>& others) {
    qint64 least = std::numeric_limits<qint64>::max();
    const int maxX = std::max(0, client.width() - size.width());
    const int maxY = std::max(0, client.height() - size.height());
    for (int x = 0; x <= maxX; x += 4)
        for (int y = 0; y <= maxY; y += 4)
            least = std::min(least, coverOf(QRect(QPoint(x, y), size), others));
    return least;
}

// Each road's windows opened one after the other at the main window's first size.
// A window without a place of its own covers, inside the main window, the least it
// can of the windows of its road already open; the focus frame and the figures
// open where they always do. The table is what each then covers of the others.
TEST_F(WindowsOnMain, FirstOpeningPlacesKeepEachRoadClear) {
    EXPECT_EQ(main->size(), QSize(1024, 768));
    struct Road {
        const char* name;
        QStringList windows;  // in the order the road opens them
    };
    const Road roads[] = {
        {"focus", {Win::frmCameraControl, Win::frmImageDisp, Win::frmAnalyze}},
        {"capture", {Win::frmCameraControl, Win::frmCapture, Win::frmAutomate}},
        {"autofocus",
         {Win::frmCameraControl, Win::frmImageDisp, Win::frmAnalyze, Win::frmAutofocus,
          Win::frmAutoFocusRslts}},
        {"frame image", {Win::frmImage1, Win::frmHistogram}},
        {"calculator", {Win::frmCapture, Win::frmExpCalc}},
    };
    // Road, window, the other window, the most of it the window covers (percent).
    struct Cover {
        const char* road;
        QString window, other;
        int most;
    };
    const Cover table[] = {
        // The windows are larger than the first size holds together: the camera
        // window lies over the lower part of the focus frame, never on the figures.
        {"focus", Win::frmCameraControl, Win::frmAnalyze, 0},
        {"focus", Win::frmImageDisp, Win::frmAnalyze, 0},
        {"focus", Win::frmCameraControl, Win::frmImageDisp, 60},
        {"focus", Win::frmImageDisp, Win::frmCameraControl, 50},
        // The capture window's tabs stay clear of both (below).
        {"capture", Win::frmCapture, Win::frmCameraControl, 35},
        {"capture", Win::frmCameraControl, Win::frmCapture, 25},
        {"capture", Win::frmAutomate, Win::frmCapture, 30},
        {"capture", Win::frmAutomate, Win::frmCameraControl, 30},
        // Five windows on the autofocus run: each still keeps most of another in view.
        {"autofocus", Win::frmAutoFocusRslts, Win::frmAutofocus, 50},
        {"autofocus", Win::frmAutofocus, Win::frmAutoFocusRslts, 35},
        {"autofocus", Win::frmAutofocus, Win::frmAnalyze, 65},
        {"autofocus", Win::frmCameraControl, Win::frmAnalyze, 0},
        {"frame image", Win::frmHistogram, Win::frmImage1, 5},
        {"calculator", Win::frmExpCalc, Win::frmCapture, 10},
    };
    const QRect client = area()->viewport()->rect();
    std::map<std::pair<QString, QString>, int> measured;
    for (const Road& road : roads) {
        SCOPED_TRACE(road.name);
        for (const QString& name : road.windows) {
            QList<QRect> before;
            for (const QString& other : road.windows)
                if (other != name && frame(other)) before << frame(other)->geometry();
            expectOpeningBoxes(name);
            ASSERT_NE(open(name), nullptr) << name.toStdString();
            const QRect r = frame(name)->geometry();
            if (name == Win::frmAnalyze) {
                EXPECT_EQ(r.topLeft(), QPoint(0, 0));
            } else if (name == Win::frmImageDisp) {
                EXPECT_EQ(r.topLeft(), QPoint(main->width() - r.width() - 13, 0));
            } else {
                EXPECT_TRUE(client.contains(r)) << name.toStdString() << " lies outside";
                EXPECT_LE(coverOf(r, before), leastCover(client, r.size(), before))
                    << name.toStdString() << " could cover less of its road";
            }
        }
        if (auto* capture = windows().ifLoadedAs<capture::frmCapture>(Win::frmCapture)) {
            auto* tabs = capture->findChild<QTabBar*>(QStringLiteral("TabStrip1"));
            const QRect onArea(tabs->mapTo(area()->viewport(), QPoint(0, 0)), tabs->size());
            for (const QString& other : road.windows)
                if (other != Win::frmCapture)
                    EXPECT_FALSE(frame(other)->geometry().intersects(onArea))
                        << other.toStdString() << " lies over the capture tabs";
        }
        for (const QString& a : road.windows)
            for (const QString& b : road.windows)
                if (a != b)
                    measured[{QString::fromLatin1(road.name) + u' ' + a, b}] =
                        coveredPercent(frame(a)->geometry(), frame(b)->geometry());
        closeAll();
    }
    for (const Cover& c : table) {
        const int got = measured.at({QString::fromLatin1(c.road) + u' ' + c.window, c.other});
        EXPECT_LE(got, c.most) << c.road << ": " << c.window.toStdString() << " covers " << got
                               << "% of " << c.other.toStdString();
    }
}

// Sets of windows opened one after the other at the main window's first size, as
// a night brings them together: each window opens wholly inside the main window,
// or, when it is larger, as much of it as fits with its title bar in view.
TEST_F(WindowsOnMain, EveryWindowOpensInsideTheMainWindow) {
    EXPECT_EQ(main->size(), QSize(1024, 768));
    const QList<QStringList> sets = {
        {Win::frmAnalyze, Win::frmImageDisp, Win::frmScopeControl, Win::frmMoonPhase,
         Win::frmImage1, Win::frmHistogram},
        {Win::frmCameraControl, Win::frmImageDisp, Win::frmAnalyze, Win::frmImage1,
         Win::frmHistogram},
        {Win::frmImage1, Win::frmCapture, Win::frmAutomate, Win::frmExpCalc, Win::frmMoonPhase},
        {Win::frmCameraControl, Win::frmImageDisp, Win::frmAnalyze, Win::frmAutofocus,
         Win::frmAutoFocusRslts, Win::frmImage1},
        {Win::frmScopeControl, Win::frmCustomObjects, Win::frmMoonPhase, Win::frmImage1},
        kChildWindows,
    };
    const QRect client(QPoint(0, 0), area()->viewport()->size());
    // Each set opens its windows for the first time: the places the last one
    // saved are forgotten.
    const auto forgetPlaces = [] {
        auto& store = testenv::memSettings();
        const auto written = store.writes();
        for (const auto& w : written)
            if (w.section == QLatin1String("WindowPos")) store.remove(w.app, w.section, w.key);
    };
    for (const QStringList& set : sets) {
        SCOPED_TRACE(set.join(u' ').toStdString());
        forgetPlaces();
        for (const QString& name : set) {
            expectOpeningBoxes(name);
            ASSERT_NE(open(name), nullptr) << name.toStdString();
            const QRect r = frame(name)->geometry();
            const QSize fits = r.size().boundedTo(client.size());
            EXPECT_TRUE(r.intersected(client).size() == fits)
                << name.toStdString() << " at " << r.x() << "," << r.y() << " " << r.width() << "x"
                << r.height() << " in " << client.width() << "x" << client.height();
            EXPECT_GE(r.top(), 0) << name.toStdString() << ": title bar out of view";
        }
        closeAll();
    }
    // A main window made smaller than the frame image: it opens at the top left,
    // as much of it in view as fits.
    forgetPlaces();
    main->resize(640, 480);
    settle();
    ASSERT_NE(open(Win::frmImage1), nullptr);
    const QRect r = frame(Win::frmImage1)->geometry();
    ASSERT_GT(r.height(), area()->viewport()->height());
    EXPECT_EQ(r.topLeft(), QPoint(0, 0)) << r.x() << "," << r.y();
}

// A window reopens where it was left, as far as the main window holds it: left
// partly outside (a main window made smaller since, say), it comes back inside
// with its title bar in view instead of out of sight.
TEST_F(WindowsOnMain, AWindowReopensWhereItWasLeftAsFarAsTheMainWindowHoldsIt) {
    const QRect client(QPoint(0, 0), area()->viewport()->size());
    for (const QString& name : {Win::frmCapture, Win::frmImage1, Win::frmMoonPhase}) {
        SCOPED_TRACE(name.toStdString());
        for (const bool outside : {false, true}) {
            expectOpeningBoxes(name);
            ASSERT_NE(open(name), nullptr);
            const QSize size = frame(name)->size();
            const QPoint left =
                outside ? QPoint(client.width() - 40, client.height() - 30) : QPoint(20, 30);
            frame(name)->move(left);
            closeAll();
            expectOpeningBoxes(name);
            ASSERT_NE(open(name), nullptr);
            settle();
            const QRect r = frame(name)->geometry();
            if (!outside) {
                EXPECT_EQ(r.topLeft(), left) << r.x() << "," << r.y();
                continue;
            }
            EXPECT_EQ(r.intersected(client).size(), size.boundedTo(client.size()))
                << r.x() << "," << r.y() << " " << r.width() << "x" << r.height() << " in "
                << client.width() << "x" << client.height();
            EXPECT_GE(r.top(), 0) << "title bar out of view";
        }
        closeAll();
    }
}

// Closing the sequence window gives the focus back to the capture window it was
// opened from; the camera window does not come forward in its place.
TEST_F(WindowsOnMain, AClosingWindowHandsTheFocusBackToTheOneTheUserCameFrom) {
    testenv::dialogs().expectChoice(QStringLiteral("Communication setting"), -1);
    auto* capture = qobject_cast<capture::frmCapture*>(open(Win::frmCapture));
    ASSERT_NE(capture, nullptr);
    ASSERT_NE(frame(Win::frmCameraControl), nullptr);  // opened by the capture window
    area()->setActiveSubWindow(frame(Win::frmCapture));
    capture->cbAutomate->click();
    settle();
    ASSERT_NE(frame(Win::frmAutomate), nullptr);
    area()->setActiveSubWindow(frame(Win::frmAutomate));
    frame(Win::frmAutomate)->close();  // the frame's own close box
    settle();
    EXPECT_EQ(area()->activeSubWindow(), frame(Win::frmCapture));
    const QList<QMdiSubWindow*> order = area()->subWindowList(QMdiArea::StackingOrder);
    EXPECT_GT(order.indexOf(frame(Win::frmCapture)), order.indexOf(frame(Win::frmCameraControl)));
}

// A frame arriving during continuous focusing brings the focus frame forward and
// puts the figures just behind it: the window the user works in stays in front,
// and the camera window never comes back over the figures.
TEST_F(WindowsOnMain, ANewFocusFrameLeavesTheWindowTheUserWorksInInFront) {
    ASSERT_NE(open(Win::frmCameraControl), nullptr);
    auto* image = qobject_cast<display::frmImageDisp*>(open(Win::frmImageDisp));
    ASSERT_NE(image, nullptr);
    image->LoadImage(starFrame("a.jpg"));
    cursor->place(QPoint(640, 420));
    display::ScrollingImage* viewer = image->viewer();
    QTest::mouseClick(viewer, Qt::LeftButton, Qt::NoModifier,
                      viewer->picturePixelOffset() + QPoint(300, 250));
    settle();
    ASSERT_NE(frame(Win::frmAnalyze), nullptr);
    const auto above = [&](const QString& a, const QString& b) {
        const QList<QMdiSubWindow*> order = area()->subWindowList(QMdiArea::StackingOrder);
        return order.indexOf(frame(a)) > order.indexOf(frame(b));
    };
    // As first placed, nothing of the road covers the figures.
    image->LoadImage(starFrame("b.jpg"));
    settle();
    EXPECT_TRUE(above(Win::frmAnalyze, Win::frmCameraControl));

    // The user drags the camera window over the figures and works in it, then in
    // the figures: each time the next frame leaves that window in front.
    frame(Win::frmCameraControl)->move(frame(Win::frmAnalyze)->pos() + QPoint(40, 40));
    frame(Win::frmImageDisp)->move(frame(Win::frmAnalyze)->pos() + QPoint(80, 80));
    area()->setActiveSubWindow(frame(Win::frmCameraControl));
    image->LoadImage(starFrame("c.jpg"));
    settle();
    EXPECT_TRUE(above(Win::frmCameraControl, Win::frmImageDisp));
    area()->setActiveSubWindow(frame(Win::frmAnalyze));
    image->LoadImage(starFrame("d.jpg"));
    settle();
    EXPECT_TRUE(above(Win::frmAnalyze, Win::frmCameraControl));
}

// The end-of-run question comes up beside the results chart, not over it.
TEST_F(WindowsOnMain, TheProgramsQuestionLeavesTheChartInView) {
    ASSERT_NE(open(Win::frmAutofocus), nullptr);
    ASSERT_NE(open(Win::frmAutoFocusRslts), nullptr);
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main));
    QMdiSubWindow* chart = frame(Win::frmAutoFocusRslts);
    const QRect chartOnScreen(area()->viewport()->mapToGlobal(chart->pos()), chart->size());
    QRect box;
    onNextModal([&](QWidget* w) { box = w->geometry(); });
    platform::QtDialogBackend qt;
    qt.msgBox(QStringLiteral("Autofocus data collected. Move focuser to best focus position:5200"),
              platform::Msg::YesNo | platform::Msg::Question | platform::Msg::DefaultButton2,
              QStringLiteral("Auto Focus"));
    ASSERT_FALSE(box.isEmpty());
    EXPECT_FALSE(box.intersects(chartOnScreen))
        << "box " << box.x() << "," << box.y() << " " << box.width() << "x" << box.height();
    EXPECT_TRUE(main->geometry().contains(box));
}

// ---- Texts a user can read -------------------------------------------------------------

TEST_F(WindowsOnMain, NoTextIsCutShortWhenAWindowFirstOpens) {
    QStringList names = kChildWindows;
    names << Win::frmSelectPort << Win::frmAbout << Win::frmColorPicker;
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        expectOpeningBoxes(name);
        QWidget* w = open(name);
        ASSERT_NE(w, nullptr);
        const QStringList cut = cutTexts(w);
        EXPECT_TRUE(cut.isEmpty()) << cut.join(u'\n').toStdString();
        closeAll();
    }
}

// The camera chooser and the folder dialog, as the program shows them.
TEST_F(WindowsOnMain, TheChooserAndTheFolderDialogShowTheirWholeTitles) {
    platform::QtDialogBackend qt;
    QStringList cut;
    onNextModal([&](QWidget* d) { cut = cutTexts(d); });
    qt.chooseItem(QStringLiteral("Communication setting"), {}, {QStringLiteral("Canon EOS 20D")},
                  0);
    EXPECT_TRUE(cut.isEmpty()) << cut.join(u'\n').toStdString();

    QString title;
    onNextModal([&](QWidget* d) { title = d->windowTitle(); });
    qt.browseForFolder(testenv::appDir(), QStringLiteral("&Select a directory:"));
    EXPECT_EQ(title, "Select a directory:");
}

// The calculator fills whole seconds; the capture window, left on the review,
// takes its name back on another tab and when it opens again.
TEST_F(WindowsOnMain, TheCalculatorWritesWholeSecondsAndTheCaptureWindowKeepsItsName) {
    testenv::dialogs().expectChoice(QStringLiteral("Communication setting"), -1);
    auto* capture = qobject_cast<capture::frmCapture*>(open(Win::frmCapture));
    ASSERT_NE(capture, nullptr);
    capture->selectTab(2);
    auto* calc = qobject_cast<capture::frmExpCalc*>(open(Win::frmExpCalc));
    ASSERT_NE(calc, nullptr);
    const auto pick = [&](const char* name, int index) {
        calc->findChild<QComboBox*>(name)->setCurrentIndex(index);
    };
    pick("cbBrightness", 15);  // outer corona, M 9.0
    pick("cbFilmSpeed", 3);    // 100
    pick("cbRecipFail", 0);    // p 0.60: 1 s becomes 2.1748 s
    pick("cbFilterFactor", 0);
    pick("cbFRatio", 9);  // f/10
    calc->cbCalculate_Click();
    EXPECT_EQ(calc->findChild<QLabel*>("lblExposure")->text(), "2.1748 Secs ");
    EXPECT_EQ(capture->txtExpMin->text(), "0");
    EXPECT_EQ(capture->txtExpSec->text(), "2");

    capture->selectTab(4);
    for (int i = 0; i < 100 && capture->windowTitle() != "Image Browser"; ++i) settle();
    EXPECT_EQ(capture->windowTitle(), "Image Browser");
    capture->selectTab(2);
    EXPECT_EQ(capture->windowTitle(), "Image Capture");
    capture->selectTab(4);
    for (int i = 0; i < 100 && capture->windowTitle() != "Image Browser"; ++i) settle();
    closeAll();
    testenv::dialogs().expectChoice(QStringLiteral("Communication setting"), -1);
    capture = qobject_cast<capture::frmCapture*>(open(Win::frmCapture));
    ASSERT_NE(capture, nullptr);
    capture->selectTab(2);
    settle();
    EXPECT_EQ(capture->windowTitle(), "Image Capture");
}

// The full-screen view names the picture as its path reads, one slash between
// folder and file.
TEST_F(WindowsOnMain, TheFullScreenViewShowsThePathAsItReads) {
    expectOpeningBoxes(Win::frmCapture);
    auto* capture = qobject_cast<capture::frmCapture*>(open(Win::frmCapture));
    ASSERT_NE(capture, nullptr);
    starFrame("IMG_0001.JPG");
    capture->setPicToshow(testenv::appDir() + QStringLiteral("//IMG_0001.JPG"));
    QWidget* full = open(Win::frmFullScreen);
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(full->findChild<QLabel*>(QStringLiteral("lblfile"))->text(),
              AppPaths::join(testenv::appDir(), QStringLiteral("IMG_0001.JPG")));
}

}  // namespace

// Camera Control opens low in the main window; the folder monitor panel makes it
// taller, and the frame moves up so that the panel stays in view.
TEST_F(WindowsOnMain, AWindowThatGrowsStaysInsideTheMainWindow) {
    auto* cam = qobject_cast<camera::frmCameraControl*>(open(Win::frmCameraControl));
    ASSERT_NE(cam, nullptr);
    const QRect before = frame(Win::frmCameraControl)->geometry();
    auto* monitor = cam->findChild<QPushButton*>(QStringLiteral("cmdMonitorFolder"));
    ASSERT_NE(monitor, nullptr);
    monitor->click();
    settle();
    const QRect after = frame(Win::frmCameraControl)->geometry();
    ASSERT_GT(after.height(), before.height());
    EXPECT_TRUE(QRect(QPoint(0, 0), area()->viewport()->size()).contains(after))
        << after.x() << "," << after.y() << " " << after.width() << "x" << after.height() << " in "
        << area()->viewport()->width() << "x" << area()->viewport()->height();
}

// A window keeps clear of the windows already open, those of other roads
// included, as far as its own road leaves it the choice: the calculator opens
// covering as little of Camera Control as it can.
TEST_F(WindowsOnMain, AWindowCoversAsLittleAsItCanOfOtherRoadsWindows) {
    ASSERT_NE(open(Win::frmCameraControl), nullptr);
    ASSERT_NE(open(Win::frmExpCalc), nullptr);
    const QRect camera = frame(Win::frmCameraControl)->geometry();
    const QRect calculator = frame(Win::frmExpCalc)->geometry();
    const QRect client(QPoint(0, 0), area()->viewport()->size());
    EXPECT_LE(coverOf(calculator, {camera}), leastCover(client, calculator.size(), {camera}))
        << calculator.x() << "," << calculator.y() << " over " << camera.x() << "," << camera.y();
}

// ---- Night vision ----------------------------------------------------------------------

namespace {

// WCAG relative luminance and contrast ratio.
double luminance(QRgb c) {
    const auto lin = [](int v) {
        const double s = v / 255.0;
        return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * lin(qRed(c)) + 0.7152 * lin(qGreen(c)) + 0.0722 * lin(qBlue(c));
}

double contrast(QRgb a, QRgb b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A colour that keeps the eyes dark-adapted: red, with no more green and blue in
// it than the night table's brightest red carries.
bool darkAdapted(QRgb c) {
    return qGreen(c) <= 43 && qBlue(c) <= 43 && qRed(c) >= std::max(qGreen(c), qBlue(c));
}

QString describe(QRgb c) {
    return QStringLiteral("rgb(%1,%2,%3)").arg(qRed(c)).arg(qGreen(c)).arg(qBlue(c));
}

QString nameOf(const QWidget* w) {
    return w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                     : w->objectName();
}

// A text a window shows and where, in the coordinates of the window's picture.
struct ShownText {
    QString text;
    QRect rect;
    const QWidget* widget;
    QColor meant;  // the colour it is written in, when a model gives its own
};

// Every text of `top` that a user may act on or read (those of disabled controls
// stay dim on purpose), with the rectangle it is drawn in.
QList<ShownText> textsOf(QWidget* top) {
    QList<ShownText> texts;
    const auto add = [&](const QWidget* w, const QString& text, const QRect& inW,
                         QColor meant = {}) {
        // Only the part a user sees: parents and scroll areas cut the rest.
        const QRect seen = inW.intersected(w->visibleRegion().boundingRect());
        if (text.trimmed().isEmpty() || seen.isEmpty()) return;
        texts.push_back({plain(text), QRect(w->mapTo(top, seen.topLeft()), seen.size()), w, meant});
    };
    const auto shown = [&](const QWidget* w) { return w->isVisibleTo(top) && w->isEnabled(); };
    for (QLabel* l : top->findChildren<QLabel*>()) {
        if (!shown(l) || !l->pixmap().isNull()) continue;
        const bool rich = l->textFormat() == Qt::RichText || Qt::mightBeRichText(l->text());
        add(l, l->text(), rich ? l->contentsRect() : labelTextRect(l).translated(-l->pos()));
    }
    for (QAbstractButton* b : top->findChildren<QAbstractButton*>()) {
        auto* tool = qobject_cast<QToolButton*>(b);
        if (!shown(b) || (tool && tool->toolButtonStyle() == Qt::ToolButtonIconOnly)) continue;
        const QRect r = buttonTextRoom(b).value_or(b->rect().adjusted(3, 3, -3, -3));
        add(b, b->text(), r);
    }
    for (QGroupBox* g : top->findChildren<QGroupBox*>()) {
        if (!shown(g)) continue;
        QStyleOptionGroupBox opt;
        opt.initFrom(g);
        opt.text = g->title();
        opt.subControls = QStyle::SC_GroupBoxLabel;
        opt.lineWidth = 1;
        add(g, g->title(),
            g->style()->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, g));
    }
    for (QTabBar* t : top->findChildren<QTabBar*>()) {
        if (!shown(t)) continue;
        for (int i = 0; i < t->count(); ++i)
            add(t, t->tabText(i), t->tabRect(i).adjusted(3, 3, -3, -3));
    }
    for (QLineEdit* e : top->findChildren<QLineEdit*>())
        if (shown(e)) add(e, e->text(), e->rect().adjusted(3, 3, -3, -3));
    for (QComboBox* c : top->findChildren<QComboBox*>()) {
        if (!shown(c) || c->isEditable()) continue;
        QStyleOptionComboBox opt;
        opt.initFrom(c);
        add(c, c->currentText(),
            c->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, c));
    }
    for (QAbstractItemView* v : top->findChildren<QAbstractItemView*>()) {
        if (!shown(v) || !v->model() || qobject_cast<QHeaderView*>(v)) continue;
        const QAbstractItemModel* m = v->model();
        for (int row = 0; row < std::min(m->rowCount(v->rootIndex()), 60); ++row)
            for (int col = 0; col < m->columnCount(v->rootIndex()); ++col) {
                const QModelIndex i = m->index(row, col, v->rootIndex());
                const QVariant own = i.data(Qt::ForegroundRole);
                const QColor meant = own.isValid() ? own.value<QBrush>().color() : QColor();
                // Dim on purpose, as a calendar's days of the months around.
                if (meant.isValid() &&
                    meant == v->palette().color(QPalette::Disabled, QPalette::Text))
                    continue;
                const QRect r = v->visualRect(i).intersected(v->viewport()->rect());
                if (!r.isEmpty())
                    add(v->viewport(), i.data().toString(), r.adjusted(1, 1, -1, -1), meant);
            }
    }
    for (QMenuBar* bar : top->findChildren<QMenuBar*>()) {
        if (!shown(bar)) continue;
        for (QAction* a : bar->actions())
            if (a->isVisible() && a->isEnabled()) add(bar, a->text(), bar->actionGeometry(a));
    }
    if (auto* menu = qobject_cast<QMenu*>(top))
        for (QAction* a : menu->actions())
            if (a->isVisible() && a->isEnabled() && !a->isSeparator())
                add(menu, a->text(), menu->actionGeometry(a));
    for (capture::ctlProgress* p : top->findChildren<capture::ctlProgress*>())
        if (shown(p)) add(p, p->shownText(), p->rect().adjusted(1, 1, -1, -1));
    QList<QMdiSubWindow*> subs = top->findChildren<QMdiSubWindow*>();
    if (auto* sub = qobject_cast<QMdiSubWindow*>(top)) subs << sub;
    for (QMdiSubWindow* sub : subs) {
        if (sub->isVisibleTo(top) || sub == top) add(sub, sub->windowTitle(), titleLabelRect(sub));
    }
    return texts;
}

// What night vision shows wrong in the picture of `top`: a colour other than a
// dark-adapted red, or a text that does not stand out from its background.
QStringList nightFaults(QWidget* top) {
    QStringList faults;
    const QImage picture = top->grab().toImage().convertToFormat(QImage::Format_RGB32);
    std::map<QString, QString> bright;  // by widget, the first bright colour found
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb c = picture.pixel(x, y);
            if (darkAdapted(c)) continue;
            const QWidget* at = top->childAt(x, y);
            const QString where = at ? nameOf(at) : nameOf(top);
            if (!bright.count(where))
                bright[where] = QStringLiteral("%1 at %2,%3").arg(describe(c)).arg(x).arg(y);
        }
    for (const auto& [where, what] : bright) faults << where + QStringLiteral(": ") + what;
    for (const ShownText& t : textsOf(top)) {
        const QRect r = t.rect.intersected(picture.rect());
        if (r.isEmpty()) continue;
        std::map<QRgb, int> count;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x) ++count[picture.pixel(x, y)];
        const QRgb background =
            std::max_element(count.begin(), count.end(), [](const auto& a, const auto& b) {
                return a.second < b.second;
            })->first;
        QRgb drawn = background;
        for (const auto& [c, n] : count)
            if (contrast(c, background) > contrast(drawn, background)) drawn = c;
        // A thin glyph may not reach its colour in any one pixel: a pixel most of
        // the way from the background to the colour the text is written in shows it.
        QList<QColor> meant = {t.meant};
        for (QPalette::ColorRole role :
             {t.widget->foregroundRole(), QPalette::WindowText, QPalette::Text,
              QPalette::ButtonText, QPalette::HighlightedText})
            meant << t.widget->palette().color(role);
        const auto partOf = [&](QRgb m) {
            double least = 1, most = 0;
            for (int shift : {16, 8, 0}) {
                const auto channel = [&](QRgb c) { return int((c >> shift) & 0xFF); };
                const int full = channel(m) - channel(background);
                if (full == 0) continue;
                const double part = double(channel(drawn) - channel(background)) / full;
                least = std::min(least, part);
                most = std::max(most, part);
            }
            return most - least < 0.15 ? least : 0.0;
        };
        double ratio = contrast(drawn, background);
        for (const QColor& m : meant)
            if (m.isValid() && partOf(m.rgb()) >= 0.6)
                ratio = std::max(ratio, contrast(m.rgb(), background));
        if (ratio < 4.5)
            faults << QStringLiteral("%1 \"%2\": %3 on %4, %5:1")
                          .arg(nameOf(t.widget), t.text, describe(drawn), describe(background))
                          .arg(ratio, 0, 'f', 2);
    }
    return faults;
}

void expectNightRed(QWidget* top) {
    const QStringList faults = nightFaults(top);
    EXPECT_TRUE(faults.isEmpty()) << faults.join(u'\n').toStdString();
}

// The child windows and the program's windows of their own.
QStringList everyWindow() {
    return kChildWindows + QStringList{Win::frmSelectPort, Win::frmAbout, Win::frmColorPicker,
                                       Win::frmZoomer, Win::frmFullScreen};
}

}  // namespace

// With night vision on, every window shows nothing but dark-adapted reds, and
// every text a user reads stands out from its background by at least 4.5 to 1.
TEST_F(WindowsOnMain, NightVisionShowsEveryWindowInReadableRed) {
    main->menuItem(QStringLiteral("mnuNightVision"))->trigger();
    ASSERT_TRUE(main->menuItem(QStringLiteral("mnuNightVision"))->isChecked());
    settle();
    {
        SCOPED_TRACE("main window");
        expectNightRed(main);
    }
    for (QMenu* menu : main->menuBar()->findChildren<QMenu*>()) {
        SCOPED_TRACE(plain(menu->title()).toStdString());
        menu->popup(QPoint(0, 0));
        settle();
        expectNightRed(menu);
        menu->hide();
    }
    for (const QString& name : everyWindow()) {
        SCOPED_TRACE(name.toStdString());
        expectOpeningBoxes(name);
        QWidget* w = open(name);
        ASSERT_NE(w, nullptr);
        expectNightRed(frameOf(w));
        closeAll();
    }
    // A frame shown full screen, its path written over it.
    {
        SCOPED_TRACE("full screen with a frame");
        expectOpeningBoxes(Win::frmCapture);
        auto* capture = qobject_cast<capture::frmCapture*>(open(Win::frmCapture));
        ASSERT_NE(capture, nullptr);
        starFrame("IMG_0001.JPG");
        capture->setPicToshow(AppPaths::join(testenv::appDir(), QStringLiteral("IMG_0001.JPG")));
        QWidget* full = open(Win::frmFullScreen);
        ASSERT_NE(full, nullptr);
        ASSERT_FALSE(full->findChild<QLabel*>(QStringLiteral("lblfile"))->text().isEmpty());
        expectNightRed(full);
        closeAll();
    }
    // The lamps and the battery that a connected camera lights.
    auto* cam = open(Win::frmCameraControl);
    ASSERT_NE(cam, nullptr);
    testenv::dialogs().expectChoice(QStringLiteral("Communication setting"), 0);
    cam->findChild<QPushButton*>(QStringLiteral("cmdConnect"))->click();
    settle();
    // Connected in whichever mode the earlier windows left stored.
    ASSERT_TRUE(oMainCamera() && oMainCamera()->connected()) << "the camera did not connect";
    for (const QString& name : {Win::frmCameraControl, Win::frmCapture}) {
        SCOPED_TRACE(name.toStdString() + " with the camera connected");
        expectNightRed(frameOf(open(name)));
    }
    closeAll();

    SCOPED_TRACE("message box");
    onNextModal([](QWidget* box) { expectNightRed(box); });
    platform::QtDialogBackend qt;
    qt.msgBox(QStringLiteral("Error connecting to Scope."), platform::Msg::Exclamation,
              QStringLiteral("Telescope"));
}

// Night vision switched on over windows opened by day shows them as the night
// shows a window opened at night; switched off, every window looks exactly as it
// did before, the ones opened at night included.
TEST_F(WindowsOnMain, NightVisionOffPutsEveryColourBack) {
    QAction* night = main->menuItem(QStringLiteral("mnuNightVision"));
    const int flash = QApplication::cursorFlashTime();
    QApplication::setCursorFlashTime(0);  // a caret that stays, not one that blinks
    const auto picture = [&](QWidget* w) {
        settle();
        return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
    };
    const QImage mainByDay = picture(main);
    for (const QString& name : everyWindow()) {
        SCOPED_TRACE(name.toStdString());
        expectOpeningBoxes(name);
        QWidget* w = open(name);
        ASSERT_NE(w, nullptr);
        // Where the menu command leaves the focus, which shows in a window too.
        main->ZoomSlider()->setFocus();
        const QImage byDay = picture(frameOf(w));
        night->trigger();
        settle();
        expectNightRed(frameOf(w));
        night->trigger();
        EXPECT_TRUE(picture(frameOf(w)) == byDay) << "opened by day";
        closeAll();

        night->trigger();
        expectOpeningBoxes(name);
        w = open(name);
        ASSERT_NE(w, nullptr);
        night->trigger();
        EXPECT_TRUE(picture(frameOf(w)) == byDay) << "opened at night";
        closeAll();
    }
    EXPECT_TRUE(picture(main) == mainByDay);
    QApplication::setCursorFlashTime(flash);
}
