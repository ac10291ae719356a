#pragma once
// Where the picture on screen is in the title, counted from the pictures libvlc
// displays into memory (see FrameSink.h). libvlc's get_time reports the
// demultiplexer's position, 5 to 19 frames ahead of the picture on screen and
// moving in steps of a GOP; the display callback, on the other hand, comes when a
// picture is due on screen. So each new picture advances the position by one
// frame (by more when libvlc skipped pictures, judged from the time since the
// previous one at the current rate). Seeks and title changes set an anchor that
// the next new picture takes as its position. Repeated displays of the same
// picture (libvlc redisplays the first picture while it waits for its clock, and
// while paused) are recognised by content and not counted.
//
// Threads: not thread-safe; FrameSink calls it under its lock. Times are passed
// in, so that it can be driven by a script.

#include "playback/engine/Picture.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <utility>

namespace playback::engine {

class PictureCount {
public:
    using Clock = std::chrono::steady_clock;

    // A picture was displayed at now; hash tells it from the previous one.
    void displayed(std::uint64_t hash, Clock::time_point now);

    void setRate(double rate) { m_rate = rate > 0 ? rate : 1.0; }
    void setFrameRate(int fps) { m_fps = fps > 0 ? fps : 25; }
    // How long a picture lasts, as the disc says (film with pulldown lasts longer
    // than the stream's frame rate says); 0: by the frame rate. The pictures
    // counted since the last known position are counted again at it.
    void setPicturePeriod(double ms);
    // The next new picture shows positionMs. A seek is carried out by libvlc's input
    // thread some time after it is asked for, and pictures from before it keep coming
    // until then: an anchor that is not armed waits for arm() (libvlc's event for the
    // chapter or title change, which comes after the flush) or 400 ms.
    void anchor(std::int64_t positionMs, bool armed, Clock::time_point now);
    void arm() { m_anchorArmed = true; }
    // The picture on screen now shows positionMs (after a settled, paused seek).
    void setShownPosition(std::int64_t positionMs);
    // A title change reported by libvlc ahead of the picture: the pictures of the old
    // title still being shown keep counting up to oldLength, then the next picture is
    // newStartMs of the new title.
    void anchorAfterTitleEnd(std::int64_t oldLengthMs, std::int64_t newStartMs);
    // libvlc's seeks land on a GOP start somewhere after the time asked for: the
    // pictures it may land on give the position when one of them is (or was just)
    // shown, within the next `within` new pictures. Returns whether one was just shown.
    bool expectOneOf(KnownPictures pictures, int within = 8);
    // How many times an expected picture has been shown.
    std::uint64_t expectedShown() const { return m_expectedShown; }
    // After pause and resume: the next picture counts as one frame.
    void restart() { m_restart = true; }
    // libvlc starts over with pictures of another format: the next one is new.
    void newFormat() { m_haveLast = false; }

    std::optional<std::int64_t> position() const;
    std::uint64_t newPictures() const { return m_newPictures; }

private:
    void advance(Clock::time_point now);
    void takeExpected(std::uint64_t hash);

    double m_rate = 1.0;
    int m_fps = 25;
    double m_picturePeriodMs = 0.0;
    double m_knownMs = 0.0; // the last position known other than by counting
    int m_countedSince = 0; // frames counted since
    bool m_havePosition = false;
    double m_positionMs = 0.0;
    std::uint64_t m_lastHash = 0;
    bool m_haveLast = false;
    Clock::time_point m_lastDisplay;
    bool m_restart = true;
    std::optional<std::int64_t> m_anchor;
    bool m_anchorArmed = true;
    Clock::time_point m_anchorRequested;
    std::optional<std::int64_t> m_takenAnchor;
    Clock::time_point m_anchorTaken;
    std::optional<std::pair<std::int64_t, std::int64_t>> m_titleEnd;
    std::uint64_t m_newPictures = 0;
    KnownPictures m_expected;
    int m_expectedFor = 0; // new pictures left to look for them in
    std::uint64_t m_expectedShown = 0;
    KnownPictures m_recent; // the last new pictures: hash and the position given
};

} // namespace playback::engine
