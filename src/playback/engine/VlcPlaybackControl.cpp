#include "playback/engine/VlcPlaybackControl.h"

#include "playback/engine/FactsPrefetch.h"
#include "playback/engine/FrameSink.h"
#include "playback/engine/FullScreenWindow.h"
#include "playback/engine/PlayerReaper.h"
#include "playback/engine/ScanWorker.h"
#include "playback/engine/Timecode.h"
#include "playback/engine/VlcInstance.h"
#include "playback/engine/XVideoSurface.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QPainter>
#include <QScreen>

#include <vlc/vlc.h>

#include <algorithm>
#include <cmath>

#if defined(__SANITIZE_ADDRESS__)
#define ORVANTA_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORVANTA_ASAN 1
#endif
#endif
#ifndef ORVANTA_ASAN
#define ORVANTA_ASAN 0
#endif

namespace playback::engine {

namespace {

const QEvent::Type kVlcEvent = QEvent::Type(QEvent::registerEventType());

// Picture cache small enough that a seek shows its picture at once and the display
// follows the position (the default 300 ms leaves seeks ~0.7 s late).
constexpr char kCachingOption[] = ":disc-caching=50";

// dvdnav numbers subpicture tracks from this id, by sub-stream (not by the
// subtitle stream the windows choose).
constexpr int kFirstSubpictureId = 0xBD20;

// Reverse scan: how often a new position is asked for (a picture every 40 ms at x1).
constexpr int kScanIntervalMs = 40;
// Embedded, libvlc's picture after a resumed scan is not seen: the last scan
// picture stays this long over it (a paused seek shows its picture in ~250 ms).
constexpr int kStillHandOverMs = 300;
// Into memory, the longest the scan's picture waits for the worker to say where
// libvlc landed (four GOPs decoded: tens of milliseconds, more on a busy machine).
constexpr int kLandingWaitMs = 1500;

// Embedded, before libvlc has reported a time since the last seek (see
// DisplayClock.h): its position runs ahead of the picture on screen by about half
// a second at normal speed (measured 5 to 19 frames; 12 on average).
constexpr std::int64_t kEmbeddedLeadMs = 480;
// Until the title's own is read (see DisplayClock.h): a common multiplexer's.
constexpr std::int64_t kTypicalMuxLeadMs = 500;

const libvlc_event_type_t kEvents[] = {
    libvlc_MediaPlayerPlaying, libvlc_MediaPlayerPaused,        libvlc_MediaPlayerStopped,
    libvlc_MediaPlayerEndReached, libvlc_MediaPlayerEncounteredError, libvlc_MediaPlayerTitleChanged,
    libvlc_MediaPlayerChapterChanged, libvlc_MediaPlayerLengthChanged, libvlc_MediaPlayerESAdded,
    libvlc_MediaPlayerESSelected, libvlc_MediaPlayerVout,
};

} // namespace

VlcPlaybackControl::VlcPlaybackControl(const QString &discArgument, QWidget *parent)
    : PlaybackControl(parent), m_argument(discArgument),
      m_embed(QGuiApplication::platformName() == QLatin1String("xcb"))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_scanTimer.setInterval(kScanIntervalMs);
    connect(&m_scanTimer, &QTimer::timeout, this, &VlcPlaybackControl::scanStep);
    m_stillHideTimer.setSingleShot(true);
    m_stillHideTimer.setInterval(kStillHandOverMs);
    m_landingTimeout.setSingleShot(true);
    m_landingTimeout.setInterval(kLandingWaitMs);
    connect(&m_landingTimeout, &QTimer::timeout, this, &VlcPlaybackControl::endLandingWait);
#if !ORVANTA_ASAN
    // Read before Play is pressed (an ASan build forks only with no other thread busy,
    // see resolveSource).
    if (!m_argument.isEmpty()) {
        if (const auto source = disc::sourceFromArgument(m_argument))
            m_prefetch = std::make_unique<FactsPrefetch>(*source);
    }
#endif
    connect(&m_stillHideTimer, &QTimer::timeout, this, [this] {
        if (m_surface)
            m_surface->hideStill();
        m_clock.releaseHold();
    });
}

VlcPlaybackControl::~VlcPlaybackControl()
{
    m_scanTimer.stop();
    m_scanWorker.reset();
    delete m_fullScreen.data();
    retirePlayer();
}

// ---- libvlc events -------------------------------------------------------------

