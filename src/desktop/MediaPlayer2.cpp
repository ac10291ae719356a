#include "desktop/MediaPlayer2.h"

#include "app/Errors.h"
#include "app/Form.h"
#include "playback/PlaybackControl.h"
#include "windows/control/Form2.h"
#include "windows/video/dvdw.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QEvent>
#include <QLabel>
#include <QPointer>
#include <QTimer>

namespace desktop {

namespace {

const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
constexpr double kFastestScan = 8.0;
// A position this far from where playing would have taken it since the last
// reading has jumped (the readings come twice a second, and at every change of
// state, speed or modal box).
constexpr qlonglong kJumpUs = 1000000;

// The control window takes no input while a modal box (About, a message) is open.
bool modalBoxOpen() { return QApplication::activeModalWidget() != nullptr; }

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
    m_sinceRead.start();
    connect(window.Timer1, &QTimer::timeout, this, &MediaPlayer2::refreshSoon);
    // The speed changes without an icon changing (x2 to x4).
    for (QAbstractButton *trick : {window.Command11, window.Command12})
        connect(trick, &QAbstractButton::clicked, this, &MediaPlayer2::refreshSoon);
    for (QLabel *icon : {window.Image12, window.Image13, window.Image14, window.Image15, window.Image16})
        icon->installEventFilter(this);
    window.installEventFilter(this);
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
    switch (event->type()) {
    case QEvent::ShowToParent: // a status icon
    case QEvent::HideToParent:
    case QEvent::WindowBlocked: // the control window, under a modal box
    case QEvent::WindowUnblocked:
        refreshSoon();
        break;
    default:
        break;
    }
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

qlonglong MediaPlayer2::position() const
{
    const std::optional<playback::PlaybackControl::TitlePosition> at = dvd().titlePosition();
    return at ? at->ms * 1000 : 0;
}

MediaState MediaPlayer2::readPanel() const
{
    MediaState s;
    s.blocked = modalBoxOpen();
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
    if (const auto at = dvd().titlePosition()) {
        s.positionUs = at->ms * 1000;
        s.lengthUs = at->lengthMs * 1000;
    }
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
    if (!modalBoxOpen())
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
    if (QWidget *modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
    }
}

namespace {

// As a person would: a modal box first, and once its own loop has returned, the
// control window, which unloads the video window (and the media controls with
// it); then any dialog left open, so that the program ends.
void closeWindows(const QPointer<QWidget> &control)
{
    if (QWidget *modal = QApplication::activeModalWidget()) {
        modal->close();
        if (QApplication::activeModalWidget() != modal)
            QMetaObject::invokeMethod(qApp, [control] { closeWindows(control); }, Qt::QueuedConnection);
        return;
    }
    if (control)
        control->close();
    app::Forms::unloadAll();
}

} // namespace

void MediaPlayer2::quit()
{
    QMetaObject::invokeMethod(qApp, [control = QPointer<QWidget>(&m_window)] { closeWindows(control); },
                              Qt::QueuedConnection);
}

} // namespace desktop

#include "MediaPlayer2.moc"
