#include "desktop/MediaPlayer2.h"

#include "app/Errors.h"
#include "playback/PlaybackControl.h"
#include "windows/control/Form2.h"
#include "windows/video/dvdw.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QEvent>
#include <QLabel>
#include <QTimer>

namespace desktop {

namespace {

const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
constexpr double kFastestScan = 8.0;

// "HH:MM:SS" fields as the panel shows them, in microseconds; 0 for anything else.
qlonglong microseconds(const QString &hours, const QString &minutes, const QString &seconds)
{
    bool okH = false, okM = false, okS = false;
    const qlonglong s = hours.toLongLong(&okH) * 3600 + minutes.toLongLong(&okM) * 60 + seconds.toLongLong(&okS);
    return okH && okM && okS && s >= 0 ? s * 1000000 : 0;
}

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
    void Raise() { m_player->raise(); }
    void Quit() { m_player->quit(); }

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
    Q_PROPERTY(bool CanGoNext READ titlePlays)
    Q_PROPERTY(bool CanGoPrevious READ titlePlays)
    Q_PROPERTY(bool CanPlay READ yes)
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
    qlonglong position() const { return m_player->state().positionUs; }
    bool titlePlays() const { return m_player->state().title > 0; }
    bool canPause() const { return m_player->state().playbackStatus != QLatin1String("Stopped"); }
    bool yes() const { return true; }
    bool no() const { return false; }

public slots:
    void Play() { m_player->play(); }
    void Pause() { m_player->pause(); }
    void PlayPause() { m_player->playPause(); }
    void Stop() { m_player->stop(); }
    void Next() { m_player->next(); }
    void Previous() { m_player->previous(); }
    // The control has no seeking; CanSeek tells callers so and these do nothing.
    void Seek(qlonglong) {}
    void SetPosition(const QDBusObjectPath &, qlonglong) {}

signals:
    void Seeked(qlonglong position);

private:
    MediaPlayer2 *m_player;
};

} // namespace

QVariantMap MediaState::metadata() const
{
    if (title < 1)
        return {{QStringLiteral("mpris:trackid"),
                 QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack")))}};
    QVariantMap m;
    m[QStringLiteral("mpris:trackid")] =
        QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/orvanta/title/%1").arg(title)));
    m[QStringLiteral("mpris:length")] = lengthUs;
    m[QStringLiteral("xesam:title")] = QStringLiteral("Title %1 \u00b7 Chapter %2").arg(title).arg(chapter);
    if (!album.isEmpty())
        m[QStringLiteral("xesam:album")] = album;
    return m;
}

MediaPlayer2::MediaPlayer2(Form2 &window) : QObject(&window), m_window(window)
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
    m_state = readPanel();
    connect(window.Timer1, &QTimer::timeout, this, &MediaPlayer2::refreshSoon);
    for (QLabel *icon : {window.Image12, window.Image13, window.Image14, window.Image15, window.Image16})
        icon->installEventFilter(this);
}

MediaPlayer2::~MediaPlayer2()
{
    if (m_service.isEmpty())
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(m_service);
    bus.unregisterObject(kPath);
}

bool MediaPlayer2::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent)
        refreshSoon();
    return QObject::eventFilter(watched, event);
}

// A handler shows one icon after hiding the others: the panel is read once it is done.
void MediaPlayer2::refreshSoon()
{
    if (m_refreshQueued)
        return;
    m_refreshQueued = true;
    QTimer::singleShot(0, this, &MediaPlayer2::refresh);
}

void MediaPlayer2::refresh()
{
    m_refreshQueued = false;
    const MediaState now = readPanel();
    const MediaState before = std::exchange(m_state, now);
    QVariantMap changed;
    if (now.playbackStatus != before.playbackStatus) {
        changed[QStringLiteral("PlaybackStatus")] = now.playbackStatus;
        changed[QStringLiteral("CanPause")] = now.playbackStatus != QLatin1String("Stopped");
    }
    if (now.title != before.title)
        changed[QStringLiteral("CanGoNext")] = changed[QStringLiteral("CanGoPrevious")] = now.title > 0;
    if (now.rate != before.rate)
        changed[QStringLiteral("Rate")] = now.rate;
    if (now.metadata() != before.metadata())
        changed[QStringLiteral("Metadata")] = now.metadata();
    if (changed.isEmpty())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << kPlayerInterface << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

MediaState MediaPlayer2::readPanel() const
{
    MediaState s;
    if (!m_window.Image14->isHidden())
        return s;
    s.playbackStatus = m_window.Image13->isHidden() ? QStringLiteral("Playing") : QStringLiteral("Paused");
    const bool reverse = !m_window.Image16->isHidden();
    if (reverse || !m_window.Image15->isHidden()) {
        bool ok = false;
        const double speed = m_window.Speed->text().mid(1).toDouble(&ok); // "x4"
        if (ok && speed > 0)
            s.rate = reverse ? -speed : speed;
    }
    s.positionUs = microseconds(m_window.Label1[0]->text(), m_window.Label1[1]->text(), m_window.Label1[2]->text());
    const QString total = m_window.Label3->text(); // "HH:MM:SS"
    s.lengthUs = microseconds(total.mid(0, 2), total.mid(3, 2), total.mid(6, 2));
    // The control answers these from its status; they fail when no title plays.
    // The volume name changes only with the disc, which is not changed while a title plays.
    try {
        s.title = dvd().CurrentTitle().toInt32();
        s.chapter = dvd().CurrentChapter().toInt32();
        s.album = m_state.title > 0 ? m_state.album : dvd().VolumeName().toString();
    } catch (const app::AppError &) {
    }
    return s;
}

void MediaPlayer2::press(QAbstractButton *button)
{
    QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
}

void MediaPlayer2::play() { press(m_window.Command1); }

void MediaPlayer2::pause()
{
    if (m_window.Image14->isHidden() && m_window.Command2->toolTip() == QLatin1String("Pause"))
        press(m_window.Command2);
}

void MediaPlayer2::playPause() { press(m_window.Image14->isHidden() ? m_window.Command2 : m_window.Command1); }

void MediaPlayer2::stop() { press(m_window.Command5); }

void MediaPlayer2::next() { press(m_window.Command3); }

void MediaPlayer2::previous() { press(m_window.Command4); }

void MediaPlayer2::raise()
{
    m_window.Show();
    m_window.activateWindow();
}

void MediaPlayer2::quit() { QMetaObject::invokeMethod(&m_window, &QWidget::close, Qt::QueuedConnection); }

} // namespace desktop

#include "MediaPlayer2.moc"
