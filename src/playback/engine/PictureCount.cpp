#include "playback/engine/PictureCount.h"

#include <algorithm>
#include <cmath>

namespace playback::engine {

namespace {

// How many new pictures expected ones are looked for in, and looked back on.
constexpr std::size_t kRecentPictures = 8;

} // namespace

bool PictureCount::displayed(std::uint64_t hash, Clock::time_point now)
{
    const bool isNew = !m_haveLast || hash != m_lastHash;
    m_haveLast = true;
    m_lastHash = hash;
    if (isNew) {
        const double period = 1000.0 / m_fps;
        const double gapMs = std::chrono::duration<double, std::milli>(now - m_lastDisplay).count();
        if (m_anchor && (m_anchorArmed || now - m_anchorRequested > std::chrono::milliseconds(400))) {
            m_positionMs = double(*m_anchor);
            m_takenAnchor = *m_anchor;
            m_anchorTaken = now;
            m_anchor.reset();
            m_titleEnd.reset();
        } else if (m_takenAnchor && gapMs > 4 * period / m_rate
                   && now - m_anchorTaken < std::chrono::milliseconds(1500)) {
            // A picture still queued before the seek took the anchor; the seek's
            // first picture comes after the pause that the seek causes.
            m_positionMs = double(*m_takenAnchor);
            m_takenAnchor.reset();
        } else if (!m_havePosition) {
            m_positionMs = 0.0;
        } else if (m_titleEnd
                   && (m_positionMs + 1.5 * period >= double(m_titleEnd->first) || gapMs > 4 * period / m_rate)) {
            // The old title's pictures have run out, or libvlc paused to start the
            // new title (it holds the new title's first picture until its clock runs).
            m_positionMs = double(m_titleEnd->second);
            m_titleEnd.reset();
        } else {
            int steps = 1;
            // libvlc skips a picture when it is late, so the gap tells how many
            // went by; +0.3 rather than rounding keeps a late picture at normal
            // speed (60 ms) one frame. A gap of several frames and over 150 ms is a
            // stall (libvlc holding a picture until its clock runs), after which
            // the next picture simply follows.
            const double frames = gapMs * m_rate / period;
            if (!m_restart && (frames < 3.5 || gapMs < 150.0))
                steps = std::max(1, int(std::floor(frames + 0.3)));
            m_positionMs += steps * period;
        }
        if (m_expectedFor > 0) {
            --m_expectedFor;
            for (const auto &[h, ms] : m_expected) {
                if (h == hash) {
                    m_positionMs = double(ms);
                    m_expectedFor = 0;
                    ++m_expectedShown;
                    break;
                }
            }
        }
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
    return isNew;
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
    m_positionMs = double(positionMs);
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
