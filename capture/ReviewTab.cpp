#include "capture/ReviewTab.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "capture/ReviewList.h"
#include "capture/ThumbnailPool.h"
#include "display/AAImageView.h"
#include "display/PictureFile.h"
#include "platform/core/AppError.h"
#include "platform/os/Dialogs.h"
#include "shell/Errors.h"
#include "shell/Neighbours.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"

namespace zelmora::capture {

namespace {
constexpr int kTagRole = Qt::UserRole;
constexpr int kPercents[7] = {10, 15, 25, 50, 75, 100, 200};
}  // namespace

int reviewScaleStep(int percent) {
    switch (percent) {
        case 10:
            return 10;
        case 15:
            return 11;
        case 25:
            return 0;
        case 50:
            return 1;
        case 75:
            return 2;
        case 100:
            return 3;
        case 200:
            return 7;
        default:
            return -1;
    }
}

ReviewTab::ReviewTab(QWidget* captionOwner, QWidget* parent)
    : QWidget(parent), captionOwner_(captionOwner) {
    setObjectName(QStringLiteral("ReviewTab"));
    flb = new QListWidget(this);
    flb->setObjectName(QStringLiteral("flb"));
    flb->setViewMode(QListView::IconMode);
    flb->setIconSize(QSize(review::kThumbWidth, review::kThumbHeight));
    flb->setGridSize(QSize(review::kThumbWidth + 16, review::kThumbHeight + 28));
    flb->setResizeMode(QListView::Adjust);
    flb->setMovement(QListView::Static);
    flb->setUniformItemSizes(true);
    flb->setGeometry(6, 22, 300, 380);

    AAImageView1 = new display::AAImageView(this);
    AAImageView1->setObjectName(QStringLiteral("AAImageView1"));
    AAImageView1->setGeometry(314, 22, 336, 380);

    for (int i = 0; i < 7; ++i) {
        auto* b = new QPushButton(QStringLiteral("%1%").arg(kPercents[i]), this);
        b->setObjectName(QStringLiteral("cb%1").arg(kPercents[i]));
        b->setGeometry(314 + i * 48, 408, 46, 24);
        const int percent = kPercents[i];
        connect(b, &QPushButton::clicked, this, [this, percent] { zoomClick(percent); });
        zoomButtons[static_cast<std::size_t>(i)] = b;
    }
    cbChooseThumbPath = new QPushButton(QStringLiteral("Browse"), this);
    cbChooseThumbPath->setObjectName(QStringLiteral("cbChooseThumbPath"));
    cbChooseThumbPath->setGeometry(6, 408, 80, 24);
    lblInfo = new QLabel(QStringLiteral("Items in List"), this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setGeometry(96, 408, 200, 24);

    pool_ = new ThumbnailPool(this);
    pool_->setDone([this](std::uint64_t batch, const Thumbnail& t) { thumbMade(batch, t); });

    connect(flb, &QListWidget::itemDoubleClicked, this, [this] { flb_DblClick(); });
    connect(AAImageView1, &display::AAImageView::DblClick, this,
            [this] { AAImageView1_DblClick(); });
    connect(cbChooseThumbPath, &QPushButton::clicked, this, [this] { cbChooseThumbPath_Click(); });
}

ReviewTab::~ReviewTab() {
    // Stop the workers before the list they report to goes.
    pool_->cancelPending();
    pool_->waitForDone();
}

void ReviewTab::setupReview(const QString& folder) {
    sReviewFolder_ = folder;
    LoadThumbs();
}

void ReviewTab::LoadThumbs() {
    trapAndTrace(QStringLiteral("LoadThumbs"), [&] {
        // A build still running is abandoned: its late results are dropped.
        ++batch_;
        pool_->cancelPending();
        flb->setSortingEnabled(false);
        flb->clear();
        const QStringList files = review::pictureFiles(sReviewFolder_);
        total_ = static_cast<int>(files.size());
        done_ = 0;
        pending_ = total_;
        if (total_ == 0) {
            finishBuild();
            return;
        }
        for (const QString& path : files) pool_->submit(batch_, path);
    });
}

void ReviewTab::thumbMade(std::uint64_t batch, const Thumbnail& thumb) {
    if (batch != batch_) return;
    ++done_;
    --pending_;
    if (thumb.ok()) {
        addItem(thumb.path, thumb.image);
    } else {
        // One bad picture is skipped; the rest are listed.
        trapAndTrace(QStringLiteral("LoadThumbs"), [&] {
            throw AppError(thumb.errorNumber, thumb.path,
                           thumb.error + QStringLiteral(": ") + thumb.path);
        });
    }
    if (showsCaption()) captionOwner_->setWindowTitle(review::progressCaption(done_, total_));
    if (pending_ == 0) finishBuild();
}

void ReviewTab::addItem(const QString& path, const QImage& thumb) {
    auto* item =
        new QListWidgetItem(QIcon(QPixmap::fromImage(thumb)), review::GetFileNameOfThumb(path));
    // The tag goes on the item just made, whatever the counts say.
    item->setData(kTagRole, review::GetPathNameOfThumb(path));
    flb->addItem(item);
}

void ReviewTab::finishBuild() {
    flb->sortItems(Qt::AscendingOrder);
    flb->setSortingEnabled(true);
    lblInfo->setText(review::countText(flb->count()));
    if (showsCaption()) captionOwner_->setWindowTitle(QStringLiteral("Image Browser"));
    emit buildFinished();
}

void ReviewTab::LoadAThumb(const QString& fileName) {
    trapAndTrace(QStringLiteral("LoadAThumb"), [&] {
        flb->setSortingEnabled(false);
        // One decode serves the thumbnail, the viewer and (through the file) the full-screen view.
        const QImage picture = display::loadPicture(fileName);
        addItem(fileName, review::drawThumb(picture, picture.size()));
        lblInfo->setText(review::countText(flb->count()));
        AAImageView1->setPicture(picture);
        if (setPicToshow) setPicToshow(fileName);
        if (state().vFullScreenOpen)
            if (auto* full = windows().ifLoadedAs<IFullScreenView>(Win::frmFullScreen))
                full->reloadImage();
        flb->sortItems(Qt::AscendingOrder);
        flb->setSortingEnabled(true);
    });
}

bool ReviewTab::showsCaption() const {
    // A build that ends after the user left the tab leaves the caption to the other tabs.
    return captionOwner_ && isVisibleTo(captionOwner_);
}

QString ReviewTab::itemPath(const QListWidgetItem* item) {
    return item->data(kTagRole).toString() + item->text();
}

void ReviewTab::flb_DblClick() {
    trapAndTrace(QStringLiteral("flb_DblClick"), [&] {
        const QListWidgetItem* item = flb->currentItem();
        if (!item || !item->isSelected()) return;
        AAImageView1->setPicture(display::loadPicture(itemPath(item)));
    });
}

void ReviewTab::AAImageView1_DblClick() {
    trapAndTrace(QStringLiteral("AAImageView1_DblClick"), [&] {
        const QListWidgetItem* item = flb->currentItem();
        if (!item || !item->isSelected()) return;
        // The item's own folder: items added from a download may lie elsewhere.
        if (setPicToshow) setPicToshow(itemPath(item));
        const bool wasOpen = windows().isLoaded(Win::frmFullScreen);
        QWidget* w = windows().show(Win::frmFullScreen);
        if (wasOpen)
            if (auto* full = dynamic_cast<IFullScreenView*>(w)) full->reloadImage();
    });
}

void ReviewTab::zoomClick(int percent) {
    const int step = reviewScaleStep(percent);
    if (step >= 0) AAImageView1->setScalePercent(step);
}

void ReviewTab::cbChooseThumbPath_Click() {
    const QString start = browseStart ? browseStart() : sReviewFolder_;
    // The chooser lets events run: the window may be gone when it returns.
    const QPointer<ReviewTab> self(this);
    const QString chosen =
        platform::Dialogs::browseForFolder(start, QStringLiteral("&Select a directory:"));
    // Cancel keeps the folder and the list as they are.
    if (!self || chosen.isEmpty()) return;
    sReviewFolder_ = chosen;
    LoadThumbs();
}

}  // namespace zelmora::capture
