#pragma once
// What the windows read about what is playing, kept up to date from libvlc's
// events, so that reading it costs nothing (the status panel reads it twice a
// second): the title and chapter, every title's length and chapter starts, the
// frame rate and the picture's display aspect.
//
// Threads: GUI thread only.

#include "playback/disc/Facts.h"
#include "playback/disc/TitleLayout.h"
#include "playback/engine/Player.h"

#include <cstdint>
#include <vector>

struct libvlc_media_player_t;

namespace playback::engine {

class StatusSnapshot {
public:
    // Nothing plays.
    void clear();
    // After libvlc's events (Player::Event bits): reads what they changed.
    void refresh(libvlc_media_player_t *player, unsigned events);
    // libvlc plays a title the engine reads itself (TitleStream) and knows nothing
    // of titles and chapters: they are the layout's, until clear().
    void setPlainTitle(int title, const disc::TitleLayout &layout);
    // The titles' lengths and chapter starts as the disc's IFOs give them, which
    // hold over libvlc's (libvlc's miss the cells of programs that start no
    // chapter), until clear().
    void setDiscTitles(const disc::Facts &facts);

    int title() const { return m_title; }         // -1 before libvlc says, 0 in the menu
    int chapter() const { return m_chapter; }     // 0-based; 0 for a plain title, whose chapter goes by the time
    int chapterCount() const { return m_chapterCount; } // of the current title
    int fps() const;                              // 25 or 30, for the frames of a time code
    double aspect() const { return m_aspect; }    // the picture's width / height on screen; 0: not known
    std::int64_t titleLength(int title) const;
    std::int64_t chapterOffset(int title, int chapter) const;
    // The chapter (0-based) of title that holds ms.
    int chapterAt(int title, std::int64_t ms) const;
    // Whether the chapters' starts in title are known (the IFO's or libvlc's).
    bool knowsChapterStarts(int title) const { return !startsOf(title).empty(); }
    // libvlc learns the picture's size and aspect from the decoder without an
    // event (a menu and its titles may differ): read as pictures are painted.
    void readAspect(libvlc_media_player_t *player);

private:
    void readDescriptions(libvlc_media_player_t *player);
    // The frame rate and the aspect.
    void readPicture(libvlc_media_player_t *player);
    const std::vector<std::int64_t> &startsOf(int title) const;

    int m_title = -1;
    bool m_plain = false; // the title and its chapters are not libvlc's
    int m_chapter = 0;
    int m_chapterCount = 0;
    int m_fps = 25;
    double m_aspect = 0.0;
    std::int64_t m_length = 0; // the current title's, as libvlc last said
    std::vector<std::int64_t> m_titleLengths;              // by title, 0 the menu
    std::vector<std::vector<std::int64_t>> m_chapterStarts; // by title, then chapter
    std::vector<std::int64_t> m_discLengths;                // the IFOs' by title; 0 unknown
    std::vector<std::vector<std::int64_t>> m_discChapterStarts;
    std::vector<int> m_discFps;                             // the IFOs' by title; 0 unknown
};

} // namespace playback::engine
