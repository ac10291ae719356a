// The playback control: its parts, the player of the moment and libvlc's events.
// The transport is in VlcPlaybackControlTransport.cpp, the reads in
// VlcPlaybackControlReads.cpp, the widget in VlcPlaybackControlWidget.cpp. GUI thread.

#include "playback/engine/VlcPlaybackControl.h"

#include "playback/engine/CellStill.h"
#include "playback/engine/DecoderThread.h"
#include "playback/engine/EmbeddedDisplay.h"
#include "playback/engine/FullScreen.h"
#include "playback/engine/Jump.h"
#include "playback/engine/MemoryDisplay.h"
#include "playback/engine/Player.h"
#include "playback/engine/ReverseScan.h"
#include "playback/engine/TitleStream.h"

#include <QGuiApplication>

#include <vlc/vlc.h>

#include <algorithm>

namespace playback::engine {

namespace {

// The disc's first play passes through the menu domain in a moment, showing
// nothing; a title taken up after this long in a menu was started by a button.
constexpr qint64 kMenuSeenMs = 500;
// libvlc ending a title this far before the title's own end is no end.
constexpr std::int64_t kEndSlackMs = 2000;
// Past a scratch, play goes on this far past where libvlc's reading stopped;
// when the same stretch fails again, twice as far each time.
constexpr std::int64_t kFirstDamageStepMs = 1000;

} // namespace

VlcPlaybackControl::VlcPlaybackControl(const QString &discArgument, QWidget *parent)
    : PlaybackControl(parent), m_disc(discArgument)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    const auto display = [this]() -> Display & { return *m_display; };
    const auto decoder = [this] { return this->decoder(); };
    m_scan = std::make_unique<ReverseScan>(m_session, display, decoder);
    m_jump = std::make_unique<Jump>(display, decoder);
    m_cellStill = std::make_unique<CellStill>(
        m_session, display, decoder,
        [this]() -> std::optional<std::int64_t> {
            if (!m_session.loaded || !m_player)
                return std::nullopt;
            return libvlc_media_player_get_time(player());
        },
        [this] { return libvlcPositionMs(); });
    connect(m_scan.get(), &ReverseScan::reachedTitleStart, this, [this](int title) {
        // Played from its first chapter at normal speed. libvlc held its picture, so
        // no older pictures are queued: the jump's anchor holds for the next one.
        m_session.scanning = false;
        m_player->setPaused(false);
        jumpTo(title, 0, true);
    });
    m_fullScreen = std::make_unique<FullScreen>(this, display, [this] { return pictureAspect(); },
                                                [this](int key) { return navigateKey(key); });
    connect(&m_disc, &DiscLookup::read, this, &VlcPlaybackControl::discRead);
    connect(&m_disc, &DiscLookup::mediaChanged, this, &VlcPlaybackControl::driveMediaChanged);
    connect(m_fullScreen.get(), &FullScreen::changed, this, &VlcPlaybackControl::updateFramesWanted);
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        setDisplay(std::make_unique<EmbeddedDisplay>(this, m_session));
    else
        setDisplay(std::make_unique<MemoryDisplay>(m_session, decoder));
}

VlcPlaybackControl::~VlcPlaybackControl()
{
    m_scan->forget();
    m_player.reset(); // let go while the display it draws into is here
    m_fullScreen.reset();
}

void VlcPlaybackControl::setDisplay(std::unique_ptr<Display> display)
{
    m_display = std::move(display);
    connect(m_display.get(), &Display::pictureShown, this, &VlcPlaybackControl::showNewPicture);
    connect(m_display.get(), &Display::doubleClicked, m_fullScreen.get(), &FullScreen::toggle);
    if (QWidget *host = m_fullScreen->window())
        m_display->setHost(host);
    updateFramesWanted();
}

DecoderThread *VlcPlaybackControl::decoder()
{
    if (!m_source)
        return nullptr;
    if (!m_decoder || m_decoderDisc != m_source->path) {
        m_decoder = std::make_unique<DecoderThread>(m_source->path);
        m_decoderDisc = m_source->path;
    }
    return m_decoder.get();
}

