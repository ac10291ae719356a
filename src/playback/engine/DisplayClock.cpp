#include "playback/engine/DisplayClock.h"

#include <algorithm>
#include <iterator>

namespace playback::engine {

namespace {

// Readings this old are forgotten: longer than a VOBU (at most a second), so that
// one VOBU start is always among them.
constexpr auto kWindow = std::chrono::milliseconds(1500);
// Readings from before a seek: libvlc reads at most a few seconds ahead of its target.
constexpr std::int64_t kExpectBeforeMs = 2000, kExpectAfterMs = 5000;
// Measured on discs with mux leads of 280 and 730 ms: the picture is shown 5 to
// 11 ms later than the lead says; this puts the estimate in the middle of the
// picture's 40 ms.
constexpr double kLateMs = 15.0;
// A reading this far above the others is a glitch unless it lasts.
constexpr double kJumpMs = 1500.0;
constexpr auto kJumpLasts = std::chrono::milliseconds(300);
// The readings that come with a chapter change are 30 ms early.
constexpr auto kAfterChapter = std::chrono::milliseconds(20);
// A seek's first picture: measured on discs with mux leads of 280, 480, 565, 640
// and 730 ms, libvlc showed it within 25 ms for the first two and 60 to 70 ms
// after the lead for the others.
constexpr std::int64_t kShownAtOnceBelowMs = 520;
constexpr auto kSeekShowsAfter = std::chrono::milliseconds(60);

double msSince(DisplayClock::Clock::time_point from, DisplayClock::Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

} // namespace

void DisplayClock::restart(double rate, std::optional<std::int64_t> expectMs, std::optional<std::int64_t> holdMs,
                           Clock::time_point now)
{
    std::lock_guard lock(m_mutex);
    m_holdMs = expectMs ? holdMs : std::nullopt;
    m_holdPinned = false;
    m_epoch = now;
    m_rate = rate;
    m_expectMs = expectMs;
    m_expectedMs = expectMs;
    m_frozen.reset();
    m_readings.clear();
    m_jumpSince.reset();
}

void DisplayClock::holdUntilReleased()
{
    std::lock_guard lock(m_mutex);
    m_holdPinned = m_holdMs.has_value();
}

void DisplayClock::releaseHold()
{
    std::lock_guard lock(m_mutex);
    if (m_holdPinned)
        m_holdMs.reset();
    m_holdPinned = false;
}

std::optional<std::int64_t> DisplayClock::heldMs(std::int64_t muxLeadMs, Clock::time_point now)
{
    std::lock_guard lock(m_mutex);
    if (!m_frozen)
        shownLocked(muxLeadMs, now); // lets go of the hold once the new picture is due
    return m_holdMs;
}

void DisplayClock::replaceHold(std::int64_t ms)
{
    std::lock_guard lock(m_mutex);
    if (m_holdMs)
        m_holdMs = ms;
    if (m_frozen)
        m_frozen = ms;
}

void DisplayClock::landsAt(std::int64_t ms)
{
    std::lock_guard lock(m_mutex);
    if (m_expectedMs)
        m_expectedMs = std::max(*m_expectedMs, ms);
}

void DisplayClock::resume(double rate, std::int64_t muxLeadMs, Clock::time_point now)
{
    std::lock_guard lock(m_mutex);
    const std::optional<std::int64_t> shown = m_frozen ? m_frozen : shownLocked(muxLeadMs, now);
    m_epoch = now;
    m_rate = rate;
    m_expectMs.reset();
    m_expectedMs.reset();
    m_holdMs.reset();
    m_holdPinned = false;
    m_frozen.reset();
    m_readings.clear();
    m_jumpSince.reset();
    // The picture goes on from where it stood until libvlc reports again.
    if (shown)
        m_readings.push_back({now, double(*shown + muxLeadMs) - kLateMs});
}

void DisplayClock::freeze(std::int64_t muxLeadMs, Clock::time_point now)
{
    std::lock_guard lock(m_mutex);
    if (!m_frozen)
        m_frozen = shownLocked(muxLeadMs, now);
}

void DisplayClock::observe(std::int64_t timeMs, Clock::time_point now)
{
    std::lock_guard lock(m_mutex);
    if (m_frozen || (m_quietUntil && now < *m_quietUntil))
        return;
    if (m_expectMs && (timeMs < *m_expectMs - kExpectBeforeMs || timeMs > *m_expectMs + kExpectAfterMs))
        return;
    m_expectMs.reset(); // libvlc is there now
    const double offset = double(timeMs) - m_rate * msSince(m_epoch, now);
    if (!m_readings.empty() && offset > m_readings.front().offsetMs + kJumpMs) {
        // libvlc reports a time seconds ahead for a moment at some cell changes:
        // only a jump that lasts is one.
        if (!m_jumpSince)
            m_jumpSince = now;
        if (now - *m_jumpSince < kJumpLasts)
            return;
        m_readings.clear();
    }
    m_jumpSince.reset();
    // Kept in decreasing order of offset (and increasing age): a reading below a
    // newer one can never be the highest again.
    while (!m_readings.empty() && m_readings.back().offsetMs <= offset)
        m_readings.pop_back();
    m_readings.push_back({now, offset});
    while (m_readings.size() > 1 && now - m_readings.front().at > kWindow)
        m_readings.pop_front();
}

void DisplayClock::chapterChanged(Clock::time_point now)
{
    std::lock_guard lock(m_mutex);
    m_quietUntil = now + kAfterChapter;
}

std::optional<std::int64_t> DisplayClock::positionMs(std::int64_t muxLeadMs, Clock::time_point now)
{
    std::lock_guard lock(m_mutex);
    return m_frozen ? m_frozen : shownLocked(muxLeadMs, now);
}

DisplayClock::Clock::time_point DisplayClock::seekShowsAt(std::int64_t muxLeadMs) const
{
    return muxLeadMs < kShownAtOnceBelowMs ? m_epoch
                                           : m_epoch + std::chrono::milliseconds(muxLeadMs) + kSeekShowsAfter;
}

std::optional<DisplayClock::Clock::time_point> DisplayClock::holdEndsAt(std::int64_t muxLeadMs)
{
    std::lock_guard lock(m_mutex);
    if (!m_holdMs || m_holdPinned || m_frozen || !m_expectedMs)
        return std::nullopt;
    const Clock::time_point due = seekShowsAt(muxLeadMs);
    if (m_readings.empty() || m_rate <= 0)
        return due;
    // Or when the readings place the picture at the seek's target, if that is sooner.
    const double reachMs = (double(*m_expectedMs + muxLeadMs) - kLateMs - m_readings.front().offsetMs) / m_rate;
    const Clock::time_point reach = m_epoch + std::chrono::microseconds(std::int64_t(reachMs * 1000.0));
    return std::min(due, reach);
}

std::optional<std::int64_t> DisplayClock::shownLocked(std::int64_t muxLeadMs, Clock::time_point now)
{
    const std::optional<double> at = readingLocked(now);
    const std::optional<std::int64_t> shown =
        at ? std::optional<std::int64_t>(std::int64_t(*at - double(muxLeadMs) + kLateMs)) : std::nullopt;
    if (m_holdPinned)
        return m_holdMs;
    if (m_holdMs && m_expectedMs) {
        // After a seek the old picture stays until the new one comes. libvlc shows
        // the new one at once when the disc's mux lead is short, else when it is due.
        const bool due = now >= seekShowsAt(muxLeadMs);
        if (!due && (!shown || *shown < *m_expectedMs))
            return m_holdMs;
        m_holdMs.reset();
    }
    if (m_expectedMs && (!shown || *shown < *m_expectedMs))
        return m_expectedMs;
    m_expectedMs.reset();
    return shown;
}

std::optional<double> DisplayClock::readingLocked(Clock::time_point now) const
{
    // The highest offset within the window: the first reading not too old, or the
    // newest one when all are (a VOBU late to come must not leave the clock blind).
    if (m_readings.empty())
        return std::nullopt;
    auto it = m_readings.begin();
    while (std::next(it) != m_readings.end() && now - it->at > kWindow)
        ++it;
    return it->offsetMs + m_rate * msSince(m_epoch, now);
}

} // namespace playback::engine
