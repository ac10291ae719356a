#pragma once
// The player on the desktop's media controls and media keys: MPRIS 2 on the
// session bus, as org.mpris.MediaPlayer2.orvanta, for as long as this object
// lives (the control window keeps it while it is loaded).
//
// It publishes the player's state (PlayerState) and announces what changes;
// the position is read when asked for, and a jump in it is announced (Seeked).
// Commands go to the player through the state, which carries them out as a
// person would; while a modal box is open the player takes no input, and the
// commands (but Raise and Quit) are not passed on. With no session bus it does
// nothing and says nothing.
//
// Threads: GUI thread only.

#include "desktop/PlayerState.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

namespace desktop {

class MediaPlayer2 : public QObject {
    Q_OBJECT
public:
    explicit MediaPlayer2(PlayerState &player, QObject *parent = nullptr);
    ~MediaPlayer2() override;

    const MediaState &state() const { return m_state; }
    qlonglong position() const { return m_player.position(); }
    // A command from the bus; it returns at once (the player carries it out from its event loop).
    void command(MediaCommand command);

private:
    void refresh();
    // Whether the position moved otherwise than playing moves it since the last reading.
    bool jumped(const MediaState &before, const MediaState &now) const;

    PlayerState &m_player;
    QString m_service; // the bus name taken, empty when there is no session bus
    MediaState m_state;
    QElapsedTimer m_sinceRead; // since m_state was read
};

} // namespace desktop
