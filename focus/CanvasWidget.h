#pragma once

#include <QWidget>

namespace zelmora::focus {

class RasterCanvas;

// Shows a RasterCanvas pixel for pixel inside a black 2-pixel border: a plain
// copy, so what is seen is exactly what the figures were measured on.
class CanvasWidget : public QWidget {
    Q_OBJECT
public:
    CanvasWidget(const RasterCanvas& canvas, int border, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const RasterCanvas& canvas_;
    int border_;
};

}  // namespace zelmora::focus
