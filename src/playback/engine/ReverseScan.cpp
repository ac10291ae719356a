#include "playback/engine/ReverseScan.h"

#include "playback/engine/DecoderThread.h"
#include "playback/engine/Display.h"
#include "playback/engine/Session.h"

namespace playback::engine {

namespace {

// How often a new position is asked for (a picture every 40 ms at x1).
constexpr int kStepMs = 40;

} // namespace

ReverseScan::ReverseScan(const Session &session, std::function<Display &()> display,
                         std::function<DecoderThread *()> decoder)
    : m_session(session), m_display(std::move(display)), m_decoder(std::move(decoder))
{
    m_timer.setInterval(kStepMs);
    connect(&m_timer, &QTimer::timeout, this, &ReverseScan::step);
}

ReverseScan::~ReverseScan() = default;

void ReverseScan::forget()
{
    stop();
    m_stillMs.reset();
}

bool ReverseScan::start(int title, std::int64_t fromMs, double speed)
{
    m_speed = speed;
    if (m_running)
        return true;
    DecoderThread *decoder = m_decoder();
    if (!decoder)
        return false;
    connect(decoder, &DecoderThread::pictureReady, this, &ReverseScan::pictureReady, Qt::UniqueConnection);
    connect(decoder, &DecoderThread::landingPicturesReady, this, &ReverseScan::landingReady, Qt::UniqueConnection);
    m_title = title;
    m_startMs = fromMs;
    m_targetMs = double(fromMs);
    // What is on screen stays until the scan's first picture.
    Display &display = m_display();
    display.overlay().hold(true);
    display.estimate().scanStarted();
    m_running = true;
    m_clock.start();
    m_timer.start();
    step();
    return true;
}

void ReverseScan::stop()
{
    m_running = false;
    m_timer.stop();
}

std::optional<std::int64_t> ReverseScan::stillMs() const
{
    if (m_stillMs)
        return m_stillMs;
    if (m_running)
        return m_startMs;
    return std::nullopt;
}

void ReverseScan::step()
{
    if (!m_running)
        return;
    m_targetMs -= double(m_clock.restart()) * m_speed;
    if (m_targetMs <= 0.0) {
        // The scan's picture stays, with its time, until the title's first one covers it.
        stop();
        emit reachedTitleStart(m_title);
        return;
    }
    if (DecoderThread *decoder = m_decoder())
        decoder->request(m_title, std::int64_t(m_targetMs), m_display().overlay().size());
}

void ReverseScan::pictureReady(const QImage &picture, qint64 ms, int title)
{
    if (!m_running || title != m_title)
        return; // asked for before the scan ended
    m_stillMs = ms;
    m_display().overlay().show(picture, true);
}

std::optional<std::int64_t> ReverseScan::release(bool seek)
{
    if (!m_stillMs)
        return std::nullopt;
    const std::int64_t ms = *m_stillMs;
    m_stillMs.reset();
    // libvlc lands on a GOP start after ms: the decoder tells which ones may be it.
    if (DecoderThread *decoder = m_decoder(); decoder && seek)
        decoder->requestLandingPictures(m_title, ms);
    Display &display = m_display();
    display.estimate().scanReleased(seek ? std::optional(ms) : std::nullopt);
    display.overlay().unpin();
    return seek ? std::optional(ms) : std::nullopt;
}

void ReverseScan::landingReady(const KnownPictures &pictures, int title)
{
    m_display().estimate().landingPictures(m_session.loaded && title == m_session.title ? std::optional(pictures)
                                                                                        : std::nullopt);
}

} // namespace playback::engine
