#include <gtest/gtest.h>

#include <gif_lib.h>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QRandomGenerator>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "image/FrameLoader.h"
#include "image/synth/StarRenderer.h"
#include "image/tests/DibTestUtil.h"
#include "testing/CoreEnv.h"

using namespace zelmora;
using namespace zelmora::dibtest;

namespace {

QString writeFile(const QString& name, const QByteArray& data) {
    const QString path = testenv::appDir() + QStringLiteral("/") + name;
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
    return path;
}

QByteArray encoded(const QImage& image, const char* format) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format));
    return data;
}

// Qt reads GIF but cannot write it: a two-colour GIF through giflib.
QByteArray gifOf(const QImage& indexed) {
    QByteArray out;
    int error = 0;
    GifFileType* gif = EGifOpen(
        &out,
        [](GifFileType* g, const GifByteType* bytes, int n) {
            static_cast<QByteArray*>(g->UserData)->append(reinterpret_cast<const char*>(bytes), n);
            return n;
        },
        &error);
    EXPECT_NE(gif, nullptr);
    std::vector<GifColorType> colours;
    for (QRgb c : indexed.colorTable())
        colours.push_back({GifByteType(qRed(c)), GifByteType(qGreen(c)), GifByteType(qBlue(c))});
    ColorMapObject* map = GifMakeMapObject(2, colours.data());
    EGifPutScreenDesc(gif, indexed.width(), indexed.height(), 1, 0, map);
    EGifPutImageDesc(gif, 0, 0, indexed.width(), indexed.height(), false, nullptr);
    for (int y = 0; y < indexed.height(); ++y) {
        std::vector<GifPixelType> line(indexed.constScanLine(y),
                                       indexed.constScanLine(y) + indexed.width());
        EGifPutLine(gif, line.data(), indexed.width());
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

// A 64 x 48 frame with one star, as a JPEG.
QByteArray starJpeg() {
    cDIBSection frame = made(64, 48);
    synth::renderStars(frame, {{30, 20, 4.0, 200.0}}, {20.0, 5.0, 3});
    return synth::encodeJpeg(frame, 95);
}

QImage testPicture() {
    QImage img(9, 6, QImage::Format_RGB32);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 9; ++x) img.setPixel(x, y, qRgb(20 * x, 30 * y, 200 - 10 * x));
    return img;
}

}  // namespace

TEST(FrameLoader, JpegDecodesBottomUpIntoTheBufferAndReusesIt) {
    cDIBSection frame = made(64, 48);
    // Wide enough that the JPEG's halved colour resolution keeps its colour.
    synth::renderStars(frame, {{10, 5, 12.0, 200.0, 1.0, 0.6, 0.3}}, {20.0, 0.0, 1});
    const QString path = writeFile(QStringLiteral("frame.jpg"), synth::encodeJpeg(frame, 100));

    cDIBSection dib;
    FrameLoader loader;
    loader.load(path, dib);
    ASSERT_EQ(dib.Width(), 64);
    ASSERT_EQ(dib.Height(), 48);
    // Top-down (10, 5) is storage row 42; the star's colour survives in B, G, R order.
    const Bgr star = get(dib, 10, 5);
    EXPECT_NEAR(star.r, 220, 6);
    EXPECT_NEAR(star.g, 140, 6);
    EXPECT_NEAR(star.b, 80, 6);
    EXPECT_NEAR(get(dib, 60, 40).g, 20, 3);
    EXPECT_EQ(dib.maxpeak(1).X, 10);
    EXPECT_EQ(dib.maxpeak(1).Y, 6);

    const std::uint8_t* memory = dib.DIBSectionBitsPtr();
    loader.load(path, dib);
    EXPECT_EQ(dib.DIBSectionBitsPtr(), memory);  // same size: the memory is reused
}

