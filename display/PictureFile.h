#pragma once

#include <QImage>
#include <QString>

namespace zelmora::display {

// A picture file as a 32-bit top-down image, through the program's frame
// loader (JPEG by TurboJPEG, the rest by Qt). Raises AppError as the loader
// does: 53 missing, 75 unreadable, 481 not a picture.
QImage loadPicture(const QString& path);

}  // namespace zelmora::display
