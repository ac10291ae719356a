#pragma once
// What the desktop's media controls show, and the commands they give: the small
// go-between of the player and MPRIS. The control window keeps the state up to
// date as its panel changes and carries out the commands with its own buttons;
// MPRIS reads the state and passes the commands on, and knows nothing of windows.
//
// Threads: GUI thread only.

#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>

namespace desktop {

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
    bool operator==(const MediaState &) const = default;
};

enum class MediaCommand { Play, Pause, PlayPause, Stop, Next, Previous, Raise, Quit };

class PlayerState : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    const MediaState &state() const { return m_state; }
    // The player's side: the state now (changed() when it differs) ...
    void setState(const MediaState &state);
    // ... and where the picture is at any moment (it moves between changes), in microseconds.
    void setPositionReader(std::function<qlonglong()> reader) { m_position = std::move(reader); }

    qlonglong position() const { return m_position ? m_position() : m_state.positionUs; }
    // MPRIS's side: a command for the player (commanded()).
    void command(MediaCommand command) { emit commanded(command); }

signals:
    void changed();
    void commanded(desktop::MediaCommand command);

private:
    MediaState m_state;
    std::function<qlonglong()> m_position;
};

} // namespace desktop
