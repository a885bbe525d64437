#include <turbojpeg.h>

#include <QFile>
#include <QTemporaryDir>
#include <string>

#include "platform/rcsdk/tests/SimRcFixture.h"

using namespace zelmora;
using namespace zelmora::simrc_test;

namespace {

class DevelopTest : public SimRcTest {
protected:
    // A frame from the simulated camera, saved as the control names it.
    std::string frame(const QString& name, std::uint16_t quality) {
        simrc::setImageFormat({quality, 0});
        const RCHandle s = session(RC_KIND_PICTURE_TO_PC);
        captureAndWait(s);
        const std::string path = dir.filePath(name).toStdString();
        const RCMedium m{RC_MEDIUM_PATH, path.c_str(), nullptr};
        const RCImageReadyBlock block = log.images().back();
        EXPECT_EQ(RCTakeCapturedImage(s, nullptr, nullptr, 3, &block, &m), 0u);
        EXPECT_EQ(RCEndCaptureSession(s), 0u);
        EXPECT_EQ(RCCloseSource(s), 0u);
        return path;
    }
    std::string rawFrame(const QString& name) { return frame(name, 4); }
    std::string write(const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName().toStdString();
    }
    static RCMedium pathMedium(const std::string& p) {
        return RCMedium{RC_MEDIUM_PATH, p.c_str(), nullptr};
    }

    QTemporaryDir dir;
};

struct Progress {
    std::vector<std::uint32_t> seen;
    static std::uint32_t cb(std::uint32_t p, std::uint32_t, void* c) {
        static_cast<Progress*>(c)->seen.push_back(p);
        return 0;
    }
};

TEST_F(DevelopTest, SimulatedRawFrameDevelopsToAJpegOfTheSensorSize) {
    const std::string raw = rawFrame("IMG_0001.CR2");
    const std::string jpg = dir.filePath("IMG_0001.jpg").toStdString();
    // No source is open: files from disk develop all the same.
    ASSERT_EQ(simrc::openSources(), 0);
    RCHandle obj = 0;
    const RCMedium in = pathMedium(raw);
    ASSERT_EQ(RCCreateRAWObject(&in, &obj), 0u);
    ASSERT_EQ(RCSetAllParamValueToAtCapture(obj), 0u);
    RCDevelopParams params{};
    params.bufferSize = 4096;
    const RCMedium out = pathMedium(jpg);
    Progress progress;
    ASSERT_EQ(RCDevelop(obj, RC_DEVELOP_JPEG, 0, &params, &out, &Progress::cb, &progress, 1), 0u);
    ASSERT_FALSE(progress.seen.empty());
    EXPECT_EQ(progress.seen.back(), 100u);
    EXPECT_EQ(RCUnFocusRAWObject(obj), 0u);
    // Developing again after letting go of the data works too.
    ASSERT_EQ(RCDevelop(obj, RC_DEVELOP_JPEG, 0, nullptr, &out, nullptr, nullptr, 0), 0u);
    EXPECT_EQ(RCDisposeRAWObject(obj), 0u);
    EXPECT_EQ(simrc::liveRawObjects(), 0);

    QFile f(QString::fromStdString(jpg));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    tjhandle h = tjInitDecompress();
    int w = 0, hgt = 0, sub = 0, cs = 0;
    EXPECT_EQ(tjDecompressHeader3(h, reinterpret_cast<const unsigned char*>(bytes.data()),
                                  bytes.size(), &w, &hgt, &sub, &cs),
              0);
    tjDestroy(h);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(hgt, 240);
}

TEST_F(DevelopTest, AnythingButARawFileFailsCleanly) {
    // A JPEG from the camera, a text file, an empty file, a truncated RAW, no file.
    const std::string jpeg = frame("IMG_0002.JPG", 3);
    const std::string raw = rawFrame("IMG_0003.CR2");
    QFile rf(QString::fromStdString(raw));
    ASSERT_TRUE(rf.open(QIODevice::ReadOnly));
    const std::string truncated = write("cut.CR2", rf.read(300));

    struct Case {
        std::string path;
        RCResult expected;
    };
    for (const Case& c :
         {Case{jpeg, RC_COMP_RAW | RC_ERR_BAD_FORMAT},
          Case{write("notes.CRW", "not a picture at all"), RC_COMP_RAW | RC_ERR_BAD_FORMAT},
          Case{write("empty.CR2", ""), RC_COMP_RAW | RC_ERR_BAD_FORMAT},
          Case{truncated, RC_COMP_RAW | RC_ERR_BAD_FORMAT},
          Case{dir.filePath("missing.CR2").toStdString(), RC_COMP_RAW | RC_ERR_NOT_FOUND}}) {
        SCOPED_TRACE(c.path);
        RCHandle obj = 0;
        const RCMedium in = pathMedium(c.path);
        const RCResult r = RCCreateRAWObject(&in, &obj);
        if (r == 0) {
            // Some damage only shows when developing; it must fail there then.
            const std::string out = dir.filePath("out.jpg").toStdString();
            const RCMedium o = pathMedium(out);
            EXPECT_NE(RCDevelop(obj, RC_DEVELOP_JPEG, 0, nullptr, &o, nullptr, nullptr, 0), 0u);
            EXPECT_FALSE(QFile::exists(QString::fromStdString(out)));
            EXPECT_EQ(RCDisposeRAWObject(obj), 0u);
        } else {
            EXPECT_EQ(r, c.expected);
        }
    }
    EXPECT_EQ(simrc::liveRawObjects(), 0);
}

TEST_F(DevelopTest, NeverDevelopsOntoTheRawFileAndOnlyToJpeg) {
    const std::string raw = rawFrame("shotCR2");
    QFile f(QString::fromStdString(raw));
    const qint64 size = f.size();
    RCHandle obj = 0;
    const RCMedium in = pathMedium(raw);
    ASSERT_EQ(RCCreateRAWObject(&in, &obj), 0u);
    EXPECT_EQ(RCDevelop(obj, RC_DEVELOP_JPEG, 0, nullptr, &in, nullptr, nullptr, 0),
              RC_COMP_RAW | RC_ERR_INVALID_PARAMETER);
    EXPECT_EQ(f.size(), size);
    const std::string out = dir.filePath("shot.tif").toStdString();
    const RCMedium o = pathMedium(out);
    EXPECT_EQ(RCDevelop(obj, 3, 0, nullptr, &o, nullptr, nullptr, 0),
              RC_COMP_RAW | RC_ERR_NOT_SUPPORTED);
    EXPECT_EQ(RCDisposeRAWObject(obj), 0u);
    EXPECT_EQ(RC_ERROR_ID(RCDisposeRAWObject(obj)), RC_ERR_INVALID_HANDLE);
}

}  // namespace