void VlcPlaybackControl::onVlcEvent(const libvlc_event_t *event, void *data)
{
    // libvlc thread: only fold the event into the bit set.
    auto *self = static_cast<VlcPlaybackControl *>(data);
    switch (event->type) {
    case libvlc_MediaPlayerPlaying: self->raise(EvPlaying); break;
    case libvlc_MediaPlayerPaused: self->raise(EvPaused); break;
    case libvlc_MediaPlayerStopped: self->raise(EvStopped); break;
    case libvlc_MediaPlayerEndReached: self->raise(EvEnded); break;
    case libvlc_MediaPlayerEncounteredError: self->raise(EvError); break;
    case libvlc_MediaPlayerTitleChanged:
    case libvlc_MediaPlayerChapterChanged:
        // The seek behind a jump has been carried out (and the old pictures flushed):
        // the display clock may take its anchor from the next new picture. The sink
        // is only locked here, never libvlc.
        if (self->m_sink)
            self->m_sink->arm();
        self->m_clock.chapterChanged();
        self->raise(event->type == libvlc_MediaPlayerTitleChanged ? EvTitle : EvChapter);
        break;
    case libvlc_MediaPlayerLengthChanged: self->raise(EvLength); break;
    case libvlc_MediaPlayerESAdded:
    case libvlc_MediaPlayerESSelected: self->raise(EvStreams); break;
    case libvlc_MediaPlayerVout: self->raise(EvVout); break;
    case libvlc_MediaPlayerTimeChanged: self->m_clock.observe(event->u.media_player_time_changed.new_time); break;
    default: break;
    }
}

void VlcPlaybackControl::raise(unsigned bits)
{
    // One posted event carries everything raised until the GUI thread gets to it.
    if (m_pending.fetch_or(bits) == 0)
        QCoreApplication::postEvent(this, new QEvent(kVlcEvent));
}

bool VlcPlaybackControl::event(QEvent *event)
{
    if (event->type() == kVlcEvent) {
        if (const unsigned bits = m_pending.exchange(0))
            handleEvents(bits);
        return true;
    }
    return PlaybackControl::event(event);
}

void VlcPlaybackControl::handleEvents(unsigned bits)
{
    if (!m_player)
        return;
    if (m_loaded && (bits & (EvError | EvEnded | EvStopped))) {
        // libvlc stopped on its own (end of the disc, unreadable data): the disc is
        // no longer playing, reads fail until the next Play.
        unload();
        emit playbackEnded();
        return;
    }
    if (!m_loaded)
        return;
    if (bits & EvFrame)
        showNewPicture();
    if (bits & (EvPlaying | EvVout)) {
        _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wdeprecated-declarations\"");
        const float fps = libvlc_media_player_get_fps(m_player);
        _Pragma("GCC diagnostic pop");
        if (fps > 0) {
            m_fps = timecodeFrameRate(fps);
            if (m_sink)
                m_sink->setFrameRate(m_fps);
        }
        updateAspect();
        if (m_titleLengths.empty())
            readDescriptions();
    }
    if (bits & (EvTitle | EvPlaying)) {
        const int title = libvlc_media_player_get_title(m_player);
        if (title != m_title) {
            if (m_sink && !m_expectTitleChange && m_title >= 1 && title >= 1) {
                // The title ran out: libvlc reads ahead, so the old title's last
                // pictures are still to come before the new title's first.
                m_sink->anchorAfterTitleEnd(titleLength(m_title), 0);
            } else if (m_sink && !m_expectTitleChange && m_title == 0 && title >= 1) {
                m_sink->anchor(0); // from a menu (its still pictures are not counted)
            }
            if (!m_expectTitleChange)
                m_clock.restart(m_rate, 0);
            m_expectTitleChange = false;
            m_title = title;
            if (m_embed && title >= 1) {
                // The picture's position comes from libvlc's clock less this title's mux lead.
                m_muxLeadMs = kTypicalMuxLeadMs;
                ensureScanWorker();
                if (m_scanWorker)
                    m_scanWorker->requestMuxLead(title);
            }
            readDescriptions();
            applyMute();
            applySubpicture();
        }
    }
    if (bits & (EvStreams | EvPlaying | EvVout))
        applyMute();
    if (bits & EvStreams)
        applySubpicture();
}

// ---- set-up ---------------------------------------------------------------------

