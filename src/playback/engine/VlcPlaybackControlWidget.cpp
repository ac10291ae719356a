// The playback control as a widget: painting the picture (into memory), full
// screen, and the keys and double-clicks it takes. GUI thread.

#include "playback/engine/VlcPlaybackControl.h"

#include "playback/engine/FullScreen.h"
#include "playback/engine/Display.h"
#include "playback/engine/Player.h"

#include <QKeyEvent>
#include <QMetaMethod>
#include <QPainter>

namespace playback::engine {

void VlcPlaybackControl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintPicture(painter, rect(), m_session.loaded && !m_fullScreen->isOn() ? m_display->picture() : QImage(),
                 pictureAspect());
}

double VlcPlaybackControl::pictureAspect()
{
    if (m_session.loaded)
        m_status.readAspect(player());
    return m_status.aspect();
}

void VlcPlaybackControl::showNewPicture()
{
    update();
    m_fullScreen->update();
    emit pictureShown();
}

// Pictures are handed to the GUI thread only while someone looks at them.
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

// Qt may call these with its connection lock held (a receiver's destructor
// does), so they must not ask Qt about connections (isSignalConnected) there.
void VlcPlaybackControl::connectNotify(const QMetaMethod &signal)
{
    PlaybackControl::connectNotify(signal);
    if (signal == QMetaMethod::fromSignal(&VlcPlaybackControl::pictureShown) && m_display)
        m_display->setFramesWanted(true);
}

void VlcPlaybackControl::disconnectNotify(const QMetaMethod &signal)
{
    PlaybackControl::disconnectNotify(signal);
    QMetaObject::invokeMethod(this, &VlcPlaybackControl::updateFramesWanted, Qt::QueuedConnection);
}

void VlcPlaybackControl::updateFramesWanted()
{
    if (m_display)
        m_display->setFramesWanted(isVisible() || (m_fullScreen && m_fullScreen->isOn())
                                  || isSignalConnected(QMetaMethod::fromSignal(&VlcPlaybackControl::pictureShown)));
}

bool VlcPlaybackControl::navigateKey(int key)
{
    if (!Player::isMenuKey(key))
        return false;
    if (m_session.loaded)
        m_player->navigate(key);
    return true;
}

void VlcPlaybackControl::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && m_fullScreen->isOn())
        m_fullScreen->leave();
    else if (!navigateKey(event->key()))
        PlaybackControl::keyPressEvent(event);
}

void VlcPlaybackControl::mouseDoubleClickEvent(QMouseEvent *) { m_fullScreen->toggle(); }

void VlcPlaybackControl::setFullScreenMode(const Variant &on)
{
    if (on.toBool())
        m_fullScreen->enter();
    else
        m_fullScreen->leave();
}

} // namespace playback::engine
