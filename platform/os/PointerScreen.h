#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <functional>
#include <memory>
#include <vector>

namespace zelmora::platform {

// The screen pointer: where it is and moving it, in screen pixels. Real on
// X11 and the offscreen platform (QCursor); Wayland does not let a program
// move the pointer.
class CursorService {
public:
    virtual ~CursorService() = default;
    virtual QPoint pos() const = 0;
    virtual void setPos(const QPoint& p) = 0;

    static CursorService& instance();
    // nullptr puts the real one back.
    static void setInstance(std::shared_ptr<CursorService> service);
};

class QtCursorService : public CursorService {
public:
    QPoint pos() const override;
    void setPos(const QPoint& p) override;
};

// For tests: a pointer that stays where it was put and remembers every move.
class RecordingCursor : public CursorService {
public:
    QPoint pos() const override { return pos_; }
    void setPos(const QPoint& p) override {
        pos_ = p;
        moves.push_back(p);
    }
    void place(const QPoint& p) { pos_ = p; }  // the user moved it (not recorded)

    std::vector<QPoint> moves;

private:
    QPoint pos_;
};

// Copies a small square of the screen. Never more than kMaxSide pixels a side:
// the magnifier grabs ten times a second and must not copy the whole screen.
class ScreenGrabber {
public:
    static constexpr int kMaxSide = 128;
    virtual ~ScreenGrabber() = default;
    // The pixels of `area` (screen pixels); what lies outside the screen comes
    // back as the display returns it. An area larger than kMaxSide is cut down.
    virtual QImage grab(const QRect& area) = 0;

    static ScreenGrabber& instance();
    static void setInstance(std::shared_ptr<ScreenGrabber> service);
};

// QScreen::grabWindow of the whole desktop, limited to the area.
class QtScreenGrabber : public ScreenGrabber {
public:
    QImage grab(const QRect& area) override;
};

// For tests: records every area asked for and answers from `source`
// (a grey square of the area's size when none is set).
class RecordingGrabber : public ScreenGrabber {
public:
    QImage grab(const QRect& area) override;
    std::vector<QRect> areas;
    std::function<QImage(const QRect&)> source;
};

QRect limitGrabArea(const QRect& area);

}  // namespace zelmora::platform