std::unique_ptr<Player> VlcPlaybackControl::makePlayer()
{
    std::unique_ptr<Player> player = Player::create(*m_display);
    if (!player && !m_display->rendersIntoMemory()) {
        // No X window to draw in after all: into memory.
        setDisplay(std::make_unique<MemoryDisplay>(m_session, [this] { return decoder(); }));
        player = Player::create(*m_display);
    }
    if (player)
        connect(player.get(), &Player::events, this, &VlcPlaybackControl::handleEvents);
    return player;
}

std::unique_ptr<Player> VlcPlaybackControl::openPlayer(int title, int chapter)
{
    std::unique_ptr<Player> player = makePlayer();
    if (!player)
        return nullptr;
    if (!m_session.plain)
        return player->open(m_source->mrl(), title, chapter) ? std::move(player) : nullptr;
    std::shared_ptr<TitleStream> stream = TitleStream::open(m_source->path, title);
    if (!stream || !player->open(stream, chapter))
        return nullptr;
    m_status.setPlainTitle(title, stream->layout()); // the caller has cleared the rest
    return player;
}

bool VlcPlaybackControl::restartAt(int title, int chapter)
{
    // The old player hands its picture sink to the reaper before the new one gets its own.
    m_player.reset();
    m_status.clear();
    if (m_facts)
        m_status.setDiscTitles(*m_facts);
    std::unique_ptr<Player> player = openPlayer(title, chapter);
    if (!player)
        return false;
    m_player = std::move(player);
    m_session.title = -1;
    m_expectTitleChange = false;
    m_display->estimate().started();
    if (!m_player->play())
        return false;
    if (m_session.rate != 1.0)
        setRate(m_session.rate); // fast play goes on
    applyTracks(false);
    return true;
}

libvlc_media_player_t *VlcPlaybackControl::player() const { return m_player ? m_player->handle() : nullptr; }

// ---- libvlc's events ------------------------------------------------------------

void VlcPlaybackControl::handleEvents(unsigned bits)
{
    if (!m_session.loaded)
        return;
    if (bits & Player::kStopped) {
        stoppedByItself(bits);
        return;
    }
    m_status.refresh(player(), bits);
    if (bits & (Player::Playing | Player::Vout))
        m_display->estimate().setFrameRate(m_status.fps());
    if (m_status.title() != m_session.title)
        takeUpTitle(m_status.title());
    else if ((bits & Player::Chapter) && m_session.title >= 1 && !m_session.plain)
        m_display->estimate().chapterReached(m_session.title, m_status.chapter());
    if (bits & (Player::Streams | Player::Playing | Player::Vout))
        applyTracks(bits & Player::Streams);
}

void VlcPlaybackControl::takeUpTitle(int title)
{
    const int from = m_session.title;
    if (from == 0 && title >= 1 && !m_expectTitleChange && m_inTitle.elapsed() >= kMenuSeenMs) {
        // A menu button started a title: as a jump there.
        const int chapter = m_status.chapter();
        m_jump->start(title, chapter, m_status.chapterOffset(title, chapter), 0, true);
    } else if (!m_expectTitleChange) {
        m_display->estimate().titleChanged(from, title, m_status.titleLength(from));
    }
    m_expectTitleChange = false;
    m_session.title = title;
    m_inTitle.start();
    const bool stills = title >= 1 && !m_session.plain && m_facts && title <= int(m_facts->titles.size());
    m_cellStill->setStills(title, stills ? m_facts->titles[std::size_t(title) - 1].stills
                                         : std::vector<disc::TitleFacts::Still>());
    if (title >= 1) {
        m_display->estimate().setFrameRate(m_status.fps());
        m_display->estimate().titleTiming(-1, 0.0);
        if (DecoderThread *decoder = this->decoder()) {
            connect(decoder, &DecoderThread::timingReady, this, &VlcPlaybackControl::timingRead, Qt::UniqueConnection);
            decoder->requestTiming(title);
        }
    }
    applyTracks(true);
}

void VlcPlaybackControl::timingRead(qint64 muxLeadMs, double picturePeriodMs, int title)
{
    if (m_session.loaded && title == m_session.title)
        m_display->estimate().titleTiming(muxLeadMs, picturePeriodMs);
}

