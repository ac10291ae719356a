#pragma once
// Pictures embedded in an X window: libvlc draws into a child window of the
// widget that shows the picture (XVideoSurface), so DVD menus get the mouse. We
// see none of its pictures: where the picture on screen is comes from libvlc's
// time readings through a DisplayClock. The reverse scan's pictures are drawn
// into a window of ours over libvlc's, and stay a moment after the scan ends,
// until libvlc's own picture has come. So is a jump's cover, until the clock
// says libvlc's first picture there is due.
//
// Threads: libvlcJumped() and libvlcTime() run on libvlc's event threads and only
// call the DisplayClock, which locks for itself. The rest runs on the GUI thread.

#include "playback/engine/DisplayClock.h"
#include "playback/engine/PictureOutput.h"

#include <QPointer>
#include <QTimer>

namespace playback::engine {

class XVideoSurface;

class EmbeddedOutput final : public PictureOutput {
    Q_OBJECT
public:
    explicit EmbeddedOutput(QWidget *host, QObject *parent = nullptr);
    ~EmbeddedOutput() override;

    bool attach(libvlc_media_player_t *player) override;
    void retire(libvlc_media_player_t *player, std::shared_ptr<void> input) override;
    bool wantsTimes() const override { return true; }
    void libvlcJumped() override { m_clock.chapterChanged(); }
    void libvlcTime(std::int64_t ms) override { m_clock.observe(ms); }

    void started() override;
    void stopped() override
    {
        m_stillHideTimer.stop();
        m_coverTimer.stop();
    }
    void rateChanged(double rate, bool paused) override;
    void paused() override { m_clock.freeze(m_muxLeadMs); }
    void resumed(double rate) override;
    void jumped(std::int64_t targetMs, std::optional<std::int64_t> shownBefore, bool armed) override;
    void titleChanged(int from, int to, std::int64_t fromLengthMs) override;
    bool titleStarted() override;
    void setMuxLead(std::int64_t ms) override { m_muxLeadMs = ms; }
    std::optional<std::int64_t> positionMs(std::int64_t libvlcMs) const override;

    QSize stillSize() const override;
    void scanStarted() override
    {
        m_stillHideTimer.stop();
        m_coverTimer.stop();
    }
    void showStill(const QImage &picture) override;
    void releaseStill(std::optional<std::int64_t> seekMs) override;
    void landingPictures(const std::optional<KnownPictures> &pictures) override;
    void coverJump(const QImage &picture, std::int64_t ms, std::uint64_t hash) override;

    bool rendersIntoMemory() const override { return false; }
    void setHost(QWidget *host) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> m_host;
    XVideoSurface *m_surface = nullptr; // the current player's
    DisplayClock m_clock;
    std::int64_t m_muxLeadMs; // the current title's, see DisplayClock.h
    double m_rate = 1.0;
    QTimer m_stillHideTimer;
    QTimer m_coverTimer; // while a cover is up: looks whether libvlc's picture is due
};

} // namespace playback::engine
