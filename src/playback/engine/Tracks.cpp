#include "playback/engine/Tracks.h"

#include "playback/engine/TitleStream.h"

#include <vlc/vlc.h>

namespace playback::engine {

namespace {

// dvdnav numbers subpicture tracks from this id, by sub-stream (not by the
// subtitle stream the windows choose).
constexpr int kFirstSubpictureId = 0xBD20;

const disc::TitleFacts *titleOf(const disc::Facts &facts, int title)
{
    return title >= 1 && title <= int(facts.titles.size()) ? &facts.titles[std::size_t(title - 1)] : nullptr;
}

} // namespace

void Tracks::applyMute(libvlc_media_player_t *player) const { libvlc_audio_set_mute(player, muted ? 1 : 0); }

void Tracks::applySubtitles(libvlc_media_player_t *player, const disc::Facts &facts, int title, TitleStream *stream)
{
    if (title < 1)
        return;
    // A 16:9 disc may keep a letterbox variant of another stream at n - 1.
    int id = subtitleStream - 1;
    if (const disc::TitleFacts *t = titleOf(facts, title); t && subtitleStream <= int(t->subpictureStreamIds.size()))
        id = t->subpictureStreamIds[std::size_t(subtitleStream - 1)];
    if (!stream) {
        libvlc_video_set_spu(player, subtitlesOn && id >= 0 ? kFirstSubpictureId + id : -1);
        return;
    }
    // The stream passes the chosen sub-stream alone: libvlc's one subpicture track.
    stream->setSubpictureStream(id);
    int track = -1;
    libvlc_track_description_t *tracks = subtitlesOn && id >= 0 ? libvlc_video_get_spu_description(player) : nullptr;
    for (const libvlc_track_description_t *t = tracks; t && track < 0; t = t->p_next)
        track = t->i_id >= 0 ? t->i_id : -1;
    if (tracks)
        libvlc_track_description_list_release(tracks);
    libvlc_video_set_spu(player, track);
}

QStringList Tracks::subtitleCodes(const disc::Facts &facts, int title)
{
    const disc::TitleFacts *t = titleOf(facts, title);
    return t ? t->subpictureLanguageCodes : QStringList();
}

} // namespace playback::engine
