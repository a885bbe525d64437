#include "focus/CanvasWidget.h"

#include <QPainter>

#include "focus/RasterCanvas.h"
#include "shell/NightColours.h"

namespace zelmora::focus {

CanvasWidget::CanvasWidget(const RasterCanvas& canvas, int border, QWidget* parent)
    : QWidget(parent), canvas_(canvas), border_(border) {
    setFixedSize(canvas.ScaleWidth() + 2 * border, canvas.ScaleHeight() + 2 * border);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CanvasWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), NightColours::mark(QColor(80, 80, 80)));  // the box edge
    painter.drawImage(border_, border_, NightColours::picture(canvas_.image()));
}

}  // namespace zelmora::focus
