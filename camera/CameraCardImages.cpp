#include "camera/CameraCardImages.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <cstring>

#include "camera/CameraSettingLists.h"
#include "camera/clsCamera.h"
#include "platform/os/Dialogs.h"
#include "shell/AppPaths.h"

namespace zelmora {

namespace {

QString itemName(const RCItemInfo& info) {
    return QString::fromLocal8Bit(info.name,
                                  static_cast<qsizetype>(strnlen(info.name, sizeof info.name)));
}

constexpr std::uint32_t kParamDevelop = 0x1001;
constexpr std::uint32_t kParamSharpness = 0x2008;

}  // namespace

CameraCardImages::CameraCardImages(clsCamera& camera, std::function<RCHandle()> source)
    : cam_(camera), source_(std::move(source)) {}

QString CameraCardImages::rawOutputPath(const QString& path) {
    for (const char* ext : {".CRW", ".CR2", ".crw", ".cr2"}) {
        if (path.endsWith(QLatin1String(ext), Qt::CaseSensitive))
            return path.left(path.size() - 4) + QStringLiteral(".jpg");
    }
    return path + QStringLiteral(".jpg");
}

QString CameraCardImages::tempPath(const QString& thumbsDir, const QString& name) {
    QString n = name;
    const qsizetype zero = n.indexOf(QChar(0));
    if (zero >= 0) n.truncate(zero);
    // Only the last piece of a name that carries folders.
    n = n.mid(std::max(n.lastIndexOf(QLatin1Char('/')), n.lastIndexOf(QLatin1Char('\\'))) + 1);
    if (n.isEmpty() || n == QLatin1String(".") || n == QLatin1String("..")) return {};
    return AppPaths::join(thumbsDir, QStringLiteral("temp_") + n);
}

RCResult CameraCardImages::FindDcimFolder(RCHandle volume, RCHandle& folder) {
    folder = 0;
    RCHandle en = 0;
    if (RCResult r = RCEnumItemReset(volume, 1, &en)) return r;
    RCHandle item = 0;
    while (RCEnumItemNext(en, &item) == RC_OK) {
        RCItemInfo info{};
        if (RCGetItemInfo(item, &info) != RC_OK) continue;
        if (itemName(info).startsWith(QLatin1String("DCIM"), Qt::CaseSensitive)) {
            folder = item;
            break;
        }
    }
    return RCEnumItemRelease(en);
}

std::int64_t CameraCardImages::GetImageItem() {
    SettingList& list = cam_.lists().CamImagesListBox;
    list.clear();
    const RCHandle src = source_();
    RCLockUI(src);
    std::int64_t result = -1;
    RCHandle volumes = 0, images = 0, folder = 0;
    bool capacity = false;
    RCResult r = RCEnumVolumeReset(src, &volumes);
    if (r == RC_OK) {
        RCHandle volume = 0;
        while (RCEnumVolumeNext(volumes, &volume) == RC_OK) {
            RCVolumeInfo info{};
            capacity = RCGetVolumeInfo(volume, &info) == RC_OK && info.capacity != 0;
            if (!capacity) continue;
            if ((r = FindDcimFolder(volume, folder)) != RC_OK) break;
            if (folder) break;
        }
        const RCResult rel = RCEnumVolumeRelease(volumes);
        if (r == RC_OK) r = rel;
    }
    if (r == RC_OK && capacity && folder) {
        r = RCEnumImageItemReset(folder, 2, 1, &images);
        std::uint32_t count = 0;
        if (r == RC_OK) r = RCGetImageItemCount(images, &count);
        if (r == RC_OK && count > 0) {
            RCHandle item = 0;
            while (RCEnumImageItemNext(images, &item) == RC_OK) {
                RCItemInfo info{};
                if (RCGetItemInfo(item, &info) == RC_OK && info.type == RC_ITEM_IMAGE)
                    list.add(itemName(info), static_cast<std::int32_t>(item));
            }
            list.select(0);
            result = list.items.empty() ? -1 : 0;
        }
        if (images) {
            const RCResult rel = RCEnumImageItemRelease(images);
            if (r == RC_OK && rel) r = rel;
        }
    }
    RCUnlockUI(src);
    if (r != RC_OK) {
        list.clear();
        platform::Dialogs::msgBox(QStringLiteral("ErrorCode = 0x") + CameraSettingLists::hex(r),
                                  platform::Msg::OKOnly | platform::Msg::Critical,
                                  QStringLiteral("Error"));
        return r;
    }
    if (result == -1) {
        list.clear();
        list.add(QStringLiteral("There are no images in the camera"), 0);
    }
    return result;
}

void CameraCardImages::GetCamImageList(QListWidget* list) const {
    if (!list) return;
    const SettingList& source = cam_.lists().CamImagesListBox;
    list->clear();
    for (std::size_t i = 0; i < source.items.size(); ++i) {
        auto* row = new QListWidgetItem(source.items[i].text, list);
        row->setData(Qt::UserRole, source.items[i].item);
        if (source.selected == static_cast<int>(i)) list->setCurrentRow(static_cast<int>(i));
    }
}

QString CameraCardImages::GetImageData(int getType, RCHandle& item, const QString& name) {
    const RCHandle src = source_();
    RCLockUI(src);
    bool opened = false;
    QString path;
    RCResult r = RCOpenImage(item);
    if (r == RC_OK) {
        opened = true;
        RCHandle picture = 0;
        if (getType == 1) r = RCGetPicture(item, &picture);
        RCItemInfo info{};
        if (r == RC_OK) r = RCGetItemInfo(item, &info);
        if (r == RC_OK) {
            const QString base = itemName(info).isEmpty() ? name : itemName(info);
            path = tempPath(AppPaths::thumbs(), base);
            if (path.isEmpty()) r = RC_ERR_INVALID_PARAMETER;
        }
        if (r == RC_OK) {
            QDir().mkpath(AppPaths::thumbs());
            const QByteArray bytes = QFile::encodeName(path);
            const RCMedium medium{RC_MEDIUM_PATH, bytes.constData(), nullptr};
            r = RCGetImageData(picture, &medium, 0, 0, 0);
        }
    }
    if (opened) RCCloseImage(item);
    item = 0;
    RCUnlockUI(src);
    return r == RC_OK ? path : QString();
}

bool CameraCardImages::CheckNeedDevelop(RCHandle item) {
    if (RCOpenImage(item) != RC_OK) return false;
    bool raw = false;
    if (RCEnumImageItemPropertyReset(item) == RC_OK) {
        std::uint16_t value = 0;
        std::uint32_t size = 2;
        raw = RCGetImageItemProperty(item, RC_IMAGE_PROP_RAW, &size, &value) == RC_OK && value != 0;
        RCEnumImageItemPropertyRelease(item);
    }
    RCCloseImage(item);
    return raw;
}

RCResult CameraCardImages::SetDevelopParameters(RCHandle object, bool& success) {
    RCSetParamValue(object, kParamDevelop, 1);
    std::uint32_t answer = 0;
    if (RCIsSupportParamItem(object, kParamSharpness, &answer) == RC_OK && answer == kParamDevelop)
        RCSetParamValue(object, kParamSharpness, -3);
    const RCResult r = RCReflectParamValues(object, 0);
    success = r == RC_OK;
    return r;
}

QString CameraCardImages::developIt(const QString& path) {
    const QByteArray in = QFile::encodeName(path);
    const RCMedium rawMedium{RC_MEDIUM_PATH, in.constData(), nullptr};
    RCHandle object = 0;
    if (RCCreateRAWObject(&rawMedium, &object) != RC_OK) return {};
    bool ok = false;
    SetDevelopParameters(object, ok);
    const QString outPath = rawOutputPath(path);
    const QByteArray out = QFile::encodeName(outPath);
    const RCMedium output{RC_MEDIUM_PATH, out.constData(), nullptr};
    RCDevelopParams params{};
    params.bufferSize = 4096;
    const RCResult r = RCDevelop(object, RC_DEVELOP_JPEG, 0, &params, &output, nullptr, nullptr, 1);
    RCDisposeRAWObject(object);  // whatever the result
    return r == RC_OK ? outPath : QString();
}

}  // namespace zelmora
