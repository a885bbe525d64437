#include "image/FrameLoader.h"

#include <gif_lib.h>
#include <turbojpeg.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

#include "platform/core/AppError.h"

namespace zelmora {

namespace {

// More than any camera makes: a header claiming more is corrupt, and refused before
// any memory is taken for it.
constexpr std::int64_t kMaxPixels = 200'000'000;
const QString kSource = QStringLiteral("FrameLoader");

[[noreturn]] void invalidPicture(const QString& name, const QString& why) {
    throw AppError(AppError::kInvalidPicture, kSource,
                   QStringLiteral("Invalid picture: %1 (%2)").arg(name, why));
}

std::uint32_t le32(const std::uint8_t* d) {
    return std::uint32_t(d[0]) | std::uint32_t(d[1]) << 8 | std::uint32_t(d[2]) << 16 |
           std::uint32_t(d[3]) << 24;
}
std::uint32_t le16(const std::uint8_t* d) {
    return std::uint32_t(d[0]) | std::uint32_t(d[1]) << 8;
}
std::uint32_t be32(const std::uint8_t* d) {
    return std::uint32_t(d[0]) << 24 | std::uint32_t(d[1]) << 16 | std::uint32_t(d[2]) << 8 |
           std::uint32_t(d[3]);
}

const std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// A PNG's chunks, walked by their lengths up to the end chunk: whether one runs past
// the end of the data (or the data stops inside a chunk's header). The decoder
// reserves what a length claims before it reads the chunk: 1.7 GB for a damaged
// text chunk in a 25 KB file.
bool pngCutShort(const std::uint8_t* d, std::size_t n) {
    std::uint64_t at = sizeof kPngSignature;
    while (at < n) {
        if (n - at < 8) return true;
        const std::uint64_t next = at + 12 + be32(d + at);
        if (next > n) return true;
        if (std::memcmp(d + at + 4, "IEND", 4) == 0) return false;
        at = next;
    }
    return false;
}

// An icon file's pictures lie where its directory says, wholly inside the data, and
// a PNG among them is walked as a PNG (Qt's reader hands it to the PNG decoder).
bool iconCutShort(const std::uint8_t* d, std::size_t n) {
    if (n < 6) return true;
    const std::uint32_t count = le16(d + 4);
    if (6 + 16 * std::uint64_t(count) > n) return true;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* entry = d + 6 + 16 * std::size_t(i);
        const std::uint64_t size = le32(entry + 8);
        const std::uint64_t offset = le32(entry + 12);
        if (offset + size > n) return true;
        if (size >= sizeof kPngSignature &&
            std::memcmp(d + offset, kPngSignature, sizeof kPngSignature) == 0 &&
            pngCutShort(d + offset, std::size_t(size)))
            return true;
    }
    return false;
}

// Run-length BMP data (8 or 4 bits a pixel) read to its end-of-picture mark: Qt's
// reader leaves whatever is missing black.
bool rleCutShort(const std::uint8_t* d, std::size_t n, std::uint64_t offset, bool fourBits) {
    std::uint64_t at = offset;
    while (at + 2 <= n) {
        const std::uint8_t count = d[at];
        const std::uint8_t code = d[at + 1];
        at += 2;
        if (count != 0) continue;     // a run: count pixels of one value
        if (code == 0) continue;      // end of line
        if (code == 1) return false;  // end of picture
        if (code == 2) {              // move by two bytes
            at += 2;
            continue;
        }
        // Absolute: `code` pixels given one by one, padded to a whole word.
        const std::uint64_t bytes = fourBits ? (code + 1u) / 2 : code;
        at += (bytes + 1) / 2 * 2;
    }
    return true;
}

// Pictures cut short (a frame still being written by another program, a broken
// copy) or whose structure claims more than the file holds, in the format Qt's
// reader takes the file for. Qt's readers fill the missing part of some pictures:
// the uncompressed BMP's length follows from its header, run-length BMP data must
// reach its end mark. The PNG decoder reserves what a chunk's length claims. (GIF
// is read with giflib, which says so itself, in blocks of at most 255 bytes.)
bool cutShort(const QByteArray& format, const std::uint8_t* d, std::size_t n) {
    if (format == "png") return pngCutShort(d, n);
    if (format == "ico" || format == "cur") return iconCutShort(d, n);
    if (format == "bmp" && n >= 2 && d[0] == 'B' && d[1] == 'M') {
        if (n < 26) return true;
        const std::uint64_t offset = le32(d + 10);
        const std::uint32_t header = le32(d + 14);
        std::int64_t width = 0, height = 0;
        std::uint32_t bits = 0, compression = 0;
        if (header == 12) {
            width = le16(d + 18);
            height = le16(d + 20);
            bits = le16(d + 24);
        } else {
            if (n < 34) return true;
            width = static_cast<std::int32_t>(le32(d + 18));
            height = static_cast<std::int32_t>(le32(d + 22));
            bits = le16(d + 28);
            compression = le32(d + 30);
        }
        if (offset >= n) return true;
        if ((compression == 1 && bits == 8) || (compression == 2 && bits == 4))
            return rleCutShort(d, n, offset, compression == 2);
        if (compression != 0 && compression != 3) return false;  // packed: the reader checks it
        const std::uint64_t rowBytes = (std::uint64_t(std::llabs(width)) * bits + 31) / 32 * 4;
        return n < offset + rowBytes * std::uint64_t(std::llabs(height));
    }
    return false;
}

bool isGif(const std::uint8_t* d, std::size_t n) {
    return n >= 4 && d[0] == 'G' && d[1] == 'I' && d[2] == 'F' && d[3] == '8';
}

// giflib's reason, or a plain one where it gives none (it refuses a picture too
// large for it without saying why).
QString gifReason(int error) {
    const char* why = GifErrorString(error);
    return why ? QString::fromLatin1(why) : QStringLiteral("the file is damaged");
}

// The first picture of a GIF, through giflib, which reports a file cut short (a
// trailer byte at the end proves nothing: a data byte may be 0x3B).
QImage readGif(const std::uint8_t* d, std::size_t n, const QString& name) {
    struct Source {
        const std::uint8_t* data;
        std::size_t size;
        std::size_t at;
    } source{d, n, 0};
    const InputFunc read = [](GifFileType* g, GifByteType* out, int wanted) -> int {
        auto* s = static_cast<Source*>(g->UserData);
        const std::size_t k =
            std::min<std::size_t>(std::size_t(std::max(wanted, 0)), s->size - s->at);
        std::memcpy(out, s->data + s->at, k);
        s->at += k;
        return int(k);
    };
    int error = 0;
    GifFileType* gif = DGifOpen(&source, read, &error);
    if (!gif) invalidPicture(name, gifReason(error));
    const std::unique_ptr<GifFileType, void (*)(GifFileType*)> closer(gif, [](GifFileType* g) {
        int e = 0;
        DGifCloseFile(g, &e);
    });
    if (gif->SWidth <= 0 || gif->SHeight <= 0) invalidPicture(name, QStringLiteral("no pixels"));
    if (std::int64_t(gif->SWidth) * gif->SHeight > kMaxPixels)
        invalidPicture(
            name, QStringLiteral("%1 x %2 pixels is too large").arg(gif->SWidth).arg(gif->SHeight));
    if (DGifSlurp(gif) != GIF_OK) invalidPicture(name, gifReason(gif->Error));
    if (gif->ImageCount < 1) invalidPicture(name, QStringLiteral("no picture in the file"));
    const SavedImage& picture = gif->SavedImages[0];
    const GifImageDesc& at = picture.ImageDesc;
    const ColorMapObject* map = at.ColorMap ? at.ColorMap : gif->SColorMap;
    if (!map) invalidPicture(name, QStringLiteral("no colour table"));
    int transparent = NO_TRANSPARENT_COLOR;
    GraphicsControlBlock control;
    if (DGifSavedExtensionToGCB(gif, 0, &control) == GIF_OK) transparent = control.TransparentColor;
    auto colour = [&](int index) {
        const GifColorType& c = map->Colors[index];
        return qRgb(c.Red, c.Green, c.Blue);
    };
    QImage out(gif->SWidth, gif->SHeight, QImage::Format_RGB32);
    if (out.isNull()) invalidPicture(name, QStringLiteral("no memory for a picture of this size"));
    const bool background = gif->SColorMap && gif->SBackGroundColor < gif->SColorMap->ColorCount &&
                            gif->SBackGroundColor != transparent;
    out.fill(background ? QColor(colour(gif->SBackGroundColor)) : QColor(Qt::black));
    for (int y = 0; y < at.Height; ++y) {
        const int py = at.Top + y;
        if (py < 0 || py >= out.height()) continue;
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(py));
        for (int x = 0; x < at.Width; ++x) {
            const int px = at.Left + x;
            const int index =
                picture.RasterBits[std::size_t(y) * std::size_t(at.Width) + std::size_t(x)];
            if (px < 0 || px >= out.width() || index == transparent || index >= map->ColorCount)
                continue;
            line[px] = colour(index);
        }
    }
    return out;
}

}  // namespace

