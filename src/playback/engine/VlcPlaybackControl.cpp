// The playback control: its parts, libvlc's events, and the session and
// transport. The reads are in VlcPlaybackControlReads.cpp, the widget in
// VlcPlaybackControlWidget.cpp. GUI thread.

#include "playback/engine/VlcPlaybackControl.h"

#include "playback/engine/EmbeddedOutput.h"
#include "playback/engine/FullScreen.h"
#include "playback/engine/MemoryOutput.h"
#include "playback/engine/Player.h"
#include "playback/engine/PlayerReaper.h"
#include "playback/engine/ReverseScan.h"
#include "playback/engine/TitleStream.h"
#include "playback/engine/VlcInstance.h"

#include <QGuiApplication>

#include <vlc/vlc.h>

#include <algorithm>
#include <cmath>

namespace playback::engine {

VlcPlaybackControl::VlcPlaybackControl(const QString &discArgument, QWidget *parent)
    : PlaybackControl(parent), m_disc(discArgument)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_scan = std::make_unique<ReverseScan>([this]() -> PictureOutput & { return *m_output; },
                                           [this] { return m_player.get(); });
    connect(m_scan.get(), &ReverseScan::reachedTitleStart, this, [this](int title) {
        // Played from its first chapter at normal speed. libvlc held its picture, so
        // no older pictures are queued: the jump's anchor holds for the next one.
        jumpTo(title, 0, true);
    });
    connect(m_scan.get(), &ReverseScan::landingPicturesReady, this, [this](const KnownPictures &pictures, int title) {
        m_output->landingPictures(m_loaded && title == m_title ? std::optional(pictures) : std::nullopt);
    });
    connect(m_scan.get(), &ReverseScan::muxLeadReady, this, [this](qint64 ms, int title) {
        if (m_loaded && title == m_title)
            m_output->setMuxLead(ms);
    });
    m_fullScreen = std::make_unique<FullScreen>(
        this, [this]() -> PictureOutput & { return *m_output; }, [this] { return m_status.aspect(); },
        [this](int key) { return navigateKey(key); });
    connect(m_fullScreen.get(), &FullScreen::changed, this, &VlcPlaybackControl::updateFramesWanted);
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        setOutput(std::make_unique<EmbeddedOutput>(this));
    else
        setOutput(std::make_unique<MemoryOutput>());
}

VlcPlaybackControl::~VlcPlaybackControl()
{
    m_scan->forget();
    m_player.reset(); // let go while the output it draws into is here
    m_fullScreen.reset();
}

void VlcPlaybackControl::setOutput(std::unique_ptr<PictureOutput> output)
{
    m_output = std::move(output);
    connect(m_output.get(), &PictureOutput::pictureShown, this, &VlcPlaybackControl::showNewPicture);
    connect(m_output.get(), &PictureOutput::doubleClicked, m_fullScreen.get(), &FullScreen::toggle);
    if (QWidget *host = m_fullScreen->window())
        m_output->setHost(host);
    updateFramesWanted();
}