bool VlcPlaybackControl::ensurePlayer()
{
    if (m_player)
        return true;
    libvlc_instance_t *instance = vlcInstance();
    if (!instance)
        return false;
    m_player = libvlc_media_player_new(instance);
    if (!m_player)
        return false;
    // Keys reach the widget through Qt; libvlc's own hot keys would fight them.
    libvlc_video_set_key_input(m_player, false);
    // With no sound device libvlc would try to open one for every audio frame (about
    // 30 times a second, a third of its CPU time and an error each time on stderr).
    // Every Play from stopped makes a new player, so a device plugged in later is used.
    if (!soundOutputAvailable())
        libvlc_audio_output_set(m_player, "adummy");
    if (m_embed) {
        QWidget *host = m_fullScreen ? static_cast<QWidget *>(m_fullScreen.data()) : this;
        m_surface = new XVideoSurface(host->winId(), this);
        if (m_surface->isValid()) {
            m_surface->resize(host->size());
            libvlc_media_player_set_xwindow(m_player, std::uint32_t(m_surface->window()));
            connect(m_surface, &XVideoSurface::doubleClicked, this, &VlcPlaybackControl::toggleFullScreen);
        } else {
            delete m_surface;
            m_surface = nullptr;
            m_embed = false;
        }
    }
    if (!m_embed) {
        // Waking the GUI thread for every picture costs a tenth of the engine's CPU time:
        // only when the picture is on view or someone listens for it.
        m_sink = std::make_unique<FrameSink>([this] {
            if (m_framesWanted.load(std::memory_order_relaxed))
                raise(EvFrame);
        });
        m_sink->attach(m_player);
    }
    libvlc_event_manager_t *events = libvlc_media_player_event_manager(m_player);
    for (auto type : kEvents)
        libvlc_event_attach(events, type, &VlcPlaybackControl::onVlcEvent, this);
    // Fifty a second: only the embedded picture's clock needs them.
    if (m_embed)
        libvlc_event_attach(events, libvlc_MediaPlayerTimeChanged, &VlcPlaybackControl::onVlcEvent, this);
    return true;
}

void VlcPlaybackControl::retirePlayer()
{
    // The player is stopped on a thread of its own (see PlayerReaper.h); the next
    // Play makes a new one.
    if (!m_player)
        return;
    libvlc_event_manager_t *events = libvlc_media_player_event_manager(m_player);
    for (auto type : kEvents)
        libvlc_event_detach(events, type, &VlcPlaybackControl::onVlcEvent, this);
    if (m_embed) // attached only then
        libvlc_event_detach(events, libvlc_MediaPlayerTimeChanged, &VlcPlaybackControl::onVlcEvent, this);
    if (m_sink)
        m_sink->silence();
    reaper::retire(m_player, std::move(m_sink), m_surface);
    m_player = nullptr;
    m_surface = nullptr;
}

void VlcPlaybackControl::unload()
{
    endScan(false);
    m_scanWorker.reset(); // lets go of the disc (a drive may be ejected next)
    m_stillMs.reset();
    m_still = QImage();
    m_stillHideTimer.stop();
    m_awaitingLanding = false;
    m_landingTimeout.stop();
    retirePlayer();
    // Bits raised before the player was let go belong to the session that ended.
    m_pending.fetch_and(~unsigned(EvPlaying | EvPaused | EvStopped | EvEnded | EvError | EvTitle | EvChapter
                                  | EvLength | EvStreams | EvVout));
    m_loaded = false;
    m_paused = false;
    m_rate = 1.0;
    m_title = -1;
    m_expectTitleChange = false;
    if (m_sink)
        m_sink->clear();
    update();
}

disc::Source VlcPlaybackControl::resolveSource(const QString &operation) const
{
#if ORVANTA_ASAN
    // Discs are read in a forked child (see disc::readFacts). glibc's allocator is
    // fork-safe, AddressSanitizer's is not: a child forked while a player being
    // stopped frees memory can wait for the allocator's lock forever.
    reaper::waitForAll();
#endif
    if (!m_argument.isEmpty()) {
        if (auto source = disc::sourceFromArgument(m_argument))
            return *source;
        throw PlaybackError(operation, QStringLiteral("the disc \"%1\" cannot be found.").arg(m_argument));
    }
    // Looked up on every call, so that a disc put in after start-up is found.
    if (auto source = disc::findDiscInDrives())
        return *source;
    throw PlaybackError(operation, QStringLiteral("there is no disc in the drive."));
}

disc::Source VlcPlaybackControl::discSource(const QString &operation) const
{
    if (m_loaded && m_source)
        return *m_source;
    return resolveSource(operation);
}

disc::Facts VlcPlaybackControl::discFacts(const QString &operation) const
{
    if (m_loaded && m_facts)
        return *m_facts;
    QString reason;
    const disc::Source source = resolveSource(operation);
    if (m_prefetch) {
        if (auto facts = m_prefetch->factsFor(source))
            return *facts;
    }
    if (auto facts = disc::readFacts(source, &reason))
        return *facts;
    throw PlaybackError(operation, reason.isEmpty() ? QStringLiteral("there is no playable disc.") : reason);
}

