#include "playback/engine/ClockEstimate.h"

#include "playback/engine/Session.h"
#include "playback/engine/Timecode.h"

#include <algorithm>

namespace playback::engine {

namespace {

// After the reverse scan libvlc's picture is not seen: the scan's last picture
// stays this long over it (a paused seek shows its picture in ~250 ms).
constexpr auto kScanHandOver = std::chrono::milliseconds(300);
// Until the title's own is read (see DisplayClock.h): a common multiplexer's.
constexpr std::int64_t kTypicalMuxLeadMs = 500;

} // namespace

ClockEstimate::ClockEstimate(const Session &session, QObject *parent)
    : QObject(parent), m_session(session), m_muxLeadMs(kTypicalMuxLeadMs)
{
}

void ClockEstimate::libvlcTime(std::int64_t ms)
{
    m_clock.observe(ms);
    if (!m_holdWatched.load(std::memory_order_relaxed))
        return;
    const auto at = m_clock.holdEndsAt(m_muxLeadMs);
    if (!at || *at <= DisplayClock::Clock::now()) {
        m_holdWatched = false;
        emit holdMayHaveEnded();
    }
}

void ClockEstimate::started()
{
    m_releaseAt.reset();
    m_clock.restart(1.0, 0);
}

void ClockEstimate::rateChanged()
{
    if (!m_session.paused)
        m_clock.resume(m_session.rate, m_muxLeadMs);
}

void ClockEstimate::resumed() { m_clock.resume(m_session.rate, m_muxLeadMs); }

void ClockEstimate::titleChanged(int, int, std::int64_t) { m_clock.restart(m_session.rate, 0); }

void ClockEstimate::titleTiming(std::int64_t muxLeadMs, double picturePeriodMs)
{
    m_muxLeadMs = muxLeadMs >= 0 ? muxLeadMs : kTypicalMuxLeadMs;
    m_picturePeriodMs = picturePeriodMs > 0 ? picturePeriodMs : 0;
}

void ClockEstimate::jumped(std::int64_t targetMs, std::optional<std::int64_t> shownBefore, bool)
{
    m_releaseAt.reset(); // the jump's hold takes over from the scan's
    m_clock.restart(m_session.rate, targetMs, shownBefore);
}

bool ClockEstimate::coverShown(std::int64_t ms, std::uint64_t)
{
    if (!m_clock.heldMs(m_muxLeadMs))
        return false; // libvlc's own picture is on screen already
    m_releaseAt.reset();
    m_clock.replaceHold(ms);
    return true;
}

void ClockEstimate::scanReleased(std::optional<std::int64_t> seekMs)
{
    if (seekMs) {
        m_clock.restart(m_session.rate, *seekMs, *seekMs);
        // The scan's picture stays over libvlc's for a while, and its time with it.
        m_clock.holdUntilReleased();
    }
    m_releaseAt = DisplayClock::Clock::now() + kScanHandOver;
}

void ClockEstimate::landingPictures(const std::optional<KnownPictures> &pictures)
{
    if (pictures && !pictures->empty())
        m_clock.landsAt(pictures->front().second); // mostly the next GOP
}

bool ClockEstimate::holding()
{
    if (m_releaseAt) {
        if (DisplayClock::Clock::now() < *m_releaseAt)
            return true;
        m_releaseAt.reset();
        m_clock.releaseHold();
    }
    const bool held = m_clock.heldMs(m_muxLeadMs).has_value();
    m_holdWatched = held;
    return held;
}

std::optional<std::chrono::milliseconds> ClockEstimate::holdEndsIn()
{
    const auto at = m_releaseAt ? m_releaseAt : m_clock.holdEndsAt(m_muxLeadMs);
    if (!at)
        return std::nullopt;
    return std::max(std::chrono::milliseconds(0),
                    std::chrono::ceil<std::chrono::milliseconds>(*at - DisplayClock::Clock::now()));
}

std::optional<std::int64_t> ClockEstimate::positionMs(std::int64_t libvlcMs)
{
    if (const auto shown = m_clock.positionMs(m_muxLeadMs))
        return pictureStartMs(std::max<std::int64_t>(0, *shown), m_picturePeriodMs);
    // libvlc has not reported a time since the last seek.
    return shownByReading(libvlcMs);
}

} // namespace playback::engine
