#include "platform/sim/FrameEncoding.h"

#include <tiffio.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace zelmora::sim {

std::vector<std::uint8_t> encodeJpeg(const Frame& frame, int quality) {
    if (frame.width <= 0 || frame.height <= 0) throw std::runtime_error("empty frame");
    const int sub = TJSAMP_420;
    const int yw = tjPlaneWidth(0, frame.width, sub);
    const int yh = tjPlaneHeight(0, frame.height, sub);
    const int cw = tjPlaneWidth(1, frame.width, sub);
    const int ch = tjPlaneHeight(1, frame.height, sub);
    if (yw <= 0 || yh <= 0 || cw <= 0 || ch <= 0) throw std::runtime_error("bad frame size");

    // Luminance straight from the samples; the padding the encoder wants for odd
    // sizes repeats the last column and row.
    std::vector<std::uint8_t> y(std::size_t(yw) * std::size_t(yh));
    for (int r = 0; r < yh; ++r) {
        const std::uint16_t* src =
            frame.pixels.data() + std::size_t(std::min(r, frame.height - 1)) * frame.width;
        std::uint8_t* dst = y.data() + std::size_t(r) * yw;
        for (int c = 0; c < frame.width; ++c) dst[c] = std::uint8_t(src[c] >> 8);
        for (int c = frame.width; c < yw; ++c) dst[c] = dst[frame.width - 1];
    }
    std::vector<std::uint8_t> chroma(std::size_t(cw) * std::size_t(ch), 128);
    const unsigned char* planes[3] = {y.data(), chroma.data(), chroma.data()};
    const int strides[3] = {yw, cw, cw};

    std::unique_ptr<void, int (*)(tjhandle)> handle(tjInitCompress(), tjDestroy);
    if (!handle) throw std::runtime_error("cannot start the JPEG encoder");
    unsigned char* out = nullptr;
    unsigned long size = 0;
    if (tjCompressFromYUVPlanes(handle.get(), planes, frame.width, strides, frame.height, sub, &out,
                                &size, std::clamp(quality, 1, 100), TJFLAG_FASTDCT) != 0) {
        std::string why = tjGetErrorStr2(handle.get());
        tjFree(out);
        throw std::runtime_error("JPEG encoding failed: " + why);
    }
    std::vector<std::uint8_t> bytes(out, out + size);
    tjFree(out);
    return bytes;
}

Frame letterbox(const Frame& frame, int width, int height) {
    Frame out;
    out.width = std::max(0, width);
    out.height = std::max(0, height);
    out.pixels.assign(std::size_t(out.width) * std::size_t(out.height), 0);
    const int ox = (out.width - frame.width) / 2;
    const int oy = (out.height - frame.height) / 2;
    for (int r = 0; r < frame.height; ++r) {
        const int ty = r + oy;
        if (ty < 0 || ty >= out.height) continue;
        for (int c = 0; c < frame.width; ++c) {
            const int tx = c + ox;
            if (tx < 0 || tx >= out.width) continue;
            out.pixels[std::size_t(ty) * out.width + tx] = frame.at(c, r);
        }
    }
    return out;
}

namespace {

// libtiff writes into memory through these; it may read back what it wrote when
// it finishes the directory, so reads are served as well.
struct MemFile {
    std::vector<std::uint8_t> data;
    toff_t pos = 0;
};

tmsize_t memRead(thandle_t h, void* buf, tmsize_t size) {
    auto* f = static_cast<MemFile*>(h);
    if (f->pos >= f->data.size()) return 0;
    const tmsize_t n = std::min<tmsize_t>(size, tmsize_t(f->data.size() - f->pos));
    std::memcpy(buf, f->data.data() + f->pos, std::size_t(n));
    f->pos += toff_t(n);
    return n;
}

tmsize_t memWrite(thandle_t h, void* buf, tmsize_t size) {
    auto* f = static_cast<MemFile*>(h);
    const toff_t end = f->pos + toff_t(size);
    if (end > f->data.size()) f->data.resize(std::size_t(end));
    std::memcpy(f->data.data() + f->pos, buf, std::size_t(size));
    f->pos = end;
    return size;
}

toff_t memSeek(thandle_t h, toff_t off, int whence) {
    auto* f = static_cast<MemFile*>(h);
    std::int64_t base = 0;
    if (whence == SEEK_CUR) base = std::int64_t(f->pos);
    if (whence == SEEK_END) base = std::int64_t(f->data.size());
    const std::int64_t target = base + std::int64_t(off);
    if (target < 0) return toff_t(-1);
    f->pos = toff_t(target);
    return f->pos;
}

int memClose(thandle_t) {
    return 0;
}
toff_t memSize(thandle_t h) {
    return static_cast<MemFile*>(h)->data.size();
}
int memMap(thandle_t, void**, toff_t*) {
    return 0;
}
void memUnmap(thandle_t, void*, toff_t) {}

}  // namespace