TEST(FrameLoader, OtherFormatsGoThroughQImageExactly) {
    const QImage picture = testPicture();
    for (const char* format : {"BMP", "PNG"}) {
        SCOPED_TRACE(format);
        const QString path =
            writeFile(QStringLiteral("picture.") + QString::fromLatin1(format).toLower(),
                      encoded(picture, format));
        cDIBSection dib;
        loadFrame(path, dib);
        EXPECT_EQ(dib.toImage(), picture);
    }
    // GIF is indexed: the buffer gets the palette's colours.
    QImage indexed(4, 3, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(0, 0, 0), qRgb(250, 100, 5)});
    indexed.fill(0);
    indexed.setPixel(3, 0, 1);
    const QString gif = writeFile(QStringLiteral("moon.gif"), gifOf(indexed));
    cDIBSection dib;
    loadFrame(gif, dib);
    EXPECT_EQ(get(dib, 3, 0), (Bgr{5, 100, 250}));
    EXPECT_EQ(get(dib, 0, 0), (Bgr{0, 0, 0}));
}

TEST(FrameLoader, BadFilesRaiseAClearErrorAndNeverCrash) {
    const QByteArray jpeg = starJpeg();
    const QByteArray png = encoded(testPicture(), "PNG");
    const QByteArray bmp = encoded(testPicture(), "BMP");
    QImage indexed(40, 30, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(0, 0, 0), qRgb(250, 100, 5)});
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) indexed.setPixel(x, y, (x * y) % 3 == 0 ? 1 : 0);
    const QByteArray gif = gifOf(indexed);
    QByteArray corrupt = jpeg;
    for (int k = corrupt.size() / 3; k < corrupt.size() - 2; k += 7) corrupt[k] = char(0xFF);
    // Its picture claims 65535 x 65535 pixels, which giflib refuses without a reason.
    QByteArray gifHuge = gif;
    ASSERT_EQ(std::uint8_t(gifHuge[19]), 0x2C);  // the picture's descriptor
    for (int k = 24; k < 28; ++k) gifHuge[k] = char(0xFF);

    // A header that claims 60000 x 60000 pixels: refused before any memory is taken.
    QByteArray huge = jpeg;
    int sof = 2;  // walk the marker segments after the start marker up to the frame header
    while (sof + 4 < huge.size() && std::uint8_t(huge[sof + 1]) != 0xC0)
        sof += 2 + (std::uint8_t(huge[sof + 2]) << 8 | std::uint8_t(huge[sof + 3]));
    ASSERT_EQ(std::uint8_t(huge[sof]), 0xFF);
    ASSERT_EQ(std::uint8_t(huge[sof + 1]), 0xC0);
    for (int k : {5, 7}) {
        huge[sof + k] = char(0xEA);
        huge[sof + k + 1] = char(0x60);
    }

    struct Case {
        const char* name;
        std::optional<QByteArray> content;  // none: the file does not exist
        int number;
        const char* text;
    };
    const std::vector<Case> cases = {
        {"missing", std::nullopt, AppError::kFileNotFound, "File not found"},
        {"empty", QByteArray(), 481, "empty"},
        {"not a picture", QByteArray("Exposure file\r\n1,30,5,400\r\n"), 481, "Invalid picture"},
        {"JPEG start only", jpeg.left(3), 481, "Invalid picture"},
        {"JPEG header only", jpeg.left(600), 481, "Invalid picture"},
        {"truncated JPEG", jpeg.left(jpeg.size() / 2), 481, "Invalid picture"},
        {"corrupt JPEG", corrupt, 481, "Invalid picture"},
        {"JPEG claiming a huge size", huge, 481, "too large"},
        {"truncated PNG", png.left(png.size() / 2), 481, "Invalid picture"},
        {"truncated BMP", bmp.left(bmp.size() / 2), 481, "Invalid picture"},
        {"BMP header only", bmp.left(20), 481, "Invalid picture"},
        {"truncated GIF", gif.left(gif.size() - 20), 481, "Invalid picture"},
        {"GIF picture of 65535 x 65535", gifHuge, 481, "(the file is damaged)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = testenv::appDir() + QStringLiteral("/bad.jpg");
        QFile::remove(path);
        if (c.content) writeFile(QStringLiteral("bad.jpg"), *c.content);
        cDIBSection dib = made(2, 2);
        try {
            loadFrame(path, dib);
            ADD_FAILURE() << "no error";
        } catch (const AppError& e) {
            EXPECT_EQ(e.number(), c.number);
            EXPECT_TRUE(e.description().contains(QLatin1String(c.text))) << e.what();
            EXPECT_TRUE(e.description().contains(QStringLiteral("bad.jpg"))) << e.what();
        }
    }
}

