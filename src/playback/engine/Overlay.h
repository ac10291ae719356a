#pragma once
// The engine's own pictures over libvlc's: the reverse scan's, a jump's first
// picture (its cover), or what was on screen when a jump began, held there. A
// picture stays while its owner pins it (the scan), or else while the position
// estimate says libvlc's own picture has not come (PositionEstimate::holding()),
// and then the screen is libvlc's again.
//
// Threads: GUI thread only.

#include <QImage>
#include <QSize>

namespace playback::engine {

class Overlay {
public:
    virtual ~Overlay() = default;

    // The size to draw pictures at (with the disc's display aspect); empty: as decoded.
    virtual QSize size() const = 0;
    // What is on screen now stays over what libvlc shows next (the engine's
    // picture, if one is up). False: nothing is on screen to keep.
    virtual bool hold(bool pinned) = 0;
    virtual void show(const QImage &picture, bool pinned) = 0;
    // The pinned picture stays only until libvlc's own comes.
    virtual void unpin() = 0;
    // Gone at once (nothing plays).
    virtual void clear() = 0;
    virtual bool isShown() = 0;
};

} // namespace playback::engine
