#pragma once
// The position estimate when libvlc hands its pictures over into memory: the
// sink's count of the pictures shown (FrameSink, PictureCount). The engine's
// picture over libvlc's holds, with its time:
// - after a jump, the picture that was on screen, until the jump's first
//   picture (decoded by the engine) comes, and that one until libvlc shows the
//   same picture, known by its content;
// - after the reverse scan, its last picture until libvlc shows a new one; when
//   libvlc is sent back to it, also until the decoder says which pictures libvlc
//   may land on (a few tens of milliseconds).
//
// Threads: libvlcJumped() runs on libvlc's event thread and only locks the sink.
// The rest runs on the GUI thread.

#include "playback/engine/PositionEstimate.h"

#include <QElapsedTimer>
#include <QImage>
#include <QObject>

#include <functional>
#include <optional>
#include <utility>

namespace playback::engine {

class DecoderThread;
class FrameSink;
struct Session;

class CountEstimate final : public QObject, public PositionEstimate {
    Q_OBJECT
public:
    CountEstimate(const Session &session, std::function<DecoderThread *()> decoder)
        : m_session(session), m_decoder(std::move(decoder))
    {
    }

    // The current player's sink; nullptr between players.
    void setSink(FrameSink *sink) { m_sink = sink; }

    void libvlcJumped() override;

    void started() override;
    void stopped() override;
    void setFrameRate(int fps) override;
    void rateChanged() override;
    void paused() override {}
    void resumed() override;
    void titleChanged(int from, int to, std::int64_t fromLengthMs) override;
    // Film is counted at its own rate.
    void titleTiming(std::int64_t muxLeadMs, double picturePeriodMs) override;
    // libvlc may drop a picture where cells meet (film with pulldown): the
    // chapter's first picture, known by its content, gives the position again.
    void chapterReached(int title, int chapter) override;

    void jumped(std::int64_t targetMs, std::optional<std::int64_t> shownBefore, bool armed) override;
    bool coverShown(std::int64_t ms, std::uint64_t hash) override;
    void scanStarted() override { m_covered = false; }
    void scanReleased(std::optional<std::int64_t> seekMs) override;
    void landingPictures(const std::optional<KnownPictures> &pictures) override;
    bool holding() override;
    std::optional<std::chrono::milliseconds> holdEndsIn() override;

    std::optional<std::int64_t> positionMs(std::int64_t libvlcMs) override;

private:
    bool covering() const;
    bool awaitingLanding();

    void chapterStartRead(const QImage &picture, qint64 ms, quint64 hash, int title, int chapter);

    const Session &m_session;
    std::function<DecoderThread *()> m_decoder;
    std::optional<std::pair<int, int>> m_chapterAwaited; // the title and chapter whose first picture is
    FrameSink *m_sink = nullptr;
    bool m_awaitingLanding = false; // after the scan's seek, until told where libvlc landed
    std::int64_t m_heldMs = 0;      // meanwhile: the scan picture's position
    QElapsedTimer m_landingAge;
    std::optional<std::uint64_t> m_untilPicture; // after the scan: held until libvlc's next new picture
    bool m_covered = false;         // a jump holds the screen
    bool m_coverHasPicture = false; // its first picture came (else the picture before the jump is held)
    std::uint64_t m_coveredAt = 0;  // the sink's count of expected pictures shown then
    std::int64_t m_coverMs = 0;
    QElapsedTimer m_coverAge;
};

} // namespace playback::engine