TEST(FrameLoader, AFailedJpegLeavesNoHalfFrame) {
    const QByteArray jpeg = starJpeg();
    cDIBSection dib;
    FrameLoader loader;
    loader.loadJpeg(reinterpret_cast<const std::uint8_t*>(jpeg.constData()), jpeg.size(), dib);
    ASSERT_NE(dib.DIBSectionBitsPtr(), nullptr);
    const QByteArray half = jpeg.left(jpeg.size() / 2);
    EXPECT_EQ(errorNumber([&] {
                  loader.loadJpeg(reinterpret_cast<const std::uint8_t*>(half.constData()),
                                  half.size(), dib);
              }),
              481);
    EXPECT_EQ(dib.DIBSectionBitsPtr(), nullptr);

    // The decoder that failed does not spoil the next files.
    const QByteArray headerOnly = jpeg.left(600);
    QByteArray corrupt = jpeg;
    for (int k = corrupt.size() / 3; k < corrupt.size() - 2; k += 7) corrupt[k] = char(0xFF);
    for (const QByteArray* bad :
         std::initializer_list<const QByteArray*>{&headerOnly, &corrupt, &half}) {
        EXPECT_EQ(errorNumber([&] {
                      loader.loadJpeg(reinterpret_cast<const std::uint8_t*>(bad->constData()),
                                      bad->size(), dib);
                  }),
                  481);
        cDIBSection good;
        loader.loadJpeg(reinterpret_cast<const std::uint8_t*>(jpeg.constData()), jpeg.size(), good);
        EXPECT_EQ(good.Width(), 64);
    }
}

namespace {

// An 8-bit run-length BMP, written by hand (Qt writes none): 4 x 2 pixels, two colours.
QByteArray rleBmp() {
    const QByteArray pixels("\x04\x01\x00\x00\x02\x00\x02\x01\x00\x01", 10);
    QByteArray b;
    auto le = [&](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) b.append(char((v >> (8 * i)) & 0xFF));
    };
    const std::uint32_t offset = 14 + 40 + 2 * 4;
    b.append("BM");
    le(offset + std::uint32_t(pixels.size()), 4);
    le(0, 4);
    le(offset, 4);
    le(40, 4);  // the info header
    le(4, 4);
    le(2, 4);
    le(1, 2);
    le(8, 2);
    le(1, 4);  // run-length, 8 bits
    le(std::uint32_t(pixels.size()), 4);
    le(2835, 4);
    le(2835, 4);
    le(2, 4);
    le(2, 4);
    le(0x00000000, 4);  // black
    le(0x0000FF00, 4);  // green
    return b + pixels;
}

}  // namespace

// A picture cut short, whatever its format, is refused rather than shown with its
// missing part black or grey: run-length BMP, GIF (where a byte of the picture data
// may look like the trailer), and anything that starts as a JPEG does.
TEST(FrameLoader, CutShortPicturesOfEveryFormatAreRefused) {
    cDIBSection dib;
    loadFrame(writeFile("whole.bmp", rleBmp()), dib);
    ASSERT_EQ(dib.Width(), 4);
    // Stored bottom row first: the bottom row green, the top one black, black, green, green.
    EXPECT_EQ(dib.toImage().pixel(0, 1), qRgb(0, 0xFF, 0));
    EXPECT_EQ(dib.toImage().pixel(1, 0), qRgb(0, 0, 0));
    EXPECT_EQ(dib.toImage().pixel(2, 0), qRgb(0, 0xFF, 0));
    const QByteArray bmp = rleBmp();
    for (int cut = 2; cut <= 10; cut += 2)
        EXPECT_EQ(
            errorNumber([&] { loadFrame(writeFile("cut.bmp", bmp.left(bmp.size() - cut)), dib); }),
            481)
            << cut;

    QImage indexed(64, 48, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(0, 0, 0), qRgb(250, 100, 5)});
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            indexed.setPixel(x, y, (x * x + 3 * y * x + y) % 5 < 2 ? 1 : 0);
    const QByteArray gif = gifOf(indexed);
    loadFrame(writeFile("whole.gif", gif), dib);
    EXPECT_EQ(dib.Width(), 64);
    int trailerLike = 0;
    for (int n = 30; n < gif.size() - 1; ++n) {
        trailerLike += gif[n - 1] == char(0x3B);
        EXPECT_EQ(errorNumber([&] { loadFrame(writeFile("cut.gif", gif.left(n)), dib); }), 481)
            << n;
    }
    ASSERT_GT(trailerLike, 0) << "no cut ends on a byte that looks like the trailer";

    QByteArray jpeg = starJpeg();
    jpeg[2] = 0;  // FF D8 not followed by FF
    EXPECT_EQ(errorNumber([&] { loadFrame(writeFile("odd.jpg", jpeg), dib); }), 481);
}

