#include "desktop/MediaPlayer2.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>

namespace desktop {

namespace {

const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
constexpr double kFastestScan = 8.0;
// A position this far from where playing would have taken it since the last
// reading has jumped (the player's state comes twice a second, and at every
// change of play state, speed or modal box).
constexpr qlonglong kJumpUs = 1000000;

class RootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ yes)
    Q_PROPERTY(bool CanRaise READ yes)
    Q_PROPERTY(bool HasTrackList READ no)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ uriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ mimeTypes)
public:
    explicit RootAdaptor(MediaPlayer2 *player) : QDBusAbstractAdaptor(player), m_player(player) {}
    bool yes() const { return true; }
    bool no() const { return false; }
    QString identity() const { return QStringLiteral("Orvanta Player"); }
    QString desktopEntry() const { return QStringLiteral("orvanta-player"); }
    // What the command line opens: drives and images as files, VIDEO_TS folders.
    QStringList uriSchemes() const { return {QStringLiteral("file")}; }
    QStringList mimeTypes() const
    {
        return {QStringLiteral("application/x-cd-image"), QStringLiteral("application/x-iso9660-image"),
                QStringLiteral("x-content/video-dvd"), QStringLiteral("inode/directory")};
    }

public slots:
    void Raise() { m_player->command(MediaCommand::Raise); }
    void Quit() { m_player->command(MediaCommand::Quit); }

private:
    MediaPlayer2 *m_player;
};

class PlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ rate)
    Q_PROPERTY(double MinimumRate READ minimumRate)
    Q_PROPERTY(double MaximumRate READ maximumRate)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ canSkip)
    Q_PROPERTY(bool CanGoPrevious READ canSkip)
    Q_PROPERTY(bool CanPlay READ canPlay)
    Q_PROPERTY(bool CanPause READ canPause)
    Q_PROPERTY(bool CanSeek READ no)
    Q_PROPERTY(bool CanControl READ yes)
public:
    explicit PlayerAdaptor(MediaPlayer2 *player) : QDBusAbstractAdaptor(player), m_player(player) {}
    QString playbackStatus() const { return m_player->state().playbackStatus; }
    double rate() const { return m_player->state().rate; }
    double minimumRate() const { return -kFastestScan; }
    double maximumRate() const { return kFastestScan; }
    QVariantMap metadata() const { return m_player->state().metadata(); }
    qlonglong position() const { return m_player->position(); }
    bool canSkip() const { return m_player->state().canSkip(); }
    bool canPlay() const { return !m_player->state().blocked; }
    bool canPause() const { return m_player->state().canPause(); }
    bool yes() const { return true; }
    bool no() const { return false; }

public slots:
    void Play() { m_player->command(MediaCommand::Play); }
    void Pause() { m_player->command(MediaCommand::Pause); }
    void PlayPause() { m_player->command(MediaCommand::PlayPause); }
    void Stop() { m_player->command(MediaCommand::Stop); }
    void Next() { m_player->command(MediaCommand::Next); }
    void Previous() { m_player->command(MediaCommand::Previous); }
    // The control has no seeking; CanSeek tells callers so and these do nothing.
    void Seek(qlonglong) {}
    void SetPosition(const QDBusObjectPath &, qlonglong) {}

signals:
    void Seeked(qlonglong position);

private:
    MediaPlayer2 *m_player;
};

} // namespace

MediaPlayer2::MediaPlayer2(PlayerState &player, QObject *parent) : QObject(parent), m_player(player)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    new RootAdaptor(this);
    new PlayerAdaptor(this);
    if (!bus.registerObject(kPath, this))
        return;
    // A second player takes a name of its own, as MPRIS asks.
    QString name = QStringLiteral("org.mpris.MediaPlayer2.orvanta");
    if (!bus.registerService(name)) {
        name += QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid());
        if (!bus.registerService(name)) {
            bus.unregisterObject(kPath);
            return;
        }
    }
    m_service = name;
    m_state = player.state();
    m_sinceRead.start();
    connect(&player, &PlayerState::changed, this, &MediaPlayer2::refresh);
}

MediaPlayer2::~MediaPlayer2()
{
    if (m_service.isEmpty())
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(m_service);
    bus.unregisterObject(kPath);
}

void MediaPlayer2::refresh()
{
    const MediaState now = m_player.state();
    const MediaState before = std::exchange(m_state, now);
    const bool seeked = jumped(before, now);
    m_sinceRead.start();
    QVariantMap changed;
    if (now.playbackStatus != before.playbackStatus)
        changed[QStringLiteral("PlaybackStatus")] = now.playbackStatus;
    if (now.canPause() != before.canPause())
        changed[QStringLiteral("CanPause")] = now.canPause();
    if (now.blocked != before.blocked)
        changed[QStringLiteral("CanPlay")] = !now.blocked;
    if (now.canSkip() != before.canSkip())
        changed[QStringLiteral("CanGoNext")] = changed[QStringLiteral("CanGoPrevious")] = now.canSkip();
    if (now.rate != before.rate)
        changed[QStringLiteral("Rate")] = now.rate;
    if (now.metadata() != before.metadata())
        changed[QStringLiteral("Metadata")] = now.metadata();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!changed.isEmpty()) {
        QDBusMessage signal = QDBusMessage::createSignal(kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                         QStringLiteral("PropertiesChanged"));
        signal << kPlayerInterface << changed << QStringList();
        bus.send(signal);
    }
    if (seeked)
        bus.send(QDBusMessage::createSignal(kPath, kPlayerInterface, QStringLiteral("Seeked")) << now.positionUs);
}

// A new title starts where it starts; the end of a reverse scan leaves the position
// where the scan's pictures took it. Otherwise a position that moved by more than
// playing at the rate shown would move it has jumped (a chapter skip, say). While
// scanning backwards the pictures come as the disc gives them: nothing is judged.
bool MediaPlayer2::jumped(const MediaState &before, const MediaState &now) const
{
    if (now.title < 1)
        return false;
    if (now.title != before.title || (before.rate < 0 && now.rate >= 0))
        return true;
    if (now.rate < 0)
        return false;
    const double rate = before.playbackStatus == QLatin1String("Playing") ? before.rate : 0.0;
    const qlonglong expected = before.positionUs + qlonglong(double(m_sinceRead.nsecsElapsed()) / 1000 * rate);
    return std::abs(now.positionUs - expected) > kJumpUs;
}

void MediaPlayer2::command(MediaCommand command)
{
    if (!m_player.state().blocked || command == MediaCommand::Raise || command == MediaCommand::Quit)
        m_player.command(command);
}

} // namespace desktop

#include "MediaPlayer2.moc"