// libvlc stopped on its own (end of the disc, unreadable data): play goes on past
// damage, or on to the next title read as a plain stream; otherwise the disc no
// longer plays, and reads fail until the next Play.
void VlcPlaybackControl::stoppedByItself(unsigned bits)
{
    const disc::Problem problem = whyStopped(bits);
    const bool damaged = problem == disc::Problem::VideoDamaged || problem == disc::Problem::Unreadable;
    if (damaged && !m_session.paused && !m_session.scanning && goPastDamage())
        return;
    if (problem == disc::Problem::None && m_session.plain && !m_session.scanning) {
        if (const int next = nextPlayableTitle(m_status.title()); next > 0 && restartAt(next, 0))
            return;
    }
    unload();
    if (problem != disc::Problem::None && m_disc.inDrive())
        m_disc.forget(); // the drive may hold another disc, or none, by now
    emit playbackStopped(problem == disc::Problem::None ? QString() : disc::describe(problem));
}

// Why libvlc stopped on its own: at the disc's end (None), or because it could
// not read on. A disc's files that were there when it started are damaged (cut
// short, say) unless they have gone altogether; a drive's disc cannot be read.
disc::Problem VlcPlaybackControl::whyStopped(unsigned bits)
{
    const int title = m_status.title();
    const std::int64_t length = title >= 1 ? m_status.titleLength(title) : 0;
    const bool ended = !(bits & Player::Error) && (length <= 0 || positionMs().value_or(0) + kEndSlackMs >= length);
    if (ended || !m_source)
        return disc::Problem::None;
    if (m_source->kind == disc::SourceKind::Drive)
        return disc::Problem::Unreadable;
    const disc::Problem path = disc::pathProblem(m_source->path);
    return path != disc::Problem::None ? path : disc::Problem::VideoDamaged;
}

// libvlc could not read on in the title playing. On a drive, the decoder finds
// the first VOBU past the scratch, and play stands on the last picture until it
// has (pastDamageFound). False: nothing further can be played.
bool VlcPlaybackControl::goPastDamage()
{
    const int title = m_status.title();
    if (title < 1 || !m_facts || !m_source || title > int(m_facts->titles.size()))
        return false;
    // Where libvlc's reading stopped, which is ahead of the picture on screen.
    const std::int64_t at = std::max<std::int64_t>(positionMs().value_or(0), libvlc_media_player_get_time(player()));
    DecoderThread *decoder = m_source->kind == disc::SourceKind::Drive ? this->decoder() : nullptr;
    if (!decoder)
        return goOnAfter(title, at, std::nullopt);
    connect(decoder, &DecoderThread::pastDamageFound, this, &VlcPlaybackControl::pastDamageFound, Qt::UniqueConnection);
    m_damageMet = DamageMet{title, at};
    m_display->estimate().paused();
    decoder->requestPastDamage(title, at);
    return true;
}

void VlcPlaybackControl::pastDamageFound(qint64 ms, int title, qint64 askedMs)
{
    if (!m_damageMet || m_damageMet->title != title || m_damageMet->atMs != askedMs)
        return; // stopped or gone elsewhere meanwhile
    const std::int64_t at = std::exchange(m_damageMet, std::nullopt)->atMs;
    // Paused or scanning meanwhile: the new player waits, as the old one would have.
    const bool hold = m_session.paused || m_session.scanning;
    if (!goOnAfter(title, at, ms >= 0 ? std::optional<std::int64_t>(ms) : std::nullopt)) {
        unload();
        emit playbackStopped(disc::describe(disc::Problem::Unreadable));
    } else if (hold && m_player) {
        m_player->setPaused(true);
        m_display->estimate().paused();
    }
}