FrameLoader::FrameLoader() = default;

FrameLoader::~FrameLoader() {
    if (decoder_) tjDestroy(static_cast<tjhandle>(decoder_));
}

bool FrameLoader::looksLikeJpeg(const std::uint8_t* data, std::size_t size) {
    return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

FrameLoader::JpegEnd FrameLoader::jpegEnd(const std::uint8_t* d, std::size_t n) {
    if (n < 2 || d[0] != 0xFF || d[1] != 0xD8) return JpegEnd::Damaged;
    std::size_t at = 2;
    for (;;) {
        // A marker: FF, perhaps after fill bytes FF.
        if (at >= n) return JpegEnd::Unfinished;
        if (d[at] != 0xFF) return JpegEnd::Damaged;
        while (at < n && d[at] == 0xFF) ++at;
        if (at >= n) return JpegEnd::Unfinished;
        const std::uint8_t marker = d[at++];
        if (marker == 0xD9) return JpegEnd::Whole;
        if (marker == 0x00 || marker == 0xD8) return JpegEnd::Damaged;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length
        if (n - at < 2) return JpegEnd::Unfinished;
        const std::size_t length = std::size_t(d[at]) << 8 | d[at + 1];
        if (length < 2) return JpegEnd::Damaged;
        if (length > n - at) return JpegEnd::PastTheEnd;
        at += length;
        if (marker != 0xDA) continue;
        // A scan's data: inside it FF is followed by 00 (an FF data byte) or by a
        // restart marker; anything else is the marker after the scan.
        for (;;) {
            const void* ff = std::memchr(d + at, 0xFF, n - at);
            if (!ff) return JpegEnd::Unfinished;
            at = std::size_t(static_cast<const std::uint8_t*>(ff) - d);
            if (n - at < 2) return JpegEnd::Unfinished;
            const std::uint8_t next = d[at + 1];
            if (next != 0x00 && (next < 0xD0 || next > 0xD7)) break;
            at += 2;
        }
    }
}

void FrameLoader::load(const QString& path, cDIBSection& dib) {
    QFile file(path);
    if (!QFileInfo(path).isFile())
        throw AppError(AppError::kFileNotFound, kSource,
                       QStringLiteral("File not found: %1").arg(path));
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(
            AppError::kPathFileAccess, kSource,
            QStringLiteral("Path/File access error: %1 (%2)").arg(path, file.errorString()));
    // Read into a buffer kept between frames; the size is what was read, as the
    // file may still be growing while another program writes it.
    const qint64 expected = file.size();
    if (expected <= 0) invalidPicture(path, QStringLiteral("the file is empty"));
    file_.resize(static_cast<std::size_t>(expected));
    const qint64 got = file.read(reinterpret_cast<char*>(file_.data()), expected);
    if (got < 0)
        throw AppError(
            AppError::kPathFileAccess, kSource,
            QStringLiteral("Path/File access error: %1 (%2)").arg(path, file.errorString()));
    if (got == 0) invalidPicture(path, QStringLiteral("the file is empty"));
    const auto size = static_cast<std::size_t>(got);

    // Every file that starts as a JPEG does goes to the JPEG decoder, which refuses
    // a damaged one (Qt's reader would fill it grey).
    if (size >= 2 && file_[0] == 0xFF && file_[1] == 0xD8) {
        loadJpeg(file_.data(), size, dib, path);
        return;
    }
    QImage picture;
    if (isGif(file_.data(), size)) {
        picture = readGif(file_.data(), size, path);
    } else {
        const QByteArray bytes =
            QByteArray::fromRawData(reinterpret_cast<const char*>(file_.data()),
                                    static_cast<qsizetype>(std::min<std::size_t>(size, INT32_MAX)));
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        // The structure, then the size the header claims, before any pixel is decoded
        // or memory taken (reading the size may read chunks that claim too much).
        if (cutShort(reader.format(), file_.data(), size))
            invalidPicture(path, QStringLiteral("the file is cut short"));
        const QSize claimed = reader.size();
        if (claimed.isValid() && std::int64_t(claimed.width()) * claimed.height() > kMaxPixels)
            invalidPicture(path, QStringLiteral("%1 x %2 pixels is too large")
                                     .arg(claimed.width())
                                     .arg(claimed.height()));
        if (!reader.read(&picture))
            invalidPicture(path, QStringLiteral("not a picture in a format Zelmora reads"));
    }
    if (std::int64_t(picture.width()) * picture.height() > kMaxPixels)
        invalidPicture(path, QStringLiteral("%1 x %2 pixels is too large")
                                 .arg(picture.width())
                                 .arg(picture.height()));
    if (!dib.Create(picture.width(), picture.height()))
        invalidPicture(path, QStringLiteral("no memory for a picture of this size"));
    dib.LoadPictureBlt(picture, 0, 0, -1, -1);
}

void FrameLoader::loadJpeg(const std::uint8_t* data, std::size_t size, cDIBSection& dib,
                           const QString& name) {
    const QString label = name.isEmpty() ? QStringLiteral("JPEG data") : name;
    if (size == 0) invalidPicture(label, QStringLiteral("the file is empty"));
    if (size > static_cast<std::size_t>(ULONG_MAX))
        invalidPicture(label, QStringLiteral("too large"));
    if (!decoder_) {
        decoder_ = tjInitDecompress();
        if (!decoder_)
            throw AppError(AppError::kCantCreateObject, kSource,
                           QStringLiteral("The JPEG decoder could not be started"));
    }
    auto* handle = static_cast<tjhandle>(decoder_);
    // A segment that claims more than the data holds; data that merely stops is the
    // decoder's to refuse.
    if (jpegEnd(data, size) == JpegEnd::PastTheEnd)
        invalidPicture(label, QStringLiteral("the file is cut short"));
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colourspace = 0;
    if (tjDecompressHeader3(handle, data, static_cast<unsigned long>(size), &width, &height,
                            &subsampling, &colourspace) != 0)
        failed(label);
    if (width <= 0 || height <= 0) invalidPicture(label, QStringLiteral("no pixels"));
    // Before any memory is taken, and with the previous frame left as it was.
    if (std::int64_t(width) * height > kMaxPixels)
        invalidPicture(label, QStringLiteral("%1 x %2 pixels is too large").arg(width).arg(height));
    bool made = false;
    try {
        made = dib.createForOverwrite(width, height);
    } catch (const AppError&) {
        // The header claims more bytes than a buffer can hold.
    }
    if (!made)
        invalidPicture(label, QStringLiteral("%1 x %2 pixels is too large").arg(width).arg(height));
    // Bottom-up BGR with the buffer's padded rows: the decoder writes the final layout.
    const int flags = TJFLAG_BOTTOMUP | TJFLAG_STOPONWARNING;
    if (tjDecompress2(handle, data, static_cast<unsigned long>(size), dib.DIBSectionBitsPtr(),
                      width, dib.BytesPerScanLine(), height, TJPF_BGR, flags) != 0) {
        dib.ClearUp();
        failed(label);
    }
}

void FrameLoader::failed(const QString& label) {
    // A decoder that stopped on bad data is not trusted with the next file.
    const QString why = QString::fromLocal8Bit(tjGetErrorStr2(static_cast<tjhandle>(decoder_)));
    tjDestroy(static_cast<tjhandle>(decoder_));
    decoder_ = nullptr;
    invalidPicture(label, why);
}

void loadFrame(const QString& path, cDIBSection& dib) {
    static FrameLoader loader;
    loader.load(path, dib);
}

}  // namespace zelmora
