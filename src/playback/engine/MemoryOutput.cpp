#include "playback/engine/MemoryOutput.h"

#include "playback/engine/FrameSink.h"
#include "playback/engine/PlayerReaper.h"

#include <QCoreApplication>
#include <QEvent>

#include <algorithm>

namespace playback::engine {

namespace {

const QEvent::Type kFrameEvent = QEvent::Type(QEvent::registerEventType());

// The longest the scan's picture waits for the worker to say where libvlc landed
// (four GOPs decoded: tens of milliseconds, more on a busy machine).
constexpr int kLandingWaitMs = 1500;
// A picture this far behind libvlc's reading was missed by the count (identical
// pictures): libvlc reads up to ~3 s ahead right after a seek, hence the margin.
constexpr std::int64_t kLostCountMs = 6000;
// libvlc's reading runs ahead of the picture on screen by about half a second.
constexpr std::int64_t kReadingLeadMs = 480;
// libvlc shows a jump's first picture within a second; until then it may show a
// dozen it had queued before (going back in a title), so the cover's picture is
// looked for among this many. Past the age it goes anyway (a picture libvlc
// draws otherwise, deinterlaced say, is never recognised).
constexpr int kCoverPictures = 50;
constexpr qint64 kCoverMaxMs = 1500;
// The cover is decoded in tens of milliseconds: the picture before the jump waits this long for it.
constexpr qint64 kCoverWaitMs = 300;

} // namespace

MemoryOutput::MemoryOutput(QObject *parent) : PictureOutput(parent)
{
    m_landingTimeout.setSingleShot(true);
    m_landingTimeout.setInterval(kLandingWaitMs);
    connect(&m_landingTimeout, &QTimer::timeout, this, &MemoryOutput::endLandingWait);
}

MemoryOutput::~MemoryOutput() = default;

bool MemoryOutput::attach(libvlc_media_player_t *player)
{
    // Waking the GUI thread for every picture costs a tenth of the engine's CPU
    // time: only while someone looks, and one event for however many pictures.
    m_sink = std::make_shared<FrameSink>([this] {
        if (m_framesWanted.load(std::memory_order_relaxed) && !m_framePosted.exchange(true))
            QCoreApplication::postEvent(this, new QEvent(kFrameEvent));
    });
    m_sink->attach(player);
    return true;
}

void MemoryOutput::retire(libvlc_media_player_t *player, std::shared_ptr<void> input)
{
    if (m_sink)
        m_sink->silence();
    auto keep = std::make_shared<std::pair<std::shared_ptr<void>, std::shared_ptr<void>>>(std::move(m_sink), std::move(input));
    reaper::retire(player, std::move(keep), nullptr);
    m_sink.reset();
}

bool MemoryOutput::event(QEvent *event)
{
    if (event->type() == kFrameEvent) {
        m_framePosted = false;
        emit pictureShown();
        return true;
    }
    return PictureOutput::event(event);
}

void MemoryOutput::libvlcJumped()
{
    // The anchor of the jump may be taken by the next new picture (see FrameSink::anchor).
    if (m_sink)
        m_sink->arm();
}

void MemoryOutput::started()
{
    if (m_sink)
        m_sink->setRate(1.0);
}

void MemoryOutput::stopped()
{
    m_still = QImage();
    m_stillShown = false;
    m_covered = false;
    m_awaitingLanding = false;
    m_landingTimeout.stop();
}

void MemoryOutput::setFrameRate(int fps)
{
    if (m_sink)
        m_sink->setFrameRate(fps);
}

void MemoryOutput::rateChanged(double rate, bool)
{
    if (m_sink)
        m_sink->setRate(rate);
}

void MemoryOutput::resumed(double)
{
    if (m_sink)
        m_sink->restartCounting();
}

void MemoryOutput::jumped(std::int64_t targetMs, std::optional<std::int64_t> shownBefore, bool armed)
{
    if (!m_sink)
        return;
    // libvlc may show pictures it had queued before the jump: the picture on screen
    // stays, with its time, until the jump's cover comes.
    m_still = picture();
    m_covered = !m_still.isNull();
    m_coverHasPicture = false;
    m_coveredAt = m_sink->expectedShown();
    m_coverMs = shownBefore.value_or(targetMs);
    m_coverAge.start();
    m_stillShown = false;
    m_sink->anchor(targetMs, armed);
}

void MemoryOutput::titleChanged(int from, int to, std::int64_t fromLengthMs)
{
    if (!m_sink || to < 1)
        return;
    if (from >= 1) // the title ran out: its last pictures are still to come
        m_sink->anchorAfterTitleEnd(fromLengthMs, 0);
    else if (from == 0) // out of a menu, whose still pictures are not counted
        m_sink->anchor(0);
}

std::optional<std::int64_t> MemoryOutput::positionMs(std::int64_t libvlcMs) const
{
    if (m_awaitingLanding)
        return m_heldMs;
    if (covering())
        return m_coverMs;
    if (!m_sink)
        return std::nullopt;
    const std::optional<std::int64_t> shown = m_sink->displayedPosition();
    if (!shown)
        return 0;
    if (libvlcMs > 0 && *shown < libvlcMs - kLostCountMs)
        return std::max<std::int64_t>(0, libvlcMs - kReadingLeadMs);
    return shown;
}

// libvlc may still show a picture or two it had queued before its pause took
// hold: the screen keeps the one it had until the scan's first picture.
void MemoryOutput::scanStarted()
{
    if (!m_sink)
        return;
    if (!covering())
        m_still = m_sink->lastFrame();
    m_covered = false;
    m_stillShown = !m_still.isNull();
}

void MemoryOutput::showStill(const QImage &picture)
{
    m_still = picture;
    m_stillShown = true;
    m_covered = false;
    emit pictureShown();
}

void MemoryOutput::coverJump(const QImage &picture, std::int64_t ms, std::uint64_t hash)
{
    if (!m_sink || m_stillShown || m_awaitingLanding || m_sink->expectOneOf({{hash, ms}}, kCoverPictures))
        return; // libvlc has shown it already
    m_still = picture;
    m_covered = true;
    m_coverHasPicture = true;
    m_coveredAt = m_sink->expectedShown();
    m_coverMs = ms;
    m_coverAge.start();
    emit pictureShown();
}

bool MemoryOutput::covering() const
{
    return m_covered && m_sink && m_sink->expectedShown() == m_coveredAt
           && m_coverAge.elapsed() < (m_coverHasPicture ? kCoverMaxMs : kCoverWaitMs);
}

void MemoryOutput::releaseStill(std::optional<std::int64_t> seekMs)
{
    m_stillShown = false;
    m_covered = false;
    if (!m_sink)
        return;
    if (seekMs) {
        m_sink->setShownPosition(*seekMs);
        m_sink->anchor(*seekMs);
        // libvlc shows where it landed within ~10 ms, the answer takes a few tens:
        // until it comes the scan's picture stays, with its own time.
        m_awaitingLanding = true;
        m_heldMs = *seekMs;
        m_landingTimeout.start();
    }
    m_stillUntilPicture = m_sink->newPictureCount();
}

void MemoryOutput::landingPictures(const std::optional<KnownPictures> &pictures)
{
    if (pictures && m_sink)
        m_sink->expectOneOf(*pictures);
    endLandingWait();
}

void MemoryOutput::endLandingWait()
{
    if (!m_awaitingLanding)
        return;
    m_awaitingLanding = false;
    m_landingTimeout.stop();
    emit pictureShown();
}

QImage MemoryOutput::picture() const
{
    if (!m_sink)
        return {};
    if (!m_still.isNull()
        && (m_stillShown || m_awaitingLanding || covering() || m_sink->newPictureCount() == m_stillUntilPicture))
        return m_still;
    return m_sink->lastFrame();
}

} // namespace playback::engine
