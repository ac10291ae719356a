#include "app/X11.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QThread>
#include <QWidget>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <vector>

namespace app {

namespace {

Display *x11Display()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

std::vector<long> longsProperty(Display *display, Window w, Atom property, Atom type)
{
    std::vector<long> values;
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(display, w, property, 0, 1024, False, type, &actualType, &format, &count, &after, &data)
            == Success
        && data && actualType == type && format == 32) {
        const long *longs = reinterpret_cast<const long *>(data);
        values.assign(longs, longs + count);
    }
    if (data)
        XFree(data);
    return values;
}

// Whether a window manager runs and says it understands atom (EWMH _NET_SUPPORTED).
bool windowManagerSupports(Display *display, Atom atom)
{
    const Window root = DefaultRootWindow(display);
    const auto check = longsProperty(display, root, XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False), XA_WINDOW);
    if (check.empty())
        return false;
    for (long supported : longsProperty(display, root, XInternAtom(display, "_NET_SUPPORTED", False), XA_ATOM))
        if (Atom(supported) == atom)
            return true;
    return false;
}

void sendToRoot(Display *display, Window w, Atom type, long l0 = 0, long l1 = 0, long l2 = 0, long l3 = 0)
{
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = type;
    e.xclient.format = 32;
    e.xclient.data.l[0] = l0;
    e.xclient.data.l[1] = l1;
    e.xclient.data.l[2] = l2;
    e.xclient.data.l[3] = l3;
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    XFlush(display);
}

} // namespace

void setSkipTaskbar(QWidget *window)
{
    Display *display = x11Display();
    if (!display)
        return;
    const Window w = Window(window->winId());
    const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
    const Atom skipTaskbar = XInternAtom(display, "_NET_WM_STATE_SKIP_TASKBAR", False);
    const Atom skipPager = XInternAtom(display, "_NET_WM_STATE_SKIP_PAGER", False);
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, w, &attributes) && attributes.map_state == IsUnmapped) {
        // A window that is not mapped sets the property itself; Qt adds its own
        // states to it when it maps the window.
        std::vector<long> atoms = longsProperty(display, w, state, XA_ATOM);
        for (Atom a : {skipTaskbar, skipPager})
            if (std::find(atoms.begin(), atoms.end(), long(a)) == atoms.end())
                atoms.push_back(long(a));
        XChangeProperty(display, w, state, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char *>(atoms.data()), int(atoms.size()));
        XFlush(display);
        return;
    }
    // A mapped window asks the window manager (1: add, 1: from a normal application).
    sendToRoot(display, w, state, 1, long(skipTaskbar), long(skipPager), 1);
}

void clearWindowTitle(QWidget *window)
{
    Display *display = x11Display();
    if (!display)
        return;
    const Window w = Window(window->winId());
    static const unsigned char nothing[1] = {0};
    XChangeProperty(display, w, XInternAtom(display, "_NET_WM_NAME", False),
                    XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace, nothing, 0);
    XChangeProperty(display, w, XA_WM_NAME, XA_STRING, 8, PropModeReplace, nothing, 0);
    XFlush(display);
}

std::optional<QMargins> frameExtents(QWidget *window)
{
    Display *display = x11Display();
    if (!display)
        return std::nullopt;
    const Atom request = XInternAtom(display, "_NET_REQUEST_FRAME_EXTENTS", False);
    if (!windowManagerSupports(display, request))
        return std::nullopt;
    const Window w = Window(window->winId());
    const Atom extents = XInternAtom(display, "_NET_FRAME_EXTENTS", False);
    sendToRoot(display, w, request);
    // The window manager answers by setting the property, at once when it is idle.
    QElapsedTimer waited;
    waited.start();
    do {
        const std::vector<long> e = longsProperty(display, w, extents, XA_CARDINAL);
        if (e.size() == 4)
            return QMargins(int(e[0]), int(e[2]), int(e[1]), int(e[3])); // sent as left, right, top, bottom
        QThread::msleep(2);
    } while (waited.elapsed() < 250);
    return std::nullopt;
}

} // namespace app
