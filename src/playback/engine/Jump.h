#pragma once
// A jump (a chapter skip, a title a menu button starts, the scan's landing at
// the title's start), from start to end: libvlc shows a chapter's first picture
// only some 0.6 to 0.8 s after it is sent there (its clock waits out the disc's
// multiplexing lead). Meanwhile the picture on screen stays, with its time;
// the chapter's first picture, decoded by the engine in tens of milliseconds,
// takes its place (the cover), and libvlc's own, the same picture, takes over
// when the position estimate says it has come.
//
// Threads: GUI thread. The decoding runs on the DecoderThread.

#include <QImage>
#include <QObject>

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

namespace playback::engine {

class DecoderThread;
class Display;

class Jump : public QObject {
    Q_OBJECT
public:
    Jump(std::function<Display &()> display, std::function<DecoderThread *()> decoder);

    // libvlc has been sent to the start of title's chapter (0-based), targetMs
    // into the title. shownBefore: the position of the picture on screen (nullopt:
    // none to keep); armed: no older pictures are queued.
    void start(int title, int chapter, std::int64_t targetMs, std::optional<std::int64_t> shownBefore, bool armed);
    // No cover is wanted any more (a scan starts, or nothing plays).
    void cancel() { m_awaited.reset(); }

private:
    void coverReady(const QImage &picture, qint64 ms, quint64 hash, int title, int chapter);

    std::function<Display &()> m_display;
    std::function<DecoderThread *()> m_decoder;
    std::optional<std::pair<int, int>> m_awaited; // the title and chapter a cover is awaited for
};

} // namespace playback::engine
