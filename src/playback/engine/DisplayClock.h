#pragma once
// Where the picture on screen is when libvlc draws into the X window itself and
// shows us none of its pictures.
//
// libvlc's reported time belongs to the reading of the disc, not to the picture:
// it moves VOBU by VOBU, with readings in between that go up and down. What is
// steady is this: the reading reaches a VOBU when libvlc's clock reaches the
// VOBU's navigation pack, and that pack precedes the VOBU's first picture by the
// disc's mux lead (its SCR against the picture's PTS, 0.25 s to 0.75 s on the
// discs we measured). Between two VOBUs the picture advances with the clock. So
// the highest (reported time - rate x wall time) seen lately, less the mux lead,
// places the picture on screen within a frame.
//
// observe() is called on libvlc's threads; the rest on the GUI thread.

#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

namespace playback::engine {

class DisplayClock {
public:
    using Clock = std::chrono::steady_clock;

    // Playback starts anew (play, seek, jump): what was seen before is forgotten.
    // expectMs: where libvlc has been sent, when known; readings far from it are
    // from before the seek and are ignored. holdMs: the picture on screen until
    // then, which stays until the new one comes (seeks take up to a second).
    void restart(double rate, std::optional<std::int64_t> expectMs = std::nullopt,
                 std::optional<std::int64_t> holdMs = std::nullopt, Clock::time_point now = Clock::now());
    // After restart(): the old picture stays until releaseHold() (it is drawn over
    // libvlc's, which we cannot see, so only its owner knows when it goes).
    void holdUntilReleased();
    void releaseHold();
    // The picture held since restart(), while the seek's own is not on screen yet;
    // nullopt once it is (or when nothing is held). Lets go of the hold when it is due.
    std::optional<std::int64_t> heldMs(std::int64_t muxLeadMs, Clock::time_point now = Clock::now());
    // When the hold will be let go of, as the readings so far say (a later reading
    // may say sooner); nullopt when nothing is held, or it is pinned or frozen.
    std::optional<Clock::time_point> holdEndsAt(std::int64_t muxLeadMs);
    // Another picture, at ms, is held from now on (drawn over the one before).
    void replaceHold(std::int64_t ms);
    // Where the seek landed once known (libvlc lands on a GOP start after the time
    // asked for): the picture is not earlier than that.
    void landsAt(std::int64_t ms);
    // Playing on at rate, after freeze() or at a new speed: the picture goes on from
    // where it stands until libvlc reports again.
    void resume(double rate, std::int64_t muxLeadMs, Clock::time_point now = Clock::now());
    // Paused: the picture stays where it is now.
    void freeze(std::int64_t muxLeadMs, Clock::time_point now = Clock::now());
    // libvlc reports timeMs (its TimeChanged event).
    void observe(std::int64_t timeMs, Clock::time_point now = Clock::now());
    // libvlc reports a new chapter (its ChapterChanged event).
    void chapterChanged(Clock::time_point now = Clock::now());
    // The position of the picture on screen; nullopt until libvlc has reported a
    // time. Lets go of the hold, and of the seek's target, once they are passed.
    std::optional<std::int64_t> positionMs(std::int64_t muxLeadMs, Clock::time_point now = Clock::now());

private:
    // Where libvlc's reading places the picture, before the mux lead.
    std::optional<double> readingLocked(Clock::time_point now) const;
    std::optional<std::int64_t> shownLocked(std::int64_t muxLeadMs, Clock::time_point now);
    // When a seek's first picture is due by the time alone.
    Clock::time_point seekShowsAt(std::int64_t muxLeadMs) const;

    struct Reading {
        Clock::time_point at;
        double offsetMs; // reported time - rate x wall time since the epoch
    };
    mutable std::mutex m_mutex;
    Clock::time_point m_epoch = Clock::now();
    double m_rate = 1.0;
    std::optional<std::int64_t> m_expectMs;   // until libvlc gets there
    std::optional<std::int64_t> m_expectedMs; // the seek's target, until the clock passes it
    std::optional<std::int64_t> m_holdMs;
    std::optional<std::int64_t> m_frozen; // paused: the position then
    bool m_holdPinned = false;
    std::deque<Reading> m_readings;
    std::optional<Clock::time_point> m_jumpSince;
    std::optional<Clock::time_point> m_quietUntil;
};

} // namespace playback::engine