std::vector<std::uint8_t> encodeDng(const Frame& frame, const DngInfo& info) {
    if (frame.width <= 0 || frame.height <= 0) throw std::runtime_error("empty frame");
    MemFile file;
    file.data.reserve(std::size_t(frame.width) * std::size_t(frame.height) * 2 + 4096);
    TIFF* t = TIFFClientOpen("frame.dng", "w", &file, memRead, memWrite, memSeek, memClose, memSize,
                             memMap, memUnmap);
    if (!t) throw std::runtime_error("cannot start the DNG writer");
    bool ok = true;
    ok &= TIFFSetField(t, TIFFTAG_SUBFILETYPE, std::uint32_t(0)) == 1;
    ok &= TIFFSetField(t, TIFFTAG_IMAGEWIDTH, std::uint32_t(frame.width)) == 1;
    ok &= TIFFSetField(t, TIFFTAG_IMAGELENGTH, std::uint32_t(frame.height)) == 1;
    ok &= TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 16) == 1;
    ok &= TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE) == 1;
    ok &= TIFFSetField(t, TIFFTAG_PHOTOMETRIC, 32803 /* colour filter array */) == 1;
    ok &= TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1) == 1;
    ok &= TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) == 1;
    ok &= TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) == 1;
    ok &= TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, std::uint32_t(frame.height)) == 1;
    ok &= TIFFSetField(t, TIFFTAG_MAKE, info.make.c_str()) == 1;
    ok &= TIFFSetField(t, TIFFTAG_MODEL, info.model.c_str()) == 1;
    ok &= TIFFSetField(t, TIFFTAG_SOFTWARE, "Zelmora camera simulator") == 1;
    const std::uint16_t patternDim[2] = {2, 2};
    ok &= TIFFSetField(t, TIFFTAG_CFAREPEATPATTERNDIM, patternDim) == 1;
    const std::uint8_t pattern[4] = {0, 1, 1, 2};  // R G / G B
    ok &= TIFFSetField(t, TIFFTAG_CFAPATTERN, 4, pattern) == 1;
    const std::uint8_t version[4] = {1, 4, 0, 0};
    ok &= TIFFSetField(t, TIFFTAG_DNGVERSION, version) == 1;
    ok &= TIFFSetField(t, TIFFTAG_DNGBACKWARDVERSION, version) == 1;
    const std::string unique = info.make + " " + info.model;
    ok &= TIFFSetField(t, TIFFTAG_UNIQUECAMERAMODEL, unique.c_str()) == 1;
    const float matrix[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    ok &= TIFFSetField(t, TIFFTAG_COLORMATRIX1, 9, matrix) == 1;
    const float neutral[3] = {1, 1, 1};
    ok &= TIFFSetField(t, TIFFTAG_ASSHOTNEUTRAL, 3, neutral) == 1;
    ok &= TIFFSetField(t, TIFFTAG_CALIBRATIONILLUMINANT1, 21 /* D65 */) == 1;
    const std::uint32_t white = 65535;
    ok &= TIFFSetField(t, TIFFTAG_WHITELEVEL, 1, &white) == 1;
    for (int r = 0; ok && r < frame.height; ++r) {
        auto* row = const_cast<std::uint16_t*>(frame.pixels.data() + std::size_t(r) * frame.width);
        ok = TIFFWriteScanline(t, row, std::uint32_t(r), 0) == 1;
    }
    TIFFClose(t);
    if (!ok) throw std::runtime_error("DNG writing failed");
    return std::move(file.data);
}

}  // namespace zelmora::sim
