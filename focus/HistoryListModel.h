#pragma once

#include <QAbstractListModel>
#include <QCache>
#include <QPixmap>

namespace zelmora::focus {

class FocusAnalysis;

// The history list as the icon view sees it: one row per stored crop, the time
// of day as text. Icons are made only for the rows the view paints, and only a
// few are kept, so a night of frames costs the crops alone.
class HistoryListModel : public QAbstractListModel {
    Q_OBJECT
public:
    static constexpr int kIconSize = 32;

    explicit HistoryListModel(const FocusAnalysis& analysis, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // The analysis gained a picture (or started afresh): follow it.
    void sync();
    int cachedIcons() const { return icons_.count(); }

private:
    const FocusAnalysis& analysis_;
    int rows_ = 0;
    int generation_ = 0;
    mutable QCache<int, QPixmap> icons_;
};

}  // namespace zelmora::focus
