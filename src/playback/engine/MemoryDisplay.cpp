#include "playback/engine/MemoryDisplay.h"

#include "playback/engine/FrameSink.h"
#include "playback/engine/PlayerReaper.h"

#include <QCoreApplication>
#include <QEvent>

namespace playback::engine {

namespace {

const QEvent::Type kFrameEvent = QEvent::Type(QEvent::registerEventType());

} // namespace

MemoryOverlay::MemoryOverlay(PositionEstimate &estimate, std::function<FrameSink *()> sink,
                             std::function<void()> repaint)
    : m_estimate(estimate), m_sink(std::move(sink)), m_repaint(std::move(repaint))
{
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        m_repaint();
        if (isShown() && !m_pinned) {
            if (const auto in = m_estimate.holdEndsIn())
                m_timer.start(*in);
        }
    });
}

bool MemoryOverlay::hold(bool pinned)
{
    if (!isShown()) {
        FrameSink *sink = m_sink();
        m_picture = sink ? sink->lastFrame() : QImage();
    }
    m_shown = !m_picture.isNull();
    m_pinned = pinned && m_shown;
    watch();
    return m_shown;
}

void MemoryOverlay::show(const QImage &picture, bool pinned)
{
    m_picture = picture;
    m_shown = !picture.isNull();
    m_pinned = pinned && m_shown;
    m_repaint();
    watch();
}

void MemoryOverlay::unpin()
{
    m_pinned = false;
    watch();
}

void MemoryOverlay::clear()
{
    m_picture = QImage();
    m_shown = m_pinned = false;
    m_timer.stop();
}

bool MemoryOverlay::isShown()
{
    if (m_shown && !m_pinned && !m_estimate.holding())
        m_shown = false;
    return m_shown;
}

QImage MemoryOverlay::image() { return isShown() ? m_picture : QImage(); }

// Looked at once the caller has told the estimate what it holds.
void MemoryOverlay::watch()
{
    if (m_shown && !m_pinned)
        m_timer.start(0);
    else
        m_timer.stop();
}

MemoryDisplay::MemoryDisplay(const Session &session, std::function<DecoderThread *()> decoder, QObject *parent)
    : Display(parent), m_estimate(session, std::move(decoder)), m_overlay(
                                                 m_estimate, [this] { return m_sink.get(); },
                                                 [this] { emit pictureShown(); })
{
}

MemoryDisplay::~MemoryDisplay() = default;

bool MemoryDisplay::attach(libvlc_media_player_t *player)
{
    // Waking the GUI thread for every picture costs a tenth of the engine's CPU
    // time: only while someone looks, and one event for however many pictures.
    m_sink = std::make_shared<FrameSink>([this] {
        if (m_framesWanted.load(std::memory_order_relaxed) && !m_framePosted.exchange(true))
            QCoreApplication::postEvent(this, new QEvent(kFrameEvent));
    });
    m_sink->attach(player);
    m_estimate.setSink(m_sink.get());
    return true;
}

void MemoryDisplay::retire(libvlc_media_player_t *player, std::shared_ptr<void> input)
{
    if (m_sink)
        m_sink->silence();
    m_estimate.setSink(nullptr);
    auto keep = std::make_shared<std::pair<std::shared_ptr<void>, std::shared_ptr<void>>>(std::move(m_sink),
                                                                                         std::move(input));
    reaper::retire(player, std::move(keep), nullptr);
    m_sink.reset();
}

void MemoryDisplay::stopped()
{
    m_overlay.clear();
    m_estimate.stopped();
}

bool MemoryDisplay::event(QEvent *event)
{
    if (event->type() == kFrameEvent) {
        m_framePosted = false;
        emit pictureShown();
        return true;
    }
    return Display::event(event);
}

QImage MemoryDisplay::picture()
{
    if (!m_sink)
        return {};
    const QImage engines = m_overlay.image();
    return engines.isNull() ? m_sink->lastFrame() : engines;
}

} // namespace playback::engine