namespace {

void putLe(QByteArray& b, int at, std::uint32_t v, int bytes) {
    for (int k = 0; k < bytes; ++k) b[at + k] = char((v >> (8 * k)) & 0xFF);
}

void putBe(QByteArray& b, int at, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) b[at + k] = char((v >> (24 - 8 * k)) & 0xFF);
}

QByteArray pngChunk(const char* type, const QByteArray& data) {
    QByteArray body = QByteArray(type, 4) + data;
    std::uint32_t crc = 0xFFFFFFFFu;
    for (char c : body) {
        crc ^= std::uint8_t(c);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    crc ^= 0xFFFFFFFFu;
    QByteArray out;
    for (std::uint32_t v : {std::uint32_t(data.size()), crc})
        for (int k = 3; k >= 0; --k) out += char((v >> (8 * k)) & 0xFF);
    return out.left(4) + body + out.mid(4);
}

// A PNG of headers only: IHDR for width x height, 16 bits a sample, RGBA, and
// an IDAT chunk with no pixels in it.
QByteArray pngHeader(std::uint32_t width, std::uint32_t height) {
    QByteArray ihdr(13, 0);
    for (int k = 0; k < 4; ++k) {
        ihdr[k] = char((width >> (24 - 8 * k)) & 0xFF);
        ihdr[4 + k] = char((height >> (24 - 8 * k)) & 0xFF);
    }
    ihdr[8] = 16;  // bits a sample
    ihdr[9] = 6;   // RGBA
    const QByteArray emptyDeflate("\x78\x9c\x03\x00\x00\x00\x00\x01", 8);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", ihdr) +
           pngChunk("IDAT", emptyDeflate) + pngChunk("IEND", {});
}

// A run-length BMP (8 bits a pixel) whose data is only the end-of-picture mark:
// complete as far as its data goes, whatever size its header claims.
QByteArray rleBmpHeader(std::int32_t width, std::int32_t height) {
    QByteArray b(54 + 8 + 2, 0);
    b[0] = 'B';
    b[1] = 'M';
    putLe(b, 2, std::uint32_t(b.size()), 4);
    putLe(b, 10, 54 + 8, 4);  // pixel data after two palette entries
    putLe(b, 14, 40, 4);
    putLe(b, 18, std::uint32_t(width), 4);
    putLe(b, 22, std::uint32_t(height), 4);
    putLe(b, 26, 1, 2);
    putLe(b, 28, 8, 2);
    putLe(b, 30, 1, 4);  // RLE8
    putLe(b, 46, 2, 4);  // colours used
    b[54 + 4] = char(0xFF);
    b[54 + 8] = 0;  // end of picture
    b[54 + 9] = 1;
    return b;
}

// A little-endian TIFF header whose one strip is width x height of 8-bit grey.
QByteArray tiffHeader(std::uint32_t width, std::uint32_t height) {
    const std::uint16_t tags[][2] = {{256, 4}, {257, 4}, {258, 3}, {259, 3}, {262, 3},
                                     {273, 4}, {277, 3}, {278, 4}, {279, 4}};
    const std::uint32_t values[] = {width, height, 8, 1, 1, 200, 1, height, 16};
    const int n = int(std::size(values));
    QByteArray b(200 + 16, 0);
    b[0] = 'I';
    b[1] = 'I';
    putLe(b, 2, 42, 2);
    putLe(b, 4, 8, 4);
    putLe(b, 8, std::uint32_t(n), 2);
    for (int i = 0; i < n; ++i) {
        const int at = 10 + 12 * i;
        putLe(b, at, tags[i][0], 2);
        putLe(b, at + 2, tags[i][1], 2);
        putLe(b, at + 4, 1, 4);
        putLe(b, at + 8, values[i], tags[i][1] == 3 ? 2 : 4);
    }
    return b;
}

// The process's resident memory in kB: now, or the peak since the last reset.
long residentKb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(std::strlen(field))).trimmed().split(' ')[0].toLong();
    return -1;
}

