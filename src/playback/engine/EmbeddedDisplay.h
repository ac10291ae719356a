#pragma once
// Pictures embedded in an X window: libvlc draws into a child window of the
// widget that shows the picture (XVideoSurface), so DVD menus get the mouse. We
// see none of its pictures: the position comes from libvlc's time readings
// (ClockEstimate), and the engine's own pictures are drawn into a window of ours
// over libvlc's (XOverlay), which goes once the clock says libvlc's own is there.
//
// Threads: GUI thread; the estimate's libvlc hooks run on libvlc's event threads
// (see ClockEstimate.h).

#include "playback/engine/ClockEstimate.h"
#include "playback/engine/Display.h"

#include <QPointer>
#include <QTimer>

#include <functional>

namespace playback::engine {

class XVideoSurface;

// The engine's picture in a window of ours over libvlc's.
class XOverlay final : public Overlay {
public:
    XOverlay(PositionEstimate &estimate, std::function<XVideoSurface *()> surface);

    QSize size() const override;
    bool hold(bool pinned) override;
    void show(const QImage &picture, bool pinned) override;
    void unpin() override;
    void clear() override;
    bool isShown() override { return m_shown; }
    // The estimate may have let go of its hold: looked at now.
    void lookAgain() { m_timer.start(0); }

private:
    // Hides the picture once the estimate lets go, looked at when it says it may.
    void watch();
    void lookAtHold();

    PositionEstimate &m_estimate;
    std::function<XVideoSurface *()> m_surface;
    bool m_shown = false;
    bool m_pinned = false;
    QTimer m_timer;
};

class EmbeddedDisplay final : public Display {
    Q_OBJECT
public:
    EmbeddedDisplay(QWidget *host, const Session &session, QObject *parent = nullptr);
    ~EmbeddedDisplay() override;

    bool attach(libvlc_media_player_t *player) override;
    void retire(libvlc_media_player_t *player, std::shared_ptr<void> input) override;
    void stopped() override;

    PositionEstimate &estimate() override { return m_estimate; }
    Overlay &overlay() override { return m_overlay; }

    bool rendersIntoMemory() const override { return false; }
    void setHost(QWidget *host) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> m_host;
    XVideoSurface *m_surface = nullptr; // the current player's
    ClockEstimate m_estimate;
    XOverlay m_overlay;
};

} // namespace playback::engine
