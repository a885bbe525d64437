#include <gtest/gtest.h>
#include <libraw/libraw.h>
#include <turbojpeg.h>

#include "platform/sim/FrameEncoding.h"
#include "platform/sim/SimSky.h"

using namespace zelmora::sim;

namespace {

Frame starFrame(int w, int h) {
    SimSky::instance().reset();
    RenderRequest r;
    r.width = w;
    r.height = h;
    r.gain = 4;
    return SimSky::instance().render(r);
}

TEST(FrameEncodingTest, JpegHasTheFrameSizeAndItsLuminance) {
    for (auto [w, h] : {std::pair{320, 240}, std::pair{161, 121}}) {
        const Frame f = starFrame(w, h);
        const auto jpeg = encodeJpeg(f, 95);
        tjhandle d = tjInitDecompress();
        int jw = 0, jh = 0, sub = 0, cs = 0;
        ASSERT_EQ(tjDecompressHeader3(d, jpeg.data(), jpeg.size(), &jw, &jh, &sub, &cs), 0);
        EXPECT_EQ(jw, w);
        EXPECT_EQ(jh, h);
        std::vector<unsigned char> bgr(std::size_t(w) * h * 3);
        ASSERT_EQ(tjDecompress2(d, jpeg.data(), jpeg.size(), bgr.data(), w, 0, h, TJPF_BGR, 0), 0);
        tjDestroy(d);
        const int cx = w / 2, cy = h / 2;
        const int expected = f.at(cx, cy) >> 8;
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(bgr[(std::size_t(cy) * w + cx) * 3 + c], expected, 12) << w;
    }
}

TEST(FrameEncodingTest, LetterboxCentresTheFrameOnBlack) {
    Frame f;
    f.width = 4;
    f.height = 2;
    f.pixels.assign(8, 1000);
    const Frame b = letterbox(f, 6, 6);
    EXPECT_EQ(b.at(0, 0), 0);
    EXPECT_EQ(b.at(1, 2), 1000);
    EXPECT_EQ(b.at(4, 3), 1000);
    EXPECT_EQ(b.at(1, 1), 0);
    EXPECT_EQ(b.at(1, 4), 0);
}

TEST(FrameEncodingTest, DngOpensUnpacksAndDevelopsInLibRaw) {
    const Frame f = starFrame(320, 240);
    const auto dng = encodeDng(f, DngInfo{"Zelmora", "Test body"});
    LibRaw raw;
    ASSERT_EQ(raw.open_buffer(const_cast<std::uint8_t*>(dng.data()), dng.size()), LIBRAW_SUCCESS);
    ASSERT_EQ(raw.unpack(), LIBRAW_SUCCESS);
    EXPECT_EQ(raw.imgdata.sizes.raw_width, 320);
    EXPECT_EQ(raw.imgdata.sizes.raw_height, 240);
    EXPECT_EQ(raw.imgdata.rawdata.raw_image[120 * 320 + 160], f.at(160, 120));
    ASSERT_EQ(raw.dcraw_process(), LIBRAW_SUCCESS);
    int err = 0;
    libraw_processed_image_t* img = raw.dcraw_make_mem_image(&err);
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(img->width, 320);
    EXPECT_EQ(img->height, 240);
    LibRaw::dcraw_clear_mem(img);
}

}  // namespace
