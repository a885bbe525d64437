#pragma once

#include <QColor>
#include <QImage>
#include <QPalette>
#include <QPixmap>

// Night vision shows the program's own windows in dark-adapted reds only. The
// main window switches it; the palette carries it to every standard control,
// and a window that chooses colours or draws pictures itself asks here how they
// show: unchanged by day, in red at night.
namespace zelmora::NightColours {

bool on();
void setOn(bool on);

// A colour that keeps the eyes dark-adapted: a red (black included) with no more
// green and blue in it than the night table's brightest red carries.
bool darkAdapted(const QColor& c);
// The contrast ratio of two colours, by their relative luminance (1 to 21).
double contrast(const QColor& a, const QColor& b);

// A mark a window chose (a lamp, a line, a bar): at night, unless it already
// keeps the eyes dark-adapted, a red as light as the chosen colour (a grey keeps
// its value) or as its own red where that is brighter, so that marks keep their
// order of lightness.
QColor mark(const QColor& chosen);
// A picture (a frame, a crop, an icon): at night in reds only, each pixel as
// light as it was or as its own red where that is brighter.
QImage picture(const QImage& image);
QPixmap picture(const QPixmap& pixmap);
// Something drawn in colours of its own (a control, a mark): at night every
// pixel as mark() shows it.
QImage marks(const QImage& image);

// A background and a text colour a window chose: at night the palette's.
QColor background(const QColor& chosen, const QPalette& palette);
QColor text(const QColor& chosen, const QPalette& palette);

}  // namespace zelmora::NightColours
