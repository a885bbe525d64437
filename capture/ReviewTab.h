#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace zelmora::display {
class AAImageView;
}

namespace zelmora::capture {

class ThumbnailPool;
struct Thumbnail;

// The capture window's Review tab: the pictures of a folder as thumbnails,
// one of them in a scalable viewer, full screen on a double click in the
// viewer, and each newly downloaded frame added as it arrives. The list is
// built on worker threads, so the window's timers keep running meanwhile.
class ReviewTab : public QWidget {
    Q_OBJECT
public:
    // `captionOwner` is the window whose caption shows the build's progress.
    ReviewTab(QWidget* captionOwner, QWidget* parent);
    ~ReviewTab() override;

    // The tab is selected: list `folder` (the capture folder).
    void setupReview(const QString& folder);
    void LoadThumbs();
    void LoadAThumb(const QString& fileName);
    void flb_DblClick();
    void AAImageView1_DblClick();
    // The zoom buttons by their percentage (10, 15, 25, 50, 75, 100, 200).
    void zoomClick(int percent);
    void cbChooseThumbPath_Click();

    QString sReviewFolder() const { return sReviewFolder_; }
    bool building() const { return pending_ > 0; }
    // The path an item stands for: its own folder and its name.
    static QString itemPath(const QListWidgetItem* item);

    // Where the picture to show full screen goes (the capture window's sPicToshow),
    // and the folder the Browse dialog starts in.
    std::function<void(const QString&)> setPicToshow;
    std::function<QString()> browseStart;

    QListWidget* flb = nullptr;
    display::AAImageView* AAImageView1 = nullptr;
    std::array<QPushButton*, 7> zoomButtons{};  // cb10 ... cb200
    QPushButton* cbChooseThumbPath = nullptr;
    QLabel* lblInfo = nullptr;

signals:
    void buildFinished();

private:
    void thumbMade(std::uint64_t batch, const Thumbnail& thumb);
    void addItem(const QString& path, const QImage& thumb);
    void finishBuild();

    bool showsCaption() const;
    QPointer<QWidget> captionOwner_;
    ThumbnailPool* pool_ = nullptr;
    QString sReviewFolder_;
    std::uint64_t batch_ = 0;
    int total_ = 0;
    int done_ = 0;
    int pending_ = 0;
};

// The viewer's scale step for a zoom button's percentage; -1 for none.
int reviewScaleStep(int percent);

}  // namespace zelmora::capture
