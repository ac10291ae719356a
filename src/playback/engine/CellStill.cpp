#include "playback/engine/CellStill.h"

#include "playback/engine/DecoderThread.h"
#include "playback/engine/Display.h"
#include "playback/engine/Session.h"

namespace playback::engine {

namespace {

// How often the picture on screen is looked at while the title has stills, and
// for how many looks in a row libvlc's picture stands before it is taken for a
// still (longer than any picture lasts while playing).
constexpr int kLookMs = 40, kStandingLooks = 4;
// libvlc's picture stands this close before a still cell's end when it holds the still.
constexpr std::int64_t kNearEndMs = 200;

} // namespace

CellStill::CellStill(const Session &session, std::function<Display &()> display,
                     std::function<DecoderThread *()> decoder, std::function<std::optional<std::int64_t>()> position)
    : m_session(session), m_display(std::move(display)), m_decoder(std::move(decoder)), m_position(std::move(position))
{
    m_timer.setInterval(kLookMs);
    connect(&m_timer, &QTimer::timeout, this, &CellStill::look);
}

void CellStill::setStills(int title, std::vector<disc::TitleFacts::Still> stills)
{
    if (m_shownMs)
        m_display().overlay().clear();
    release();
    m_scanFromStill = false;
    m_title = title;
    m_stills = std::move(stills);
    if (m_stills.empty())
        m_timer.stop();
    else
        m_timer.start();
}

void CellStill::release()
{
    m_lastSeen.reset();
    m_standing = 0;
    m_heldFrom.reset();
    m_askedMs.reset();
    m_shownMs.reset();
}

const disc::TitleFacts::Still *CellStill::stillNear(std::int64_t positionMs) const
{
    for (const disc::TitleFacts::Still &still : m_stills)
        if (positionMs >= still.endMs - kNearEndMs && positionMs < still.endMs)
            return &still;
    return nullptr;
}

// libvlc's picture has stood still near a still cell's end over some looks, while
// playing at normal speed: libvlc holds the still. Once it shows another picture,
// it has moved on (the still ended or the viewer skipped).
void CellStill::look()
{
    if (m_session.scanning)
        return;
    const std::optional<std::int64_t> seen = m_position();
    const bool same = seen && seen == m_lastSeen;
    m_standing = same ? m_standing + 1 : 0;
    m_lastSeen = seen;
    if (m_heldFrom && !same) {
        if (m_shownMs)
            m_display().overlay().clear();
        release();
        m_lastSeen = seen;
        return;
    }
    if (m_heldFrom || m_standing < kStandingLooks || m_session.paused || m_session.rate != 1.0)
        return;
    const disc::TitleFacts::Still *still = stillNear(*seen);
    DecoderThread *decoder = still ? m_decoder() : nullptr;
    if (!decoder)
        return;
    m_heldFrom = seen;
    m_askedMs = still->endMs - 1;
    connect(decoder, &DecoderThread::pictureReady, this, &CellStill::pictureReady, Qt::UniqueConnection);
    decoder->request(m_title, *m_askedMs, m_display().overlay().size());
}

void CellStill::pictureReady(const QImage &picture, qint64 ms, int title)
{
    if (!m_askedMs || title != m_title || ms > *m_askedMs || ms < *m_askedMs - kNearEndMs || picture.isNull())
        return; // another still, or a picture the scan asked for
    m_askedMs.reset();
    if (ms <= *m_heldFrom)
        return; // libvlc shows the cell's last picture itself
    m_display().overlay().show(picture, true);
    m_shownMs = ms;
}

} // namespace playback::engine
