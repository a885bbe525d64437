#include "display/BarModel.h"

#include <QScrollBar>
#include <algorithm>

namespace zelmora::display {

void BarModel::setMin(std::int32_t v) {
    min_ = v;
    clampValue();
    syncView();
}

void BarModel::setMax(std::int32_t v) {
    max_ = v;
    clampValue();
    syncView();
}

bool BarModel::setValue(std::int32_t v) {
    if (v < lower() || v > upper()) return false;
    if (v != value_) {
        value_ = v;
        syncView();
        if (onChange) onChange(value_);
    }
    return true;
}

void BarModel::setEnabled(bool on) {
    enabled_ = on;
    syncView();
}

void BarModel::clampValue() {
    const std::int32_t v = std::clamp(value_, lower(), upper());
    if (v == value_) return;
    value_ = v;
    if (onChange) onChange(value_);
}

void BarModel::attach(QScrollBar* bar) {
    view_ = bar;
    if (!bar) return;
    QObject::connect(bar, &QScrollBar::valueChanged, bar, [this](int v) {
        if (!syncing_) setValue(v);
    });
    syncView();
}

void BarModel::setSteps(int single, int page) {
    if (!view_) return;
    view_->setSingleStep(std::max(single, 1));
    view_->setPageStep(std::max(page, 1));
}

void BarModel::syncView() {
    if (!view_) return;
    syncing_ = true;
    // Each call repaints the bar even when nothing changes: only what changed.
    if (view_->invertedAppearance() != (max_ < min_)) view_->setInvertedAppearance(max_ < min_);
    if (view_->minimum() != lower() || view_->maximum() != upper())
        view_->setRange(lower(), upper());
    if (view_->value() != value_) view_->setValue(value_);
    if (view_->isEnabled() != enabled_) view_->setEnabled(enabled_);
    syncing_ = false;
}

}  // namespace zelmora::display
