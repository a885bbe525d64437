#include "mainwindow/ToolbarIcons.h"

#include <QAction>
#include <QApplication>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "platform/core/ApplicationEnd.h"
#include "shell/NightColours.h"

namespace zelmora {

namespace {

constexpr int kSize = 24;

// Arrow pointing from the centre towards (dx, dy) in {-1, 0, 1}.
void arrow(QPainter& p, int dx, int dy) {
    const QPointF c(kSize / 2.0, kSize / 2.0);
    if (dx == 0 && dy == 0) {
        p.drawEllipse(c, 4, 4);
        p.drawLine(QPointF(c.x() - 8, c.y()), QPointF(c.x() + 8, c.y()));
        p.drawLine(QPointF(c.x(), c.y() - 8), QPointF(c.x(), c.y() + 8));
        return;
    }
    const QPointF tip(c.x() + dx * 9, c.y() + dy * 9);
    p.drawLine(QPointF(c.x() - dx * 6, c.y() - dy * 6), tip);
    QLineF back(tip, c);
    for (double a : {30.0, -30.0}) {
        QLineF head = back;
        head.setLength(6);
        head.setAngle(back.angle() + a);
        p.drawLine(head);
    }
}

// At night the pictures are drawn in the palette's text colour, their spots of
// colour in red.
void draw(QPainter& p, int n) {
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette palette = QApplication::palette();
    QPen pen(NightColours::text(QColor(40, 40, 40), palette), 2);
    p.setPen(pen);
    switch (n) {
        case 1:  // zoom: a magnifying glass
            p.drawEllipse(QPointF(10, 10), 6, 6);
            p.drawLine(QPointF(14.5, 14.5), QPointF(21, 21));
            break;
        case 2:   // focus analysis running: a star with its profile
        case 17:  // paused
            p.setBrush(NightColours::mark(n == 2 ? QColor(200, 40, 40) : QColor(150, 150, 150)));
            p.drawEllipse(QPointF(12, 12), 4, 4);
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(3, 3, 18, 18), 0, 16 * 360);
            if (n == 17) {
                p.drawLine(QPointF(9, 17), QPointF(9, 22));
                p.drawLine(QPointF(15, 17), QPointF(15, 22));
            }
            break;
        case 3:
            arrow(p, -1, -1);
            break;  // top left
        case 4:
            arrow(p, 1, -1);
            break;  // top right
        case 5:
            arrow(p, -1, 0);
            break;  // centre left
        case 6:
            arrow(p, 0, 0);
            break;  // centre
        case 7:
            arrow(p, 1, 0);
            break;  // centre right
        case 8:
            arrow(p, -1, 1);
            break;  // bottom left
        case 9:
            arrow(p, 1, 1);
            break;  // bottom right
        case 10: {  // start
            QPainterPath path;
            path.moveTo(7, 5);
            path.lineTo(19, 12);
            path.lineTo(7, 19);
            path.closeSubpath();
            p.fillPath(path, NightColours::mark(QColor(30, 130, 30)));
            break;
        }
        case 11:  // pause
            p.fillRect(QRectF(7, 5, 4, 14), NightColours::text(QColor(60, 60, 60), palette));
            p.fillRect(QRectF(13, 5, 4, 14), NightColours::text(QColor(60, 60, 60), palette));
            break;
        case 12:  // stop
            p.fillRect(QRectF(6, 6, 12, 12), NightColours::mark(QColor(170, 30, 30)));
            break;
        case 13:  // shutter release: an aperture
            p.drawEllipse(QPointF(12, 12), 8, 8);
            for (int i = 0; i < 6; ++i) {
                QLineF blade(QPointF(12, 12), QPointF(12, 4));
                blade.setAngle(90 + 60 * i);
                blade.setLength(8);
                p.drawLine(QLineF(blade.p2(), blade.pointAt(0.3)));
            }
            break;
        case 14:  // camera, not connected
        case 16:  // camera, connected
            p.drawRoundedRect(QRectF(3, 7, 18, 12), 2, 2);
            p.drawRect(QRectF(8, 4, 6, 3));
            p.drawEllipse(QPointF(12, 13), 3.5, 3.5);
            p.setBrush(NightColours::mark(n == 16 ? QColor(30, 160, 30) : QColor(170, 30, 30)));
            p.setPen(Qt::NoPen);
            p.drawEllipse(QPointF(18.5, 9.5), 2, 2);
            break;
        case 15:  // image capture timer: a clock
            p.drawEllipse(QPointF(12, 12), 8, 8);
            p.drawLine(QPointF(12, 12), QPointF(12, 7));
            p.drawLine(QPointF(12, 12), QPointF(16, 14));
            break;
        case 18:  // frame image
            p.drawRect(QRectF(4, 5, 16, 14));
            p.drawLine(QPointF(6, 16), QPointF(10, 11));
            p.drawLine(QPointF(10, 11), QPointF(13, 14));
            p.drawLine(QPointF(13, 14), QPointF(16, 10));
            p.drawLine(QPointF(16, 10), QPointF(19, 15));
            break;
        default:
            break;
    }
}

}  // namespace

QIcon toolbarIcon(int imageNumber) {
    // Icons are pixmaps: the cache empties before the application's end.
    static QHash<int, QIcon> cache;  // by number, the night's apart
    static const bool letGo = [] {
        platform::atApplicationEnd([] { cache.clear(); });
        return true;
    }();
    (void)letGo;
    const int key = NightColours::on() ? -imageNumber : imageNumber;
    auto it = cache.find(key);
    if (it != cache.end()) return *it;
    QPixmap pm(kSize, kSize);
    pm.fill(Qt::transparent);
    {
        QPainter p(&pm);
        draw(p, imageNumber);
    }
    return *cache.insert(key, QIcon(pm));
}

int toolbarImageFor(const QString& key) {
    static const QHash<QString, int> images = {
        {QStringLiteral("Zoom"), 1},
        {QStringLiteral("Focus"), 2},
        {QStringLiteral("Top Left"), 3},
        {QStringLiteral("Top Right"), 4},
        {QStringLiteral("Centre Left"), 5},
        {QStringLiteral("Centre"), 6},
        {QStringLiteral("Centre Right"), 7},
        {QStringLiteral("Bottom Left"), 8},
        {QStringLiteral("Bottom Right"), 9},
        {QStringLiteral("Start"), 10},
        {QStringLiteral("Pause"), 11},
        {QStringLiteral("Stop"), 12},
        {QStringLiteral("Shutter Release"), 13},
        {QStringLiteral("Connect"), 14},
        {QStringLiteral("Timer"), 15},
        {QStringLiteral("Frame"), 18},
    };
    return images.value(key, 0);
}

void setButtonImage(QAction* button, int imageNumber) {
    if (!button) return;
    button->setProperty("image", imageNumber);
    button->setIcon(toolbarIcon(imageNumber));
}

}  // namespace zelmora