void VlcPlaybackControl::requireLoaded(const QString &operation) const
{
    if (!m_loaded || !m_player)
        throw PlaybackError(operation, QStringLiteral("no disc is playing."));
}

int VlcPlaybackControl::requireTitle(const QString &operation) const
{
    requireLoaded(operation);
    const int title = libvlc_media_player_get_title(m_player);
    if (title < 1)
        throw PlaybackError(operation, QStringLiteral("the disc menu is showing, no title is playing."));
    return title;
}

const disc::TitleFacts *VlcPlaybackControl::titleFacts(int title) const
{
    if (!m_facts || title < 1 || title > int(m_facts->titles.size()))
        return nullptr;
    return &m_facts->titles[std::size_t(title - 1)];
}

// ---- transport ------------------------------------------------------------------

void VlcPlaybackControl::Play()
{
    if (m_loaded) {
        // Continue after Pause, or return to normal forward play from a scan or fast play.
        endScan(false);
        if (m_paused)
            unpause();
        if (m_rate != 1.0)
            setRate(1.0);
        return;
    }
    const QString op = QStringLiteral("Play");
    const disc::Source source = resolveSource(op);
    // libvlc reports an unplayable disc only later, as an event: check it first so
    // that Play itself fails.
    QString reason;
    std::optional<disc::Facts> facts = m_prefetch ? m_prefetch->factsFor(source) : std::nullopt;
    if (!facts)
        facts = disc::readFacts(source, &reason);
    if (!facts)
        throw PlaybackError(op, reason.isEmpty() ? QStringLiteral("there is no playable disc.") : reason);
    if (!ensurePlayer())
        throw PlaybackError(op, QStringLiteral("the video engine (libvlc) could not be started."));
    libvlc_media_t *media = libvlc_media_new_location(vlcInstance(), source.mrl().toUtf8().constData());
    if (!media)
        throw PlaybackError(op, QStringLiteral("the disc cannot be opened."));
    libvlc_media_add_option(media, kCachingOption);
    libvlc_media_player_set_media(m_player, media);
    libvlc_media_release(media);

    m_source = source;
    m_facts = std::move(facts);
    m_titleLengths.clear();
    m_chapterOffsets.clear();
    m_title = -1;
    m_expectTitleChange = false;
    m_rate = 1.0;
    m_paused = false;
    m_appliedMuteTitle = -1;
    if (m_sink) {
        m_sink->clear();
        m_sink->setRate(1.0);
    }
    m_pending.store(0);
    libvlc_media_player_set_rate(m_player, 1.0f);
    m_clock.restart(1.0, 0);
    if (libvlc_media_player_play(m_player) != 0)
        throw PlaybackError(op, QStringLiteral("the disc cannot be played."));
    m_loaded = true;
    applyMute();
}

void VlcPlaybackControl::Pause()
{
    requireLoaded(QStringLiteral("Pause"));
    endScan(false);
    libvlc_media_player_set_pause(m_player, 1);
    m_paused = true;
    m_clock.freeze(m_muxLeadMs);
}

void VlcPlaybackControl::Resume()
{
    requireLoaded(QStringLiteral("Resume"));
    if (m_scanning) {
        endScan(true);
        return;
    }
    unpause();
}

void VlcPlaybackControl::unpause()
{
    if (!releaseStill(true))
        m_clock.resume(m_rate, m_muxLeadMs);
    libvlc_media_player_set_pause(m_player, 0);
    m_paused = false;
    if (m_sink)
        m_sink->restartCounting();
}

void VlcPlaybackControl::Stop()
{
    requireLoaded(QStringLiteral("Stop"));
    unload();
}

void VlcPlaybackControl::setRate(double rate)
{
    libvlc_media_player_set_rate(m_player, float(rate));
    m_rate = rate;
    if (m_sink)
        m_sink->setRate(rate);
    if (!m_paused)
        m_clock.resume(rate, m_muxLeadMs);
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
    m_scanSpeed = s;
    if (m_scanning)
        return;
    // libvlc cannot play backwards: it holds its picture while the scan's own
    // pictures (see TitleStills.h) are shown over it.
    m_scanStartMs = positionMs().value_or(0);
    m_scanTargetMs = double(m_scanStartMs);
    m_scanTitle = title;
    libvlc_media_player_set_pause(m_player, 1);
    setRate(1.0);
    m_clock.freeze(m_muxLeadMs);
    m_paused = false;
    ensureScanWorker();
    m_stillHideTimer.stop();
    m_scanning = true;
    m_scanClock.start();
    m_scanTimer.start();
    scanStep();
}

