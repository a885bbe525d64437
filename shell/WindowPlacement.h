#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

class QWidget;

namespace zelmora::WindowPlacement {

// Where a window goes when nothing places it: a corner of the main window's
// client area, used when several places cover equally little.
enum class Home { TopLeft, TopRight, BottomLeft, BottomRight };

// The windows a user works with together: a window opening for the first time
// keeps clear of the others of its roads.
QStringList partnersOf(const QString& name);
Home homeOf(const QString& name);

// The top-left corner, inside `area`, for a window of `size` that covers as
// little as it can of `others`, then of `bystanders`; among equal places the
// one nearest `home`.
QPoint choose(QSize area, QSize size, const QList<QRect>& others, Home home,
              const QList<QRect>& bystanders = {});

// Places the frame of the loaded child window `name` so, among the open frames
// of its partners (then of every other open window), in the client area of the
// frame's parent; once more when it is first shown, for the size it has then.
void placeOnFirstOpening(const QString& name, QWidget* frame);

// Moves a frame that the program made larger back inside its parent's client
// area, as far as it fits (its top-left corner stays in view).
void keepInside(QWidget* frame);

// A frame put back where it was left, mostly out of sight (the main window was
// made smaller since), is brought inside as keepInside does: now, and once more
// when it is first shown, for the size it has then.
void reopenInside(QWidget* frame);

}  // namespace zelmora::WindowPlacement
