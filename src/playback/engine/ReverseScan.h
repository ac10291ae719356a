#pragma once
// The engine's own pictures, decoded from the disc, over libvlc's.
//
// The reverse scan: libvlc cannot play backwards. It holds its last picture
// (paused) while the scan shows pictures decoded here over it, through the
// picture output, stepping back from where it began at the chosen speed. The
// scan's picture stays on screen, with its time, when the scan stops; when play
// resumes from it, libvlc is sent there, and the worker says which GOP starts it
// may land on.
//
// Jumps: libvlc shows a chapter's first picture only some 0.6 to 0.8 s after it
// is sent there (its clock waits out the disc's multiplexing lead). The chapter's
// first picture, decoded here in tens of milliseconds, covers the wait; libvlc's
// own, the same picture, takes over when it comes.
//
// Threads: GUI thread. The decoding runs on ScanWorker's thread, whose answers
// come back as signals on the GUI thread.

#include "playback/engine/PictureOutput.h"

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace playback::engine {

class Player;
class ScanWorker;

class ReverseScan : public QObject {
    Q_OBJECT
public:
    // output: where the pictures go; player: the player of the moment.
    ReverseScan(std::function<PictureOutput &()> output, std::function<Player *()> player);
    ~ReverseScan() override;

    // The disc the worker reads. forget() lets go of it (a drive may be ejected next).
    void setDisc(const QString &path);
    void forget();

    // Pauses libvlc and steps back from fromMs.
    void start(int title, std::int64_t fromMs, double speed);
    void setSpeed(double speed) { m_speed = speed; }
    // Stops stepping back; the scan's picture stays on screen.
    void stop();
    bool isRunning() const { return m_running; }
    int title() const { return m_title; }
    // The position of the scan's picture on screen (before the first one: where
    // the scan began), nullopt when the screen is libvlc's.
    std::optional<std::int64_t> stillMs() const;
    // The screen goes back to libvlc from the scan's picture, if there is one.
    // seek: libvlc is sent to it and the pictures it may land on are asked for
    // (landingPicturesReady); returns whether it was sent.
    bool handOver(bool seek);

    // The title's mux lead (TitleStills::muxLeadMs), as muxLeadReady.
    void requestMuxLead(int title);
    // libvlc was sent to the start of title's chapter (0-based): its first picture
    // goes to the output (PictureOutput::coverJump) as soon as it is decoded.
    void coverJump(int title, int chapter);

signals:
    // The title's start: libvlc plays on (from the title's first chapter, for the control to jump to).
    void reachedTitleStart(int title);
    void landingPicturesReady(const playback::engine::KnownPictures &pictures, int title);
    void muxLeadReady(qint64 ms, int title);

private:
    ScanWorker &worker();
    void step();
    void pictureReady(const QImage &picture, qint64 ms, int title);
    void chapterStartReady(const QImage &picture, qint64 ms, quint64 hash, int title, int chapter);

    std::function<PictureOutput &()> m_output;
    std::function<Player *()> m_player;
    QString m_disc;
    std::unique_ptr<ScanWorker> m_worker;
    bool m_running = false;
    double m_speed = 1.0;
    double m_targetMs = 0.0; // where the scan has got to
    std::int64_t m_startMs = 0;
    int m_title = 0;
    QTimer m_timer;
    QElapsedTimer m_clock;
    std::optional<std::int64_t> m_stillMs; // the scan's picture on screen
    std::optional<std::pair<int, int>> m_jump; // the title and chapter a cover is awaited for
};

} // namespace playback::engine
