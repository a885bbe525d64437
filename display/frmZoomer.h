#pragma once

#include <QImage>
#include <QWidget>
#include <cstdint>

#include "shell/Neighbours.h"

namespace zelmora::platform {
class Timer;
}

namespace zelmora::display {

// The magnifier's pane: shows the last picture it was given and keeps it.
class ZoomPane : public QWidget {
    Q_OBJECT
public:
    explicit ZoomPane(QWidget* parent = nullptr) : QWidget(parent) {}
    void setPicture(const QImage& picture);
    const QImage& picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
};

// "Focus Zoom": ten times a second the screen around the pointer, enlarged by
// the main window's zoom factor, so the user can aim at a star to the pixel.
// A small tool window that stays on top and never takes the keyboard.
class frmZoomer : public QWidget, public IZoomerWindow {
    Q_OBJECT
public:
    static inline const QString kDesignCaption = QStringLiteral("Focus Zoom");

    explicit frmZoomer(QWidget* parent = nullptr);
    ~frmZoomer() override;

    // Re-reads the zoom factor into the copied square's side.
    void InvokeZoom() override;
    // One refresh at once.
    void UpdateZoom() { Timer1_Timer(); }
    void Timer1_Timer();

    std::int32_t side() const { return side_; }
    const ZoomPane* pane() const { return Picture1; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void Form_Unload();
    static int zoomFactor();

    ZoomPane* Picture1 = nullptr;
    platform::Timer* Timer1 = nullptr;
    std::int32_t side_ = 80;
    bool unloaded_ = false;
};

}  // namespace zelmora::display
