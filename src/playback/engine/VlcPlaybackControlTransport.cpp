// The playback control's transport: Play, Pause and Resume, Stop, the speeds,
// the reverse scan, chapter jumps, another disc and Eject. GUI thread.

#include "playback/engine/VlcPlaybackControl.h"

#include "playback/engine/CellStill.h"
#include "playback/engine/Display.h"
#include "playback/engine/Jump.h"
#include "playback/engine/Player.h"
#include "playback/engine/PlayerReaper.h"
#include "playback/engine/ReverseScan.h"
#include "playback/engine/VlcInstance.h"
#include "playback/disc/UDisks.h"

#include <vlc/vlc.h>

#include <cmath>

namespace playback::engine {

namespace {

// Like a DVD remote: Previous Chapter this far into a chapter goes back to its start.
constexpr std::int64_t kRestartChapterAfterMs = 3000;

double speedOf(const QString &operation, const Variant &speed)
{
    const double s = speed.toDouble();
    if (!(s > 0.0) || !std::isfinite(s))
        throw PlaybackError(operation, QStringLiteral("the speed must be greater than zero."));
    return s;
}

} // namespace

void VlcPlaybackControl::Play()
{
    if (m_session.loaded) {
        // Continue after Pause, or return to normal forward play from a scan or fast play.
        endScan(false);
        if (m_session.paused)
            unpause();
        if (m_session.rate != 1.0)
            setRate(1.0);
        notePlaying();
        return;
    }
    // Without news of disc changes from UDisks2, a drive's disc is read at each Play.
    if (m_disc.inDrive() && !m_disc.hearsMediaChanges())
        m_disc.forgetWhatWasRead();
    std::optional<DiscLookup::Disc> disc;
    try {
        disc = m_disc.lookup(QStringLiteral("Play"), true);
    } catch (const PlaybackError &) {
        // A disc that could not be played is read again: it may have been put in
        // or mended since, or the reading failed for a passing cause.
        if (!m_disc.readAgain())
            throw;
    }
    // Until the facts are known Play waits: libvlc reports an unplayable disc only
    // later, as an event, and the facts say it first.
    setStarting(!disc);
    if (disc)
        startPlaying(std::move(*disc));
}

void VlcPlaybackControl::discRead()
{
    if (isStarting()) {
        QString failure;
        try {
            std::optional<DiscLookup::Disc> disc = m_disc.lookup(QStringLiteral("Play"), true);
            if (!disc)
                return; // the disc changed while it was read; it is read again
            setStarting(false);
            startPlaying(std::move(*disc));
        } catch (const PlaybackError &e) {
            setStarting(false);
            failure = e.reason();
        } catch (...) {
            setStarting(false);
            failure = QStringLiteral("the disc cannot be played.");
        }
        emit playStarted(failure);
    }
    emit discChanged();
}

void VlcPlaybackControl::driveMediaChanged(const QString &drive, bool present)
{
    if (!m_session.loaded || !m_source || m_source->kind != disc::SourceKind::Drive) {
        if (m_disc.inDrive())
            m_disc.forget(); // read what is in the drives now
        return;
    }
    // Playing from a drive: nothing is read meanwhile (libvlc needs the head).
    if (present || disc::udisksDriveOf(m_source->path) != drive)
        return;
    unload(); // as Stop does
    m_disc.forget();
    emit playbackStopped(QStringLiteral("the disc was removed."));
}

void VlcPlaybackControl::startPlaying(DiscLookup::Disc disc)
{
    const QString op = QStringLiteral("Play");
    const disc::Source source = disc.source;
    disc::Facts facts = std::move(disc.facts);
    // libvlc's DVD navigation enters title 1 whatever title it is asked to start at
    // (the disc's first play leads there), and so does its plain title reader:
    // without title 1's navigation the engine reads the titles itself, with no menus.
    m_session = Session();
    m_session.plain = facts.titles.front().problem == disc::Problem::NavigationDamaged;
    m_source = source;
    m_facts = std::move(facts);
    m_status.clear();
    m_status.setDiscTitles(*m_facts);
    if (!vlcInstance())
        throw PlaybackError(op, QStringLiteral("the video engine (libvlc) could not be started."));
    // A disc whose first title is damaged starts at the first one that plays.
    std::unique_ptr<Player> player = openPlayer(m_facts->firstPlayableTitle(), 0);
    if (!player)
        throw PlaybackError(op, QStringLiteral("the disc cannot be opened."));
    m_player = std::move(player);
    m_expectTitleChange = false;
    m_display->estimate().started();
    if (!m_player->play()) {
        m_player.reset();
        throw PlaybackError(op, QStringLiteral("the disc cannot be played."));
    }
    m_session.loaded = true;
    notePlaying();
    applyTracks(false);
}

void VlcPlaybackControl::Pause()
{
    requireLoaded(QStringLiteral("Pause"));
    endScan(false);
    pauseLibvlc();
    notePlaying();
}

void VlcPlaybackControl::pauseLibvlc()
{
    m_player->setPaused(true);
    m_session.paused = true;
    m_display->estimate().paused();
}

void VlcPlaybackControl::Resume()
{
    requireLoaded(QStringLiteral("Resume"));
    if (m_session.scanning)
        endScan(true);
    else
        unpause();
}

// libvlc plays on; from the reverse scan's picture, if one is on screen.
void VlcPlaybackControl::unpause()
{
    if (const std::optional<std::int64_t> ms = m_scan->release(true)) {
        if (m_cellStill->takeScanFromStill()) // libvlc's reader lets go of the still it is in
            libvlc_media_player_set_title(player(), m_status.title());
        m_player->seekTo(*ms);
    } else
        m_display->estimate().resumed();
    m_player->setPaused(false);
    m_session.paused = false;
    notePlaying();
}

void VlcPlaybackControl::Stop()
{
    if (isStarting() && !m_session.loaded) {
        setStarting(false); // the disc is not played once it has been read
        return;
    }
    requireLoaded(QStringLiteral("Stop"));
    unload();
}

void VlcPlaybackControl::setRate(double rate)
{
    libvlc_media_player_set_rate(player(), float(rate));
    m_session.rate = rate;
    m_display->estimate().rateChanged();
}

void VlcPlaybackControl::PlayForwards(const Variant &speed)
{
    const QString op = QStringLiteral("PlayForwards");
    requireLoaded(op);
    const double s = speedOf(op, speed);
    endScan(false);
    setRate(s);
    if (m_session.paused)
        unpause();
}

void VlcPlaybackControl::PlayBackwards(const Variant &speed)
{
    const QString op = QStringLiteral("PlayBackwards");
    const int title = requireTitle(op);
    const double s = speedOf(op, speed);
    if (m_session.scanning)
        m_scan->setSpeed(s);
    else
        startScan(title, s);
}

// libvlc holds its picture (paused) while the scan's own are shown over it.
void VlcPlaybackControl::startScan(int title, double speed)
{
    const std::int64_t from = positionMs().value_or(0);
    setRate(1.0);
    m_jump->cancel();
    m_cellStill->scanFrom(from);
    m_player->setPaused(true);
    m_display->estimate().paused();
    m_session.paused = false;
    m_session.scanning = true; // before the scan's first step, which may reach the title's start
    if (!m_scan->start(title, from, speed)) {
        m_session.scanning = false;
        m_session.paused = true; // no pictures of our own: it stands paused
    }
    notePlaying();
}

void VlcPlaybackControl::endScan(bool playOn)
{
    if (!m_session.scanning)
        return;
    m_scan->stop();
    // Stopped scanning, libvlc stays paused and the scan's picture on screen.
    m_session.scanning = false;
    m_session.paused = true;
    if (playOn && m_player)
        unpause();
    notePlaying();
}

void VlcPlaybackControl::jumpTo(int title, int chapter, bool armed)
{
    const std::optional<std::int64_t> shownBefore = positionMs();
    // libvlc's DVD reader stays in a still it is sent away from; sent to the
    // title first, it lets go of it.
    const bool fromStill = m_cellStill->takeScanFromStill() || (shownBefore && m_cellStill->inOrNear(*shownBefore));
    m_scan->release(false);
    const bool pastDamage = m_damageMet.has_value();
    m_damageMet.reset();
    if ((m_session.plain && title != m_status.title()) || pastDamage) {
        // Another title read as a plain stream, or libvlc stopped at a scratch: a player of its own.
        m_session.paused = false;
        if (!restartAt(title, chapter)) {
            unload();
            emit playbackStopped(disc::describe(disc::Problem::VideoDamaged));
        }
        notePlaying();
        return;
    }
    if (m_session.plain) {
        m_player->seekTo(m_status.chapterOffset(title, chapter));
    } else if (title != libvlc_media_player_get_title(player())) {
        m_expectTitleChange = true;
        libvlc_media_player_set_title(player(), title);
        if (chapter > 0)
            libvlc_media_player_set_chapter(player(), chapter);
    } else {
        int sendTo = chapter; // or through the short still cell before it (CellStill::leadInTo)
        if (fromStill) {
            libvlc_media_player_set_title(player(), title);
            if (const auto leadIn = m_cellStill->leadInTo(m_status.chapterOffset(title, chapter))) {
                const int leadInChapter = m_status.chapterAt(title, *leadIn);
                if (m_status.chapterOffset(title, leadInChapter) == *leadIn)
                    sendTo = leadInChapter;
            }
        }
        libvlc_media_player_set_chapter(player(), sendTo);
    }
    m_cellStill->release();
    m_jump->start(title, chapter, m_status.chapterOffset(title, chapter), shownBefore, armed);
    m_sentTo = SentTo{title, chapter, shownBefore};
    if (m_session.paused) {
        m_player->setPaused(false);
        m_session.paused = false;
        notePlaying();
    }
}

void VlcPlaybackControl::PlayNextChapter()
{
    const int title = requireTitle(QStringLiteral("PlayNextChapter"));
    endScan(false);
    const int chapter = chapterShown(title);
    const bool plain = m_session.plain;
    const int chapters = plain ? m_status.chapterCount() : libvlc_media_player_get_chapter_count(player());
    // libvlc's titles include the menu, title 0; a plain title's are the disc's.
    const int titles = plain ? int(m_facts->titles.size()) + 1 : libvlc_media_player_get_title_count(player());
    if (chapter + 1 < chapters)
        jumpTo(title, chapter + 1);
    else if (const int next = nextPlayableTitle(title); next > 0 && next < titles)
        jumpTo(next, 0); // the last chapter goes on to the next title that can be played
    else if (m_session.paused)
        unpause();
}

void VlcPlaybackControl::PlayPrevChapter()
{
    const int title = requireTitle(QStringLiteral("PlayPrevChapter"));
    endScan(false);
    const int chapter = chapterShown(title);
    const std::int64_t into = positionMs().value_or(0) - m_status.chapterOffset(title, chapter);
    jumpTo(title, (into > kRestartChapterAfterMs || chapter == 0) ? chapter : chapter - 1);
}

void VlcPlaybackControl::setDisc(const QString &argument)
{
    setStarting(false);
    if (m_session.loaded)
        unload();
    m_disc.setArgument(argument);
}

void VlcPlaybackControl::Eject()
{
    const std::optional<disc::Source> source = m_session.loaded && m_source ? m_source : m_disc.ejectable();
    setStarting(false);
    if (m_session.loaded)
        unload(); // closes the disc, which releases the drive
    if (!source)
        throw PlaybackError(QStringLiteral("Eject"), QStringLiteral("there is no disc drive."));
    if (source->kind == disc::SourceKind::Drive) {
        // The drive is free only once the player has let go of it (well under a
        // second); a reading of the disc may hold it for seconds more, and then
        // the drive says it is busy rather than the windows freezing.
        reaper::waitForAll(std::chrono::seconds(1));
        if (const std::optional<QString> why = disc::ejectDrive(source->path))
            throw PlaybackError(QStringLiteral("Eject"), *why);
        m_disc.forget();
    }
}

} // namespace playback::engine
