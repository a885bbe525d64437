#pragma once

#include <QString>
#include <cstdint>
#include <functional>

#include "platform/rcsdk/RemoteCapture.h"

class QListWidget;

namespace zelmora {

class clsCamera;

// The images on the camera's memory card, through the direct driver's open
// source: listing them, fetching one to a temporary file under Thumbs, and
// developing a RAW one to JPEG beside it.
class CameraCardImages {
public:
    CameraCardImages(clsCamera& camera, std::function<RCHandle()> source);

    // Fills the camera's CamImagesListBox: 0, -1 (no images, no card, no DCIM
    // folder) or the failing library code.
    std::int64_t GetImageItem();
    void GetCamImageList(QListWidget* list) const;
    // getType 1 fetches the picture. The item is closed and set to 0 on the way out.
    QString GetImageData(int getType, RCHandle& item, const QString& name);
    bool CheckNeedDevelop(RCHandle item);
    QString developIt(const QString& path);

    // The developed JPEG beside a RAW file: a trailing ".CRW", ".CR2", ".crw"
    // or ".cr2" becomes ".jpg"; any other name gets ".jpg" added, so the RAW
    // file is never developed over itself.
    static QString rawOutputPath(const QString& path);
    // Thumbs/temp_<name>, with the name cut at its first zero character and
    // reduced to a plain file name; empty when nothing safe is left.
    static QString tempPath(const QString& thumbsDir, const QString& name);

private:
    RCResult FindDcimFolder(RCHandle volume, RCHandle& folder);
    RCResult SetDevelopParameters(RCHandle object, bool& success);

    clsCamera& cam_;
    std::function<RCHandle()> source_;
};

}  // namespace zelmora