void VlcPlaybackControl::ensureScanWorker()
{
    if (m_scanWorker || !m_source)
        return;
    m_scanWorker = std::make_unique<ScanWorker>(m_source->path);
    connect(m_scanWorker.get(), &ScanWorker::pictureReady, this, &VlcPlaybackControl::showScanPicture);
    connect(m_scanWorker.get(), &ScanWorker::landingPicturesReady, this,
            [this](const KnownPictures &pictures, int title) {
                if (m_sink && m_loaded && title == m_title)
                    m_sink->expectOneOf(pictures);
                else if (!m_sink && m_loaded && title == m_title && !pictures.empty())
                    m_clock.landsAt(pictures.front().second); // mostly the next GOP
                endLandingWait();
            });
    connect(m_scanWorker.get(), &ScanWorker::muxLeadReady, this, [this](qint64 ms, int title) {
        if (m_loaded && title == m_title)
            m_muxLeadMs = ms;
    });
}

void VlcPlaybackControl::scanStep()
{
    if (!m_scanning || !m_player)
        return;
    const double elapsed = double(m_scanClock.restart());
    m_scanTargetMs -= elapsed * m_scanSpeed;
    if (m_scanTargetMs <= 0.0) {
        // The title's start: play it from its first chapter at normal speed. libvlc
        // held its picture, so no older pictures are queued: the anchor holds for the
        // next one at once (libvlc sends no chapter event when the chapter stays the same).
        m_scanning = false;
        m_scanTimer.stop();
        releaseStill(false);
        libvlc_media_player_set_pause(m_player, 0);
        jumpTo(m_scanTitle, 0, true);
        return;
    }
    if (m_scanWorker) {
        const QSize size = m_surface ? m_surface->size() : QSize();
        m_scanWorker->request(m_scanTitle, std::int64_t(m_scanTargetMs), size);
    }
}

void VlcPlaybackControl::showScanPicture(const QImage &picture, qint64 ms, int title)
{
    if (!m_scanning || title != m_scanTitle)
        return; // asked for before the scan ended
    m_stillMs = ms;
    if (m_surface) {
        m_surface->showStill(picture);
        return;
    }
    m_still = picture;
    showNewPicture();
}

bool VlcPlaybackControl::releaseStill(bool seek)
{
    if (!m_stillMs)
        return false;
    const std::int64_t ms = *m_stillMs;
    m_stillMs.reset();
    if (seek) {
        libvlc_media_player_set_time(m_player, ms);
        m_clock.restart(m_rate, ms, ms);
        // libvlc lands on a GOP start after ms: the worker tells which ones may be it.
        if (m_scanWorker)
            m_scanWorker->requestLandingPictures(m_scanTitle, ms);
        if (m_sink) {
            m_sink->setShownPosition(ms);
            m_sink->anchor(ms);
            if (m_scanWorker) {
                // libvlc shows where it landed within ~10 ms, the answer takes a few
                // tens: until it comes the scan's picture stays, with its own time.
                m_awaitingLanding = true;
                m_heldMs = ms;
                m_landingTimeout.start();
            }
        } else {
            // The scan's picture stays over libvlc's for a while, and its time with it.
            m_clock.holdUntilReleased();
        }
    }
    if (m_sink)
        m_stillUntilPicture = m_sink->newPictureCount();
    else
        m_stillHideTimer.start();
    return seek;
}

void VlcPlaybackControl::endLandingWait()
{
    if (!m_awaitingLanding)
        return;
    m_awaitingLanding = false;
    m_landingTimeout.stop();
    showNewPicture();
}

void VlcPlaybackControl::showNewPicture()
{
    update();
    if (m_fullScreen)
        m_fullScreen->update();
    emit pictureShown();
}

void VlcPlaybackControl::endScan(bool playOn)
{
    if (!m_scanning)
        return;
    m_scanning = false;
    m_scanTimer.stop();
    // Stopped scanning, libvlc stays paused and the scan's picture on screen.
    m_paused = true;
    if (playOn && m_player)
        unpause();
}

void VlcPlaybackControl::jumpTo(int title, int chapter, bool armed)
{
    const std::optional<std::int64_t> shownBefore = positionMs();
    releaseStill(false);
    const int current = libvlc_media_player_get_title(m_player);
    if (title != current) {
        m_expectTitleChange = true;
        libvlc_media_player_set_title(m_player, title);
        if (chapter > 0)
            libvlc_media_player_set_chapter(m_player, chapter);
    } else {
        libvlc_media_player_set_chapter(m_player, chapter);
    }
    if (m_sink)
        m_sink->anchor(chapterOffset(title, chapter), armed);
    m_clock.restart(m_rate, chapterOffset(title, chapter), shownBefore);
    if (m_paused) {
        libvlc_media_player_set_pause(m_player, 0);
        m_paused = false;
    }
}

