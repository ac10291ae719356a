#include "playback/engine/CountEstimate.h"

#include "playback/engine/DecoderThread.h"
#include "playback/engine/FrameSink.h"
#include "playback/engine/Session.h"

#include <algorithm>

namespace playback::engine {

namespace {

// The longest the scan's picture waits for the decoder to say where libvlc landed
// (four GOPs decoded: tens of milliseconds, more on a busy machine).
constexpr qint64 kLandingWaitMs = 1500;
// A picture this far behind libvlc's reading was missed by the count (identical
// pictures): libvlc reads up to ~3 s ahead right after a seek, hence the margin.
constexpr std::int64_t kLostCountMs = 6000;
// libvlc shows a jump's first picture within a second; until then it may show a
// dozen it had queued before (going back in a title), so the cover's picture is
// looked for among this many. Past the age it goes anyway (a picture libvlc
// draws otherwise, deinterlaced say, is never recognised).
constexpr int kCoverPictures = 50;
// libvlc reads a chapter about half a second before its first picture is shown.
constexpr int kChapterPictures = 40;
constexpr qint64 kCoverMaxMs = 1500;
// The cover is decoded in tens of milliseconds: the picture before the jump waits this long for it.
constexpr qint64 kCoverWaitMs = 300;

} // namespace

void CountEstimate::libvlcJumped()
{
    // The anchor of the jump may be taken by the next new picture (see FrameSink::anchor).
    if (m_sink)
        m_sink->arm();
}

void CountEstimate::started()
{
    if (m_sink)
        m_sink->setRate(1.0);
}

void CountEstimate::stopped()
{
    m_covered = false;
    m_awaitingLanding = false;
    m_untilPicture.reset();
}

void CountEstimate::titleTiming(std::int64_t, double picturePeriodMs)
{
    if (m_sink)
        m_sink->setPicturePeriod(picturePeriodMs); // 0: by the stream's frame rate
}

void CountEstimate::chapterReached(int title, int chapter)
{
    DecoderThread *decoder = m_decoder();
    if (!decoder || covering() || awaitingLanding())
        return; // a jump's or the scan's own pictures give the position
    m_chapterAwaited = std::pair(title, chapter);
    connect(decoder, &DecoderThread::chapterStartReady, this, &CountEstimate::chapterStartRead, Qt::UniqueConnection);
    decoder->requestChapterStart(title, chapter, {});
}

void CountEstimate::chapterStartRead(const QImage &, qint64 ms, quint64 hash, int title, int chapter)
{
    if (m_chapterAwaited != std::pair(title, chapter) || !m_sink || covering() || awaitingLanding())
        return;
    m_chapterAwaited.reset();
    m_sink->expectOneOf({{hash, ms}}, kChapterPictures);
}

void CountEstimate::setFrameRate(int fps)
{
    if (m_sink)
        m_sink->setFrameRate(fps);
}

void CountEstimate::rateChanged()
{
    if (m_sink)
        m_sink->setRate(m_session.rate);
}

void CountEstimate::resumed()
{
    if (m_sink)
        m_sink->restartCounting();
}

void CountEstimate::titleChanged(int from, int to, std::int64_t fromLengthMs)
{
    if (!m_sink || to < 1)
        return;
    if (from >= 1) // the title ran out: its last pictures are still to come
        m_sink->anchorAfterTitleEnd(fromLengthMs, 0);
    else if (from == 0) // out of a menu, whose still pictures are not counted
        m_sink->anchor(0);
}

void CountEstimate::jumped(std::int64_t targetMs, std::optional<std::int64_t> shownBefore, bool armed)
{
    if (!m_sink)
        return;
    // libvlc may show pictures it had queued before the jump: the picture on screen
    // stays, with its time, until the jump's cover comes.
    m_covered = shownBefore.has_value();
    m_coverHasPicture = false;
    m_coveredAt = m_sink->expectedShown();
    m_coverMs = shownBefore.value_or(targetMs);
    m_coverAge.start();
    m_sink->anchor(targetMs, armed);
}

bool CountEstimate::coverShown(std::int64_t ms, std::uint64_t hash)
{
    if (!m_sink || awaitingLanding() || m_sink->expectOneOf({{hash, ms}}, kCoverPictures))
        return false; // libvlc has shown it already
    m_covered = true;
    m_coverHasPicture = true;
    m_coveredAt = m_sink->expectedShown();
    m_coverMs = ms;
    m_coverAge.start();
    return true;
}

bool CountEstimate::covering() const
{
    return m_covered && m_sink && m_sink->expectedShown() == m_coveredAt
           && m_coverAge.elapsed() < (m_coverHasPicture ? kCoverMaxMs : kCoverWaitMs);
}

void CountEstimate::scanReleased(std::optional<std::int64_t> seekMs)
{
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
        m_landingAge.start();
    }
    m_untilPicture = m_sink->newPictureCount();
}

void CountEstimate::landingPictures(const std::optional<KnownPictures> &pictures)
{
    if (pictures && m_sink)
        m_sink->expectOneOf(*pictures);
    m_awaitingLanding = false;
}

bool CountEstimate::awaitingLanding()
{
    if (m_awaitingLanding && m_landingAge.elapsed() >= kLandingWaitMs)
        m_awaitingLanding = false;
    return m_awaitingLanding;
}

bool CountEstimate::holding()
{
    return awaitingLanding() || covering() || (m_sink && m_untilPicture == m_sink->newPictureCount());
}

std::optional<std::chrono::milliseconds> CountEstimate::holdEndsIn()
{
    if (awaitingLanding())
        return std::chrono::milliseconds(kLandingWaitMs - m_landingAge.elapsed());
    if (covering())
        return std::chrono::milliseconds((m_coverHasPicture ? kCoverMaxMs : kCoverWaitMs) - m_coverAge.elapsed());
    return std::nullopt;
}

std::optional<std::int64_t> CountEstimate::positionMs(std::int64_t libvlcMs)
{
    if (awaitingLanding())
        return m_heldMs;
    if (covering())
        return m_coverMs;
    if (!m_sink)
        return std::nullopt;
    const std::optional<std::int64_t> shown = m_sink->displayedPosition();
    if (!shown)
        return 0;
    if (libvlcMs > 0 && *shown < libvlcMs - kLostCountMs)
        return shownByReading(libvlcMs);
    return shown;
}

} // namespace playback::engine
