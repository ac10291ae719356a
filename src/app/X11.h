#pragma once
// What Qt does not offer for X11 top-level windows.

class QWidget;

namespace app {

// Asks the window manager to leave the (shown) window out of the taskbar and
// pager. Does nothing on other platforms.
void setSkipTaskbar(QWidget *window);

} // namespace app
