#include "playback/engine/CellStill.h"

#include "playback/engine/DecoderThread.h"
#include "playback/engine/Display.h"
#include "playback/engine/Session.h"

#include <algorithm>

namespace playback::engine {

namespace {

// How often libvlc's reading is looked at while the title has stills, and for
// how many looks in a row it stands before libvlc's reader is taken to be in a
// still (while playing, it moves many times a second).
constexpr int kLookMs = 40, kStandingLooks = 10;
// In a still, the reading stands at the start of the cell's last VOBU (at most
// a second long).
constexpr std::int64_t kReadingBeforeEndMs = 1200;
// The picture on screen stands this close before the cell's end once it reaches
// the still (libvlc's own last pictures there never come).
constexpr std::int64_t kNearEndMs = 200;
// A cell libvlc may be sent through on its way to a still: a few pictures at
// most, which the jump's cover hides.
constexpr std::int64_t kLeadInMs = 200;

} // namespace

CellStill::CellStill(const Session &session, std::function<Display &()> display,
                     std::function<DecoderThread *()> decoder, std::function<std::optional<std::int64_t>()> reading,
                     std::function<std::optional<std::int64_t>()> position)
    : m_session(session), m_display(std::move(display)), m_decoder(std::move(decoder)),
      m_reading(std::move(reading)), m_position(std::move(position))
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
    m_lastReading.reset();
    m_standing = 0;
    m_in.reset();
    m_asked = false;
    m_shownMs.reset();
}

std::optional<std::int64_t> CellStill::shownMs(std::optional<std::int64_t> libvlcMs) const
{
    if (!m_in)
        return libvlcMs;
    if (m_shownMs || !libvlcMs)
        return lastPictureMs();
    return std::min(*libvlcMs, lastPictureMs());
}

const disc::TitleFacts::Still *CellStill::stillNear(std::int64_t positionMs) const
{
    for (const disc::TitleFacts::Still &still : m_stills)
        if (positionMs >= still.endMs - kNearEndMs && positionMs < still.endMs)
            return &still;
    return nullptr;
}

std::optional<std::int64_t> CellStill::leadInTo(std::int64_t targetMs) const
{
    const auto startsThere = [&](const disc::TitleFacts::Still &s) { return s.startMs == targetMs; };
    if (std::none_of(m_stills.begin(), m_stills.end(), startsThere))
        return std::nullopt;
    for (const disc::TitleFacts::Still &still : m_stills)
        if (still.endMs == targetMs && still.endMs - still.startMs <= kLeadInMs)
            return still.startMs;
    return std::nullopt;
}

// libvlc's reading standing near a still cell's end, while playing (at any
// forward speed: libvlc holds a still for its time at x8 too): its reader is in
// the still. Once the picture on screen gets there, the cell's last picture is
// put up; once the reading moves, the still is over.
void CellStill::look()
{
    if (m_session.scanning)
        return;
    const std::optional<std::int64_t> reading = m_reading();
    m_standing = reading && reading == m_lastReading ? m_standing + 1 : 0;
    m_lastReading = reading;
    if (m_in && reading != m_in->reading) {
        stillEnded();
        return;
    }
    if (!m_in && reading && m_standing >= kStandingLooks && !m_session.paused && m_session.rate > 0) {
        // The first still cell to end after the reading (the cell it reads).
        const auto still = std::find_if(m_stills.begin(), m_stills.end(),
                                        [&](const disc::TitleFacts::Still &s) { return *reading < s.endMs; });
        if (still != m_stills.end() && *reading >= still->endMs - kReadingBeforeEndMs)
            m_in = InStill{*still, *reading};
    }
    if (!m_in || m_asked)
        return;
    const std::optional<std::int64_t> position = m_position();
    DecoderThread *decoder = m_decoder();
    if (!position || *position < m_in->still.endMs - kNearEndMs || !decoder)
        return;
    m_asked = true;
    connect(decoder, &DecoderThread::pictureReady, this, &CellStill::pictureReady, Qt::UniqueConnection);
    decoder->request(m_title, m_in->still.endMs - 1, m_display().overlay().size());
}

// libvlc plays on from the next cell: as after a jump there, the still's picture
// stays until libvlc's next one comes.
void CellStill::stillEnded()
{
    const std::int64_t heldMs = lastPictureMs(), nextMs = m_in->still.endMs;
    const bool shown = m_shownMs.has_value();
    release();
    Display &display = m_display();
    display.estimate().jumped(nextMs, heldMs, true);
    if (shown)
        display.overlay().unpin();
}

void CellStill::pictureReady(const QImage &picture, qint64 ms, int title)
{
    if (!m_asked || !m_in || title != m_title || ms >= m_in->still.endMs || ms < m_in->still.endMs - kNearEndMs
        || picture.isNull())
        return; // another still, or a picture the scan asked for
    m_display().overlay().show(picture, true);
    m_shownMs = ms;
}

} // namespace playback::engine
