#include <libraw/libraw.h>
#include <turbojpeg.h>

#include "image/FrameLoader.h"
#include "image/StarData.h"
#include "image/cDIBSection.h"
#include "platform/rcsdk/tests/SimRcFixture.h"

using namespace zelmora;
using namespace zelmora::simrc_test;
using zelmora::aPoint;
using zelmora::cDIBSection;
using zelmora::FrameLoader;

namespace {

// The caller's stream, collecting the image in memory.
struct Collect {
    std::vector<std::uint8_t> bytes;
    RCStream table() {
        RCStream s{};
        s.context = this;
        s.open = [](void*, std::uint32_t) { return 0u; };
        s.close = [](void*) { return 0u; };
        s.write = [](void* c, const void* b, std::uint32_t* n) {
            auto* p = static_cast<const std::uint8_t*>(b);
            static_cast<Collect*>(c)->bytes.insert(static_cast<Collect*>(c)->bytes.end(), p,
                                                   p + *n);
            return 0u;
        };
        return s;
    }
};

class FramesTest : public SimRcTest {
protected:
    // Releases and downloads every image of the release, in event order.
    std::vector<std::vector<std::uint8_t>> shoot(RCHandle s) {
        const std::size_t before = log.images().size();
        captureAndWait(s);
        std::vector<std::vector<std::uint8_t>> out;
        const auto images = log.images();
        for (std::size_t i = before; i < images.size(); ++i) {
            Collect c;
            const RCStream t = c.table();
            const RCMedium m{RC_MEDIUM_STREAM, nullptr, &t};
            EXPECT_EQ(RCTakeCapturedImage(s, nullptr, nullptr, 3, &images[i], &m), 0u);
            out.push_back(std::move(c.bytes));
        }
        return out;
    }

    struct Decoded {
        int width = 0, height = 0;
        std::vector<unsigned char> gray;
    };
    static Decoded decode(const std::vector<std::uint8_t>& jpeg) {
        Decoded d;
        tjhandle h = tjInitDecompress();
        int sub = 0, cs = 0;
        EXPECT_EQ(tjDecompressHeader3(h, jpeg.data(), jpeg.size(), &d.width, &d.height, &sub, &cs),
                  0);
        d.gray.resize(std::size_t(d.width) * d.height);
        EXPECT_EQ(tjDecompress2(h, jpeg.data(), jpeg.size(), d.gray.data(), d.width, 0, d.height,
                                TJPF_GRAY, 0),
                  0);
        tjDestroy(h);
        return d;
    }
};

TEST_F(FramesTest, PictureSizeFollowsTheSizeCodeAndTheThumbnailIs160By120) {
    simrc::setSensorOverride(640, 480);
    const RCHandle s = session();
    struct Case {
        std::uint16_t size;
        int w, h;
    };
    for (const Case& c :
         {Case{0, 640, 480}, Case{1, 468, 350}, Case{2, 320, 240}, Case{7, 640, 480}}) {
        SCOPED_TRACE(c.size);
        simrc::setImageFormat({3, c.size});
        const auto files = shoot(s);
        ASSERT_EQ(files.size(), 2u);
        const Decoded thumb = decode(files[0]), pic = decode(files[1]);
        EXPECT_EQ(thumb.width, 160);
        EXPECT_EQ(thumb.height, 120);
        EXPECT_EQ(pic.width, c.w);
        EXPECT_EQ(pic.height, c.h);
    }
}

// The program's own road: the downloaded JPEG loaded into the image buffer and
// measured as the focus analysis does (brightest point, threshold centroid, star
// profiles); the radius holding half the star's light grows with the distance
// from best focus.
TEST_F(FramesTest, ProgramsStarMeasurementSeesTheBlurGrowAwayFromBestFocus) {
    auto& sky = sim::SimSky::instance();
    sky.setBestFocus(3000);
    // 1.3 s at ISO 400: the sharp star just below full scale, the most blurred one
    // still above the centroid's threshold of 25 on a sky well below it.
    simrc::setTv(53);
    const RCHandle s = session(RC_KIND_PICTURE_TO_PC);
    FrameLoader loader;
    std::vector<float> radii;
    for (int focuser : {3000, 3150, 3300, 2600}) {
        SCOPED_TRACE(focuser);
        sky.setFocuserPosition(focuser);
        const std::vector<std::uint8_t> jpeg = shoot(s).at(0);
        EXPECT_EQ(simrc::captures().back().focuserPosition, focuser);
        cDIBSection frame;
        loader.loadJpeg(jpeg.data(), jpeg.size(), frame);
        resetStarData();
        const aPoint peak = frame.maxpeak(0);
        EXPECT_NEAR(peak.X, frame.Width() / 2, 3);
        const aPoint centre = frame.Centroid(25, int(peak.X) - 32, int(peak.Y) - 32, 64, 64);
        // The star sits on the frame's centre pixel (Y counts from the top,
        // one past the line).
        EXPECT_NEAR(centre.X, frame.Width() / 2 + 0.05, 0.5);
        EXPECT_NEAR(centre.Y, frame.Height() / 2 + 0.95, 0.5);
        cDIBSection box;
        box.Create(64, 64);
        aPoint dims{32, 32};
        frame.ProcessStar(centre, dims, box, 0);
        ASSERT_EQ(RadialValues.size(), 4096u);
        // The radial sums hold the raw light; the background the measurement found
        // in the outer ring comes off each sample.
        const double bg = StarBackground;
        auto light = [&](std::size_t k) { return RadialValues[k] - double(k + 1) * bg; };
        const double total = light(RadialValues.size() - 1);
        ASSERT_GT(total, 0);
        float halfLight = 0;
        for (std::size_t k = 0; k < RadialValues.size(); ++k)
            if (light(k) >= total / 2) {
                halfLight = RadialDistances[k];
                break;
            }
        radii.push_back(halfLight);
    }
    EXPECT_LT(radii[0], radii[1]);
    EXPECT_LT(radii[1], radii[2]);
    EXPECT_LT(radii[2], radii[3]);
}

TEST_F(FramesTest, RawQualityGivesADngOfTheSensorSize) {
    simrc::setImageFormat({4, 0});
    const RCHandle s = session(RC_KIND_PICTURE_TO_PC);
    const auto files = shoot(s);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(int(log.images()[0].format), RC_FORMAT_RAW);
    LibRaw raw;
    ASSERT_EQ(raw.open_buffer(const_cast<std::uint8_t*>(files[0].data()), files[0].size()),
              LIBRAW_SUCCESS);
    EXPECT_EQ(raw.imgdata.sizes.raw_width, 320);
    EXPECT_EQ(raw.imgdata.sizes.raw_height, 240);
    EXPECT_STREQ(raw.imgdata.idata.model, "EOS 20D");
}

}  // namespace
