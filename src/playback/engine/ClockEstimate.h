#pragma once
// The position estimate when libvlc draws into an X window itself and shows us
// none of its pictures: libvlc's time readings through a DisplayClock, less the
// title's mux lead, which the engine's decoder reads from the disc (titleTiming). The engine's
// picture over libvlc's holds while the clock holds: after a jump until libvlc's
// first picture there is due, after the reverse scan a moment (a paused seek
// shows its picture in ~250 ms).
//
// Threads: libvlcJumped() and libvlcTime() run on libvlc's event threads and only
// call the DisplayClock, which locks for itself; a reading that ends a hold is
// announced from there (holdMayHaveEnded, queued to the GUI thread). The rest
// runs on the GUI thread.

#include "playback/engine/DisplayClock.h"
#include "playback/engine/PositionEstimate.h"

#include <QObject>

#include <atomic>

namespace playback::engine {

struct Session;

class ClockEstimate final : public QObject, public PositionEstimate {
    Q_OBJECT
public:
    explicit ClockEstimate(const Session &session, QObject *parent = nullptr);

    bool wantsTimes() const override { return true; }
    void libvlcJumped() override { m_clock.chapterChanged(); }
    void libvlcTime(std::int64_t ms) override;

    void started() override;
    void stopped() override { m_releaseAt.reset(); }
    void rateChanged() override;
    void paused() override { m_clock.freeze(m_muxLeadMs); }
    void resumed() override;
    void titleChanged(int from, int to, std::int64_t fromLengthMs) override;
    void titleTiming(std::int64_t muxLeadMs, double picturePeriodMs) override;

    void jumped(std::int64_t targetMs, std::optional<std::int64_t> shownBefore, bool armed) override;
    bool coverShown(std::int64_t ms, std::uint64_t hash) override;
    void scanStarted() override { m_releaseAt.reset(); }
    void scanReleased(std::optional<std::int64_t> seekMs) override;
    void landingPictures(const std::optional<KnownPictures> &pictures) override;
    bool holding() override;
    std::optional<std::chrono::milliseconds> holdEndsIn() override;

    std::optional<std::int64_t> positionMs(std::int64_t libvlcMs) override;

signals:
    // A time reading may have let go of the hold sooner than holdEndsIn() said.
    void holdMayHaveEnded();

private:
    const Session &m_session;
    DisplayClock m_clock;
    std::atomic<std::int64_t> m_muxLeadMs; // the current title's, see DisplayClock.h
    std::atomic<bool> m_holdWatched{false}; // someone waits for the hold to end
    double m_picturePeriodMs = 0;           // the current title's; 0 until known
    // After the reverse scan: its picture stays over libvlc's until then.
    std::optional<DisplayClock::Clock::time_point> m_releaseAt;
};

} // namespace playback::engine
