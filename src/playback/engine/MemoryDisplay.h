#pragma once
// Pictures into memory, where there is no X window to embed libvlc in (the
// offscreen platform, say): libvlc hands each picture it displays to a FrameSink,
// and the picture on screen is painted by the control or the full-screen window.
// The engine's own pictures replace libvlc's in what is painted (MemoryOverlay);
// the position is the sink's count of the pictures shown (CountEstimate).
//
// Threads: the sink's callbacks run on libvlc's video thread, and its frame
// callback only posts an event to this object. The rest runs on the GUI thread.

#include "playback/engine/CountEstimate.h"
#include "playback/engine/Display.h"

#include <QTimer>

#include <atomic>
#include <functional>

namespace playback::engine {

class DecoderThread;
class FrameSink;

// The engine's picture in what is painted, while it is pinned or the estimate holds.
class MemoryOverlay final : public Overlay {
public:
    // sink: the current player's; repaint: what is on screen has changed.
    MemoryOverlay(PositionEstimate &estimate, std::function<FrameSink *()> sink, std::function<void()> repaint);

    QSize size() const override { return {}; }
    bool hold(bool pinned) override;
    void show(const QImage &picture, bool pinned) override;
    void unpin() override;
    void clear() override;
    bool isShown() override;
    // The engine's picture while it is shown; null otherwise.
    QImage image();

private:
    // A repaint when the hold ends without libvlc showing a picture.
    void watch();

    PositionEstimate &m_estimate;
    std::function<FrameSink *()> m_sink;
    std::function<void()> m_repaint;
    QImage m_picture;
    bool m_shown = false;
    bool m_pinned = false;
    QTimer m_timer;
};

class MemoryDisplay final : public Display {
    Q_OBJECT
public:
    MemoryDisplay(const Session &session, std::function<DecoderThread *()> decoder, QObject *parent = nullptr);
    ~MemoryDisplay() override;

    bool attach(libvlc_media_player_t *player) override;
    void retire(libvlc_media_player_t *player, std::shared_ptr<void> input) override;
    void stopped() override;

    PositionEstimate &estimate() override { return m_estimate; }
    Overlay &overlay() override { return m_overlay; }

    bool rendersIntoMemory() const override { return true; }
    QImage picture() override;
    void setFramesWanted(bool wanted) override { m_framesWanted = wanted; }

protected:
    bool event(QEvent *event) override;

private:
    std::shared_ptr<FrameSink> m_sink; // the current player's
    std::atomic<bool> m_framesWanted{false};
    std::atomic<bool> m_framePosted{false};
    CountEstimate m_estimate;
    MemoryOverlay m_overlay;
};

} // namespace playback::engine
