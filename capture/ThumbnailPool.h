#pragma once

#include <QImage>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <cstdint>
#include <functional>

namespace zelmora::capture {

// One thumbnail, or why there is none.
struct Thumbnail {
    QString path;
    QImage image;  // the letterboxed thumbnail; null on failure
    int errorNumber = 0;
    QString error;
    bool ok() const { return !image.isNull(); }
};

// Makes thumbnails on worker threads and hands each to the GUI thread as it is
// done. JPEGs are decoded at the smallest DCT scale that still covers the
// thumbnail box (1/8 for camera frames), so a frame costs a fraction of a full
// decode; other pictures go through Qt.
class ThumbnailPool : public QObject {
    Q_OBJECT
public:
    explicit ThumbnailPool(QObject* parent = nullptr);
    // Waits for the workers: nothing they made arrives after this.
    ~ThumbnailPool() override;

    // `done` runs on this object's thread, with the batch it was given.
    using Done = std::function<void(std::uint64_t batch, const Thumbnail& thumb)>;
    void setDone(Done done) { done_ = std::move(done); }
    void submit(std::uint64_t batch, const QString& path);
    // Drops the work not yet started.
    void cancelPending();
    void waitForDone();

    // The work of one file, on any thread.
    static Thumbnail make(const QString& path);

private:
    QThreadPool pool_;
    Done done_;
};

}  // namespace zelmora::capture
