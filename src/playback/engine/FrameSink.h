#pragma once
// Video rendered into memory (used when there is no X11 display to embed in,
// e.g. the offscreen platform): libvlc hands over every picture it displays, the
// sink keeps the one on screen and knows which position of the title it shows.
//
// Threads: the format, lock and display callbacks run on libvlc's video output
// thread; they and the GUI thread's calls share one lock. onFrame runs on the
// video thread under a lock of its own, which silence() takes too: once silence()
// has returned, onFrame is not running and never runs again. The sink itself
// must outlive the player (PlayerReaper releases the player first).
//
// The position: libvlc's get_time reports the demultiplexer's position, which runs
// 5 to 19 frames ahead of the picture on screen and moves in steps of a GOP. The
// display callback, on the other hand, is called when a picture is due on screen,
// so the sink counts the pictures it is shown: each new picture advances the
// position by one frame (by more when libvlc skipped pictures, judged from the
// time since the previous one at the current rate). Seeks and title changes set an
// anchor that the next new picture takes as its position. Repeated displays of the
// same picture (libvlc redisplays the first picture while it waits for the clock,
// and redisplays while paused) are recognised by content and not counted.

#include "playback/engine/Picture.h"

#include <QImage>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>
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

    // Display clock, driven from the GUI thread.
    void setRate(double rate);
    void setFrameRate(int fps);
    // The next new picture shows positionMs. A seek is carried out by libvlc's input
    // thread some time after it is asked for, and pictures from before it keep coming
    // until then: an anchor that is not armed waits for arm() (called from libvlc's
    // event for the chapter or title change, which comes after the flush) or 400 ms.
    void anchor(std::int64_t positionMs, bool armed = true);
    void arm();
    // The picture on screen now shows positionMs (after a settled, paused seek).
    void setShownPosition(std::int64_t positionMs);
    // A title change reported by libvlc ahead of the picture: the pictures of the old
    // title still being shown keep counting up to oldLength, then the next picture is
    // newStartMs of the new title.
    void anchorAfterTitleEnd(std::int64_t oldLengthMs, std::int64_t newStartMs);
    // libvlc's seeks land on a GOP start somewhere after the time asked for: the
    // pictures it may land on give the position when one of them is (or was just) shown.
    void expectOneOf(KnownPictures pictures);
    void restartCounting();                 // after pause/resume: count the next picture as one frame

    std::optional<std::int64_t> displayedPosition() const;
    std::uint64_t newPictureCount() const { return m_newPictures.load(); }

private:
    static unsigned formatCallback(void **opaque, char *chroma, unsigned *width, unsigned *height, unsigned *pitches,
                                   unsigned *lines);
    static void cleanupCallback(void *opaque);
    static void *lockCallback(void *opaque, void **planes);
    static void unlockCallback(void *opaque, void *picture, void *const *planes);
    static void displayCallback(void *opaque, void *picture);

    void displayed();

    using Clock = std::chrono::steady_clock;

    std::mutex m_onFrameMutex; // held while onFrame runs
    std::function<void()> m_onFrame;
    mutable std::mutex m_mutex;
    unsigned m_width = 0, m_height = 0, m_pitch = 0, m_lines = 0;
    std::vector<unsigned char> m_buffers[2];
    int m_front = -1; // index of the picture on screen
    int m_back = 0;
    std::uint64_t m_frontHash = 0;
    std::uint64_t m_serial = 0;
    mutable std::uint64_t m_cachedSerial = ~0ull;
    mutable QImage m_cached;

    double m_rate = 1.0;
    int m_fps = 25;
    bool m_havePosition = false;
    double m_positionMs = 0.0;
    Clock::time_point m_lastDisplay;
    bool m_restart = true;
    std::optional<std::int64_t> m_anchor;
    bool m_anchorArmed = true;
    Clock::time_point m_anchorRequested;
    std::optional<std::int64_t> m_takenAnchor;
    Clock::time_point m_anchorTaken;
    std::optional<std::pair<std::int64_t, std::int64_t>> m_titleEnd;
    std::atomic<std::uint64_t> m_newPictures{0};
    KnownPictures m_expected;
    int m_expectedFor = 0;     // new pictures left to look for them in
    KnownPictures m_recent;    // the last new pictures: hash and the position given

};

} // namespace playback::engine
