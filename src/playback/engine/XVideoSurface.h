#pragma once
// The X11 window libvlc draws into. It is a plain child window created on a
// connection of our own rather than the Qt widget's window: X lets only one
// client select button presses on a window, and Qt has taken them on its own
// windows, so libvlc would never see the clicks that DVD menus need. On this
// window libvlc gets presses; this connection only listens to releases (which X
// shares between clients) to recognise a double-click on the picture.
//
// Threads: GUI thread. libvlc draws into the window from a connection and a
// thread of its own, until the player is released (see PlayerReaper.h).

#include <QImage>
#include <QObject>
#include <QRect>

class QSocketNotifier;

namespace playback::engine {

class XVideoSurface : public QObject {
    Q_OBJECT
public:
    // parentWindow: the native window of the widget that shows the picture.
    explicit XVideoSurface(unsigned long parentWindow, QObject *parent = nullptr);
    ~XVideoSurface() override;

    bool isValid() const { return m_window != 0; }
    unsigned long window() const { return m_window; }

    // Moves the surface into another native window (full screen and back) and fills it.
    void reparent(unsigned long parentWindow, const QSize &size);
    // Sizes are in the screen's pixels, not Qt's logical ones.
    void resize(const QSize &size);
    // Hides the window and moves it to the root window, out of a parent that may go.
    void detach();
    QSize size() const { return m_size; }

    // Shows a picture of the surface's size over libvlc's video (the reverse scan
    // draws its own pictures while libvlc is paused), until hideStill().
    void showStill(const QImage &picture);
    // Holds the picture on screen now over libvlc's, until showStill() or hideStill()
    // (a copy made by the X server: nothing is read back).
    void freeze();
    void hideStill();
    // Black until libvlc's video window has shown its first pictures: libvlc draws
    // the first one unscaled (at its own size) before its output settles on the
    // window's size. libvlc makes its window inside ours when its output opens,
    // above ours: ours is raised over it as it is made.
    void blackUntilVideoSettles();

signals:
    void doubleClicked();

private:
    void readEvents();
    void flush();
    bool makeStillWindow();
    void libvlcWindowMade();
    void libvlcWindowShown();
    void uncoverIn(int ms);

    void *m_display = nullptr; // Display*
    unsigned long m_window = 0;
    unsigned long m_still = 0; // a child window above libvlc's own
    void *m_stillGc = nullptr; // GC
    QSize m_size;
    QSocketNotifier *m_notifier = nullptr;
    unsigned long m_lastReleaseTime = 0;
    bool m_haveRelease = false;
    bool m_blackUntilVideo = false;
};

} // namespace playback::engine
