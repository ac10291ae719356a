#pragma once
// Players that are let go of are stopped and released on threads of their own:
// libvlc's stop waits for its input thread, which can be busy for most of a
// second (after a chapter jump it waits until the chapter's first picture is
// due). The threads belong to the process, not to a control, so that a control
// can go without waiting for them; the program waits for the last ones as it ends.
//
// Threads: called on the GUI thread only. Each player is stopped and released on
// its own thread; what it drew into is let go after that, the window (a QObject)
// back on the GUI thread when the reaper next looks.

#include <QObject>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

struct libvlc_media_player_t;

namespace playback::engine::reaper {

// Stops and releases player. keep: what libvlc draws into, freed on the reaper's
// thread once the player is released. window: deleted on the GUI thread after
// that (moved out of its parent, which may go first). Either may be null.
void retire(libvlc_media_player_t *player, std::shared_ptr<void> keep, QObject *window);
// Takes over a thread that finishes on its own and sets done when it has.
void adopt(std::thread thread, std::shared_ptr<std::atomic<bool>> done);
// Waits until every player let go of is released and every adopted thread has ended.
void waitForAll();
// The same for at most `most`; true when all have.
bool waitForAll(std::chrono::milliseconds most);

} // namespace playback::engine::reaper