std::unique_ptr<Player> VlcPlaybackControl::makePlayer()
{
    std::unique_ptr<Player> player = Player::create(*m_output);
    if (!player && !m_output->rendersIntoMemory()) {
        // No X window to draw in after all: into memory.
        setOutput(std::make_unique<MemoryOutput>());
        player = Player::create(*m_output);
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
    if (!m_plain)
        return player->open(m_source->mrl(), title, chapter) ? std::move(player) : nullptr;
    std::shared_ptr<TitleStream> stream = TitleStream::open(m_source->path, title);
    if (!stream || !player->open(stream, chapter))
        return nullptr;
    m_status.clear();
    m_status.setPlainTitle(title, stream->layout());
    return player;
}

bool VlcPlaybackControl::restartAt(int title, int chapter)
{
    // The old player hands its picture sink to the reaper before the new one gets its own.
    m_player.reset();
    m_status.clear();
    std::unique_ptr<Player> player = openPlayer(title, chapter);
    if (!player)
        return false;
    m_player = std::move(player);
    m_title = -1;
    m_expectTitleChange = false;
    m_output->started();
    if (!m_player->play())
        return false;
    if (m_rate != 1.0)
        setRate(m_rate); // fast play goes on
    applyTracks(false);
    return true;
}

libvlc_media_player_t *VlcPlaybackControl::player() const { return m_player ? m_player->handle() : nullptr; }

// ---- libvlc's events ------------------------------------------------------------

void VlcPlaybackControl::handleEvents(unsigned bits)
{
    if (!m_loaded)
        return;
    if (bits & Player::kStopped) {
        // libvlc stopped on its own (end of the disc, unreadable data): the disc is
        // no longer playing, reads fail until the next Play.
        const disc::Problem problem = whyStopped(bits);
        const bool damaged = problem == disc::Problem::VideoDamaged || problem == disc::Problem::Unreadable;
        if (damaged && !m_paused && !m_scan->isRunning() && goPastDamage())
            return;
        // A title read as a plain stream ends where it ends: the next one plays on.
        if (problem == disc::Problem::None && m_plain && !m_scan->isRunning()) {
            if (const int next = nextPlayableTitle(m_status.title()); next > 0 && restartAt(next, 0))
                return;
        }
        unload();
        emit playbackStopped(problem == disc::Problem::None ? QString() : disc::describe(problem));
        return;
    }
    m_status.refresh(player(), bits);
    if (bits & (Player::Playing | Player::Vout))
        m_output->setFrameRate(m_status.fps());
    if (m_status.title() != m_title) {
        const int title = m_status.title();
        // A menu button started a title: as a jump there. (The disc's first play
        // passes through the menu domain in a moment, showing nothing.)
        constexpr qint64 kMenuSeenMs = 500;
        if (m_title == 0 && title >= 1 && !m_expectTitleChange && m_inTitle.elapsed() >= kMenuSeenMs) {
            const int chapter = m_status.chapter();
            m_output->jumped(m_status.chapterOffset(title, chapter), 0, true);
            m_scan->coverJump(title, chapter);
        } else if (!m_expectTitleChange) {
            m_output->titleChanged(m_title, title, m_status.titleLength(m_title));
        }
        m_expectTitleChange = false;
        m_title = title;
        m_inTitle.start();
        if (title >= 1 && m_output->titleStarted())
            m_scan->requestMuxLead(title);
        applyTracks(true);
    }
    if (bits & (Player::Streams | Player::Playing | Player::Vout))
        applyTracks(bits & Player::Streams);
}

// libvlc stopped on its own: at the disc's end (None), or because it could not
// read on. A disc's files that were there when it started are damaged (cut
// short, say) unless they have gone altogether; a drive's disc cannot be read.
disc::Problem VlcPlaybackControl::whyStopped(unsigned bits) const
{
    // An end this far before the title's own is no end.
    constexpr std::int64_t kEndSlackMs = 2000;
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

// libvlc could not read on in the title playing: play goes on at the next
// chapter, or the next title that can be played, as a player goes on past a
// scratch. Each time it moves forward, so it ends at the disc's end. False:
// nothing further can be played.
bool VlcPlaybackControl::goPastDamage()
{
    const int title = m_status.title();
    if (title < 1 || !m_facts || !m_source || title > int(m_facts->titles.size()))
        return false;
    const std::int64_t at = std::max<std::int64_t>(libvlc_media_player_get_time(player()), 0);
    int next = title, chapter = m_status.chapterAt(title, at) + 1;
    if (chapter >= m_facts->titles[std::size_t(title) - 1].chapters) {
        next = nextPlayableTitle(title);
        chapter = 0;
    }
    return next >= 1 && restartAt(next, chapter);
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
    m_scan->forget(); // lets go of the disc (a drive may be ejected next)
    m_player.reset();
    m_output->stopped();
    m_status.clear();
    m_loaded = false;
    m_plain = false;
    m_paused = false;
    m_rate = 1.0;
    m_title = -1;
    m_expectTitleChange = false;
    update();
    notePlaying();
}

disc::Facts VlcPlaybackControl::discFacts(const QString &operation) const
{
    if (m_loaded && m_facts)
        return *m_facts;
    return m_disc.facts(m_disc.source(operation), operation);
}

void VlcPlaybackControl::requireLoaded(const QString &operation) const
{
    if (!m_loaded || !m_player)
        throw PlaybackError(operation, QStringLiteral("no disc is playing."));
}

int VlcPlaybackControl::requireTitle(const QString &operation) const
{
    requireLoaded(operation);
    if (m_status.title() < 1)
        throw PlaybackError(operation, QStringLiteral("the disc menu is showing, no title is playing."));
    return m_status.title();
}

int VlcPlaybackControl::chapterRead(int title) const
{
    if (m_plain)
        return m_status.chapterAt(title, libvlc_media_player_get_time(player()));
    return std::max(0, libvlc_media_player_get_chapter(player()));
}

// ---- transport ----------------------------------------------------------------------

void VlcPlaybackControl::Play()
{
    if (m_loaded) {
        // Continue after Pause, or return to normal forward play from a scan or fast play.
        endScan(false);
        if (m_paused)
            unpause();
        if (m_rate != 1.0)
            setRate(1.0);
        notePlaying();
        return;
    }
    const QString op = QStringLiteral("Play");
    const disc::Source source = m_disc.source(op);
    // libvlc reports an unplayable disc only later, as an event: check it first so
    // that Play itself fails.
    disc::Facts facts = m_disc.facts(source, op, true);
    // libvlc's DVD navigation enters title 1 whatever title it is asked to start at
    // (the disc's first play leads there), and so does its plain title reader:
    // without title 1's navigation the engine reads the titles itself, with no menus.
    m_plain = facts.titles.front().problem == disc::Problem::NavigationDamaged;
    m_source = source;
    m_facts = std::move(facts);
    m_status.clear();
    if (!vlcInstance())
        throw PlaybackError(op, QStringLiteral("the video engine (libvlc) could not be started."));
    // A disc whose first title is damaged starts at the first one that plays.
    std::unique_ptr<Player> player = openPlayer(m_facts->firstPlayableTitle(), 0);
    if (!player) {
        m_plain = false;
        throw PlaybackError(op, QStringLiteral("the disc cannot be opened."));
    }
    m_player = std::move(player);
    m_scan->setDisc(source.path);
    m_title = -1;
    m_expectTitleChange = false;
    m_rate = 1.0;
    m_paused = false;
    m_tracks.appliedMuteTitle = -1;
    m_output->started();
    if (!m_player->play()) {
        m_player.reset();
        throw PlaybackError(op, QStringLiteral("the disc cannot be played."));
    }
    m_loaded = true;
    notePlaying();
    applyTracks(false);
}

void VlcPlaybackControl::Pause()
{
    requireLoaded(QStringLiteral("Pause"));
    endScan(false);
    libvlc_media_player_set_pause(player(), 1);
    m_paused = true;
    m_output->paused();
    notePlaying();
}

void VlcPlaybackControl::Resume()
{
    requireLoaded(QStringLiteral("Resume"));
    if (m_scan->isRunning())
        endScan(true);
    else
        unpause();
}

void VlcPlaybackControl::unpause()
{
    if (!m_scan->handOver(true))
        m_output->resumed(m_rate);
    libvlc_media_player_set_pause(player(), 0);
    m_paused = false;
    notePlaying();
}

void VlcPlaybackControl::Stop()
{
    requireLoaded(QStringLiteral("Stop"));
    unload();
}

void VlcPlaybackControl::setRate(double rate)
{
    libvlc_media_player_set_rate(player(), float(rate));
    m_rate = rate;
    m_output->rateChanged(rate, m_paused);
}

void VlcPlaybackControl::PlayForwards(const Variant &speed)
{
    const QString op = QStringLiteral("PlayForwards");
    requireLoaded(op);
    const double s = speed.toDouble();
    if (!(s > 0.0) || !std::isfinite(s))
        throw PlaybackError(op, QStringLiteral("the speed must be greater than zero."));
    endScan(false);
    setRate(s);
    if (m_paused)
        unpause();
}

void VlcPlaybackControl::PlayBackwards(const Variant &speed)
{
    const QString op = QStringLiteral("PlayBackwards");
    const int title = requireTitle(op);
    const double s = speed.toDouble();
    if (!(s > 0.0) || !std::isfinite(s))
        throw PlaybackError(op, QStringLiteral("the speed must be greater than zero."));
    if (m_scan->isRunning()) {
        m_scan->setSpeed(s);
        return;
    }
    // libvlc holds its picture while the scan's own are shown over it.
    const std::int64_t from = positionMs().value_or(0);
    setRate(1.0);
    m_paused = false;
    m_scan->start(title, from, s);
    notePlaying();
}

void VlcPlaybackControl::endScan(bool playOn)
{
    if (!m_scan->isRunning())
        return;
    m_scan->stop();
    // Stopped scanning, libvlc stays paused and the scan's picture on screen.
    m_paused = true;
    if (playOn && m_player)
        unpause();
    notePlaying();
}

void VlcPlaybackControl::jumpTo(int title, int chapter, bool armed)
{
    const std::optional<std::int64_t> shownBefore = positionMs();
    m_scan->handOver(false);
    if (m_plain && title != m_status.title()) {
        // Another title read as a plain stream: a player of its own.
        m_paused = false;
        if (!restartAt(title, chapter)) {
            unload();
            emit playbackStopped(disc::describe(disc::Problem::VideoDamaged));
        }
        notePlaying();
        return;
    }
    if (m_plain) {
        m_player->seekTo(m_status.chapterOffset(title, chapter));
    } else if (title != libvlc_media_player_get_title(player())) {
        m_expectTitleChange = true;
        libvlc_media_player_set_title(player(), title);
        if (chapter > 0)
            libvlc_media_player_set_chapter(player(), chapter);
    } else {
        libvlc_media_player_set_chapter(player(), chapter);
    }
    m_output->jumped(m_status.chapterOffset(title, chapter), shownBefore, armed);
    m_scan->coverJump(title, chapter);
    if (m_paused) {
        libvlc_media_player_set_pause(player(), 0);
        m_paused = false;
        notePlaying();
    }
}

void VlcPlaybackControl::PlayNextChapter()
{
    const int title = requireTitle(QStringLiteral("PlayNextChapter"));
    endScan(false);
    const int chapter = chapterRead(title);
    const int chapters = m_plain ? m_status.chapterCount() : libvlc_media_player_get_chapter_count(player());
    // libvlc's titles include the menu, title 0; a plain title's are the disc's.
    const int titles = m_plain ? int(m_facts->titles.size()) + 1 : libvlc_media_player_get_title_count(player());
    if (chapter + 1 < chapters)
        jumpTo(title, chapter + 1);
    else if (const int next = nextPlayableTitle(title); next > 0 && next < titles)
        jumpTo(next, 0); // the last chapter goes on to the next title that can be played
    else if (m_paused)
        unpause();
}

void VlcPlaybackControl::PlayPrevChapter()
{
    const int title = requireTitle(QStringLiteral("PlayPrevChapter"));
    endScan(false);
    const int chapter = chapterRead(title);
    const std::int64_t into = positionMs().value_or(0) - m_status.chapterOffset(title, chapter);
    // Like a DVD remote: more than 3 s into a chapter goes back to its start.
    jumpTo(title, (into > 3000 || chapter == 0) ? chapter : chapter - 1);
}

void VlcPlaybackControl::setDisc(const QString &argument)
{
    if (m_loaded)
        unload();
    m_disc.setArgument(argument);
}

void VlcPlaybackControl::Eject()
{
    const std::optional<disc::Source> source = m_loaded && m_source ? m_source : m_disc.ejectable();
    if (m_loaded)
        unload(); // closes the disc, which releases the drive
    if (!source)
        throw PlaybackError(QStringLiteral("Eject"), QStringLiteral("there is no disc drive."));
    if (source->kind == disc::SourceKind::Drive) {
        reaper::waitForAll(); // the drive is free only once the player has let go of it
        if (const std::optional<QString> why = disc::ejectDrive(source->path))
            throw PlaybackError(QStringLiteral("Eject"), *why);
    }
}

} // namespace playback::engine
