// The playback control: what the windows read (from the status snapshot and
// the disc's facts: no more than one libvlc call a read), and the subtitle and
// sound choices. GUI thread.

#include "playback/engine/VlcPlaybackControl.h"

#include "playback/disc/Language.h"
#include "playback/engine/CellStill.h"
#include "playback/engine/FullScreen.h"
#include "playback/engine/Display.h"
#include "playback/engine/Player.h"
#include "playback/engine/ReverseScan.h"
#include "playback/engine/Timecode.h"

#include <vlc/vlc.h>

#include <algorithm>

namespace playback::engine {

std::optional<std::int64_t> VlcPlaybackControl::positionMs()
{
    if (!m_session.loaded || !m_player)
        return std::nullopt;
    if (const auto still = m_scan->stillMs())
        return still;
    return m_cellStill->shownMs(libvlcPositionMs());
}

std::optional<std::int64_t> VlcPlaybackControl::libvlcPositionMs()
{
    if (!m_session.loaded || !m_player)
        return std::nullopt;
    return m_display->estimate().positionMs(libvlc_media_player_get_time(player()));
}

QImage VlcPlaybackControl::lastFrame() const { return m_display->picture(); }

bool VlcPlaybackControl::rendersIntoMemory() const { return m_display->rendersIntoMemory(); }

bool VlcPlaybackControl::isFullScreen() const { return m_fullScreen->isOn(); }

QWidget *VlcPlaybackControl::fullScreenWindow() const { return m_fullScreen->window(); }

// In a menu: title 0, and the menu's own time and length.
Variant VlcPlaybackControl::CurrentTitle()
{
    return Variant::fromInt32(requireTitleOrMenu(QStringLiteral("CurrentTitle")));
}

Variant VlcPlaybackControl::CurrentChapter()
{
    const int title = requireTitle(QStringLiteral("CurrentChapter"));
    return Variant::fromInt32(chapterShown(title) + 1);
}

std::optional<PlaybackControl::TitlePosition> VlcPlaybackControl::titlePosition()
{
    const int title = m_status.title();
    if (!m_session.loaded || !m_player || title < 1)
        return std::nullopt;
    return positionIn(title);
}

PlaybackControl::TitlePosition VlcPlaybackControl::positionIn(int title)
{
    TitlePosition at{positionMs().value_or(0), m_status.titleLength(title)};
    if (at.lengthMs > 0)
        at.ms = std::min(at.ms, at.lengthMs);
    return at;
}

Variant VlcPlaybackControl::CurrentTime()
{
    const int title = requireTitleOrMenu(QStringLiteral("CurrentTime"));
    return Variant::fromString(formatTimecode(positionIn(title).ms, m_status.fps()));
}

Variant VlcPlaybackControl::TotalTitleTime()
{
    const int title = requireTitleOrMenu(QStringLiteral("TotalTitleTime"));
    return Variant::fromString(formatTimecode(m_status.titleLength(title), m_status.fps()));
}

Variant VlcPlaybackControl::DVDDirectory()
{
    const QString op = QStringLiteral("DVDDirectory");
    const disc::Source source = m_session.loaded && m_source ? *m_source : m_disc.source(op);
    if (auto dir = disc::videoDirectory(source))
        return Variant::fromString(*dir);
    throw PlaybackError(op, QStringLiteral("the disc has no video directory on the file system."));
}

Variant VlcPlaybackControl::CurrentDiscSide()
{
    return Variant::fromInt32(discFacts(QStringLiteral("CurrentDiscSide")).discSide);
}

Variant VlcPlaybackControl::DVDUniqueID()
{
    return Variant::fromString(discFacts(QStringLiteral("DVDUniqueID")).uniqueId);
}

Variant VlcPlaybackControl::VolumeName()
{
    return Variant::fromString(discFacts(QStringLiteral("VolumeName")).volumeName);
}

QStringList VlcPlaybackControl::subpictureCodes(const QString &operation) const
{
    const int title = requireTitle(operation);
    return m_facts ? Tracks::subtitleCodes(*m_facts, title) : QStringList();
}

Variant VlcPlaybackControl::SubpictureStreamsAvailable()
{
    return Variant::fromInt32(int(subpictureCodes(QStringLiteral("SubpictureStreamsAvailable")).size()));
}

Variant VlcPlaybackControl::GetSubpictureLanguage(const Variant &stream)
{
    const QString op = QStringLiteral("GetSubpictureLanguage");
    const QStringList codes = subpictureCodes(op);
    const int n = stream.toInt32();
    if (n < 1 || n > codes.size())
        throw PlaybackError(op, QStringLiteral("there is no subtitle stream %1.").arg(n));
    return Variant::fromString(disc::languageName(codes.at(n - 1)));
}

Variant VlcPlaybackControl::CurrentSubpictureStream()
{
    requireLoaded(QStringLiteral("CurrentSubpictureStream"));
    return Variant::fromInt32(m_tracks.subtitleStream);
}

// The subtitle and sound choices.

void VlcPlaybackControl::setCurrentSubpictureStream(const Variant &n)
{
    const QString op = QStringLiteral("CurrentSubpictureStream");
    const QStringList codes = subpictureCodes(op);
    const int stream = n.toInt32();
    if (stream < 1 || stream > codes.size())
        throw PlaybackError(op, QStringLiteral("there is no subtitle stream %1.").arg(stream));
    m_tracks.subtitleStream = stream;
    applyTracks(true);
}

Variant VlcPlaybackControl::SubpictureOn() { return Variant::fromBool(m_tracks.subtitlesOn); }

void VlcPlaybackControl::setSubpictureOn(const Variant &on)
{
    m_tracks.subtitlesOn = on.toBool();
    applyTracks(true);
}

void VlcPlaybackControl::setMute(const Variant &on)
{
    m_tracks.muted = on.toBool();
    applyTracks(false);
}

int VlcPlaybackControl::outputMute() const { return m_player ? libvlc_audio_get_mute(player()) : -1; }

void VlcPlaybackControl::applyTracks(bool subtitles)
{
    if (!m_player || !m_session.loaded)
        return;
    m_tracks.applyMute(player());
    if (subtitles && m_facts)
        m_tracks.applySubtitles(player(), *m_facts, m_status.title(), m_player->titleStream());
}

} // namespace playback::engine
