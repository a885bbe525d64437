#pragma once

#include <QWidget>

class QToolButton;

namespace zelmora::sky {

// A pair of arrow buttons beside a text box. It only reports the clicks: the
// owner decides what a step does to its text, so a typed value outside the
// arrows' range is not clamped.
class UpDown : public QWidget {
    Q_OBJECT
public:
    explicit UpDown(QWidget* parent = nullptr);
    QToolButton* upButton() const { return up_; }
    QToolButton* downButton() const { return down_; }

signals:
    void UpClick();
    void DownClick();

private:
    QToolButton* up_;
    QToolButton* down_;
};

}  // namespace zelmora::sky
