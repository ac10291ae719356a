#pragma once
// The playback control on libvlc 3: the contract's operations over a few parts.
//
//   Player          libvlc's media player for one session, and its events
//   PictureOutput   where the pictures go and where the picture on screen is
//                   (MemoryOutput or EmbeddedOutput)
//   ReverseScan     the engine's own pictures (the reverse scan, and a jump's first
//                   picture until libvlc shows it), and the hand-overs back to libvlc
//   FullScreen      the full-screen window
//   StatusSnapshot  what the windows read, refreshed from libvlc's events
//   DiscLookup      which disc, and its facts (read in a helper process, disc/)
//   TitleStream     a title read by the engine itself, for a disc that libvlc's
//                   DVD navigation cannot start (its first title set is damaged)
//
// The control keeps the session (loaded, paused, rate, title, the mute and
// subtitle choices) and makes the transport calls. A read the windows make costs
// at most one libvlc call (the position).
//
// Threads: GUI thread only. The parts say which of their work runs elsewhere.

#include "playback/PlaybackControl.h"
#include "playback/disc/Facts.h"
#include "playback/engine/DiscLookup.h"
#include "playback/engine/StatusSnapshot.h"
#include "playback/engine/Tracks.h"

#include <QElapsedTimer>
#include <QImage>

#include <cstdint>
#include <memory>
#include <optional>

struct libvlc_media_player_t;

namespace playback::engine {

class FullScreen;
class PictureOutput;
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
    std::optional<TitlePosition> titlePosition() const override;

    void setDisc(const QString &argument) override;
    void setFullScreenMode(const Variant &on) override;
    void setCurrentSubpictureStream(const Variant &n) override;
    void setSubpictureOn(const Variant &on) override;
    void setMute(const Variant &on) override;

    // What is on screen when rendering into memory (null otherwise or before the first picture).
    QImage lastFrame() const;
    bool rendersIntoMemory() const;
    // The position of the picture on screen in milliseconds, nullopt when nothing plays.
    std::optional<std::int64_t> positionMs() const;
    bool isFullScreen() const;
    QWidget *fullScreenWindow() const;
    bool isScanningBackwards() const;
    bool isPlaying() const { return m_loaded; }
    // The mute state last handed to libvlc's audio output and the title it was
    // handed for (libvlc forgets it on title changes and cannot report it).
    bool appliedMute() const { return m_tracks.appliedMute; }
    int appliedMuteTitle() const { return m_tracks.appliedMuteTitle; }
    libvlc_media_player_t *player() const;

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
    void setOutput(std::unique_ptr<PictureOutput> output);
    std::unique_ptr<Player> makePlayer();
    // A player for the disc from title's chapter (0-based), opened but not playing:
    // through libvlc's DVD navigation, or with the title read as a plain stream.
    std::unique_ptr<Player> openPlayer(int title, int chapter);
    // A new player plays title's chapter on (past damage, on to a title read as a
    // plain stream). False: it cannot be played.
    bool restartAt(int title, int chapter);
    void handleEvents(unsigned bits);
    void unload();
    disc::Problem whyStopped(unsigned playerEvents) const;
    bool goPastDamage();
    // The first title after `after` that can be played; 0 when there is none.
    int nextPlayableTitle(int after) const;
    disc::Facts discFacts(const QString &operation) const;
    void requireLoaded(const QString &operation) const;
    int requireTitle(const QString &operation) const;
    // The chapter (0-based) libvlc reads now, ahead of the picture on screen.
    int chapterRead(int title) const;
    QStringList subpictureCodes(const QString &operation) const;

    void endScan(bool playOn);
    void unpause();
    // Tells listeners whether the disc plays now.
    void notePlaying() { setPlaying(m_loaded && !m_paused); }
    void setRate(double rate);
    // 1-based title, 0-based chapter. armed: no older pictures are queued.
    void jumpTo(int title, int chapter, bool armed = false);
    // Hands the mute choice, and the subtitle choice too, to libvlc.
    void applyTracks(bool subtitles);
    bool navigateKey(int key);
    void updateFramesWanted();
    void showNewPicture();

    DiscLookup m_disc;
    std::unique_ptr<PictureOutput> m_output;
    std::unique_ptr<ReverseScan> m_scan;
    std::unique_ptr<FullScreen> m_fullScreen;
    StatusSnapshot m_status;
    std::unique_ptr<Player> m_player; // last: it goes first, while the output it draws into is there

    std::optional<disc::Source> m_source;
    std::optional<disc::Facts> m_facts;
    bool m_loaded = false;
    bool m_plain = false; // the disc's titles are read by the engine itself, without menus
    bool m_paused = false;
    double m_rate = 1.0;
    int m_title = -1;
    QElapsedTimer m_inTitle; // since m_title was taken up
    bool m_expectTitleChange = false;
    Tracks m_tracks; // the mute and subtitle choices
};

} // namespace playback::engine
