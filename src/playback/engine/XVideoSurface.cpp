#include "playback/engine/XVideoSurface.h"

#include <QGuiApplication>
#include <QSocketNotifier>
#include <QStyleHints>
#include <QTimer>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace playback::engine {

namespace {

Display *dpy(void *d) { return static_cast<Display *>(d); }

// libvlc's output has settled this long after its window is shown.
constexpr int kVideoSettlesMs = 60;
// The cover goes this long after libvlc's window is made, shown or not: should
// the news of its showing be lost, the picture is not kept black.
constexpr int kMostBlackAfterMadeMs = 1000;

} // namespace

XVideoSurface::XVideoSurface(unsigned long parentWindow, QObject *parent) : QObject(parent)
{
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return;
    m_display = display;
    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(display, DefaultScreen(display));
    attributes.event_mask = ButtonReleaseMask | SubstructureNotifyMask; // clicks, and libvlc's window
    m_window = XCreateWindow(display, parentWindow, 0, 0, 1, 1, 0, CopyFromParent, InputOutput, CopyFromParent,
                             CWBackPixel | CWEventMask, &attributes);
    XMapWindow(display, m_window);
    // libvlc opens the window on its own connection: it must exist on the server first.
    XSync(display, False);
    m_notifier = new QSocketNotifier(ConnectionNumber(display), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &XVideoSurface::readEvents);
}

void XVideoSurface::flush()
{
    Display *display = dpy(m_display);
    XFlush(display);
    // Xlib reads what the server has sent as it flushes (and in any round trip):
    // those events are off the socket, and its notifier will not tell of them.
    if (XEventsQueued(display, QueuedAlready) > 0)
        QMetaObject::invokeMethod(this, &XVideoSurface::readEvents, Qt::QueuedConnection);
}

XVideoSurface::~XVideoSurface()
{
    if (!m_display)
        return;
    delete m_notifier;
    if (m_stillGc)
        XFreeGC(dpy(m_display), static_cast<GC>(m_stillGc));
    if (m_window)
        XDestroyWindow(dpy(m_display), m_window);
    XCloseDisplay(dpy(m_display));
}

void XVideoSurface::reparent(unsigned long parentWindow, const QSize &size)
{
    if (!m_window)
        return;
    XReparentWindow(dpy(m_display), m_window, parentWindow, 0, 0);
    XMapWindow(dpy(m_display), m_window);
    resize(size);
}

void XVideoSurface::resize(const QSize &size)
{
    if (!m_window)
        return;
    m_size = QSize(qMax(1, size.width()), qMax(1, size.height()));
    XMoveResizeWindow(dpy(m_display), m_window, 0, 0, unsigned(m_size.width()), unsigned(m_size.height()));
    if (m_still)
        XResizeWindow(dpy(m_display), m_still, unsigned(m_size.width()), unsigned(m_size.height()));
    flush();
}

void XVideoSurface::showStill(const QImage &picture)
{
    m_blackUntilVideo = false; // the still window is the engine's picture's from now
    Display *display = dpy(m_display);
    const int screen = DefaultScreen(display);
    // 32-bit pixels in the server's byte order are what QImage's RGB32 holds on a
    // 24-bit true-colour screen, the only kind worth converting for.
    Visual *visual = DefaultVisual(display, screen);
    if (picture.isNull() || DefaultDepth(display, screen) != 24 || visual->red_mask != 0xff0000
        || visual->green_mask != 0xff00 || visual->blue_mask != 0xff || !makeStillWindow())
        return;
    const QImage image = picture.format() == QImage::Format_RGB32 ? picture
                                                                   : picture.convertToFormat(QImage::Format_RGB32);
    XImage *ximage = XCreateImage(display, visual, 24, ZPixmap, 0,
                                  const_cast<char *>(reinterpret_cast<const char *>(image.constBits())),
                                  unsigned(image.width()), unsigned(image.height()), 32, int(image.bytesPerLine()));
    if (!ximage)
        return;
    ximage->byte_order = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? LSBFirst : MSBFirst;
    XMapRaised(display, m_still);
    XPutImage(display, m_still, static_cast<GC>(m_stillGc), ximage, 0, 0, 0, 0, unsigned(image.width()),
              unsigned(image.height()));
    ximage->data = nullptr; // the pixels belong to the QImage
    XDestroyImage(ximage);
    XSetWindowBackground(display, m_still, BlackPixel(display, screen)); // after freeze()
    flush();
}

