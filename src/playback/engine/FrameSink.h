#pragma once
// Video rendered into memory (used when there is no X11 display to embed in,
// e.g. the offscreen platform): libvlc hands over every picture it displays, the
// sink keeps the one on screen and counts where in the title it is (PictureCount).
//
// Threads: the format, lock and display callbacks run on libvlc's video output
// thread; they and the GUI thread's calls share one lock. onFrame runs on the
// video thread under a lock of its own, which silence() takes too: once silence()
// has returned, onFrame is not running and never runs again. The sink itself
// must outlive the player (PlayerReaper releases the player first).

#include "playback/engine/PictureCount.h"

#include <QImage>

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

struct libvlc_media_player_t;

namespace playback::engine {

class FrameSink {
public:
    // onFrame runs on libvlc's video thread after each displayed picture; it must
    // only post (it may not call libvlc, the sink or widgets).
    explicit FrameSink(std::function<void()> onFrame);
    ~FrameSink();

    void attach(libvlc_media_player_t *player);
    // From now on pictures are taken in without telling anyone (the player is
    // being let go). Waits for a call of onFrame under way.
    void silence();

    // What is on screen, as an RGB image (null before the first picture).
    QImage lastFrame() const;

    // The count of the pictures shown (see PictureCount.h), driven from the GUI thread.
    void setRate(double rate);
    void setFrameRate(int fps);
    void setPicturePeriod(double ms); // see PictureCount
    void anchor(std::int64_t positionMs, bool armed = true);
    void arm();
    void setShownPosition(std::int64_t positionMs);
    void anchorAfterTitleEnd(std::int64_t oldLengthMs, std::int64_t newStartMs);
    bool expectOneOf(KnownPictures pictures, int within = 8);
    std::uint64_t expectedShown() const;
    void restartCounting();

    std::optional<std::int64_t> displayedPosition() const;
    std::uint64_t newPictureCount() const;

private:
    static unsigned formatCallback(void **opaque, char *chroma, unsigned *width, unsigned *height, unsigned *pitches,
                                   unsigned *lines);
    static void cleanupCallback(void *opaque);
    static void *lockCallback(void *opaque, void **planes);
    static void unlockCallback(void *opaque, void *picture, void *const *planes);
    static void displayCallback(void *opaque, void *picture);

    void displayed();

    std::mutex m_onFrameMutex; // held while onFrame runs
    std::function<void()> m_onFrame;
    mutable std::mutex m_mutex;
    unsigned m_width = 0, m_height = 0, m_pitch = 0, m_lines = 0;
    std::vector<unsigned char> m_buffers[2];
    int m_front = -1; // index of the picture on screen
    int m_back = 0;
    std::uint64_t m_serial = 0;
    mutable std::uint64_t m_cachedSerial = ~0ull;
    mutable QImage m_cached;
    PictureCount m_count;
};

} // namespace playback::engine
