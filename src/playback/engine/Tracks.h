#pragma once
// The sound and subtitle choices, and handing them to libvlc. libvlc forgets the
// mute state at title changes and cannot report it, and it shows a subtitle
// stream by the sub-stream the title's program chain gives it: the choices are
// handed over again whenever libvlc changes title or streams.
//
// Threads: GUI thread.

#include "playback/disc/Facts.h"

struct libvlc_media_player_t;

namespace playback::engine {

class TitleStream;

struct Tracks {
    bool muted = false;
    bool subtitlesOn = false;
    int subtitleStream = 1; // 1-based, as the windows number them

    // title: the one playing, 0 in a menu (whose button highlight is a subpicture
    // track, left alone). stream: the title read by the engine itself, which passes
    // the chosen sub-stream on as libvlc's only one; nullptr when libvlc navigates.
    void applyMute(libvlc_media_player_t *player) const;
    void applySubtitles(libvlc_media_player_t *player, const disc::Facts &facts, int title, TitleStream *stream);

    // The language codes of title's subtitle streams (empty for a title the disc does not have).
    static QStringList subtitleCodes(const disc::Facts &facts, int title);
};

} // namespace playback::engine
