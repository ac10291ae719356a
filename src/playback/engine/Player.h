#pragma once
// libvlc's media player for one session, from Play until it stops; the next Play
// from stopped makes a new one. libvlc's events come on libvlc's threads: they are
// folded into a bit set and handed to the GUI thread as one posted event, where
// events() is emitted (libvlc may not be called from its own callbacks).
//
// Threads: onEvent() runs on libvlc's threads. It only sets bits, posts, and
// passes jumps and time readings to the position estimate, which locks for itself.
// Everything else runs on the GUI thread. The destructor detaches the callbacks
// first: libvlc 3 calls them under its event manager's lock, so once they are
// detached none is running. Then the display hands the player to the reaper.

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

struct libvlc_media_player_t;
struct libvlc_event_t;

namespace playback::engine {

class Display;
class TitleStream;

class Player : public QObject {
    Q_OBJECT
public:
    enum Event : unsigned {
        Playing = 1u << 0,
        Paused = 1u << 1,
        Stopped = 1u << 2,
        Ended = 1u << 3,
        Error = 1u << 4,
        Title = 1u << 5,
        Chapter = 1u << 6,
        Length = 1u << 7,
        Streams = 1u << 8,
        Vout = 1u << 9,
    };
    // libvlc stopped on its own: the end of the disc, or data it cannot read.
    static constexpr unsigned kStopped = Stopped | Ended | Error;
    // libvlc may take up a title before it says so (the first title of a disc):
    // its streams and picture may come first.
    static constexpr unsigned kTitleMayChange = Title | Playing | Streams | Vout;

    // A player that draws into display; nullptr when libvlc cannot start or the
    // display cannot take its pictures.
    static std::unique_ptr<Player> create(Display &display);
    ~Player() override;

    // Opens mrl (a disc) and plays it from its first play, or from the start of
    // firstTitle's firstChapter (0-based) when that is not the disc's start.
    // False: libvlc refused.
    bool open(const QString &mrl, int firstTitle = 1, int firstChapter = 0);
    // Plays a title the engine reads itself, without libvlc's DVD navigation, from
    // the start of chapter (0-based).
    bool open(std::shared_ptr<TitleStream> title, int chapter);
    bool play();
    void setPaused(bool paused);
    // To ms into the title. libvlc's own seek is lost on a plain stream near its
    // start (it ends the stream), so a title read by the engine is sought by place.
    void seekTo(std::int64_t ms);
    libvlc_media_player_t *handle() const { return m_player; }
    // The title read by the engine itself; nullptr when libvlc navigates the disc.
    TitleStream *titleStream() const { return m_title.get(); }

    // The arrow keys and Enter move through a DVD menu.
    static bool isMenuKey(int qtKey);
    void navigate(int qtKey);

signals:
    void events(unsigned bits);

protected:
    bool event(QEvent *event) override;

private:
    Player(libvlc_media_player_t *player, Display &display);
    static void onEvent(const libvlc_event_t *event, void *data);
    void raise(unsigned bits);

    libvlc_media_player_t *m_player;
    Display &m_display;
    std::shared_ptr<TitleStream> m_title;
    std::atomic<unsigned> m_pending{0};
};

} // namespace playback::engine
