#include "playback/engine/ReverseScan.h"

#include "playback/engine/Player.h"
#include "playback/engine/ScanWorker.h"

namespace playback::engine {

namespace {

// How often a new position is asked for (a picture every 40 ms at x1).
constexpr int kStepMs = 40;

} // namespace

ReverseScan::ReverseScan(std::function<PictureOutput &()> output, std::function<Player *()> player)
    : m_output(std::move(output)), m_player(std::move(player))
{
    m_timer.setInterval(kStepMs);
    connect(&m_timer, &QTimer::timeout, this, &ReverseScan::step);
}

ReverseScan::~ReverseScan() = default;

void ReverseScan::setDisc(const QString &path)
{
    if (path != m_disc)
        m_worker.reset();
    m_disc = path;
}

void ReverseScan::forget()
{
    stop();
    m_jump.reset();
    m_worker.reset();
    m_stillMs.reset();
}

ScanWorker &ReverseScan::worker()
{
    if (!m_worker) {
        m_worker = std::make_unique<ScanWorker>(m_disc);
        connect(m_worker.get(), &ScanWorker::pictureReady, this, &ReverseScan::pictureReady);
        connect(m_worker.get(), &ScanWorker::landingPicturesReady, this, &ReverseScan::landingPicturesReady);
        connect(m_worker.get(), &ScanWorker::muxLeadReady, this, &ReverseScan::muxLeadReady);
        connect(m_worker.get(), &ScanWorker::chapterStartReady, this, &ReverseScan::chapterStartReady);
    }
    return *m_worker;
}

void ReverseScan::start(int title, std::int64_t fromMs, double speed)
{
    m_speed = speed;
    if (m_running)
        return;
    m_jump.reset();
    m_title = title;
    m_startMs = fromMs;
    m_targetMs = double(fromMs);
    m_player()->setPaused(true);
    m_output().paused();
    m_output().scanStarted();
    worker();
    m_running = true;
    m_clock.start();
    m_timer.start();
    step();
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
        m_player()->setPaused(false);
        emit reachedTitleStart(m_title);
        return;
    }
    worker().request(m_title, std::int64_t(m_targetMs), m_output().stillSize());
}

void ReverseScan::pictureReady(const QImage &picture, qint64 ms, int title)
{
    if (!m_running || title != m_title)
        return; // asked for before the scan ended
    m_stillMs = ms;
    m_output().showStill(picture);
}

bool ReverseScan::handOver(bool seek)
{
    if (!m_stillMs)
        return false;
    const std::int64_t ms = *m_stillMs;
    m_stillMs.reset();
    if (seek) {
        m_player()->seekTo(ms);
        // libvlc lands on a GOP start after ms: the worker tells which ones may be it.
        worker().requestLandingPictures(m_title, ms);
    }
    m_output().releaseStill(seek ? std::optional(ms) : std::nullopt);
    return seek;
}

void ReverseScan::requestMuxLead(int title) { worker().requestMuxLead(title); }

void ReverseScan::coverJump(int title, int chapter)
{
    if (m_running || m_disc.isEmpty())
        return;
    m_jump = std::pair(title, chapter);
    worker().requestChapterStart(title, chapter, m_output().stillSize());
}

void ReverseScan::chapterStartReady(const QImage &picture, qint64 ms, quint64 hash, int title, int chapter)
{
    if (m_running || m_jump != std::pair(title, chapter))
        return; // another jump or a scan since
    m_jump.reset();
    m_output().coverJump(picture, ms, hash);
}

} // namespace playback::engine