// How loading a damaged file ends: the error, how long it took and how much the
// resident memory grew meanwhile at its peak.
struct Refusal {
    int number = 0;
    QString description;
    qint64 ms = 0;
    long peakKb = 0;
};

Refusal refusalOf(const QString& path) {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly)) clear.write("5");  // the peak starts again from here
    clear.close();
    const long before = residentKb("VmRSS:");
    QElapsedTimer took;
    took.start();
    Refusal r;
    cDIBSection dib;
    try {
        loadFrame(path, dib);
        ADD_FAILURE() << "no error";
    } catch (const AppError& e) {
        r.number = e.number();
        r.description = e.description();
    }
    r.ms = took.elapsed();
    r.peakKb = residentKb("VmHWM:") - before;
    return r;
}

// An icon file of one picture, whose directory entry gives `claimed` as its size.
QByteArray iconOf(const QByteArray& picture, std::uint32_t claimed) {
    QByteArray ico(6 + 16, 0);
    putLe(ico, 2, 1, 2);  // an icon
    putLe(ico, 4, 1, 2);  // of one picture
    ico[6] = 9;
    ico[7] = 6;
    putLe(ico, 10, 1, 2);
    putLe(ico, 12, 32, 2);
    putLe(ico, 14, claimed, 4);
    putLe(ico, 18, 6 + 16, 4);
    return ico + picture;
}

// A PNG text chunk whose length field claims `claimed` bytes.
QByteArray textChunkClaiming(std::uint32_t claimed) {
    QByteArray text = pngChunk("tEXt", QByteArray("Comment\0a damaged length", 24));
    putBe(text, 0, claimed);
    return text;
}

// The chunk put into a PNG after its pixels, before the end chunk.
QByteArray afterThePixels(const QByteArray& png, const QByteArray& chunk) {
    return png.left(png.size() - 12) + chunk + png.right(12);
}

}  // namespace