void XVideoSurface::freeze()
{
    m_blackUntilVideo = false;
    Display *display = dpy(m_display);
    if (!makeStillWindow())
        return;
    // The window's content, libvlc's picture in its child window included, copied
    // into the background of ours, which the server paints as it maps it.
    // The pixmap must have the windows' depth, which need not be the screen's.
    XWindowAttributes window{};
    if (!XGetWindowAttributes(display, m_still, &window))
        return;
    const unsigned w = unsigned(m_size.width()), h = unsigned(m_size.height());
    const Pixmap pixmap = XCreatePixmap(display, m_window, w, h, unsigned(window.depth));
    XGCValues values{};
    values.subwindow_mode = IncludeInferiors;
    GC gc = XCreateGC(display, pixmap, GCSubwindowMode, &values);
    XCopyArea(display, m_window, pixmap, gc, 0, 0, w, h, 0, 0);
    XFreeGC(display, gc);
    XSetWindowBackgroundPixmap(display, m_still, pixmap);
    XFreePixmap(display, pixmap); // the window holds on to it
    XMapRaised(display, m_still);
    XClearWindow(display, m_still);
    flush();
}

bool XVideoSurface::makeStillWindow()
{
    if (!m_window)
        return false;
    if (!m_still) {
        Display *display = dpy(m_display);
        m_still = XCreateSimpleWindow(display, m_window, 0, 0, unsigned(m_size.width()), unsigned(m_size.height()), 0,
                                      0, BlackPixel(display, DefaultScreen(display)));
        m_stillGc = XCreateGC(display, m_still, 0, nullptr);
    }
    return true;
}

void XVideoSurface::blackUntilVideoSettles()
{
    Display *display = dpy(m_display);
    if (!makeStillWindow())
        return;
    XSetWindowBackground(display, m_still, BlackPixel(display, DefaultScreen(display)));
    XMapRaised(display, m_still);
    XClearWindow(display, m_still);
    flush();
    m_blackUntilVideo = true;
}

void XVideoSurface::libvlcWindowMade()
{
    if (!m_blackUntilVideo)
        return;
    XRaiseWindow(dpy(m_display), m_still);
    flush();
    uncoverIn(kMostBlackAfterMadeMs);
}

void XVideoSurface::libvlcWindowShown()
{
    if (m_blackUntilVideo)
        uncoverIn(kVideoSettlesMs);
}

void XVideoSurface::uncoverIn(int ms)
{
    // Only the black cover goes: a picture the engine has put up since stays.
    QTimer::singleShot(ms, this, [this] {
        if (m_blackUntilVideo)
            hideStill();
    });
}

void XVideoSurface::hideStill()
{
    m_blackUntilVideo = false;
    if (!m_still)
        return;
    XUnmapWindow(dpy(m_display), m_still);
    flush();
}

void XVideoSurface::detach()
{
    if (!m_window)
        return;
    Display *display = dpy(m_display);
    XUnmapWindow(display, m_window);
    XReparentWindow(display, m_window, DefaultRootWindow(display), 0, 0);
    flush();
}

void XVideoSurface::readEvents()
{
    Display *display = dpy(m_display);
    while (XPending(display)) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == CreateNotify && event.xcreatewindow.parent == m_window && event.xcreatewindow.window != m_still)
            libvlcWindowMade();
        if (event.type == MapNotify && event.xmap.event == m_window && event.xmap.window != m_still)
            libvlcWindowShown();
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
