#include "playback/engine/FrameSink.h"

#include <vlc/vlc.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace playback::engine {

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
    self->m_count.newFormat();
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
        const std::uint64_t hash = lumaSampleHash(m_buffers[m_back].data(), m_width, m_height, m_pitch);
        std::swap(m_front, m_back);
        if (m_back < 0)
            m_back = 1 - m_front;
        ++m_serial;
        m_count.displayed(hash, PictureCount::Clock::now());
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
    m_count.setRate(rate);
}

void FrameSink::setFrameRate(int fps)
{
    std::lock_guard lock(m_mutex);
    m_count.setFrameRate(fps);
}

void FrameSink::setPicturePeriod(double ms)
{
    std::lock_guard lock(m_mutex);
    m_count.setPicturePeriod(ms);
}

void FrameSink::anchor(std::int64_t positionMs, bool armed)
{
    std::lock_guard lock(m_mutex);
    m_count.anchor(positionMs, armed, PictureCount::Clock::now());
}

void FrameSink::arm()
{
    std::lock_guard lock(m_mutex);
    m_count.arm();
}

void FrameSink::setShownPosition(std::int64_t positionMs)
{
    std::lock_guard lock(m_mutex);
    m_count.setShownPosition(positionMs);
}

void FrameSink::anchorAfterTitleEnd(std::int64_t oldLengthMs, std::int64_t newStartMs)
{
    std::lock_guard lock(m_mutex);
    m_count.anchorAfterTitleEnd(oldLengthMs, newStartMs);
}

bool FrameSink::expectOneOf(KnownPictures pictures, int within)
{
    std::lock_guard lock(m_mutex);
    return m_count.expectOneOf(std::move(pictures), within);
}

std::uint64_t FrameSink::expectedShown() const
{
    std::lock_guard lock(m_mutex);
    return m_count.expectedShown();
}

void FrameSink::restartCounting()
{
    std::lock_guard lock(m_mutex);
    m_count.restart();
}

std::optional<std::int64_t> FrameSink::displayedPosition() const
{
    std::lock_guard lock(m_mutex);
    return m_count.position();
}

std::uint64_t FrameSink::newPictureCount() const
{
    std::lock_guard lock(m_mutex);
    return m_count.newPictures();
}

} // namespace playback::engine
