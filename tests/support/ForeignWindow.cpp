#include "support/ForeignWindow.h"

#include <X11/Xlib.h>

namespace testsupport {

ForeignWindow::ForeignWindow(unsigned long parent) : m_parent(parent)
{
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return;
    m_display = display;
    m_window = XCreateSimpleWindow(display, parent, 0, 0, 320, 240, 0, 0, 0);
    XMapWindow(display, m_window);
    XSync(display, False);
}

ForeignWindow::~ForeignWindow()
{
    if (m_display)
        XCloseDisplay(static_cast<Display *>(m_display));
}

std::pair<bool, bool> ForeignWindow::topChild() const
{
    auto *display = static_cast<Display *>(m_display);
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!display || !XQueryTree(display, m_parent, &root, &parent, &children, &count))
        return {false, false};
    const Window top = count > 0 ? children[count - 1] : 0;
    XFree(children);
    XWindowAttributes attributes{};
    const bool shown = top != 0 && XGetWindowAttributes(display, top, &attributes) && attributes.map_state == IsViewable;
    return {top == m_window, shown};
}

} // namespace testsupport
