#pragma once
// The playback control on libvlc 3: libvlc plays the disc through its dvdnav
// access, the disc layer (playback/disc) answers what the disc is before
// anything plays. libvlc's events arrive on its own threads; they are folded into
// a bit set and handled in one posted event on the GUI thread, which is the only
// place libvlc is called from.

#include "playback/PlaybackControl.h"
#include "playback/disc/Disc.h"
#include "playback/engine/DisplayClock.h"
#include "playback/engine/FullScreenWindow.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPointer>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

struct libvlc_media_player_t;
struct libvlc_event_t;

namespace playback::engine {

class FactsPrefetch;
class FrameSink;
class XVideoSurface;
class FullScreenWindow;
class ScanWorker;

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

    void setFullScreenMode(const Variant &on) override;
    void setCurrentSubpictureStream(const Variant &n) override;
    void setSubpictureOn(const Variant &on) override;
    void setMute(const Variant &on) override;

    // What is on screen when rendering into memory (null otherwise or before the first picture).
    QImage lastFrame() const;
    bool rendersIntoMemory() const { return !m_embed; }
    // The position of the picture on screen in milliseconds, nullopt when nothing plays.
    std::optional<std::int64_t> positionMs() const;
    // Distinct pictures shown so far (memory rendering).
    std::uint64_t picturesShown() const;
    bool isFullScreen() const { return m_fullScreen != nullptr; }
    QWidget *fullScreenWindow() const;
    bool isScanningBackwards() const { return m_scanning; }
    bool isPlaying() const { return m_loaded; }
    // The mute state last handed to libvlc's audio output and the title it was
    // handed for (libvlc forgets it on title changes and cannot report it).
    bool appliedMute() const { return m_appliedMute; }
    int appliedMuteTitle() const { return m_appliedMuteTitle; }
    libvlc_media_player_t *player() const { return m_player; }

signals:
    void pictureShown();   // a picture was displayed (memory rendering)
    void playbackEnded();  // libvlc stopped on its own: end of disc or an error

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void connectNotify(const QMetaMethod &signal) override;
    void disconnectNotify(const QMetaMethod &signal) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    enum EventBit : unsigned {
        EvPlaying = 1u << 0,
        EvPaused = 1u << 1,
        EvStopped = 1u << 2,
        EvEnded = 1u << 3,
        EvError = 1u << 4,
        EvTitle = 1u << 5,
        EvChapter = 1u << 6,
        EvLength = 1u << 7,
        EvStreams = 1u << 8,
        EvVout = 1u << 9,
        EvFrame = 1u << 10,
    };
    static void onVlcEvent(const libvlc_event_t *event, void *data);
    void raise(unsigned bits);
    void handleEvents(unsigned bits);

    bool ensurePlayer();
    void retirePlayer();
    void unload();
    disc::Source resolveSource(const QString &operation) const;
    disc::Source discSource(const QString &operation) const;
    disc::Facts discFacts(const QString &operation) const;
    void requireLoaded(const QString &operation) const;
    int requireTitle(const QString &operation) const;
    const disc::TitleFacts *titleFacts(int title) const;
    QStringList subpictureCodes(const QString &operation) const;

    void ensureScanWorker();
    void endScan(bool playOn);
    void scanStep();
    void showScanPicture(const QImage &picture, qint64 ms, int title);
    // Hands the screen back to libvlc from a reverse-scan picture; seek: move
    // libvlc to that picture's position first.
    // Returns whether libvlc was sent there.
    bool releaseStill(bool seek);
    void unpause();
    void endLandingWait();
    void showNewPicture(); // into memory: paints it and tells pictureShown
    void setRate(double rate);
    // 1-based title, 0-based chapter. armed: no older pictures are queued (see FrameSink::anchor).
    void jumpTo(int title, int chapter, bool armed = false);
    std::int64_t chapterOffset(int title, int chapter);
    std::int64_t titleLength(int title);
    void readDescriptions();
    void applyMute();
    void applySubpicture();
    void updateAspect();
    bool navigateKey(int key);
    void enterFullScreen();
    void leaveFullScreen();
    void toggleFullScreen();
    void updateFramesWanted();

    QString m_argument;
    bool m_embed = false;
    libvlc_media_player_t *m_player = nullptr;
    std::unique_ptr<FrameSink> m_sink;
    XVideoSurface *m_surface = nullptr;
    QPointer<FullScreenWindow> m_fullScreen;
    std::atomic<unsigned> m_pending{0};
    std::atomic<bool> m_framesWanted{false}; // someone looks at the pictures: post each one

    std::unique_ptr<FactsPrefetch> m_prefetch; // the command line's disc, read ahead
    std::optional<disc::Source> m_source;
    std::optional<disc::Facts> m_facts;
    bool m_loaded = false;
    bool m_paused = false;
    double m_rate = 1.0;
    int m_title = -1;
    bool m_expectTitleChange = false;
    int m_fps = 25;
    double m_aspect = 0.0;
    DisplayClock m_clock;            // embedded: where the picture on screen is
    std::int64_t m_muxLeadMs = 0;    // the current title's, see DisplayClock.h
    std::vector<std::int64_t> m_titleLengths;
    std::map<int, std::vector<std::int64_t>> m_chapterOffsets;

    // Reverse scan: libvlc is paused; pictures decoded here (ScanWorker) are shown
    // over its last one, and libvlc is moved to the last of them when play resumes.
    bool m_scanning = false;
    double m_scanSpeed = 1.0;
    double m_scanTargetMs = 0.0;  // where the scan has got to
    std::int64_t m_scanStartMs = 0;
    int m_scanTitle = 0;
    QTimer m_scanTimer;
    QElapsedTimer m_scanClock;
    std::unique_ptr<ScanWorker> m_scanWorker;
    std::optional<std::int64_t> m_stillMs; // a scan picture is on screen: its position
    QImage m_still;                        // memory rendering: that picture
    std::uint64_t m_stillUntilPicture = 0; // after release: shown until libvlc's next new picture
    QTimer m_stillHideTimer;               // embedded: the same, by time
    bool m_awaitingLanding = false;        // into memory: after release, until told where libvlc landed
    std::int64_t m_heldMs = 0;             // meanwhile: the released picture's position
    QTimer m_landingTimeout;

    int m_subpictureStream = 1;
    bool m_subpictureOn = false;
    bool m_muted = false;
    bool m_appliedMute = false;
    int m_appliedMuteTitle = -1;
};

} // namespace playback::engine
