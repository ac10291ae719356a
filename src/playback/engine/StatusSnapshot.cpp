#include "playback/engine/StatusSnapshot.h"

#include "playback/engine/Timecode.h"

#include <vlc/vlc.h>

#include <algorithm>
#include <cmath>

namespace playback::engine {

void StatusSnapshot::clear() { *this = StatusSnapshot(); }

void StatusSnapshot::setPlainTitle(int title, const disc::TitleLayout &layout)
{
    m_plain = true;
    m_title = title;
    m_chapter = 0;
    m_chapterCount = int(layout.chapterCells.size());
    m_length = layout.lengthMs;
    m_titleLengths.assign(std::size_t(title) + 1, 0);
    m_titleLengths[std::size_t(title)] = layout.lengthMs;
    m_chapterStarts.assign(std::size_t(title) + 1, {});
    for (int chapter = 0; chapter < m_chapterCount; ++chapter)
        m_chapterStarts[std::size_t(title)].push_back(layout.chapterStartMs(chapter));
}

void StatusSnapshot::setDiscTitles(const disc::Facts &facts)
{
    m_discLengths.assign(facts.titles.size() + 1, 0);
    m_discChapterStarts.assign(facts.titles.size() + 1, {});
    m_discFps.assign(facts.titles.size() + 1, 0);
    for (std::size_t t = 0; t < facts.titles.size(); ++t) {
        m_discFps[t + 1] = facts.titles[t].framesPerSecond;
        m_discLengths[t + 1] = facts.titles[t].lengthMs;
        m_discChapterStarts[t + 1] = facts.titles[t].chapterStartsMs;
    }
}

void StatusSnapshot::refresh(libvlc_media_player_t *player, unsigned events)
{
    if (m_plain) {
        if (events & (Player::Playing | Player::Vout))
            readPicture(player);
        return;
    }
    bool titleChanged = events & (Player::Title | Player::Playing);
    if (events & Player::kTitleMayChange) {
        const int title = libvlc_media_player_get_title(player);
        titleChanged = titleChanged || title != m_title;
        m_title = title;
    }
    if (titleChanged) {
        m_chapterCount = libvlc_media_player_get_chapter_count(player);
        readDescriptions(player);
    }
    if (titleChanged || (events & Player::Chapter)) {
        m_chapter = std::max(0, libvlc_media_player_get_chapter(player));
        // libvlc may not have had the chapters when the title started.
        if (m_title >= 0 && (m_title >= int(m_chapterStarts.size()) || m_chapterStarts[std::size_t(m_title)].empty()))
            readDescriptions(player);
    }
    if (titleChanged || (events & Player::Length))
        m_length = std::max<std::int64_t>(0, libvlc_media_player_get_length(player));
    if (events & (Player::Playing | Player::Vout)) {
        readPicture(player);
        if (m_titleLengths.empty())
            readDescriptions(player);
    }
}

void StatusSnapshot::readPicture(libvlc_media_player_t *player)
{
    _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wdeprecated-declarations\"");
    const float fps = libvlc_media_player_get_fps(player);
    _Pragma("GCC diagnostic pop");
    if (fps > 0)
        m_fps = timecodeFrameRate(fps);
    readAspect(player);
}

void StatusSnapshot::readDescriptions(libvlc_media_player_t *player)
{
    libvlc_title_description_t **titles = nullptr;
    const int count = libvlc_media_player_get_full_title_descriptions(player, &titles);
    if (count <= 0)
        return;
    m_titleLengths.assign(std::size_t(count), 0);
    for (int i = 0; i < count; ++i)
        m_titleLengths[std::size_t(i)] = titles[i]->i_duration;
    libvlc_title_descriptions_release(titles, unsigned(count));
    // Every title's chapter starts at once: a jump may go to another title.
    m_chapterStarts.assign(std::size_t(count), {});
    for (int t = 0; t < count; ++t) {
        libvlc_chapter_description_t **chapters = nullptr;
        const int n = libvlc_media_player_get_full_chapter_descriptions(player, t, &chapters);
        for (int i = 0; i < n; ++i)
            m_chapterStarts[std::size_t(t)].push_back(chapters[i]->i_time_offset);
        if (n > 0)
            libvlc_chapter_descriptions_release(chapters, unsigned(n));
    }
}

void StatusSnapshot::readAspect(libvlc_media_player_t *player)
{
    unsigned w = 0, h = 0;
    if (libvlc_video_get_size(player, 0, &w, &h) != 0 || w == 0 || h == 0)
        return;
    double aspect = double(w) / h;
    if (libvlc_media_t *media = libvlc_media_player_get_media(player)) {
        libvlc_media_track_t **tracks = nullptr;
        const unsigned n = libvlc_media_tracks_get(media, &tracks);
        for (unsigned i = 0; i < n; ++i) {
            if (tracks[i]->i_type == libvlc_track_video && tracks[i]->video->i_sar_num > 0
                && tracks[i]->video->i_sar_den > 0) {
                aspect = double(w) * tracks[i]->video->i_sar_num / (double(h) * tracks[i]->video->i_sar_den);
                break;
            }
        }
        if (n > 0)
            libvlc_media_tracks_release(tracks, n);
        libvlc_media_release(media);
    }
    // Full-D1 pictures without a sample aspect are 4:3 on a DVD.
    if (std::abs(aspect - double(w) / h) < 1e-6 && w == 720 && (h == 576 || h == 480))
        aspect = 4.0 / 3.0;
    m_aspect = aspect;
}

// The IFO's video standard, over libvlc's frame rate, which it knows only once
// pictures have been decoded.
int StatusSnapshot::fps() const
{
    if (m_title >= 1 && m_title < int(m_discFps.size()) && m_discFps[std::size_t(m_title)] > 0)
        return m_discFps[std::size_t(m_title)];
    return m_fps;
}

std::int64_t StatusSnapshot::titleLength(int title) const
{
    if (title >= 0 && title < int(m_discLengths.size()) && m_discLengths[std::size_t(title)] > 0)
        return m_discLengths[std::size_t(title)];
    if (title >= 0 && title < int(m_titleLengths.size()) && m_titleLengths[std::size_t(title)] > 0)
        return m_titleLengths[std::size_t(title)];
    return m_length;
}

const std::vector<std::int64_t> &StatusSnapshot::startsOf(int title) const
{
    static const std::vector<std::int64_t> none;
    if (title >= 0 && title < int(m_discChapterStarts.size()) && !m_discChapterStarts[std::size_t(title)].empty())
        return m_discChapterStarts[std::size_t(title)];
    return title >= 0 && title < int(m_chapterStarts.size()) ? m_chapterStarts[std::size_t(title)] : none;
}

std::int64_t StatusSnapshot::chapterOffset(int title, int chapter) const
{
    const std::vector<std::int64_t> &starts = startsOf(title);
    return chapter >= 0 && chapter < int(starts.size()) ? starts[std::size_t(chapter)] : 0;
}

int StatusSnapshot::chapterAt(int title, std::int64_t ms) const
{
    const std::vector<std::int64_t> &starts = startsOf(title);
    int chapter = 0;
    while (chapter + 1 < int(starts.size()) && starts[std::size_t(chapter) + 1] <= ms)
        ++chapter;
    return chapter;
}

} // namespace playback::engine
