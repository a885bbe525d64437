// The memory card's items and the RAW development parameters of the simulated
// remote-capture library.

#include <algorithm>
#include <cstring>

#include "platform/rcsdk/CaptureRender.h"
#include "platform/rcsdk/ImageWriter.h"
#include "platform/rcsdk/RawDevelopment.h"
#include "platform/rcsdk/RemoteCapture.h"
#include "platform/rcsdk/SimLibrary.h"
#include "platform/sim/SimSky.h"

using namespace zelmora::simrc;
using namespace zelmora::simrc::detail;

namespace {

SimLibrary& lib() {
    return SimLibrary::instance();
}

RCResult bad() {
    return RC_COMP_LIBRARY | RC_ERR_INVALID_PARAMETER;
}
RCResult stale() {
    return RC_COMP_LIBRARY | RC_ERR_INVALID_HANDLE;
}

// The device behind a card item, or null (under mu).
Device* deviceOf(const CardItem& item) {
    auto it = lib().devices.find(item.deviceId);
    return it == lib().devices.end() ? nullptr : &it->second;
}

// The item's folder and file, or null when the card changed under it (under mu).
const CardFolder* folderOf(const CardItem& item) {
    Device* d = deviceOf(item);
    if (!d || !d->state.card || item.folder < 0 || item.folder >= int(d->state.cardFolders.size()))
        return nullptr;
    return &d->state.cardFolders[std::size_t(item.folder)];
}
const CardFile* fileOf(const CardItem& item) {
    const CardFolder* f = folderOf(item);
    if (!f || item.file < 0 || item.file >= int(f->files.size())) return nullptr;
    return &f->files[std::size_t(item.file)];
}

RCResult findItem(RCHandle h, CardItem*& item) {
    item = nullptr;
    if (lib().started == 0) return RC_COMP_LIBRARY | RC_ERR_NOT_STARTED;
    auto it = lib().cardItems.find(h);
    if (it == lib().cardItems.end()) return stale();
    item = &it->second;
    return RC_OK;
}

RCHandle newItem(CardItem item) {
    const RCHandle h = lib().newHandle();
    lib().cardItems.emplace(h, item);
    return h;
}

RCResult nextOf(RCHandle enumerator, std::string_view kind, RCHandle* item) {
    if (!item) return bad();
    std::lock_guard lock(lib().mu);
    Enumerator* e;
    if (RCResult r = lib().findEnumerator(enumerator, kind, e)) return r;
    if (e->next >= e->items.size()) return RC_COMP_LIBRARY | RC_ERR_ENUM_END;
    *item = e->items[e->next++];
    return RC_OK;
}

RCResult releaseOf(RCHandle enumerator, std::string_view kind) {
    std::lock_guard lock(lib().mu);
    return lib().releaseEnumerator(enumerator, kind);
}

}  // namespace

RCResult RCEnumItemReset(RCHandle volume, uint32_t, RCHandle* enumerator) {
    SIMRC_ENTER();
    if (!enumerator) return bad();
    std::lock_guard lock(lib().mu);
    if (lib().started == 0) return RC_COMP_LIBRARY | RC_ERR_NOT_STARTED;
    auto v = lib().volumes.find(volume);
    if (v == lib().volumes.end()) return stale();
    Source* s;
    Device* d;
    if (RCResult r = lib().lookup(v->second, s, d)) return r;
    if (!d->state.card) return RC_COMP_CAMERA | RC_ERR_NO_CARD;
    std::vector<std::uint32_t> items;
    for (int i = 0; i < int(d->state.cardFolders.size()); ++i)
        items.push_back(newItem({d->id, i, -1}));
    *enumerator = lib().newEnumerator("Item", std::move(items));
    return RC_OK;
}

RCResult RCEnumItemNext(RCHandle enumerator, RCHandle* item) {
    SIMRC_ENTER();
    return nextOf(enumerator, "Item", item);
}

RCResult RCEnumItemRelease(RCHandle enumerator) {
    SIMRC_ENTER();
    return releaseOf(enumerator, "Item");
}

