#include "display/PictureFile.h"

#include "image/FrameLoader.h"
#include "image/cDIBSection.h"

namespace zelmora::display {

QImage loadPicture(const QString& path) {
    cDIBSection dib;
    loadFrame(path, dib);
    return dib.toImage();
}

}  // namespace zelmora::display
