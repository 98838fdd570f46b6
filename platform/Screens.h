#pragma once
// Placing windows on a desktop of several screens. Screens sit side by side in one coordinate
// space, and a screen left of or above the first has negative coordinates.
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace kelpa::platform {

// Work area of the screen that holds the mouse cursor (the first screen when none does).
QRect cursorScreenArea();

// Top-left corner that centres a frame of `size` in `area`; a frame larger than the area keeps
// its top-left corner inside it.
QPoint centredIn(const QRect &area, const QSize &size);

// Centres a top-level window on the screen that holds the cursor ("centred on the screen").
void centreOnCursorScreen(QWidget *window);

} // namespace kelpa::platform