RCResult RCGetItemInfo(RCHandle h, RCItemInfo* info) {
    SIMRC_ENTER();
    if (!info) return bad();
    std::lock_guard lock(lib().mu);
    CardItem* item;
    if (RCResult r = findItem(h, item)) return r;
    std::memset(info, 0, sizeof(*info));
    if (item->file < 0) {
        const CardFolder* f = folderOf(*item);
        if (!f) return RC_COMP_CAMERA | RC_ERR_NOT_FOUND;
        info->type = RC_ITEM_FOLDER;
        std::strncpy(info->name, f->name.c_str(), sizeof(info->name) - 1);
    } else {
        const CardFile* f = fileOf(*item);
        if (!f) return RC_COMP_CAMERA | RC_ERR_NOT_FOUND;
        info->type = f->type;
        std::strncpy(info->name, f->name.c_str(), sizeof(info->name) - 1);
    }
    return RC_OK;
}

RCResult RCEnumImageItemReset(RCHandle folder, uint32_t, uint32_t, RCHandle* enumerator) {
    SIMRC_ENTER();
    if (!enumerator) return bad();
    std::lock_guard lock(lib().mu);
    CardItem* item;
    if (RCResult r = findItem(folder, item)) return r;
    const CardFolder* f = item->file < 0 ? folderOf(*item) : nullptr;
    if (!f) return bad();
    std::vector<std::uint32_t> items;
    for (int i = 0; i < int(f->files.size()); ++i)
        items.push_back(newItem({item->deviceId, item->folder, i}));
    *enumerator = lib().newEnumerator("ImageItem", std::move(items));
    return RC_OK;
}

RCResult RCGetImageItemCount(RCHandle enumerator, uint32_t* count) {
    SIMRC_ENTER();
    if (!count) return bad();
    std::lock_guard lock(lib().mu);
    Enumerator* e;
    if (RCResult r = lib().findEnumerator(enumerator, "ImageItem", e)) return r;
    *count = std::uint32_t(e->items.size());
    return RC_OK;
}

RCResult RCEnumImageItemNext(RCHandle enumerator, RCHandle* item) {
    SIMRC_ENTER();
    return nextOf(enumerator, "ImageItem", item);
}

RCResult RCEnumImageItemRelease(RCHandle enumerator) {
    SIMRC_ENTER();
    return releaseOf(enumerator, "ImageItem");
}

RCResult RCOpenImage(RCHandle h) {
    SIMRC_ENTER();
    std::lock_guard lock(lib().mu);
    CardItem* item;
    if (RCResult r = findItem(h, item)) return r;
    if (!fileOf(*item)) return bad();
    item->open = true;
    return RC_OK;
}

RCResult RCCloseImage(RCHandle h) {
    SIMRC_ENTER();
    std::lock_guard lock(lib().mu);
    CardItem* item;
    if (RCResult r = findItem(h, item)) return r;
    if (!item->open) return RC_COMP_LIBRARY | RC_ERR_SEQUENCE;
    item->open = false;
    item->propertyWalk = false;
    for (auto it = lib().pictures.begin(); it != lib().pictures.end();)
        it = it->second == h ? lib().pictures.erase(it) : std::next(it);
    return RC_OK;
}

RCResult RCGetPicture(RCHandle h, RCHandle* picture) {
    SIMRC_ENTER();
    if (!picture) return bad();
    std::lock_guard lock(lib().mu);
    CardItem* item;
    if (RCResult r = findItem(h, item)) return r;
    if (!item->open) return RC_COMP_LIBRARY | RC_ERR_SEQUENCE;
    *picture = lib().newHandle();
    lib().pictures[*picture] = h;
    return RC_OK;
}

