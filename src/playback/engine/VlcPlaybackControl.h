#pragma once
// The playback control on libvlc 3: the contract's operations over a few parts.
//
//   Session         what the control is doing (loaded, paused, rate, title...),
//                   written here, read by the parts
//   Player          libvlc's media player for one session, and its events
//   Display         where the pictures go (MemoryDisplay or EmbeddedDisplay),
//                   with its PositionEstimate and its Overlay for the engine's own pictures
//   DecoderThread   the engine's decoder: pictures decoded from the disc's GOPs
//   ReverseScan     steps back through those pictures (libvlc cannot play backwards)
//   Jump            a jump from start to end: the picture held, then the chapter's
//                   first picture, until libvlc's own comes
//   CellStill       a cell's last picture held (a still), as libvlc does not show it
//   FullScreen      the full-screen window
//   StatusSnapshot  what the windows read, refreshed from libvlc's events
//   DiscLookup      which disc, and its facts (read off the GUI thread, in a
//                   helper process, disc/)
//   TitleStream     a title read by the engine itself, for a disc that libvlc's
//                   DVD navigation cannot start (its first title set is damaged)
//
// The control makes the transport calls to libvlc itself and keeps the session.
// A read the windows make costs at most one libvlc call (the position).
//
// Threads: GUI thread only. The parts say which of their work runs elsewhere.

#include "playback/PlaybackControl.h"
#include "playback/disc/Facts.h"
#include "playback/engine/DiscLookup.h"
#include "playback/engine/Session.h"
#include "playback/engine/StatusSnapshot.h"
#include "playback/engine/Tracks.h"

#include <QElapsedTimer>
#include <QImage>

#include <cstdint>
#include <memory>
#include <optional>

struct libvlc_media_player_t;

namespace playback::engine {

class CellStill;
class DecoderThread;
class Display;
class FullScreen;
class Jump;
class Player;
class ReverseScan;

class VlcPlaybackControl final : public PlaybackControl {
    Q_OBJECT
public:
    // discArgument: the disc named on the command line, or empty to look in the drives.
    explicit VlcPlaybackControl(const QString &discArgument, QWidget *parent = nullptr);
    ~VlcPlaybackControl() override;

    void Play() override;
    void Pause() override;
    void Stop() override;
    void PlayBackwards(const Variant &speed) override;
    void PlayForwards(const Variant &speed) override;
    void Resume() override;
    void PlayNextChapter() override;
    void PlayPrevChapter() override;
    void Eject() override;
    Variant GetSubpictureLanguage(const Variant &stream) override;

    Variant CurrentTitle() override;
    Variant CurrentChapter() override;
    Variant CurrentTime() override;
    Variant TotalTitleTime() override;
    Variant DVDDirectory() override;
    Variant CurrentDiscSide() override;
    Variant CurrentSubpictureStream() override;
    Variant SubpictureOn() override;
    Variant SubpictureStreamsAvailable() override;
    Variant DVDUniqueID() override;
    Variant VolumeName() override;
    std::optional<TitlePosition> titlePosition() override;

    void setDisc(const QString &argument) override;
    void setFullScreenMode(const Variant &on) override;
    void setCurrentSubpictureStream(const Variant &n) override;
    void setSubpictureOn(const Variant &on) override;
    void setMute(const Variant &on) override;

