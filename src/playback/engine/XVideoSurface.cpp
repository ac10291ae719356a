#include "playback/engine/XVideoSurface.h"

#include <QGuiApplication>
#include <QSocketNotifier>
#include <QStyleHints>

#include <X11/Xlib.h>

namespace playback::engine {

namespace {

Display *dpy(void *d) { return static_cast<Display *>(d); }

} // namespace

XVideoSurface::XVideoSurface(unsigned long parentWindow, QObject *parent) : QObject(parent)
{
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return;
    m_display = display;
    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(display, DefaultScreen(display));
    attributes.event_mask = ButtonReleaseMask;
    m_window = XCreateWindow(display, parentWindow, 0, 0, 1, 1, 0, CopyFromParent, InputOutput, CopyFromParent,
                             CWBackPixel | CWEventMask, &attributes);
    XMapWindow(display, m_window);
    // libvlc opens the window on its own connection: it must exist on the server first.
    XSync(display, False);
    m_notifier = new QSocketNotifier(ConnectionNumber(display), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &XVideoSurface::readEvents);
}

XVideoSurface::~XVideoSurface()
{
    if (!m_display)
        return;
    delete m_notifier;
    if (m_window)
        XDestroyWindow(dpy(m_display), m_window);
    XCloseDisplay(dpy(m_display));
}

void XVideoSurface::reparent(unsigned long parentWindow, const QSize &size)
{
    if (!m_window)
        return;
    XReparentWindow(dpy(m_display), m_window, parentWindow, 0, 0);
    XMoveResizeWindow(dpy(m_display), m_window, 0, 0, unsigned(qMax(1, size.width())), unsigned(qMax(1, size.height())));
    XMapWindow(dpy(m_display), m_window);
    XFlush(dpy(m_display));
}

void XVideoSurface::resize(const QSize &size)
{
    if (!m_window)
        return;
    XMoveResizeWindow(dpy(m_display), m_window, 0, 0, unsigned(qMax(1, size.width())), unsigned(qMax(1, size.height())));
    XFlush(dpy(m_display));
}

void XVideoSurface::detach()
{
    if (!m_window)
        return;
    Display *display = dpy(m_display);
    XUnmapWindow(display, m_window);
    XReparentWindow(display, m_window, DefaultRootWindow(display), 0, 0);
    XFlush(display);
}

void XVideoSurface::readEvents()
{
    Display *display = dpy(m_display);
    while (XPending(display)) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != ButtonRelease || event.xbutton.button != Button1)
            continue;
        const unsigned long interval = unsigned(QGuiApplication::styleHints()->mouseDoubleClickInterval());
        if (m_haveRelease && event.xbutton.time - m_lastReleaseTime <= interval) {
            m_haveRelease = false;
            emit doubleClicked();
        } else {
            m_haveRelease = true;
            m_lastReleaseTime = event.xbutton.time;
        }
    }
}

} // namespace playback::engine