RCResult RCGetImageData(RCHandle picture, const RCMedium* medium, uint32_t, uint32_t, uint32_t) {
    SIMRC_ENTER();
    if (!medium) return RC_COMP_TRANSFER | RC_ERR_INVALID_PARAMETER;
    CaptureJob job;
    {
        std::lock_guard lock(lib().mu);
        if (lib().started == 0) return RC_COMP_LIBRARY | RC_ERR_NOT_STARTED;
        auto p = lib().pictures.find(picture);
        if (p == lib().pictures.end()) return stale();
        CardItem* item;
        if (RCResult r = findItem(p->second, item)) return r;
        const CardFile* f = fileOf(*item);
        Device* d = deviceOf(*item);
        if (!f || !d) return RC_COMP_CAMERA | RC_ERR_NOT_FOUND;
        // The card's pictures are frames of the sky as it is now.
        job.sky = zelmora::sim::SimSky::instance().snapshot();
        job.sensorWidth = lib().sensorOverrideW > 0 ? lib().sensorOverrideW : d->state.sensorWidth;
        job.sensorHeight =
            lib().sensorOverrideH > 0 ? lib().sensorOverrideH : d->state.sensorHeight;
        job.iso = d->state.iso;
        job.quality = f->raw ? 4 : 3;
        job.model = d->state.modelName;
        job.record.exposureMs = 1000;
    }
    std::vector<RenderedImage> images;
    try {
        images = renderCapture(job, false, true);
    } catch (...) {
        return RC_COMP_CAMERA | RC_ERR_INTERNAL;
    }
    if (images.empty()) return RC_COMP_CAMERA | RC_ERR_INTERNAL;
    return writeImage(*images.front().bytes, medium, nullptr, nullptr, 0, RC_COMP_TRANSFER);
}

RCResult RCEnumImageItemPropertyReset(RCHandle h) {
    SIMRC_ENTER();
    std::lock_guard lock(lib().mu);
    CardItem* item;
    if (RCResult r = findItem(h, item)) return r;
    if (!item->open) return RC_COMP_LIBRARY | RC_ERR_SEQUENCE;
    item->propertyWalk = true;
    return RC_OK;
}

RCResult RCGetImageItemProperty(RCHandle h, uint32_t id, uint32_t* size, void* data) {
    SIMRC_ENTER();
    if (!size || !data) return bad();
    std::lock_guard lock(lib().mu);
    CardItem* item;
    if (RCResult r = findItem(h, item)) return r;
    if (!item->propertyWalk) return RC_COMP_LIBRARY | RC_ERR_SEQUENCE;
    const CardFile* f = fileOf(*item);
    if (!f) return RC_COMP_CAMERA | RC_ERR_NOT_FOUND;
    if (id != RC_IMAGE_PROP_RAW) return RC_COMP_CAMERA | RC_ERR_NOT_SUPPORTED;
    if (*size < 2) return bad();
    const std::uint16_t v = f->raw ? 1 : 0;
    std::memset(data, 0, *size);
    std::memcpy(data, &v, 2);
    *size = 2;
    return RC_OK;
}

RCResult RCEnumImageItemPropertyRelease(RCHandle h) {
    SIMRC_ENTER();
    std::lock_guard lock(lib().mu);
    CardItem* item;
    if (RCResult r = findItem(h, item)) return r;
    if (!item->propertyWalk) return RC_COMP_LIBRARY | RC_ERR_SEQUENCE;
    item->propertyWalk = false;
    return RC_OK;
}

namespace {
RCResult findRawObject(RCHandle object) {
    std::lock_guard lock(lib().mu);
    if (lib().started == 0) return RC_COMP_LIBRARY | RC_ERR_NOT_STARTED;
    return lib().rawObjects.count(object) ? RC_OK : (RC_COMP_RAW | RC_ERR_INVALID_HANDLE);
}
}  // namespace

RCResult RCSetParamValue(RCHandle object, uint32_t, int32_t) {
    SIMRC_ENTER();
    return findRawObject(object);
}

RCResult RCIsSupportParamItem(RCHandle object, uint32_t, uint32_t* answer) {
    SIMRC_ENTER();
    if (!answer) return RC_COMP_RAW | RC_ERR_INVALID_PARAMETER;
    if (RCResult r = findRawObject(object)) return r;
    *answer = 0x1001;
    return RC_OK;
}

RCResult RCReflectParamValues(RCHandle object, uint32_t) {
    SIMRC_ENTER();
    return findRawObject(object);
}
