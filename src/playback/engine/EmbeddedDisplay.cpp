#include "playback/engine/EmbeddedDisplay.h"

#include "playback/engine/PlayerReaper.h"
#include "playback/engine/XVideoSurface.h"

#include <QEvent>
#include <QWidget>

#include <vlc/vlc.h>

#include <cstdint>

namespace playback::engine {

namespace {

// Where the estimate cannot say when its hold ends (it is frozen, say), the
// picture is looked at again after a frame.
constexpr auto kLookAgain = std::chrono::milliseconds(40);

// The widget's size in the screen's pixels: X windows are sized in them, Qt's
// widgets in logical pixels (twice as many screen pixels at 200 %).
QSize screenPixels(const QWidget &widget)
{
    const qreal ratio = widget.devicePixelRatioF();
    return QSize(qRound(widget.width() * ratio), qRound(widget.height() * ratio));
}

} // namespace

XOverlay::XOverlay(PositionEstimate &estimate, std::function<XVideoSurface *()> surface)
    : m_estimate(estimate), m_surface(std::move(surface))
{
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { lookAtHold(); });
}

QSize XOverlay::size() const
{
    const XVideoSurface *surface = m_surface();
    return surface ? surface->size() : QSize();
}

bool XOverlay::hold(bool pinned)
{
    XVideoSurface *surface = m_surface();
    if (!surface)
        return false;
    if (!m_shown)
        surface->freeze();
    m_shown = true;
    m_pinned = pinned;
    watch();
    return true;
}

void XOverlay::show(const QImage &picture, bool pinned)
{
    if (XVideoSurface *surface = m_surface())
        surface->showStill(picture);
    m_shown = true;
    m_pinned = pinned;
    watch();
}

void XOverlay::unpin()
{
    m_pinned = false;
    watch();
}

void XOverlay::clear()
{
    m_timer.stop();
    m_shown = m_pinned = false;
    if (XVideoSurface *surface = m_surface())
        surface->hideStill();
}

// Looked at once the caller has told the estimate what it holds.
void XOverlay::watch() { m_timer.start(0); }

void XOverlay::lookAtHold()
{
    if (!m_shown || m_pinned)
        return;
    if (!m_estimate.holding()) {
        clear();
        return;
    }
    m_timer.start(m_estimate.holdEndsIn().value_or(kLookAgain));
}

EmbeddedDisplay::EmbeddedDisplay(QWidget *host, const Session &session, QObject *parent)
    : Display(parent), m_host(host), m_estimate(session),
      m_overlay(m_estimate, [this] { return m_surface; })
{
    m_host->installEventFilter(this);
    connect(&m_estimate, &ClockEstimate::holdMayHaveEnded, this, [this] {
        if (m_overlay.isShown())
            m_overlay.lookAgain();
    });
}

EmbeddedDisplay::~EmbeddedDisplay() = default;

bool EmbeddedDisplay::attach(libvlc_media_player_t *player)
{
    auto *surface = new XVideoSurface(m_host->winId(), this);
    if (!surface->isValid()) {
        delete surface;
        return false;
    }
    m_surface = surface;
    m_surface->resize(screenPixels(*m_host));
    libvlc_media_player_set_xwindow(player, std::uint32_t(m_surface->window()));
    connect(m_surface, &XVideoSurface::doubleClicked, this, &Display::doubleClicked);
    m_surface->blackUntilVideoSettles();
    return true;
}

void EmbeddedDisplay::retire(libvlc_media_player_t *player, std::shared_ptr<void> input)
{
    // libvlc draws into the window until the player is released: out of its
    // parent, which may go first, and deleted by the reaper after that.
    m_overlay.clear();
    if (m_surface)
        m_surface->detach();
    reaper::retire(player, std::move(input), m_surface);
    m_surface = nullptr;
}

void EmbeddedDisplay::stopped()
{
    m_overlay.clear();
    m_estimate.stopped();
}

void EmbeddedDisplay::setHost(QWidget *host)
{
    if (m_host)
        m_host->removeEventFilter(this);
    m_host = host;
    m_host->installEventFilter(this);
    if (m_surface)
        m_surface->reparent(host->winId(), screenPixels(*host));
}

bool EmbeddedDisplay::eventFilter(QObject *watched, QEvent *event)
{
    // A move to a screen of another scale changes the size in pixels, not the widget's.
    const bool resized = event->type() == QEvent::Resize || event->type() == QEvent::ScreenChangeInternal;
    if (watched == m_host && resized && m_surface)
        m_surface->resize(screenPixels(*m_host));
    return false;
}

} // namespace playback::engine
