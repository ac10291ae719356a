#pragma once
// The reverse scan: libvlc cannot play backwards. While it stands still (the
// control pauses it), the scan shows pictures decoded by the engine over its
// last one, stepping back from where it began at the chosen speed. The scan's
// picture stays on screen, with its time, when the scan stops; when play goes
// on from there, the control sends libvlc to it and the decoder says which GOP
// starts it may land on.
//
// Threads: GUI thread. The decoding runs on the DecoderThread.

#include "playback/engine/Picture.h"

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <optional>

namespace playback::engine {

class DecoderThread;
class Display;
struct Session;

class ReverseScan : public QObject {
    Q_OBJECT
public:
    // display: where the pictures go; decoder: the engine's decoder of the moment.
    ReverseScan(const Session &session, std::function<Display &()> display,
                std::function<DecoderThread *()> decoder);
    ~ReverseScan() override;

    // Steps back from fromMs in title (libvlc stands still meanwhile). False:
    // there is nothing to decode with (no disc).
    bool start(int title, std::int64_t fromMs, double speed);
    void setSpeed(double speed) { m_speed = speed; }
    // Stops stepping back; the scan's picture stays on screen.
    void stop();
    bool isRunning() const { return m_running; }
    // The position of the scan's picture on screen (before the first one: where
    // the scan began), nullopt when the screen is libvlc's.
    std::optional<std::int64_t> stillMs() const;
    // The screen goes back to libvlc from the scan's picture, if there is one.
    // With seek, the picture's position is returned, for libvlc to be sent
    // there, and the pictures it may land on are asked for.
    std::optional<std::int64_t> release(bool seek);
    // Nothing plays any more.
    void forget();

signals:
    // The title's start: libvlc is to play on from the title's first chapter.
    void reachedTitleStart(int title);

private:
    void step();
    void pictureReady(const QImage &picture, qint64 ms, int title);
    void landingReady(const KnownPictures &pictures, int title);

    const Session &m_session;
    std::function<Display &()> m_display;
    std::function<DecoderThread *()> m_decoder;
    bool m_running = false;
    double m_speed = 1.0;
    double m_targetMs = 0.0; // where the scan has got to
    std::int64_t m_startMs = 0;
    int m_title = 0;
    QTimer m_timer;
    QElapsedTimer m_clock;
    std::optional<std::int64_t> m_stillMs; // the scan's picture on screen
};

} // namespace playback::engine
