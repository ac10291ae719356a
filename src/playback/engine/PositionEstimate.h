#pragma once
// Where in the title the picture on screen is, and, while the engine's own
// picture stands over libvlc's (the picture before a jump, the jump's first
// picture, the reverse scan's last), whether libvlc's own has come yet. Two
// kinds: counted from the pictures libvlc hands over into memory
// (CountEstimate), or told by libvlc's time readings when it draws into an X
// window we cannot see (ClockEstimate).
//
// Threads: libvlcJumped() and libvlcTime() run on libvlc's event threads (from
// Player's callback) and lock for themselves; everything else runs on the GUI
// thread.

#include "playback/engine/Picture.h"

#include <chrono>
#include <cstdint>
#include <optional>

namespace playback::engine {

// Where the picture on screen is by libvlc's reading alone, when nothing better
// is known: the reading runs ahead of it by about half a second (measured 5 to
// 19 frames at normal speed, 12 on average).
inline std::int64_t shownByReading(std::int64_t libvlcMs)
{
    constexpr std::int64_t kReadingLeadMs = 480;
    return libvlcMs > kReadingLeadMs ? libvlcMs - kReadingLeadMs : 0;
}

class PositionEstimate {
public:
    virtual ~PositionEstimate() = default;

    // ---- libvlc's threads
    // Whether libvlc's time readings are wanted (fifty a second).
    virtual bool wantsTimes() const { return false; }
    // A title or chapter change: the seek behind a jump has been carried out.
    virtual void libvlcJumped() = 0;
    virtual void libvlcTime(std::int64_t) {}

    // ---- The session (the rate is the session's)
    virtual void started() = 0; // from the start of the disc
    virtual void stopped() = 0; // nothing plays: nothing is held
    virtual void setFrameRate(int) {}
    virtual void rateChanged() = 0;
    virtual void paused() = 0;
    virtual void resumed() = 0;
    // libvlc went from title `from` (-1: none yet, 0: the menu) to `to` on its own;
    // fromLengthMs: the length of the title it left.
    virtual void titleChanged(int from, int to, std::int64_t fromLengthMs) = 0;
    // The title playing's timing, as the engine's decoder reads it from the disc:
    // its mux lead and how long its pictures last (< 0 and 0: not known, as when
    // a title starts and the decoder has not said yet).
    virtual void titleTiming(std::int64_t, double) {}
    // libvlc reads a new chapter (0-based) of title, as it plays on into it.
    virtual void chapterReached(int, int) {}

    // ---- The engine's pictures over libvlc's
    // libvlc is sent to targetMs of a title (a jump). shownBefore: the position of
    // the picture held on screen until libvlc's there comes (nullopt: none held);
    // armed: no older pictures are queued.
    virtual void jumped(std::int64_t targetMs, std::optional<std::int64_t> shownBefore, bool armed) = 0;
    // The jump's first picture, decoded by the engine (at ms, its lumaSampleHash),
    // is put over libvlc's. False: libvlc's own is on screen already.
    virtual bool coverShown(std::int64_t ms, std::uint64_t hash) = 0;
    // The reverse scan's pictures stand over libvlc's from now (it is paused).
    virtual void scanStarted() = 0;
    // The scan lets go of the screen: libvlc is sent to seekMs (the scan
    // picture's position) or, with nullopt, plays on from a jump that follows.
    virtual void scanReleased(std::optional<std::int64_t> seekMs) = 0;
    // The pictures that seek may land on (nullopt: none known).
    virtual void landingPictures(const std::optional<KnownPictures> &pictures) = 0;
    // Whether the engine's picture still stands over libvlc's, with its time.
    virtual bool holding() = 0;
    // When holding() may turn false next (for a timer); nullopt: it is looked at
    // again with libvlc's next picture.
    virtual std::optional<std::chrono::milliseconds> holdEndsIn() = 0;

    // The position of the picture on screen; libvlcMs: libvlc's own reading.
    virtual std::optional<std::int64_t> positionMs(std::int64_t libvlcMs) = 0;
};

} // namespace playback::engine
