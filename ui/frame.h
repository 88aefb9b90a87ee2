#pragma once
// The frame that the window manager puts around a top-level window, read when it is
// needed: for the points where the label menus open and for centring a whole window,
// title bar included.

#include <QMargins>
#include <QPoint>
#include <QRect>

class QWidget;

namespace orvex::ui {

// The frame's widths on each side of the window's client area: from the window
// manager's _NET_FRAME_EXTENTS on X11, else as Qt knows them.
QMargins frameExtents(const QWidget* window);
// The top-left corner of the window's client area on the screen.
QPoint clientOrigin(const QWidget* window);

// Where a title's menu opens: the frame's outer top-left corner, plus the title's place
// in the client area, plus the addends (x: 10 or 15, y: 35).
QPoint menuPoint(QPoint clientOrigin, QMargins frame, QPoint title, int xAddend);

// Centres the whole window, frame included, on its screen; once more as soon as the
// window manager has framed it.
void centreWhenFramed(QWidget* window);

} // namespace orvex::ui
