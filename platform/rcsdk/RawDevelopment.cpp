#include "platform/rcsdk/RawDevelopment.h"

#include <libraw/libraw.h>
#include <sys/stat.h>
#include <turbojpeg.h>

namespace zelmora::simrc::detail {

namespace {
// The LibRaw build in use is not the thread-safe one: one development at a time.
std::mutex& librawMutex() {
    static std::mutex m;
    return m;
}

RCResult fromLibRaw(int code) {
    if (code == LIBRAW_SUCCESS) return RC_OK;
    if (code == LIBRAW_UNSUFFICIENT_MEMORY) return RC_COMP_RAW | RC_ERR_MEMORY;
    return RC_COMP_RAW | RC_ERR_BAD_FORMAT;
}

RCResult focus(RawObject& o) {
    if (o.focused) return RC_OK;
    if (!o.raw) o.raw = std::make_unique<LibRaw>();
    struct stat st {};
    if (::stat(o.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return RC_COMP_RAW | RC_ERR_NOT_FOUND;
    const int code = o.raw->open_file(o.path.c_str());
    if (code != LIBRAW_SUCCESS) {
        o.raw->recycle();
        return fromLibRaw(code);
    }
    o.focused = true;
    return RC_OK;
}
}  // namespace

RawObject::RawObject() = default;
RawObject::~RawObject() = default;

RCResult openRaw(const std::string& path, std::shared_ptr<RawObject>& out) {
    auto o = std::make_shared<RawObject>();
    o->path = path;
    std::lock_guard lock(librawMutex());
    if (RCResult r = focus(*o)) return r;
    out = std::move(o);
    return RC_OK;
}

RCResult developToJpeg(RawObject& o, int quality, std::vector<std::uint8_t>& jpeg) {
    std::lock_guard lock(librawMutex());
    if (RCResult r = focus(o)) return r;
    LibRaw& raw = *o.raw;
    raw.imgdata.params.use_camera_wb = o.atCapture ? 1 : 0;
    raw.imgdata.params.output_bps = 8;
    RCResult result = fromLibRaw(raw.unpack());
    if (result == RC_OK) result = fromLibRaw(raw.dcraw_process());
    libraw_processed_image_t* image = nullptr;
    if (result == RC_OK) {
        int err = 0;
        image = raw.dcraw_make_mem_image(&err);
        if (!image) result = fromLibRaw(err ? err : LIBRAW_UNSPECIFIED_ERROR);
    }
    if (result == RC_OK && (image->type != LIBRAW_IMAGE_BITMAP || image->bits != 8 ||
                            (image->colors != 3 && image->colors != 1)))
        result = RC_COMP_RAW | RC_ERR_BAD_FORMAT;
    if (result == RC_OK) {
        tjhandle h = tjInitCompress();
        unsigned char* out = nullptr;
        unsigned long size = 0;
        const int pf = image->colors == 3 ? TJPF_RGB : TJPF_GRAY;
        const int sub = image->colors == 3 ? TJSAMP_420 : TJSAMP_GRAY;
        if (!h || tjCompress2(h, image->data, image->width, 0, image->height, pf, &out, &size, sub,
                              quality, 0) != 0)
            result = RC_COMP_RAW | RC_ERR_INTERNAL;
        else
            jpeg.assign(out, out + size);
        tjFree(out);
        if (h) tjDestroy(h);
    }
    if (image) LibRaw::dcraw_clear_mem(image);
    // Development consumes the unpacked data; the next one starts from the file.
    raw.recycle();
    o.focused = false;
    return result;
}

void unfocus(RawObject& o) {
    std::lock_guard lock(librawMutex());
    if (o.raw) o.raw->recycle();
    o.focused = false;
}

}  // namespace zelmora::simrc::detail
