#include "focus/HistoryListModel.h"

#include "focus/FocusAnalysis.h"

namespace zelmora::focus {

HistoryListModel::HistoryListModel(const FocusAnalysis& analysis, QObject* parent)
    : QAbstractListModel(parent), analysis_(analysis), icons_(256) {
    rows_ = analysis_.count();
    generation_ = analysis_.generation();
}

int HistoryListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

QVariant HistoryListModel::data(const QModelIndex& index, int role) const {
    const auto* e = index.isValid() ? analysis_.entry(index.row() + 1) : nullptr;
    if (!e) return {};
    if (role == Qt::DisplayRole) return e->timeOfDay;
    // A fixed item size: laying out the list never needs an icon.
    if (role == Qt::SizeHintRole) return QSize(kIconSize + 40, kIconSize + 22);
    if (role == Qt::DecorationRole) {
        if (QPixmap* cached = icons_.object(index.row())) return *cached;
        auto* icon = new QPixmap(QPixmap::fromImage(e->picture.scaled(
            kIconSize, kIconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
        const QPixmap copy = *icon;
        icons_.insert(index.row(), icon);
        return copy;
    }
    return {};
}

void HistoryListModel::sync() {
    const int n = analysis_.count();
    if (n < rows_ || analysis_.generation() != generation_) {
        beginResetModel();
        rows_ = n;
        generation_ = analysis_.generation();
        icons_.clear();
        endResetModel();
    } else if (n > rows_) {
        beginInsertRows({}, rows_, n - 1);
        rows_ = n;
        endInsertRows();
    }
}

}  // namespace zelmora::focus
