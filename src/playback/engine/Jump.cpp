#include "playback/engine/Jump.h"

#include "playback/engine/DecoderThread.h"
#include "playback/engine/Display.h"

namespace playback::engine {

Jump::Jump(std::function<Display &()> display, std::function<DecoderThread *()> decoder)
    : m_display(std::move(display)), m_decoder(std::move(decoder))
{
}

void Jump::start(int title, int chapter, std::int64_t targetMs, std::optional<std::int64_t> shownBefore, bool armed)
{
    Display &display = m_display();
    // libvlc may rush through pictures it had queued: the one on screen stays.
    const bool held = shownBefore && display.overlay().hold(false);
    display.estimate().jumped(targetMs, held ? shownBefore : std::nullopt, armed);
    DecoderThread *decoder = m_decoder();
    if (!decoder)
        return;
    connect(decoder, &DecoderThread::chapterStartReady, this, &Jump::coverReady, Qt::UniqueConnection);
    m_awaited = std::pair(title, chapter);
    decoder->requestChapterStart(title, chapter, display.overlay().size());
}

void Jump::coverReady(const QImage &picture, qint64 ms, quint64 hash, int title, int chapter)
{
    if (m_awaited != std::pair(title, chapter))
        return; // another jump or a scan since
    m_awaited.reset();
    Display &display = m_display();
    if (display.estimate().coverShown(ms, hash))
        display.overlay().show(picture, false);
}

} // namespace playback::engine