void VlcPlaybackControl::PlayNextChapter()
{
    const QString op = QStringLiteral("PlayNextChapter");
    const int title = requireTitle(op);
    endScan(false);
    const int chapter = libvlc_media_player_get_chapter(m_player);
    const int chapters = libvlc_media_player_get_chapter_count(m_player);
    const int titles = libvlc_media_player_get_title_count(m_player); // includes the menu, title 0
    if (chapter + 1 < chapters)
        jumpTo(title, chapter + 1);
    else if (title + 1 < titles)
        jumpTo(title + 1, 0); // the last chapter goes on to the next title
    else if (m_paused)
        unpause();
}

void VlcPlaybackControl::PlayPrevChapter()
{
    const QString op = QStringLiteral("PlayPrevChapter");
    const int title = requireTitle(op);
    endScan(false);
    const int chapter = std::max(0, libvlc_media_player_get_chapter(m_player));
    const std::int64_t into = positionMs().value_or(0) - chapterOffset(title, chapter);
    // Like a DVD remote: more than 3 s into a chapter goes back to its start.
    jumpTo(title, (into > 3000 || chapter == 0) ? chapter : chapter - 1);
}

void VlcPlaybackControl::Eject()
{
    const QString op = QStringLiteral("Eject");
    std::optional<disc::Source> source;
    if (m_loaded && m_source) {
        source = m_source;
    } else if (!m_argument.isEmpty()) {
        source = disc::sourceFromArgument(m_argument);
    } else {
        const QStringList drives = disc::opticalDrives();
        if (!drives.isEmpty())
            source = disc::Source{disc::SourceKind::Drive, drives.first()};
    }
    if (m_loaded)
        unload(); // closes the disc, which releases the drive
    if (!source)
        throw PlaybackError(op, QStringLiteral("there is no disc drive."));
    if (source->kind == disc::SourceKind::Drive) {
        reaper::waitForAll(); // the drive is free only once the player has let go of it
        disc::ejectDrive(source->path);
    }
}

// ---- reads ----------------------------------------------------------------------

std::optional<std::int64_t> VlcPlaybackControl::positionMs() const
{
    if (!m_loaded || !m_player)
        return std::nullopt;
    if (m_stillMs || m_scanning)
        return m_stillMs.value_or(m_scanStartMs);
    if (m_awaitingLanding)
        return m_heldMs;
    const std::int64_t engine = libvlc_media_player_get_time(m_player);
    if (m_sink) {
        if (auto shown = m_sink->displayedPosition()) {
            // A safety net for pictures the count could not see (identical
            // pictures): the picture on screen is never far behind libvlc's reading.
            // libvlc reads up to ~3 s ahead right after a seek, hence the wide margin.
            if (engine > 0 && *shown < engine - 6000)
                return std::max<std::int64_t>(0, engine - kEmbeddedLeadMs);
            return *shown;
        }
        return 0;
    }
    if (const auto shown = m_clock.positionMs(m_muxLeadMs))
        return std::max<std::int64_t>(0, *shown);
    // libvlc has not reported a time since the last seek.
    return std::max<std::int64_t>(0, engine - std::int64_t(kEmbeddedLeadMs * std::min(m_rate, 1.0)));
}

std::uint64_t VlcPlaybackControl::picturesShown() const { return m_sink ? m_sink->newPictureCount() : 0; }

QImage VlcPlaybackControl::lastFrame() const
{
    if (!m_sink)
        return {};
    if (!m_still.isNull() && (m_stillMs || m_awaitingLanding || m_sink->newPictureCount() == m_stillUntilPicture))
        return m_still;
    return m_sink->lastFrame();
}

QWidget *VlcPlaybackControl::fullScreenWindow() const { return m_fullScreen.data(); }

Variant VlcPlaybackControl::CurrentTitle() { return Variant::fromInt32(requireTitle(QStringLiteral("CurrentTitle"))); }

Variant VlcPlaybackControl::CurrentChapter()
{
    const int title = requireTitle(QStringLiteral("CurrentChapter"));
    if (m_stillMs || m_scanning) {
        // libvlc stands where the scan began: the chapter is that of the scan's picture.
        const std::int64_t at = m_stillMs.value_or(m_scanStartMs);
        const int chapters = libvlc_media_player_get_chapter_count(m_player);
        int chapter = 0;
        while (chapter + 1 < chapters && chapterOffset(title, chapter + 1) <= at)
            ++chapter;
        return Variant::fromInt32(chapter + 1);
    }
    return Variant::fromInt32(std::max(0, libvlc_media_player_get_chapter(m_player)) + 1);
}