// Play goes on past damage met at `at`: on a drive where the decoder found the
// disc readable again (found), or else a little past it, as a player goes on
// past a scratch, and further each time the same stretch fails again; once that
// reaches the next chapter, at the next chapter, or the next title that can be
// played. Each time it moves forward, so it ends at the disc's end.
bool VlcPlaybackControl::goOnAfter(int title, std::int64_t at, std::optional<std::int64_t> found)
{
    // Failing again before play got a step past where it went on: the same scratch.
    const bool again = m_damage && m_damage->title == title && at >= m_damage->resumeMs - m_damage->stepMs
                       && at <= m_damage->resumeMs + kFirstDamageStepMs;
    const std::int64_t step = again ? m_damage->stepMs * 2 : kFirstDamageStepMs;
    const int chapter = m_status.chapterAt(title, at);
    const int chapters = m_facts->titles[std::size_t(title) - 1].chapters;
    // Where the disc read again, unless play failed there before: then a step on.
    const std::int64_t resumeMs = found && *found > at ? (again ? std::max(*found, at + step) : *found) : at + step;
    // A drive's scratch is a read error over a short stretch; damage in an image
    // or a folder's files may run on for long, and libvlc takes seconds over each
    // try: there play goes on at the next chapter at once.
    const bool inChapter = m_source->kind == disc::SourceKind::Drive
                           && resumeMs < (chapter + 1 < chapters ? m_status.chapterOffset(title, chapter + 1)
                                                                  : m_status.titleLength(title));
    m_damage = Damage{title, resumeMs, step};
    if (inChapter) {
        if (!restartAt(title, chapter))
            return false;
        m_player->seekTo(resumeMs);
        m_display->estimate().jumped(resumeMs, std::nullopt, true);
        return true;
    }
    int next = title;
    if (chapter + 1 >= chapters) {
        next = nextPlayableTitle(title);
        m_damage.reset();
    }
    return next >= 1 && restartAt(next, next == title ? chapter + 1 : 0);
}

int VlcPlaybackControl::nextPlayableTitle(int after) const
{
    for (int t = after + 1; m_facts && t <= int(m_facts->titles.size()); ++t)
        if (m_facts->titles[std::size_t(t) - 1].problem == disc::Problem::None)
            return t;
    return 0;
}

// ---- the disc ---------------------------------------------------------------------

void VlcPlaybackControl::unload()
{
    endScan(false);
    m_scan->forget();
    m_jump->cancel();
    m_cellStill->setStills(0, {});
    m_player.reset();
    m_decoder.reset(); // lets go of the disc (a drive may be ejected next)
    m_display->stopped();
    m_status.clear();
    m_sentTo.reset();
    m_damage.reset();
    m_damageMet.reset();
    m_session = Session();
    m_expectTitleChange = false;
    update();
    notePlaying();
}

disc::Facts VlcPlaybackControl::discFacts(const QString &operation)
{
    if (m_session.loaded && m_facts)
        return *m_facts;
    if (std::optional<DiscLookup::Disc> disc = m_disc.lookup(operation))
        return std::move(disc->facts);
    throw PlaybackError(operation, stillBeingRead());
}

void VlcPlaybackControl::requireLoaded(const QString &operation) const
{
    if (!m_session.loaded || !m_player)
        throw PlaybackError(operation, QStringLiteral("no disc is playing."));
}

int VlcPlaybackControl::requireTitle(const QString &operation) const
{
    requireLoaded(operation);
    if (m_status.title() < 1)
        throw PlaybackError(operation, QStringLiteral("the disc menu is showing, no title is playing."));
    return m_status.title();
}

int VlcPlaybackControl::requireTitleOrMenu(const QString &operation) const
{
    requireLoaded(operation);
    if (m_status.title() < 0)
        throw PlaybackError(operation, QStringLiteral("the disc has not started a title or a menu yet."));
    return m_status.title();
}

int VlcPlaybackControl::chapterShown(int title)
{
    const std::optional<std::int64_t> at = positionMs(); // the scan's picture, while it runs
    if (m_sentTo && m_sentTo->title == title && at == m_sentTo->shownBefore)
        return m_sentTo->chapter;
    m_sentTo.reset();
    if (!at || !m_status.knowsChapterStarts(title))
        return chapterRead(title);
    return m_status.chapterAt(title, *at);
}

int VlcPlaybackControl::chapterRead(int title) const
{
    if (m_session.plain)
        return m_status.chapterAt(title, libvlc_media_player_get_time(player()));
    return std::max(0, libvlc_media_player_get_chapter(player()));
}

} // namespace playback::engine
