#include "playback/engine/PictureCount.h"

#include <algorithm>
#include <cmath>

namespace playback::engine {

namespace {

// How many new pictures expected ones are looked for in, and looked back on.
constexpr std::size_t kRecentPictures = 8;
// An anchor that is not armed is taken after this long all the same.
constexpr auto kUnarmedAnchorWait = std::chrono::milliseconds(400);
// After a seek, pictures queued before it may come for this long; one that took
// the anchor then hands it on to the seek's first picture, which comes after a
// pause of more than kPauseFrames frames.
constexpr auto kQueuedPicturesFor = std::chrono::milliseconds(1500);
constexpr double kPauseFrames = 4.0;
// A gap of at least this many frames, or of kStallMs, is a stall (libvlc holding
// a picture until its clock runs), after which the next picture simply follows.
constexpr double kStallFrames = 3.5;
constexpr double kStallMs = 150.0;
// Frames a gap stands for are rounded up from this fraction: a late picture at
// normal speed (60 ms) stays one frame.
constexpr double kSkipRounding = 0.3;
// An old title's last picture is this close to its end (in frames).
constexpr double kTitleEndFrames = 1.5;

} // namespace

void PictureCount::displayed(std::uint64_t hash, Clock::time_point now)
{
    const bool isNew = !m_haveLast || hash != m_lastHash;
    m_haveLast = true;
    m_lastHash = hash;
    if (isNew) {
        advance(now);
        takeExpected(hash);
        m_recent.emplace_back(hash, std::llround(m_positionMs));
        if (m_recent.size() > kRecentPictures)
            m_recent.erase(m_recent.begin());
        m_havePosition = true;
        m_restart = false;
        ++m_newPictures;
    } else if (m_rate <= 1.0) {
        // At normal speed libvlc shows the same picture again only while the
        // stream stands still (waiting for its clock, paused): the next new
        // picture simply follows. (Fast play repeats pictures between skips.)
        m_restart = true;
    }
    m_lastDisplay = now;
}

// Where a new picture is: at the anchor, after the old title's end, or frames on.
void PictureCount::advance(Clock::time_point now)
{
    const double period = m_picturePeriodMs > 0 ? m_picturePeriodMs : 1000.0 / m_fps;
    const double gapMs = std::chrono::duration<double, std::milli>(now - m_lastDisplay).count();
    const bool paused = gapMs > kPauseFrames * period / m_rate;
    if (m_anchor && (m_anchorArmed || now - m_anchorRequested > kUnarmedAnchorWait)) {
        m_positionMs = double(*m_anchor);
        m_takenAnchor = *m_anchor;
        m_anchorTaken = now;
        m_anchor.reset();
        m_titleEnd.reset();
    } else if (m_takenAnchor && paused && now - m_anchorTaken < kQueuedPicturesFor) {
        // A picture still queued before the seek took the anchor; the seek's
        // first picture comes after the pause that the seek causes.
        m_positionMs = double(*m_takenAnchor);
        m_takenAnchor.reset();
    } else if (!m_havePosition) {
        m_positionMs = 0.0;
    } else if (m_titleEnd && (m_positionMs + kTitleEndFrames * period >= double(m_titleEnd->first) || paused)) {
        // The old title's pictures have run out, or libvlc paused to start the
        // new title (it holds the new title's first picture until its clock runs).
        m_positionMs = double(m_titleEnd->second);
        m_titleEnd.reset();
    } else {
        // libvlc skips a picture when it is late, so the gap tells how many went by.
        int steps = 1;
        const double frames = gapMs * m_rate / period;
        if (!m_restart && (frames < kStallFrames || gapMs < kStallMs))
            steps = std::max(1, int(std::floor(frames + kSkipRounding)));
        m_positionMs += steps * period;
        m_countedSince += steps;
        return;
    }
    m_knownMs = m_positionMs;
    m_countedSince = 0;
}

void PictureCount::setPicturePeriod(double ms)
{
    m_picturePeriodMs = ms > 0 ? ms : 0.0;
    if (m_havePosition && m_picturePeriodMs > 0)
        m_positionMs = m_knownMs + m_countedSince * m_picturePeriodMs;
}

// One of the pictures a seek may land on gives the position.
void PictureCount::takeExpected(std::uint64_t hash)
{
    if (m_expectedFor <= 0)
        return;
    --m_expectedFor;
    for (const auto &[h, ms] : m_expected) {
        if (h == hash) {
            m_positionMs = m_knownMs = double(ms);
            m_countedSince = 0;
            m_expectedFor = 0;
            ++m_expectedShown;
            return;
        }
    }
}

void PictureCount::anchor(std::int64_t positionMs, bool armed, Clock::time_point now)
{
    m_anchor = positionMs;
    m_anchorArmed = armed;
    m_anchorRequested = now;
    m_restart = true;
    m_recent.clear(); // pictures from before the seek are none of its own
    m_expectedFor = 0;
}

void PictureCount::setShownPosition(std::int64_t positionMs)
{
    m_positionMs = m_knownMs = double(positionMs);
    m_countedSince = 0;
    m_havePosition = true;
    m_anchor.reset();
    m_titleEnd.reset();
    m_restart = true;
}

void PictureCount::anchorAfterTitleEnd(std::int64_t oldLengthMs, std::int64_t newStartMs)
{
    m_titleEnd = std::make_pair(oldLengthMs, newStartMs);
}

bool PictureCount::expectOneOf(KnownPictures pictures, int within)
{
    // Shown already (the pictures come from a decoder that may be slower than libvlc):
    // move the count by what that picture was taken for.
    for (auto shown = m_recent.rbegin(); shown != m_recent.rend(); ++shown) {
        for (const auto &[h, ms] : pictures) {
            if (h == shown->first) {
                m_positionMs += double(ms - shown->second);
                m_expectedFor = 0;
                ++m_expectedShown;
                return true;
            }
        }
    }
    m_expected = std::move(pictures);
    m_expectedFor = within;
    return false;
}

std::optional<std::int64_t> PictureCount::position() const
{
    if (!m_havePosition)
        return std::nullopt;
    return std::int64_t(std::llround(m_positionMs));
}

} // namespace playback::engine