Variant VlcPlaybackControl::CurrentTime()
{
    const int title = requireTitle(QStringLiteral("CurrentTime"));
    std::int64_t pos = positionMs().value_or(0);
    const std::int64_t length = titleLength(title);
    if (length > 0)
        pos = std::min(pos, length);
    return Variant::fromString(formatTimecode(pos, m_fps));
}

Variant VlcPlaybackControl::TotalTitleTime()
{
    const int title = requireTitle(QStringLiteral("TotalTitleTime"));
    return Variant::fromString(formatTimecode(titleLength(title), m_fps));
}

Variant VlcPlaybackControl::DVDDirectory()
{
    const QString op = QStringLiteral("DVDDirectory");
    const disc::Source source = discSource(op);
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

QStringList VlcPlaybackControl::subpictureCodes(const QString &operation) const
{
    const int title = requireTitle(operation);
    const disc::TitleFacts *facts = titleFacts(title);
    return facts ? facts->subpictureLanguageCodes : QStringList();
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
    return Variant::fromInt32(m_subpictureStream);
}

void VlcPlaybackControl::setCurrentSubpictureStream(const Variant &n)
{
    const QString op = QStringLiteral("CurrentSubpictureStream");
    const QStringList codes = subpictureCodes(op);
    const int stream = n.toInt32();
    if (stream < 1 || stream > codes.size())
        throw PlaybackError(op, QStringLiteral("there is no subtitle stream %1.").arg(stream));
    m_subpictureStream = stream;
    applySubpicture();
}

Variant VlcPlaybackControl::SubpictureOn() { return Variant::fromBool(m_subpictureOn); }

void VlcPlaybackControl::setSubpictureOn(const Variant &on)
{
    m_subpictureOn = on.toBool();
    applySubpicture();
}

void VlcPlaybackControl::setMute(const Variant &on)
{
    m_muted = on.toBool();
    applyMute();
}

void VlcPlaybackControl::applyMute()
{
    if (!m_player || !m_loaded)
        return;
    libvlc_audio_set_mute(m_player, m_muted ? 1 : 0);
    m_appliedMute = m_muted;
    m_appliedMuteTitle = libvlc_media_player_get_title(m_player);
}

void VlcPlaybackControl::applySubpicture()
{
    if (!m_player || !m_loaded)
        return;
    // In a menu the button highlight is a subpicture track: leave it alone there.
    const int title = libvlc_media_player_get_title(m_player);
    if (title < 1)
        return;
    // A stream is shown by the sub-stream the title gives it for our display
    // mode; a 16:9 disc may keep a letterbox variant of another stream at n - 1.
    int id = m_subpictureStream - 1;
    if (const disc::TitleFacts *facts = titleFacts(title);
        facts && m_subpictureStream <= int(facts->subpictureStreamIds.size()))
        id = facts->subpictureStreamIds[std::size_t(m_subpictureStream - 1)];
    libvlc_video_set_spu(m_player, m_subpictureOn && id >= 0 ? kFirstSubpictureId + id : -1);
}

// ---- disc structure -------------------------------------------------------------

void VlcPlaybackControl::readDescriptions()
{
    if (!m_player)
        return;
    libvlc_title_description_t **titles = nullptr;
    const int count = libvlc_media_player_get_full_title_descriptions(m_player, &titles);
    if (count > 0) {
        m_titleLengths.assign(std::size_t(count), 0);
        for (int i = 0; i < count; ++i)
            m_titleLengths[std::size_t(i)] = titles[i]->i_duration;
        libvlc_title_descriptions_release(titles, unsigned(count));
    }
}

std::int64_t VlcPlaybackControl::titleLength(int title)
{
    if (title >= 0 && title < int(m_titleLengths.size()) && m_titleLengths[std::size_t(title)] > 0)
        return m_titleLengths[std::size_t(title)];
    return m_player ? std::max<std::int64_t>(0, libvlc_media_player_get_length(m_player)) : 0;
}

std::int64_t VlcPlaybackControl::chapterOffset(int title, int chapter)
{
    auto it = m_chapterOffsets.find(title);
    if (it == m_chapterOffsets.end() || it->second.empty()) {
        std::vector<std::int64_t> offsets;
        libvlc_chapter_description_t **chapters = nullptr;
        const int count = libvlc_media_player_get_full_chapter_descriptions(m_player, title, &chapters);
        for (int i = 0; i < count; ++i)
            offsets.push_back(chapters[i]->i_time_offset);
        if (count > 0)
            libvlc_chapter_descriptions_release(chapters, unsigned(count));
        it = m_chapterOffsets.insert_or_assign(title, std::move(offsets)).first;
    }
    if (chapter >= 0 && chapter < int(it->second.size()))
        return it->second[std::size_t(chapter)];
    return 0;
}

void VlcPlaybackControl::updateAspect()
{
    unsigned w = 0, h = 0;
    if (libvlc_video_get_size(m_player, 0, &w, &h) != 0 || w == 0 || h == 0)
        return;
    double aspect = double(w) / h;
    if (libvlc_media_t *media = libvlc_media_player_get_media(m_player)) {
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

// ---- widget ---------------------------------------------------------------------

void VlcPlaybackControl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintPicture(painter, rect(), (m_sink && m_loaded && !m_fullScreen) ? lastFrame() : QImage(), m_aspect);
}

void VlcPlaybackControl::showEvent(QShowEvent *event)
{
    PlaybackControl::showEvent(event);
    updateFramesWanted();
}

void VlcPlaybackControl::hideEvent(QHideEvent *event)
{
    PlaybackControl::hideEvent(event);
    updateFramesWanted();
}

void VlcPlaybackControl::connectNotify(const QMetaMethod &signal)
{
    PlaybackControl::connectNotify(signal);
    updateFramesWanted();
}

void VlcPlaybackControl::disconnectNotify(const QMetaMethod &signal)
{
    PlaybackControl::disconnectNotify(signal);
    updateFramesWanted();
}

void VlcPlaybackControl::updateFramesWanted()
{
    m_framesWanted = isVisible() || m_fullScreen
                     || isSignalConnected(QMetaMethod::fromSignal(&VlcPlaybackControl::pictureShown));
}

void VlcPlaybackControl::resizeEvent(QResizeEvent *event)
{
    PlaybackControl::resizeEvent(event);
    if (m_surface && !m_fullScreen)
        m_surface->resize(size());
}

bool VlcPlaybackControl::navigateKey(int key)
{
    libvlc_navigate_mode_t mode;
    switch (key) {
    case Qt::Key_Up: mode = libvlc_navigate_up; break;
    case Qt::Key_Down: mode = libvlc_navigate_down; break;
    case Qt::Key_Left: mode = libvlc_navigate_left; break;
    case Qt::Key_Right: mode = libvlc_navigate_right; break;
    case Qt::Key_Return:
    case Qt::Key_Enter: mode = libvlc_navigate_activate; break;
    default: return false;
    }
    if (m_loaded && m_player)
        libvlc_media_player_navigate(m_player, unsigned(mode));
    return true;
}

void VlcPlaybackControl::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && m_fullScreen) {
        leaveFullScreen();
        return;
    }
    if (navigateKey(event->key()))
        return;
    PlaybackControl::keyPressEvent(event);
}