// A 64 x 48 picture of 16 bits a sample whose text chunk after the pixels claims
// 1.7 GB (its length field damaged): refused from the file's structure before the
// decoder reserves anything for it. The time is printed, not asserted.
TEST(FrameLoader, APngChunkClaimingMoreThanTheFileHoldsIsRefusedBeforeDecoding) {
    QImage picture(64, 48, QImage::Format_RGBA64);
    QRandomGenerator noise(36);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            picture.setPixelColor(x, y,
                                  QColor::fromRgba64(QRgba64::fromRgba64(noise.generate64())));
    const QByteArray png = encoded(picture, "PNG");
    ASSERT_EQ(int(png[24]), 16);  // bits a sample, in the header chunk
    const QByteArray damaged = afterThePixels(png, textChunkClaiming(1'700'000'000u));
    const QString path = writeFile("damaged.png", damaged);

    const Refusal r = refusalOf(path);
    EXPECT_EQ(r.number, 481);
    EXPECT_EQ(r.description.toStdString(),
              ("Invalid picture: " + path + " (the file is cut short)").toStdString());
    std::printf("%lld bytes refused in %lld ms, peak memory +%ld kB\n",
                static_cast<long long>(damaged.size()), static_cast<long long>(r.ms), r.peakKb);
    EXPECT_LT(r.peakKb, 64 * 1024);
}

// Each format whose structure gives lengths: one that runs past the end of the
// file is refused before decoding, with memory flat, naming the file.
TEST(FrameLoader, ALengthPastTheEndIsRefusedInEveryFormat) {
    const QByteArray jpeg = starJpeg();
    const QByteArray png = encoded(testPicture(), "PNG");
    const QByteArray bmp = encoded(testPicture(), "BMP");
    QByteArray pngData = png;
    putBe(pngData, 33, 1'700'000'000u);  // the chunk after the header: the pixels
    const QByteArray damagedPng = afterThePixels(png, textChunkClaiming(1'700'000'000u));
    QByteArray bmpData = bmp;
    putLe(bmpData, 10, std::uint32_t(bmp.size()) + 100, 4);  // where the pixels start
    QImage indexed(40, 30, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(0, 0, 0), qRgb(250, 100, 5)});
    indexed.fill(1);
    const QByteArray gif = gifOf(indexed);
    // A comment block before the trailer that claims 255 bytes and holds 3.
    const QByteArray gifComment =
        gif.left(gif.size() - 1) + QByteArray("\x21\xFE\xFF", 3) + QByteArray("abc");

    struct Row {
        const char* name;
        QByteArray bytes;
        const char* why;
    };
    const Row rows[] = {
        {"PNG chunk", pngData, "the file is cut short"},
        {"PNG chunk before the pixels",
         png.left(33) + textChunkClaiming(1'700'000'000u) + png.mid(33), "the file is cut short"},
        {"JPEG segment",
         jpeg.left(2) + QByteArray("\xFF\xFE\xFF\xF0", 4) + "a comment" + jpeg.mid(2),
         "the file is cut short"},
        {"icon picture", iconOf(png, 1'700'000'000u), "the file is cut short"},
        {"PNG chunk in an icon", iconOf(damagedPng, damagedPng.size()), "the file is cut short"},
        {"BMP pixels", bmpData, "the file is cut short"},
        {"GIF block", gifComment, "Failed to read from given file"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const QString path = writeFile("damaged.img", r.bytes);
        const Refusal got = refusalOf(path);
        EXPECT_EQ(got.number, 481);
        EXPECT_EQ(got.description.toStdString(),
                  ("Invalid picture: " + path + " (" + r.why + ")").toStdString());
        EXPECT_LT(got.peakKb, 64 * 1024);
    }
}

// Where a JPEG ends: at the end marker after its last scan, found through its
// segments' lengths and its scans' data, whatever follows it; never in a
// thumbnail inside its header, nor in any part of a frame still being written.
TEST(FrameLoader, AJpegEndsAtTheEndMarkerAfterItsLastScan) {
    using End = FrameLoader::JpegEnd;
    const auto endOf = [](const QByteArray& b) {
        return FrameLoader::jpegEnd(reinterpret_cast<const std::uint8_t*>(b.constData()),
                                    std::size_t(b.size()));
    };
    const QByteArray jpeg = starJpeg();
    QByteArray progressive;
    {
        QBuffer buffer(&progressive);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setProgressiveScanWrite(true);
        ASSERT_TRUE(writer.write(QImage::fromData(jpeg)));
    }
    ASSERT_GT(progressive.count(QByteArray("\xFF\xDA", 2)), 1);  // more than one scan
    // A camera's frame: the thumbnail, a JPEG of its own, in the header.
    const QByteArray thumb = encoded(testPicture(), "JPG");
    const QByteArray exif = QByteArray("Exif\0\0", 6) + thumb;
    const int len = int(exif.size()) + 2;
    const QByteArray camera =
        QByteArray("\xFF\xD8\xFF\xE1", 4) + char(len >> 8) + char(len & 0xFF) + exif + jpeg.mid(2);
    // A restart marker inside the scan's data.
    const int sos = int(jpeg.indexOf(QByteArray("\xFF\xDA", 2)));
    int inScan = sos + 2 + (std::uint8_t(jpeg[sos + 2]) << 8 | std::uint8_t(jpeg[sos + 3])) + 20;
    while (std::uint8_t(jpeg[inScan - 1]) == 0xFF) ++inScan;
    const QByteArray restart = jpeg.left(inScan) + QByteArray("\xFF\xD0", 2) + jpeg.mid(inScan);

    struct Row {
        const char* name;
        QByteArray bytes;
        qsizetype frame;  // the bytes up to the frame's end marker
    };
    const Row rows[] = {
        {"baseline", jpeg, jpeg.size()},
        {"padded with zeros", jpeg + QByteArray(16, 0), jpeg.size()},
        {"with a trailer", jpeg + QByteArray("TRAILER\xFF\xD9\xFF\xD8 more"), jpeg.size()},
        {"progressive", progressive, progressive.size()},
        {"with a thumbnail", camera, camera.size()},
        {"with a restart marker", restart, restart.size()},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(endOf(r.bytes), End::Whole);
        for (qsizetype cut = 2; cut < r.frame; ++cut)
            ASSERT_NE(endOf(r.bytes.left(cut)), End::Whole) << cut;
    }
    EXPECT_EQ(endOf(jpeg.left(2) + QByteArray("\xFF\xFE\x40\x00", 4) + jpeg.mid(2)),
              End::PastTheEnd);
    EXPECT_EQ(endOf(QByteArray("GIF89a")), End::Damaged);
    EXPECT_EQ(endOf(jpeg.left(2) + QByteArray("garbage") + jpeg.mid(2)), End::Damaged);
}

// Small files whose headers claim more pixels than any camera makes: every
// format is refused from its header, before the picture is decoded.
TEST(FrameLoader, EveryFormatIsSizedFromItsHeaderFirst) {
    const bool tiff = QImageReader::supportedImageFormats().contains("tiff");
    struct Case {
        const char* name;
        QByteArray bytes;
        const char* size;  // nullptr: a size the loader takes
    } cases[] = {
        {"16-bit PNG", pngHeader(20000, 20000), "20000 x 20000"},
        {"run-length BMP", rleBmpHeader(20000, 12000), "20000 x 12000"},
        {"TIFF", tiffHeader(15000, 15000), "15000 x 15000"},
        {"small PNG", encoded(testPicture(), "PNG"), nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cDIBSection dib;
        const QString path = writeFile("claim.img", c.bytes);
        if (!c.size) {
            try {
                loadFrame(path, dib);
            } catch (const AppError& e) {
                EXPECT_FALSE(e.description().contains("too large")) << e.what();
            }
            continue;
        }
        if (QByteArray(c.name) == "TIFF" && !tiff) continue;  // no reader for it here
        try {
            loadFrame(path, dib);
            ADD_FAILURE() << "no error";
        } catch (const AppError& e) {
            EXPECT_EQ(e.number(), 481);
            EXPECT_TRUE(e.description().contains(QString(c.size) + " pixels is too large"))
                << e.what();
        }
        EXPECT_EQ(dib.Width(), 0);
    }
}

// A 2.6 KB file whose header claims 65500 x 7151 pixels: refused before a byte is
// taken for it, and the frame already in the buffer stays.
TEST(FrameLoader, AHeaderTooLargeForAnyCameraLeavesThePreviousFrame) {
    const QByteArray jpeg = starJpeg();
    QByteArray huge = jpeg;
    int sof = 2;
    while (sof + 4 < huge.size() && std::uint8_t(huge[sof + 1]) != 0xC0)
        sof += 2 + (std::uint8_t(huge[sof + 2]) << 8 | std::uint8_t(huge[sof + 3]));
    ASSERT_EQ(std::uint8_t(huge[sof + 1]), 0xC0);
    huge[sof + 5] = char(7151 >> 8);  // height
    huge[sof + 6] = char(7151 & 0xFF);
    huge[sof + 7] = char(65500 >> 8);  // width
    huge[sof + 8] = char(65500 & 0xFF);

    cDIBSection dib;
    loadFrame(writeFile("good.jpg", jpeg), dib);
    const std::uint8_t* before = dib.DIBSectionBitsPtr();
    const QImage shown = dib.toImage();
    try {
        loadFrame(writeFile("huge.jpg", huge), dib);
        ADD_FAILURE() << "no error";
    } catch (const AppError& e) {
        EXPECT_EQ(e.number(), 481);
        EXPECT_TRUE(e.description().contains("65500 x 7151 pixels is too large")) << e.what();
    }
    EXPECT_EQ(dib.DIBSectionBitsPtr(), before);
    EXPECT_EQ(dib.Width(), 64);
    EXPECT_EQ(dib.toImage(), shown);
}
