// The control window on the desktop's media controls: it tells them what its
// panel shows, once a handler is done with it (every status tick, an icon shown
// or hidden, a speed stepped, a modal box opened or closed), and carries out
// their commands with its own buttons, so that the panel, its icons and the
// Pause/Continue tooltip stay what a click would have made them.

#include "windows/control/Form2.h"

#include "app/Errors.h"
#include "desktop/MediaPlayer2.h"
#include "desktop/PlayerState.h"
#include "playback/PlaybackControl.h"
#include "windows/video/dvdw.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QPointer>
#include <QTimer>

namespace {

// As a person would: a modal box first, and once its own loop has returned, the
// control window, which unloads the video window and the media controls; then
// any dialog left open, so that the program ends.
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

void press(QAbstractButton *button) { QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection); }

} // namespace

void Form2::offerToDesktop()
{
    m_playerState = new desktop::PlayerState(this);
    m_playerState->setPositionReader([] {
        const std::optional<playback::PlaybackControl::TitlePosition> at = dvd().titlePosition();
        return at ? qlonglong(at->ms) * 1000 : 0;
    });
    m_playerState->setState(mediaState());
    connect(m_playerState, &desktop::PlayerState::commanded, this, &Form2::mediaCommand);
    m_mediaControls = new desktop::MediaPlayer2(*m_playerState, this);
    connect(Timer1, &QTimer::timeout, this, &Form2::updateMediaStateSoon);
    // The speed changes without an icon changing (x2 to x4).
    for (QAbstractButton *trick : {Command11, Command12})
        connect(trick, &QAbstractButton::clicked, this, &Form2::updateMediaStateSoon);
    for (QLabel *icon : {Image12, Image13, Image14, Image15, Image16})
        icon->installEventFilter(this);
    installEventFilter(this);
}

bool Form2::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::ShowToParent: // a status icon
    case QEvent::HideToParent:
    case QEvent::WindowBlocked: // this window, under a modal box
    case QEvent::WindowUnblocked:
        updateMediaStateSoon();
        break;
    default:
        break;
    }
    return app::Form::eventFilter(watched, event);
}

// A handler shows one icon after hiding the others: the panel is read once it is done.
void Form2::updateMediaStateSoon()
{
    if (m_mediaStateQueued || !m_playerState)
        return;
    m_mediaStateQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_mediaStateQueued = false;
        if (m_playerState)
            m_playerState->setState(mediaState());
    });
}

desktop::MediaState Form2::mediaState()
{
    desktop::MediaState s;
    s.blocked = QApplication::activeModalWidget() != nullptr;
    if (!Image14->isHidden())
        return s;
    s.playbackStatus = Image13->isHidden() ? QStringLiteral("Playing") : QStringLiteral("Paused");
    const bool reverse = !Image16->isHidden();
    if (reverse || !Image15->isHidden()) {
        bool ok = false;
        const double speed = Speed->text().mid(1).toDouble(&ok); // "x4"
        if (ok && speed > 0)
            s.rate = reverse ? -speed : speed;
    }
    if (const auto at = dvd().titlePosition()) {
        s.positionUs = at->ms * 1000;
        s.lengthUs = at->lengthMs * 1000;
    }
    // The control answers these from its status; they fail when no title plays.
    // The volume name changes only with the disc, which is not changed while a title plays.
    const desktop::MediaState &before = m_playerState ? m_playerState->state() : s;
    try {
        s.title = dvd().CurrentTitle().toInt32();
        s.chapter = dvd().CurrentChapter().toInt32();
        s.album = before.title > 0 ? before.album : dvd().VolumeName().toString();
    } catch (const app::AppError &) {
    }
    return s;
}

void Form2::mediaCommand(desktop::MediaCommand command)
{
    const bool stopped = !Image14->isHidden();
    switch (command) {
    case desktop::MediaCommand::Play: press(Command1); break;
    case desktop::MediaCommand::Pause:
        if (!stopped && Command2->toolTip() == QLatin1String("Pause"))
            press(Command2);
        break;
    case desktop::MediaCommand::PlayPause: press(stopped ? Command1 : Command2); break;
    case desktop::MediaCommand::Stop: press(Command5); break;
    case desktop::MediaCommand::Next: press(Command3); break;
    case desktop::MediaCommand::Previous: press(Command4); break;
    case desktop::MediaCommand::Raise:
        Show();
        activateWindow();
        if (QWidget *modal = QApplication::activeModalWidget()) {
            modal->raise();
            modal->activateWindow();
        }
        break;
    case desktop::MediaCommand::Quit:
        QMetaObject::invokeMethod(qApp, [control = QPointer<QWidget>(this)] { closeWindows(control); },
                                  Qt::QueuedConnection);
        break;
    }
}