void VlcPlaybackControl::mouseDoubleClickEvent(QMouseEvent *) { toggleFullScreen(); }

void VlcPlaybackControl::setFullScreenMode(const Variant &on)
{
    if (on.toBool())
        enterFullScreen();
    else
        leaveFullScreen();
}

void VlcPlaybackControl::toggleFullScreen()
{
    if (m_fullScreen)
        leaveFullScreen();
    else
        enterFullScreen();
}

void VlcPlaybackControl::enterFullScreen()
{
    if (m_fullScreen)
        return;
    std::function<QImage()> picture;
    if (!m_surface)
        picture = [this] { return m_loaded ? lastFrame() : QImage(); };
    auto *window = new FullScreenWindow(std::move(picture), [this] { return m_aspect; },
                                        [this](int key) { return navigateKey(key); });
    m_fullScreen = window;
    connect(window, &FullScreenWindow::leaveRequested, this, &VlcPlaybackControl::leaveFullScreen,
            Qt::QueuedConnection);
    QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (screen)
        window->setGeometry(screen->geometry());
    updateFramesWanted();
    window->showFullScreen();
    window->raise();
    window->activateWindow();
    window->setFocus();
    if (m_surface) {
        m_surface->reparent(window->winId(), window->size());
        connect(window, &FullScreenWindow::resized, this, [this] {
            if (m_surface && m_fullScreen)
                m_surface->resize(m_fullScreen->size());
        });
    }
    update();
}

void VlcPlaybackControl::leaveFullScreen()
{
    if (!m_fullScreen)
        return;
    FullScreenWindow *window = m_fullScreen.data();
    m_fullScreen = nullptr;
    updateFramesWanted();
    if (m_surface)
        m_surface->reparent(winId(), size());
    window->hide();
    window->deleteLater();
    if (QWidget *top = this->window()) {
        top->raise();
        top->activateWindow();
    }
    setFocus();
    update();
}

} // namespace playback::engine
