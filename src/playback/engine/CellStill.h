#pragma once
// A cell that ends in a still: its last picture is held for some seconds, or
// until the viewer moves on. libvlc falls short there in two ways:
//  - it shows the picture two before the last (its decoder keeps the last ones
//    back, as no picture follows them): while libvlc holds a still, the cell's
//    last picture, decoded by the engine, stands over libvlc's and the position
//    reads its time, until libvlc shows a picture of its own again;
//  - after a skip or a seek out of a still its DVD reader stays in the still
//    and reads nothing more: the control sends it to the title first, which
//    lets go of the still (VlcPlaybackControl::jumpTo, unpause). libdvdnav
//    then skips the next still it meets, at the end of the cell it is sent into;
//    where a short still cell leads into that cell (a gallery's pictures), libvlc
//    is sent through it, and its end takes the skip.
//
// Threads: GUI thread. The decoding runs on the DecoderThread.

#include "playback/disc/Facts.h"

#include <QImage>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace playback::engine {

class DecoderThread;
class Display;
struct Session;

class CellStill : public QObject {
    Q_OBJECT
public:
    // reading: libvlc's own time reading (it stands still while libvlc's reader
    // is in a still); position: where libvlc's picture on screen is, by the
    // display's estimate.
    CellStill(const Session &session, std::function<Display &()> display, std::function<DecoderThread *()> decoder,
              std::function<std::optional<std::int64_t>()> reading, std::function<std::optional<std::int64_t>()> position);

    // The stills of the title taken up (none: nothing to watch); lets go of any held.
    void setStills(int title, std::vector<disc::TitleFacts::Still> stills);
    // The position of the picture on screen, given libvlc's by the estimate: in a
    // still, no later than the cell's last picture, and that picture once held.
    std::optional<std::int64_t> shownMs(std::optional<std::int64_t> libvlcMs) const;
    // Whether the picture at positionMs is in a still or about to be: a skip from
    // there must let go of it.
    bool inOrNear(std::int64_t positionMs) const { return m_in || stillNear(positionMs); }
    // Before a jump from a still to targetMs, whose first cell ends in a still:
    // the start of a short still cell that ends there, if there is one.
    std::optional<std::int64_t> leadInTo(std::int64_t targetMs) const;
    // A jump takes the screen: the held picture is the jump's to keep or replace.
    void release();
    // The reverse scan starts from positionMs, libvlc paused under it.
    void scanFrom(std::int64_t positionMs)
    {
        m_scanFromStill = inOrNear(positionMs);
        release();
    }
    // Whether libvlc stood in a still when the scan began (once: the seek or
    // jump after the scan asks, and lets go of it).
    bool takeScanFromStill() { return std::exchange(m_scanFromStill, false); }

private:
    void look();
    void stillEnded();
    void pictureReady(const QImage &picture, qint64 ms, int title);
    const disc::TitleFacts::Still *stillNear(std::int64_t positionMs) const;
    std::int64_t lastPictureMs() const { return m_shownMs.value_or(m_in->still.endMs - 1); }

    struct InStill {
        disc::TitleFacts::Still still;
        std::int64_t reading = 0; // libvlc's reading, standing while it lasts
    };
    const Session &m_session;
    std::function<Display &()> m_display;
    std::function<DecoderThread *()> m_decoder;
    std::function<std::optional<std::int64_t>()> m_reading, m_position;
    QTimer m_timer;
    int m_title = 0;
    std::vector<disc::TitleFacts::Still> m_stills;
    std::optional<std::int64_t> m_lastReading;
    int m_standing = 0;                    // looks in a row the reading has not changed
    std::optional<InStill> m_in;           // the still libvlc's reader is in
    bool m_asked = false;                  // the cell's last picture is asked of the decoder
    std::optional<std::int64_t> m_shownMs; // the engine's picture of it, on screen
    bool m_scanFromStill = false;
};

} // namespace playback::engine
