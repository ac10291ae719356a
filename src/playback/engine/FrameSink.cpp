#include "playback/engine/FrameSink.h"

#include <vlc/vlc.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace playback::engine {

namespace {

// How many new pictures expected ones are looked for in, and looked back on.
constexpr std::size_t kRecentPictures = 8;

} // namespace

FrameSink::FrameSink(std::function<void()> onFrame) : m_onFrame(std::move(onFrame)) {}

FrameSink::~FrameSink() = default;

void FrameSink::attach(libvlc_media_player_t *player)
{
    libvlc_video_set_callbacks(player, lockCallback, unlockCallback, displayCallback, this);
    libvlc_video_set_format_callbacks(player, formatCallback, cleanupCallback);
}

unsigned FrameSink::formatCallback(void **opaque, char *chroma, unsigned *width, unsigned *height, unsigned *pitches,
                                   unsigned *lines)
{
    auto *self = static_cast<FrameSink *>(*opaque);
    // libvlc first offers hardware surfaces (VAOP, VDV0...) that memory rendering cannot
    // read; refusing them makes it offer a plain format next.
    if (std::memcmp(chroma, "VA", 2) == 0 || std::memcmp(chroma, "VD", 2) == 0)
        return 0;
    // Planar 4:2:0 is what the MPEG-2 decoder produces: taking it avoids a conversion
    // per picture; the sink converts only the pictures someone looks at.
    std::memcpy(chroma, "I420", 4);
    std::lock_guard lock(self->m_mutex);
    self->m_width = *width;
    self->m_height = *height;
    self->m_pitch = (*width + 31) & ~31u;
    self->m_lines = (*height + 15) & ~15u;
    pitches[0] = self->m_pitch;
    pitches[1] = pitches[2] = self->m_pitch / 2;
    lines[0] = self->m_lines;
    lines[1] = lines[2] = self->m_lines / 2;
    const std::size_t size = std::size_t(self->m_pitch) * self->m_lines * 3 / 2;
    for (auto &b : self->m_buffers)
        b.assign(size, 0);
    self->m_front = -1;
    self->m_back = 0;
    return 1;
}

void FrameSink::cleanupCallback(void *) {}

void *FrameSink::lockCallback(void *opaque, void **planes)
{
    auto *self = static_cast<FrameSink *>(opaque);
    std::lock_guard lock(self->m_mutex);
    unsigned char *base = self->m_buffers[self->m_back].data();
    const std::size_t ySize = std::size_t(self->m_pitch) * self->m_lines;
    planes[0] = base;
    planes[1] = base + ySize;
    planes[2] = base + ySize + ySize / 4;
    return reinterpret_cast<void *>(static_cast<std::intptr_t>(self->m_back));
}

void FrameSink::unlockCallback(void *, void *, void *const *) {}

void FrameSink::displayCallback(void *opaque, void *) { static_cast<FrameSink *>(opaque)->displayed(); }

void FrameSink::displayed()
{
    {
        std::lock_guard lock(m_mutex);
        const auto now = Clock::now();
        const std::uint64_t hash = lumaSampleHash(m_buffers[m_back].data(), m_width, m_height, m_pitch);
        const bool isNew = m_front < 0 || hash != m_frontHash;
        std::swap(m_front, m_back);
        if (m_back < 0)
            m_back = 1 - m_front;
        m_frontHash = hash;
        ++m_serial;
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
                        break;
                    }
                }
            }
            m_recent.emplace_back(hash, std::llround(m_positionMs));
            if (m_recent.size() > kRecentPictures)
                m_recent.erase(m_recent.begin());
            m_havePosition = true;
            m_restart = false;
            m_newPictures.fetch_add(1);
        } else if (m_rate <= 1.0) {
            // At normal speed libvlc shows the same picture again only while the
            // stream stands still (waiting for its clock, paused): the next new
            // picture simply follows. (Fast play repeats pictures between skips.)
            m_restart = true;
        }
        m_lastDisplay = now;
    }
    std::lock_guard lock(m_onFrameMutex);
    if (m_onFrame)
        m_onFrame();
}

void FrameSink::silence()
{
    std::lock_guard lock(m_onFrameMutex);
    m_onFrame = nullptr;
}

QImage FrameSink::lastFrame() const
{
    // Only the copy of the planes happens under the lock, so that libvlc's video
    // thread is never held up for the conversion (a held-up display thread makes
    // pictures late and the count uneven).
    std::vector<unsigned char> planes;
    unsigned width, height, pitch, lines;
    std::uint64_t serial;
    {
        std::lock_guard lock(m_mutex);
        if (m_front < 0 || m_width == 0)
            return {};
        if (m_cachedSerial == m_serial)
            return m_cached;
        planes = m_buffers[m_front];
        width = m_width;
        height = m_height;
        pitch = m_pitch;
        lines = m_lines;
        serial = m_serial;
    }
    const std::size_t ySize = std::size_t(pitch) * lines;
    QImage image = i420ToImage(planes.data(), planes.data() + ySize, planes.data() + ySize + ySize / 4, int(width),
                               int(height), int(pitch), int(pitch / 2));
    std::lock_guard lock(m_mutex);
    m_cached = image;
    m_cachedSerial = serial;
    return image;
}

void FrameSink::setRate(double rate)
{
    std::lock_guard lock(m_mutex);
    m_rate = rate > 0 ? rate : 1.0;
}

void FrameSink::setFrameRate(int fps)
{
    std::lock_guard lock(m_mutex);
    m_fps = fps > 0 ? fps : 25;
}

void FrameSink::anchor(std::int64_t positionMs, bool armed)
{
    std::lock_guard lock(m_mutex);
    m_anchor = positionMs;
    m_anchorArmed = armed;
    m_anchorRequested = Clock::now();
    m_restart = true;
    m_recent.clear(); // pictures from before the seek are none of its own
    m_expectedFor = 0;
}

void FrameSink::arm()
{
    std::lock_guard lock(m_mutex);
    m_anchorArmed = true;
}

void FrameSink::setShownPosition(std::int64_t positionMs)
{
    std::lock_guard lock(m_mutex);
    m_positionMs = double(positionMs);
    m_havePosition = true;
    m_anchor.reset();
    m_titleEnd.reset();
    m_restart = true;
}

void FrameSink::anchorAfterTitleEnd(std::int64_t oldLengthMs, std::int64_t newStartMs)
{
    std::lock_guard lock(m_mutex);
    m_titleEnd = std::make_pair(oldLengthMs, newStartMs);
}

void FrameSink::expectOneOf(KnownPictures pictures)
{
    std::lock_guard lock(m_mutex);
    // Shown already (the pictures come from a decoder that may be slower than libvlc):
    // move the count by what that picture was taken for.
    for (auto shown = m_recent.rbegin(); shown != m_recent.rend(); ++shown) {
        for (const auto &[h, ms] : pictures) {
            if (h == shown->first) {
                m_positionMs += double(ms - shown->second);
                m_expectedFor = 0;
                return;
            }
        }
    }
    m_expected = std::move(pictures);
    m_expectedFor = int(kRecentPictures);
}

void FrameSink::restartCounting()
{
    std::lock_guard lock(m_mutex);
    m_restart = true;
}

std::optional<std::int64_t> FrameSink::displayedPosition() const
{
    std::lock_guard lock(m_mutex);
    if (!m_havePosition)
        return std::nullopt;
    return std::int64_t(std::llround(m_positionMs));
}

} // namespace playback::engine
