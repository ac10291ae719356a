#pragma once
// Pictures into memory, where there is no X window to embed libvlc in (the
// offscreen platform, say): libvlc hands each picture it displays to a FrameSink,
// and the picture on screen is painted by the control or the full-screen window.
// The position is the sink's count of the pictures shown.
//
// The reverse scan's picture replaces libvlc's until libvlc shows a new one of its
// own. After a scan libvlc is sent to the scan's picture and lands on a GOP start
// somewhere after it: until the scan worker says which pictures it may be (a few
// tens of milliseconds), the scan's picture stays, with its time.
//
// A jump's cover (its first picture, decoded by the engine) stays, with its
// time, until libvlc shows that same picture, known by its content.
//
// Threads: the sink's callbacks run on libvlc's video thread, and its frame
// callback only posts an event to this object. libvlcJumped() runs on libvlc's
// event thread and only locks the sink. The rest runs on the GUI thread.

#include "playback/engine/PictureOutput.h"

#include <QElapsedTimer>
#include <QTimer>

#include <atomic>
#include <memory>

namespace playback::engine {

class FrameSink;

class MemoryOutput final : public PictureOutput {
    Q_OBJECT
public:
    explicit MemoryOutput(QObject *parent = nullptr);
    ~MemoryOutput() override;

    bool attach(libvlc_media_player_t *player) override;
    void retire(libvlc_media_player_t *player, std::shared_ptr<void> input) override;
    void libvlcJumped() override;

    void started() override;
    void stopped() override;
    void setFrameRate(int fps) override;
    void rateChanged(double rate, bool paused) override;
    void paused() override {}
    void resumed(double rate) override;
    void jumped(std::int64_t targetMs, std::optional<std::int64_t> shownBefore, bool armed) override;
    void titleChanged(int from, int to, std::int64_t fromLengthMs) override;
    std::optional<std::int64_t> positionMs(std::int64_t libvlcMs) const override;

    QSize stillSize() const override { return {}; }
    void scanStarted() override;
    void showStill(const QImage &picture) override;
    void releaseStill(std::optional<std::int64_t> seekMs) override;
    void landingPictures(const std::optional<KnownPictures> &pictures) override;
    void coverJump(const QImage &picture, std::int64_t ms, std::uint64_t hash) override;

    bool rendersIntoMemory() const override { return true; }
    QImage picture() const override;
    void setFramesWanted(bool wanted) override { m_framesWanted = wanted; }

protected:
    bool event(QEvent *event) override;

private:
    void endLandingWait();
    bool covering() const;

    std::shared_ptr<FrameSink> m_sink; // the current player's
    std::atomic<bool> m_framesWanted{false};
    std::atomic<bool> m_framePosted{false};
    QImage m_still;                        // the reverse scan's picture
    bool m_stillShown = false;             // on screen, over libvlc's
    std::uint64_t m_stillUntilPicture = 0; // after release: shown until libvlc's next new picture
    bool m_awaitingLanding = false;        // after release, until told where libvlc landed
    std::int64_t m_heldMs = 0;             // meanwhile: the released picture's position
    QTimer m_landingTimeout;
    bool m_covered = false;         // a jump's cover is the still
    bool m_coverHasPicture = false; // the cover came (else the still is the picture before the jump)
    std::uint64_t m_coveredAt = 0;  // the sink's count of expected pictures shown then
    std::int64_t m_coverMs = 0;
    QElapsedTimer m_coverAge;
};

} // namespace playback::engine
