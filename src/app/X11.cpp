#include "app/X11.h"

#include <QGuiApplication>
#include <QWidget>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace app {

void setSkipTaskbar(QWidget *window)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb") || !window->isVisible())
        return;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    Display *display = x11 ? x11->display() : nullptr;
    if (!display)
        return;
    // A mapped window changes its state through a client message to the root window (EWMH).
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = Window(window->winId());
    e.xclient.message_type = XInternAtom(display, "_NET_WM_STATE", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = 1; // add
    e.xclient.data.l[1] = long(XInternAtom(display, "_NET_WM_STATE_SKIP_TASKBAR", False));
    e.xclient.data.l[2] = long(XInternAtom(display, "_NET_WM_STATE_SKIP_PAGER", False));
    e.xclient.data.l[3] = 1; // from a normal application
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    XFlush(display);
}

} // namespace app
