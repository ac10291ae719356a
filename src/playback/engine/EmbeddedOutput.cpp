#include "playback/engine/EmbeddedOutput.h"

#include "playback/engine/PlayerReaper.h"
#include "playback/engine/XVideoSurface.h"

#include <QEvent>
#include <QWidget>

#include <vlc/vlc.h>

#include <algorithm>
#include <cstdint>

namespace playback::engine {

namespace {

// After a resumed scan libvlc's picture is not seen: the last scan picture stays
// this long over it (a paused seek shows its picture in ~250 ms).
constexpr int kStillHandOverMs = 300;
// Before libvlc has reported a time since the last seek (see DisplayClock.h), its
// reading runs ahead of the picture on screen by about half a second at normal
// speed (measured 5 to 19 frames; 12 on average).
constexpr std::int64_t kReadingLeadMs = 480;
// Until the title's own is read (see DisplayClock.h): a common multiplexer's.
constexpr std::int64_t kTypicalMuxLeadMs = 500;
// How often a jump's cover looks whether libvlc's own picture is due (a frame is 40 ms).
constexpr int kCoverCheckMs = 5;

// The widget's size in the screen's pixels: X windows are sized in them, Qt's
// widgets in logical pixels (twice as many screen pixels at 200 %).
QSize screenPixels(const QWidget &widget)
{
    const qreal ratio = widget.devicePixelRatioF();
    return QSize(qRound(widget.width() * ratio), qRound(widget.height() * ratio));
}

} // namespace

EmbeddedOutput::EmbeddedOutput(QWidget *host, QObject *parent)
    : PictureOutput(parent), m_host(host), m_muxLeadMs(kTypicalMuxLeadMs)
{
    m_host->installEventFilter(this);
    m_stillHideTimer.setSingleShot(true);
    m_stillHideTimer.setInterval(kStillHandOverMs);
    connect(&m_stillHideTimer, &QTimer::timeout, this, [this] {
        if (m_surface)
            m_surface->hideStill();
        m_clock.releaseHold();
    });
    m_coverTimer.setInterval(kCoverCheckMs);
    connect(&m_coverTimer, &QTimer::timeout, this, [this] {
        if (m_clock.heldMs(m_muxLeadMs))
            return;
        m_coverTimer.stop();
        if (m_surface)
            m_surface->hideStill();
    });
}

EmbeddedOutput::~EmbeddedOutput() = default;

bool EmbeddedOutput::attach(libvlc_media_player_t *player)
{
    auto *surface = new XVideoSurface(m_host->winId(), this);
    if (!surface->isValid()) {
        delete surface;
        return false;
    }
    m_surface = surface;
    m_surface->resize(screenPixels(*m_host));
    libvlc_media_player_set_xwindow(player, std::uint32_t(m_surface->window()));
    connect(m_surface, &XVideoSurface::doubleClicked, this, &PictureOutput::doubleClicked);
    return true;
}

void EmbeddedOutput::retire(libvlc_media_player_t *player, std::shared_ptr<void> input)
{
    // libvlc draws into the window until the player is released: out of its
    // parent, which may go first, and deleted by the reaper after that.
    if (m_surface)
        m_surface->detach();
    reaper::retire(player, std::move(input), m_surface);
    m_surface = nullptr;
}

void EmbeddedOutput::started()
{
    m_rate = 1.0;
    m_clock.restart(1.0, 0);
}

void EmbeddedOutput::rateChanged(double rate, bool paused)
{
    m_rate = rate;
    if (!paused)
        m_clock.resume(rate, m_muxLeadMs);
}

void EmbeddedOutput::resumed(double rate)
{
    m_rate = rate;
    m_clock.resume(rate, m_muxLeadMs);
}

void EmbeddedOutput::jumped(std::int64_t targetMs, std::optional<std::int64_t> shownBefore, bool)
{
    m_clock.restart(m_rate, targetMs, shownBefore);
    // libvlc may rush through the pictures it had queued: the picture on screen
    // stays until the jump's cover (or libvlc's own first picture) comes.
    if (m_surface && shownBefore && !m_stillHideTimer.isActive()) {
        m_surface->freeze();
        m_coverTimer.start();
    }
}

void EmbeddedOutput::titleChanged(int, int, std::int64_t) { m_clock.restart(m_rate, 0); }

bool EmbeddedOutput::titleStarted()
{
    m_muxLeadMs = kTypicalMuxLeadMs;
    return true;
}

std::optional<std::int64_t> EmbeddedOutput::positionMs(std::int64_t libvlcMs) const
{
    if (const auto shown = m_clock.positionMs(m_muxLeadMs))
        return std::max<std::int64_t>(0, *shown);
    // libvlc has not reported a time since the last seek.
    return std::max<std::int64_t>(0, libvlcMs - std::int64_t(kReadingLeadMs * std::min(m_rate, 1.0)));
}

QSize EmbeddedOutput::stillSize() const { return m_surface ? m_surface->size() : QSize(); }

void EmbeddedOutput::showStill(const QImage &picture)
{
    m_coverTimer.stop();
    if (m_surface)
        m_surface->showStill(picture);
}

void EmbeddedOutput::coverJump(const QImage &picture, std::int64_t ms, std::uint64_t)
{
    if (!m_surface || !m_clock.heldMs(m_muxLeadMs))
        return; // libvlc's own picture is on screen already
    m_stillHideTimer.stop();
    m_clock.replaceHold(ms);
    m_surface->showStill(picture);
    m_coverTimer.start();
}

void EmbeddedOutput::releaseStill(std::optional<std::int64_t> seekMs)
{
    m_coverTimer.stop();
    if (seekMs) {
        m_clock.restart(m_rate, *seekMs, *seekMs);
        // The scan's picture stays over libvlc's for a while, and its time with it.
        m_clock.holdUntilReleased();
    }
    m_stillHideTimer.start();
}

void EmbeddedOutput::landingPictures(const std::optional<KnownPictures> &pictures)
{
    if (pictures && !pictures->empty())
        m_clock.landsAt(pictures->front().second); // mostly the next GOP
}

void EmbeddedOutput::setHost(QWidget *host)
{
    if (m_host)
        m_host->removeEventFilter(this);
    m_host = host;
    m_host->installEventFilter(this);
    if (m_surface)
        m_surface->reparent(host->winId(), screenPixels(*host));
}

bool EmbeddedOutput::eventFilter(QObject *watched, QEvent *event)
{
    // A move to a screen of another scale changes the size in pixels, not the widget's.
    const bool resized = event->type() == QEvent::Resize || event->type() == QEvent::ScreenChangeInternal;
    if (watched == m_host && resized && m_surface)
        m_surface->resize(screenPixels(*m_host));
    return false;
}

} // namespace playback::engine
