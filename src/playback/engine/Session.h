#pragma once
// What the control is doing with the disc, in one place: the control writes it,
// the parts read it. Nothing else keeps a copy.
//
// Threads: GUI thread only.

namespace playback::engine {

struct Session {
    bool loaded = false;   // a disc plays (or is paused, or scanned)
    bool plain = false;    // its titles are read by the engine itself (TitleStream), without menus
    bool paused = false;   // libvlc is paused: by Pause, or with a stopped scan's picture on screen
    bool scanning = false; // the reverse scan runs: libvlc stands still under its pictures
    double rate = 1.0;     // libvlc's speed
    int title = -1;        // the title taken up: -1 none yet, 0 a menu

    // A disc plays, forwards or backwards: not paused, not stopped.
    bool playing() const { return loaded && !paused; }
};

} // namespace playback::engine
