#pragma once

#include <QImage>
#include <QSizeF>
#include <QString>
#include <QStringList>

namespace zelmora::capture::review {

// Every picture is fitted into this box, never enlarged, and drawn centred on
// a canvas of the thumbnail size.
inline constexpr double kBoxWidth = 102.4;
inline constexpr double kBoxHeight = 76.8;
inline constexpr int kThumbWidth = 104;
inline constexpr int kThumbHeight = 78;

// Pictures are listed by the last three letters of their name, in any case.
bool isPictureFile(const QString& path);
// The files (not folders) of a folder, by name; none for a missing or empty folder name.
QStringList GetFiles(const QString& folder);
// GetFiles without the names that are not pictures.
QStringList pictureFiles(const QString& folder);

QSizeF thumbFit(double w, double h);
// A picture of natural size `natural` (already decoded at any size) drawn on
// the thumbnail canvas.
QImage drawThumb(const QImage& picture, QSize natural);

QString progressCaption(int i, int count);
QString countText(int count);

QString AddBackslash(const QString& path);
// The text after / up to and including the last separator; "" after a trace
// line when there is none.
QString GetFileNameOfThumb(const QString& path);
QString GetPathNameOfThumb(const QString& path);

}  // namespace zelmora::capture::review
