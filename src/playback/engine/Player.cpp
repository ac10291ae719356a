#include "playback/engine/Player.h"

#include "playback/engine/Display.h"
#include "playback/engine/TitleStream.h"
#include "playback/engine/VlcInstance.h"

#include <QCoreApplication>
#include <QEvent>

#include <vlc/vlc.h>

namespace playback::engine {

namespace {

const QEvent::Type kPlayerEvent = QEvent::Type(QEvent::registerEventType());

// Picture cache small enough that a seek shows its picture at once and the display
// follows the position (the default 300 ms leaves seeks ~0.7 s late).
constexpr char kCachingOption[] = ":disc-caching=50";

const libvlc_event_type_t kEvents[] = {
    libvlc_MediaPlayerPlaying,        libvlc_MediaPlayerPaused,           libvlc_MediaPlayerStopped,
    libvlc_MediaPlayerEndReached,     libvlc_MediaPlayerEncounteredError, libvlc_MediaPlayerTitleChanged,
    libvlc_MediaPlayerChapterChanged, libvlc_MediaPlayerLengthChanged,    libvlc_MediaPlayerESAdded,
    libvlc_MediaPlayerESSelected,     libvlc_MediaPlayerVout,
};

} // namespace

std::unique_ptr<Player> Player::create(Display &display)
{
    libvlc_instance_t *instance = vlcInstance();
    libvlc_media_player_t *player = instance ? libvlc_media_player_new(instance) : nullptr;
    if (!player)
        return nullptr;
    // Keys reach the widget through Qt; libvlc's own hot keys would fight them.
    libvlc_video_set_key_input(player, false);
    // With no sound device libvlc would try to open one for every audio frame (about
    // 30 times a second, a third of its CPU time and an error each time on stderr).
    // Every Play from stopped makes a new player, so a device plugged in later is used.
    if (!soundOutputAvailable())
        libvlc_audio_output_set(player, "adummy");
    if (!display.attach(player)) {
        libvlc_media_player_release(player);
        return nullptr;
    }
    return std::unique_ptr<Player>(new Player(player, display));
}

Player::Player(libvlc_media_player_t *player, Display &display) : m_player(player), m_display(display)
{
    libvlc_event_manager_t *events = libvlc_media_player_event_manager(m_player);
    for (auto type : kEvents)
        libvlc_event_attach(events, type, &Player::onEvent, this);
    // Fifty a second: only for an estimate that wants them.
    if (m_display.estimate().wantsTimes())
        libvlc_event_attach(events, libvlc_MediaPlayerTimeChanged, &Player::onEvent, this);
}

Player::~Player()
{
    libvlc_event_manager_t *events = libvlc_media_player_event_manager(m_player);
    for (auto type : kEvents)
        libvlc_event_detach(events, type, &Player::onEvent, this);
    if (m_display.estimate().wantsTimes())
        libvlc_event_detach(events, libvlc_MediaPlayerTimeChanged, &Player::onEvent, this);
    m_display.retire(m_player, std::move(m_title));
}

bool Player::open(const QString &mrl, int firstTitle, int firstChapter)
{
    // "#title:chapter" starts there; else the disc starts as a DVD player starts
    // it, by its first-play program (a warning, a logo, the registers its menus
    // use). libvlc's menu option would open the root menu instead, skipping it.
    const bool section = firstTitle > 1 || firstChapter > 0;
    const QString location = section ? mrl + QStringLiteral("#%1:%2").arg(firstTitle).arg(firstChapter + 1) : mrl;
    libvlc_media_t *media = libvlc_media_new_location(vlcInstance(), location.toUtf8().constData());
    if (!media)
        return false;
    libvlc_media_add_option(media, kCachingOption);
    libvlc_media_add_option(media, ":no-dvdnav-menu");
    libvlc_media_player_set_media(m_player, media);
    libvlc_media_release(media);
    return true;
}

bool Player::open(std::shared_ptr<TitleStream> title, int chapter)
{
    libvlc_media_t *media = title->newMedia(vlcInstance());
    if (!media)
        return false;
    if (const std::int64_t startMs = title->layout().chapterStartMs(chapter); startMs > 0)
        libvlc_media_add_option(media, QStringLiteral(":start-time=%1").arg(double(startMs) / 1000.0).toUtf8().constData());
    m_title = std::move(title);
    libvlc_media_player_set_media(m_player, media);
    libvlc_media_release(media);
    return true;
}

bool Player::play()
{
    libvlc_media_player_set_rate(m_player, 1.0f);
    return libvlc_media_player_play(m_player) == 0;
}

void Player::setPaused(bool paused) { libvlc_media_player_set_pause(m_player, paused ? 1 : 0); }

void Player::seekTo(std::int64_t ms)
{
    if (m_title)
        libvlc_media_player_set_position(m_player, float(m_title->positionAt(ms)));
    else
        libvlc_media_player_set_time(m_player, ms);
}

bool Player::isMenuKey(int qtKey)
{
    return qtKey == Qt::Key_Up || qtKey == Qt::Key_Down || qtKey == Qt::Key_Left || qtKey == Qt::Key_Right
           || qtKey == Qt::Key_Return || qtKey == Qt::Key_Enter;
}

void Player::navigate(int qtKey)
{
    libvlc_navigate_mode_t mode = libvlc_navigate_activate;
    switch (qtKey) {
    case Qt::Key_Up: mode = libvlc_navigate_up; break;
    case Qt::Key_Down: mode = libvlc_navigate_down; break;
    case Qt::Key_Left: mode = libvlc_navigate_left; break;
    case Qt::Key_Right: mode = libvlc_navigate_right; break;
    default: break;
    }
    libvlc_media_player_navigate(m_player, unsigned(mode));
}

void Player::onEvent(const libvlc_event_t *event, void *data)
{
    auto *self = static_cast<Player *>(data);
    switch (event->type) {
    case libvlc_MediaPlayerPlaying: self->raise(Playing); break;
    case libvlc_MediaPlayerPaused: self->raise(Paused); break;
    case libvlc_MediaPlayerStopped: self->raise(Stopped); break;
    case libvlc_MediaPlayerEndReached: self->raise(Ended); break;
    case libvlc_MediaPlayerEncounteredError: self->raise(Error); break;
    case libvlc_MediaPlayerTitleChanged:
    case libvlc_MediaPlayerChapterChanged:
        self->m_display.estimate().libvlcJumped();
        self->raise(event->type == libvlc_MediaPlayerTitleChanged ? Title : Chapter);
        break;
    case libvlc_MediaPlayerLengthChanged: self->raise(Length); break;
    case libvlc_MediaPlayerESAdded:
    case libvlc_MediaPlayerESSelected: self->raise(Streams); break;
    case libvlc_MediaPlayerVout: self->raise(Vout); break;
    case libvlc_MediaPlayerTimeChanged:
        self->m_display.estimate().libvlcTime(event->u.media_player_time_changed.new_time);
        break;
    default: break;
    }
}

void Player::raise(unsigned bits)
{
    // One posted event carries everything raised until the GUI thread gets to it.
    if (m_pending.fetch_or(bits) == 0)
        QCoreApplication::postEvent(this, new QEvent(kPlayerEvent));
}

bool Player::event(QEvent *event)
{
    if (event->type() == kPlayerEvent) {
        if (const unsigned bits = m_pending.exchange(0))
            emit events(bits);
        return true;
    }
    return QObject::event(event);
}

} // namespace playback::engine
