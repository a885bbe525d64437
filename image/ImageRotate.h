#pragma once

#include <QImage>

// Turning a picture about its centre, as the moon-phase window uses it.
namespace zelmora::ImageRotate {

// Draws into `destination` the picture of `source` turned by `angle` radians
// about the centre of each picture (half its width and height, in pixels).
// Works point by point over the first quadrant of destination offsets and its
// three quarter turns; destination points whose source point falls outside the
// source keep their colour, so the caller clears the destination first.
// Indexed pictures (the moon GIFs) are converted to 32-bit colour first, because
// writing a colour into an indexed picture would store a palette index.
void RotatePicture(const QImage& source, QImage& destination, float angle);

}  // namespace zelmora::ImageRotate
