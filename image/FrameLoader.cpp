#include "image/FrameLoader.h"

#include <turbojpeg.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include <QFile>
#include <QFileInfo>
#include <QImage>

#include "platform/core/AppError.h"

namespace zelmora {

namespace {

constexpr int kInvalidPicture = 481;
const QString kSource = QStringLiteral("FrameLoader");

[[noreturn]] void invalidPicture(const QString& name, const QString& why) {
    throw AppError(kInvalidPicture, kSource,
                   QStringLiteral("Invalid picture: %1 (%2)").arg(name, why));
}

std::uint32_t le32(const std::uint8_t* d) {
    return std::uint32_t(d[0]) | std::uint32_t(d[1]) << 8 | std::uint32_t(d[2]) << 16 |
           std::uint32_t(d[3]) << 24;
}
std::uint32_t le16(const std::uint8_t* d) {
    return std::uint32_t(d[0]) | std::uint32_t(d[1]) << 8;
}

// Qt's readers fill the missing part of some pictures that were cut short
// (a frame still being written by another program, a broken copy). The
// uncompressed BMP's length follows from its header, and a GIF ends with its
// trailer byte.
bool cutShort(const std::uint8_t* d, std::size_t n) {
    if (n >= 2 && d[0] == 'B' && d[1] == 'M') {
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
        if (compression != 0 && compression != 3) return false;  // packed: the reader checks it
        const std::uint64_t rowBytes = (std::uint64_t(std::llabs(width)) * bits + 31) / 32 * 4;
        return n < offset + rowBytes * std::uint64_t(std::llabs(height));
    }
    if (n >= 4 && d[0] == 'G' && d[1] == 'I' && d[2] == 'F' && d[3] == '8') return d[n - 1] != 0x3B;
    return false;
}

}  // namespace

FrameLoader::FrameLoader() = default;

FrameLoader::~FrameLoader() {
    if (decoder_) tjDestroy(static_cast<tjhandle>(decoder_));
}

bool FrameLoader::looksLikeJpeg(const std::uint8_t* data, std::size_t size) {
    return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
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

    if (looksLikeJpeg(file_.data(), size)) {
        loadJpeg(file_.data(), size, dib, path);
        return;
    }
    QImage picture;
    if (!picture.loadFromData(file_.data(),
                              static_cast<int>(std::min<std::size_t>(size, INT32_MAX))))
        invalidPicture(path, QStringLiteral("not a picture in a format Zelmora reads"));
    if (cutShort(file_.data(), size)) invalidPicture(path, QStringLiteral("the file is cut short"));
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
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colourspace = 0;
    if (tjDecompressHeader3(handle, data, static_cast<unsigned long>(size), &width, &height,
                            &subsampling, &colourspace) != 0)
        failed(label);
    if (width <= 0 || height <= 0) invalidPicture(label, QStringLiteral("no pixels"));
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
