#include <gtest/gtest.h>

#include <gif_lib.h>
#include <QBuffer>
#include <QFile>
#include <QImage>
#include <cstdlib>

#include "image/FrameLoader.h"
#include "image/synth/StarRenderer.h"
#include "image/tests/DibTestUtil.h"
#include "shell/AppPaths.h"
#include "testing/TestEnv.h"

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
    cDIBSection frame = made(64, 48);
    synth::renderStars(frame, {{30, 20, 4.0, 200.0}}, {20.0, 5.0, 3});
    const QByteArray jpeg = synth::encodeJpeg(frame, 95);
    const QByteArray png = encoded(testPicture(), "PNG");
    const QByteArray bmp = encoded(testPicture(), "BMP");
    QImage indexed(40, 30, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(0, 0, 0), qRgb(250, 100, 5)});
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) indexed.setPixel(x, y, (x * y) % 3 == 0 ? 1 : 0);
    const QByteArray gif = gifOf(indexed);
    QByteArray corrupt = jpeg;
    for (int k = corrupt.size() / 3; k < corrupt.size() - 2; k += 7) corrupt[k] = char(0xFF);

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
    cDIBSection frame = made(64, 48);
    synth::renderStars(frame, {{30, 20, 4.0, 200.0}}, {20.0, 5.0, 3});
    const QByteArray jpeg = synth::encodeJpeg(frame, 95);
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
