#pragma once
// The player on the desktop's media controls and media keys: MPRIS 2 on the
// session bus, as org.mpris.MediaPlayer2.orvanta, for as long as this object
// lives (the control window keeps it while it is loaded).
//
// Commands press the control window's own buttons, so the panel, its icons and
// the Pause/Continue tooltip stay what a click would have made them; while a
// modal box is open the control window takes no input, and neither do they.
// What is published is read from the panel after it changes (its status tick,
// an icon shown or hidden, a modal box opened or closed) and from the control's
// status; the position is the control's, to the millisecond, and a jump in it
// is announced (Seeked). With no session bus it does nothing and says nothing.
//
// Threads: GUI thread only.

#include <QElapsedTimer>
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
    bool blocked = false;                               // a modal box is open: no commands
    qlonglong positionUs = 0;
    qlonglong lengthUs = 0;
    int title = 0; // 0: no title plays
    int chapter = 0;
    QString album;

    QVariantMap metadata() const;
    bool canPause() const { return !blocked && playbackStatus != QLatin1String("Stopped"); }
    bool canSkip() const { return !blocked && title > 0; } // Next and Previous
};

class MediaPlayer2 : public QObject {
    Q_OBJECT
public:
    explicit MediaPlayer2(Form2 &window);
    ~MediaPlayer2() override;

    const MediaState &state() const { return m_state; }
    // Where the picture on screen is now, in microseconds (0 when no title plays).
    qlonglong position() const;

    // The commands, each through the button a person would press. They return
    // at once: the button is pressed from the event loop, so a message box it
    // shows does not hold up the caller's reply. Quit closes an open modal box
    // first, then the control window, and then whatever else is open.
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
    // Whether the position moved otherwise than playing moves it since the last reading.
    bool jumped(const MediaState &before, const MediaState &now) const;
    void press(QAbstractButton *button);

    Form2 &m_window;
    QString m_service; // the bus name taken, empty when there is no session bus
    MediaState m_state;
    QElapsedTimer m_sinceRead; // since m_state was read
    bool m_refreshQueued = false;
};

} // namespace desktop