    // What is on screen when rendering into memory (null otherwise or before the first picture).
    QImage lastFrame() const;
    bool rendersIntoMemory() const;
    // The position of the picture on screen in milliseconds, nullopt when nothing plays.
    std::optional<std::int64_t> positionMs();
    bool isFullScreen() const;
    QWidget *fullScreenWindow() const;
    bool isScanningBackwards() const { return m_session.scanning; }
    // A disc is loaded: it plays, is paused or is scanned (isPlaying(): not paused).
    bool isLoaded() const { return m_session.loaded; }
    // What libvlc's audio output says: 1 muted, 0 not, -1 no output yet.
    int outputMute() const;

signals:
    void pictureShown(); // a picture was displayed (memory rendering)

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void connectNotify(const QMetaMethod &signal) override;
    void disconnectNotify(const QMetaMethod &signal) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    libvlc_media_player_t *player() const;
    void setDisplay(std::unique_ptr<Display> display);
    DecoderThread *decoder();
    std::unique_ptr<Player> makePlayer();
    // A player for the disc from title's chapter (0-based), opened but not playing:
    // through libvlc's DVD navigation, or with the title read as a plain stream.
    std::unique_ptr<Player> openPlayer(int title, int chapter);
    // A new player plays title's chapter on (past damage, on to a title read as a
    // plain stream). False: it cannot be played.
    bool restartAt(int title, int chapter);
    void handleEvents(unsigned bits);
    void takeUpTitle(int title);
    void stoppedByItself(unsigned bits);
    void unload();
    disc::Problem whyStopped(unsigned playerEvents);
    bool goPastDamage();
    void pastDamageFound(qint64 ms, int title, qint64 askedMs);
    bool goOnAfter(int title, std::int64_t at, std::optional<std::int64_t> found);
    // The first title after `after` that can be played; 0 when there is none.
    int nextPlayableTitle(int after) const;
    // Play, once the disc's facts are known.
    void startPlaying(DiscLookup::Disc disc);
    // A reading of the disc has ended: a Play that waited for it goes on.
    void discRead();
    // A drive's disc went in or out: the disc playing was taken out, maybe.
    void driveMediaChanged(const QString &drive, bool present);
    disc::Facts discFacts(const QString &operation);
    void requireLoaded(const QString &operation) const;
    int requireTitle(const QString &operation) const;
    // The title playing, or 0 while a menu shows; fails before libvlc says which.
    int requireTitleOrMenu(const QString &operation) const;
    // The chapter (0-based) libvlc reads now, ahead of the picture on screen.
    int chapterRead(int title) const;
    // The chapter (0-based) of the picture on screen; right after a jump, until
    // its picture comes, the chapter it went to.
    int chapterShown(int title);
    QStringList subpictureCodes(const QString &operation) const;

    void startScan(int title, double speed);
    void endScan(bool playOn);
    void pauseLibvlc();
    void unpause();
    // Tells listeners whether the disc plays now.
    void notePlaying() { setPlaying(m_session.playing()); }
    void setRate(double rate);
    // 1-based title, 0-based chapter. armed: no older pictures are queued.
    void jumpTo(int title, int chapter, bool armed = false);
    // The decoder's reading of a title's timing, for the position estimate.
    void timingRead(qint64 muxLeadMs, double picturePeriodMs, int title);
    // Where the picture on screen is in title (0: the menu), and the title's length.
    TitlePosition positionIn(int title);
    // The position of libvlc's own picture on screen, by the display's estimate.
    std::optional<std::int64_t> libvlcPositionMs();
    // Hands the mute choice, and the subtitle choice too, to libvlc.
    void applyTracks(bool subtitles);
    bool navigateKey(int key);
    void updateFramesWanted();
    void showNewPicture();
    // The picture's width / height on screen, read as it is painted.
    double pictureAspect();

    Session m_session;
    DiscLookup m_disc;
    std::unique_ptr<Display> m_display;
    std::unique_ptr<DecoderThread> m_decoder; // for the disc of the moment, made when first needed
    QString m_decoderDisc;
    std::unique_ptr<ReverseScan> m_scan;
    std::unique_ptr<Jump> m_jump;
    std::unique_ptr<CellStill> m_cellStill;
    std::unique_ptr<FullScreen> m_fullScreen;
    StatusSnapshot m_status;
    std::unique_ptr<Player> m_player; // last: it goes first, while the display it draws into is there

    std::optional<disc::Source> m_source;
    std::optional<disc::Facts> m_facts;
    QElapsedTimer m_inTitle; // since the session's title was taken up
    bool m_expectTitleChange = false;
    // The last scratch gone past: where play went on in which title, and how far
    // past where libvlc's reading had stopped.
    struct Damage {
        int title = 0;
        std::int64_t resumeMs = 0, stepMs = 0;
    };
    std::optional<Damage> m_damage;
    // Damage met on a drive, while the decoder looks for where the disc reads again.
    struct DamageMet {
        int title = 0;
        std::int64_t atMs = 0;
    };
    std::optional<DamageMet> m_damageMet;
    // The last jump, while the picture from before it is still on screen.
    struct SentTo {
        int title, chapter;
        std::optional<std::int64_t> shownBefore;
    };
    std::optional<SentTo> m_sentTo;
    Tracks m_tracks; // the mute and subtitle choices
};

} // namespace playback::engine
