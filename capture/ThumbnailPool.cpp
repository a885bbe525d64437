#include "capture/ThumbnailPool.h"

#include <turbojpeg.h>

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QThread>
#include <cmath>
#include <vector>

#include "capture/ReviewList.h"
#include "platform/core/AppError.h"

namespace zelmora::capture {

namespace {

// One decoder per worker thread. A decode that failed can leave the handle
// unable to read the next file, so a failure gets a fresh one.
struct Decoder {
    tjhandle handle = tjInitDecompress();
    ~Decoder() {
        if (handle) tjDestroy(handle);
    }
    void renew() {
        if (handle) tjDestroy(handle);
        handle = tjInitDecompress();
    }
};

Decoder& decoder() {
    thread_local Decoder d;
    return d;
}

bool looksLikeJpeg(const QByteArray& data) {
    return data.size() > 3 && static_cast<unsigned char>(data[0]) == 0xFF &&
           static_cast<unsigned char>(data[1]) == 0xD8;
}

Thumbnail failed(const QString& path, int number, const QString& text) {
    Thumbnail t;
    t.path = path;
    t.errorNumber = number;
    t.error = text;
    return t;
}

// The smallest scaled size that still covers `need`, among the decoder's factors up to 1/1.
QSize scaledCover(int w, int h, QSizeF need) {
    int count = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&count);
    QSize best(w, h);
    for (int i = 0; i < count; ++i) {
        const tjscalingfactor f = factors[i];
        if (f.num > f.denom) continue;
        const int sw = TJSCALED(w, f), sh = TJSCALED(h, f);
        if (sw >= std::ceil(need.width()) && sh >= std::ceil(need.height()) &&
            qint64(sw) * sh < qint64(best.width()) * best.height())
            best = QSize(sw, sh);
    }
    return best;
}

Thumbnail decodeJpeg(tjhandle h, const QString& path, const QByteArray& data) {
    if (!h) return failed(path, AppError::kOutOfMemory, QStringLiteral("Out of memory"));
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
    int w = 0, hgt = 0, sub = 0, space = 0;
    if (tjDecompressHeader3(h, bytes, static_cast<unsigned long>(data.size()), &w, &hgt, &sub,
                            &space) != 0 ||
        w <= 0 || hgt <= 0)
        return failed(path, AppError::kInvalidPicture, QStringLiteral("Invalid picture"));
    const QSize size = scaledCover(w, hgt, review::thumbFit(w, hgt));
    QImage small(size, QImage::Format_ARGB32);
    if (small.isNull())
        return failed(path, AppError::kOutOfMemory, QStringLiteral("Out of memory"));
    if (tjDecompress2(h, bytes, static_cast<unsigned long>(data.size()), small.bits(), size.width(),
                      static_cast<int>(small.bytesPerLine()), size.height(), TJPF_BGRA,
                      TJFLAG_STOPONWARNING) != 0)
        return failed(path, AppError::kInvalidPicture, QStringLiteral("Invalid picture"));
    Thumbnail t;
    t.path = path;
    t.image = review::drawThumb(small, QSize(w, hgt));
    return t;
}

Thumbnail fromJpeg(const QString& path, const QByteArray& data) {
    Decoder& d = decoder();
    Thumbnail t = decodeJpeg(d.handle, path, data);
    if (!t.ok()) d.renew();
    return t;
}

}  // namespace

Thumbnail ThumbnailPool::make(const QString& path) {
    QFile file(path);
    if (!file.exists())
        return failed(path, AppError::kFileNotFound, QStringLiteral("File not found"));
    if (!file.open(QIODevice::ReadOnly))
        return failed(path, AppError::kPathFileAccess, QStringLiteral("Path/File access error"));
    const QByteArray data = file.readAll();
    if (looksLikeJpeg(data)) return fromJpeg(path, data);
    QBuffer buffer;
    buffer.setData(data);
    QImageReader reader(&buffer);
    const QImage img = reader.read();
    if (img.isNull())
        return failed(path, AppError::kInvalidPicture, QStringLiteral("Invalid picture"));
    Thumbnail t;
    t.path = path;
    t.image = review::drawThumb(img, img.size());
    return t;
}

ThumbnailPool::ThumbnailPool(QObject* parent) : QObject(parent) {
    pool_.setMaxThreadCount(std::max(QThread::idealThreadCount(), 1));
}

ThumbnailPool::~ThumbnailPool() {
    pool_.clear();
    pool_.waitForDone();
}

void ThumbnailPool::submit(std::uint64_t batch, const QString& path) {
    // The destructor waits for the workers, so `this` outlives them; a result
    // posted to a pool deleted before it arrives is dropped by Qt.
    pool_.start([this, batch, path] {
        Thumbnail t = make(path);
        QMetaObject::invokeMethod(
            this,
            [this, batch, t = std::move(t)] {
                if (done_) done_(batch, t);
            },
            Qt::QueuedConnection);
    });
}

void ThumbnailPool::cancelPending() {
    pool_.clear();
}

void ThumbnailPool::waitForDone() {
    pool_.waitForDone();
}

}  // namespace zelmora::capture
