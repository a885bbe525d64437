#pragma once

#include <QPointer>
#include <cstdint>
#include <functional>

#include <QScrollBar>

namespace zelmora::display {

// A scroll bar's numbers as the viewers use them: minimum, maximum and value
// as plain ints, where the maximum may lie below the minimum (a picture
// smaller than its view gives a negative maximum, and the positions then move
// the picture inside the view). A QScrollBar is only its view: it shows the
// range [lower, upper], drawn inverted when the maximum is the lower end.
class BarModel {
public:
    BarModel() = default;
    BarModel(const BarModel&) = delete;
    BarModel& operator=(const BarModel&) = delete;

    std::int32_t min() const { return min_; }
    std::int32_t max() const { return max_; }
    std::int32_t value() const { return value_; }
    bool enabled() const { return enabled_; }
    std::int32_t lower() const { return min_ < max_ ? min_ : max_; }
    std::int32_t upper() const { return min_ < max_ ? max_ : min_; }

    // A value left outside a new range is brought to the nearer end (and
    // reported as a change).
    void setMin(std::int32_t v);
    void setMax(std::int32_t v);
    // False, and nothing changes, for a value outside the range.
    bool setValue(std::int32_t v);
    void setEnabled(bool on);

    // Called after every change of the value, whoever made it.
    std::function<void(std::int32_t value)> onChange;

    // Shows the model in `bar`; the user's moves on the bar come back as values.
    void attach(QScrollBar* bar);
    QScrollBar* view() const { return view_; }
    void setSteps(int single, int page);

private:
    void clampValue();
    void syncView();

    std::int32_t min_ = 0;
    std::int32_t max_ = 0;
    std::int32_t value_ = 0;
    bool enabled_ = true;
    bool syncing_ = false;
    QPointer<QScrollBar> view_;
};

}  // namespace zelmora::display
