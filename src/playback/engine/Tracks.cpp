#include "playback/engine/Tracks.h"

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

void Tracks::applyMute(libvlc_media_player_t *player)
{
    libvlc_audio_set_mute(player, muted ? 1 : 0);
    appliedMute = muted;
    appliedMuteTitle = libvlc_media_player_get_title(player);
}

void Tracks::applySubtitles(libvlc_media_player_t *player, const disc::Facts &facts)
{
    // In a menu the button highlight is a subpicture track: leave it alone there.
    const int title = libvlc_media_player_get_title(player);
    if (title < 1)
        return;
    // A 16:9 disc may keep a letterbox variant of another stream at n - 1.
    int id = subtitleStream - 1;
    if (const disc::TitleFacts *t = titleOf(facts, title); t && subtitleStream <= int(t->subpictureStreamIds.size()))
        id = t->subpictureStreamIds[std::size_t(subtitleStream - 1)];
    libvlc_video_set_spu(player, subtitlesOn && id >= 0 ? kFirstSubpictureId + id : -1);
}

QStringList Tracks::subtitleCodes(const disc::Facts &facts, int title)
{
    const disc::TitleFacts *t = titleOf(facts, title);
    return t ? t->subpictureLanguageCodes : QStringList();
}

} // namespace playback::engine
