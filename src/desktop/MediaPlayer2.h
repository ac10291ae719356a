#pragma once
// The player on the desktop's media controls and media keys: MPRIS 2 on the
// session bus, as org.mpris.MediaPlayer2.orvanta, for as long as this object
// lives (the control window keeps it while it is loaded).
//
// Commands press the control window's own buttons, so the panel, its icons and
// the Pause/Continue tooltip stay what a click would have made them. What is
// published is read from the panel after it changes (its status tick, an icon
// shown or hidden) and from the control's status, never from libvlc itself.
// With no session bus it does nothing and says nothing.
//
// Threads: GUI thread only.

#include <QObject>
#include <QString>
#include <QVariantMap>

class Form2;
class QAbstractButton;

namespace desktop {

// What the desktop is told; compared with the last one to send only the changes.
struct MediaState {
    QString playbackStatus = QStringLiteral("Stopped"); // "Playing", "Paused" or "Stopped"
    double rate = 1.0;                                  // the trick-play speed, negative backwards
    qlonglong positionUs = 0;
    qlonglong lengthUs = 0;
    int title = 0; // 0: no title plays
    int chapter = 0;
    QString album;

    QVariantMap metadata() const;
};

class MediaPlayer2 : public QObject {
    Q_OBJECT
public:
    explicit MediaPlayer2(Form2 &window);
    ~MediaPlayer2() override;

    const MediaState &state() const { return m_state; }

    // The commands, each through the button a person would press. They return
    // at once: the button is pressed from the event loop, so a message box it
    // shows does not hold up the caller's reply.
    void play();
    void pause();
    void playPause();
    void stop();
    void next();
    void previous();
    void raise();
    void quit();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refreshSoon();
    void refresh();
    MediaState readPanel() const;
    void press(QAbstractButton *button);

    Form2 &m_window;
    QString m_service; // the bus name taken, empty when there is no session bus
    MediaState m_state;
    bool m_refreshQueued = false;
};

} // namespace desktop
