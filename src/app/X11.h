#pragma once
// What Qt does not offer for X11 top-level windows. Each does nothing on other
// platforms. The window's native window is created if it does not exist yet.

#include <QMargins>

#include <optional>

class QWidget;

namespace app {

// Asks the window manager to leave the window out of the taskbar and pager: as
// a property before the window is first shown, so that it never appears there,
// and as a request to the window manager once it is.
void setSkipTaskbar(QWidget *window);

// Gives the window an empty title. Qt shows the program's name in the title bar
// of a window whose title is empty; this makes it truly empty.
void clearWindowTitle(QWidget *window);

// The frame the window manager will put around the window (left, top, right,
// bottom), asked for before the window is shown. nullopt when no window manager
// answers the question.
std::optional<QMargins> frameExtents(QWidget *window);

} // namespace app
