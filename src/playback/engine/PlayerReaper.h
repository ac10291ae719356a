#pragma once
// Players that are let go of are stopped and released on threads of their own:
// libvlc's stop waits for its input thread, which can be busy for most of a
// second (after a chapter jump it waits until the chapter's first picture is
// due). The threads belong to the process, not to a control, so that a control
// can go without waiting for them; the program waits for the last ones as it ends.
// Called on the GUI thread only.

#include <atomic>
#include <memory>
#include <thread>

struct libvlc_media_player_t;

namespace playback::engine {

class FrameSink;
class XVideoSurface;

namespace reaper {

// Stops and releases player; the sink it renders into and the window it draws in
// (either may be null) are kept until then. The window is moved out of its parent,
// which may go first.
void retire(libvlc_media_player_t *player, std::unique_ptr<FrameSink> sink, XVideoSurface *surface);
// Takes over a thread that finishes on its own and sets done when it has.
void adopt(std::thread thread, std::shared_ptr<std::atomic<bool>> done);
// Waits until every player let go of is released and every adopted thread has ended.
void waitForAll();

} // namespace reaper

} // namespace playback::engine
