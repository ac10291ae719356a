#pragma once
// Where libvlc's pictures go, and where the picture on screen is in the title.
// Two kinds: into memory (MemoryOutput: libvlc hands each picture over and we
// paint it) and embedded (EmbeddedOutput: libvlc draws into an X window of ours
// and we see none of its pictures). The control never asks which it has.
//
// Threads: libvlcJumped() and libvlcTime() run on libvlc's event threads (from
// Player's callback) and lock for themselves; everything else runs on the GUI
// thread.

#include "playback/engine/Picture.h"

#include <QImage>
#include <QObject>
#include <QSize>

#include <cstdint>
#include <memory>
#include <optional>

class QWidget;
struct libvlc_media_player_t;

namespace playback::engine {

class PictureOutput : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // ---- Each player (one for each Play from stopped)
    // The player draws here from now on. False: this output cannot take it.
    virtual bool attach(libvlc_media_player_t *player) = 0;
    // The player is let go: it is stopped and released on the reaper's thread, and
    // what it drew into, and what it read from (input, may be null), are kept until then.
    virtual void retire(libvlc_media_player_t *player, std::shared_ptr<void> input) = 0;
    virtual bool wantsTimes() const { return false; }

    // ---- libvlc's threads
    // A title or chapter change: the seek behind a jump has been carried out.
    virtual void libvlcJumped() = 0;
    // libvlc's reading of the time (only when wantsTimes()).
    virtual void libvlcTime(std::int64_t) {}

    // ---- The session
    virtual void started() = 0; // from the start of the disc, rate 1
    virtual void stopped() = 0; // no picture, no position
    virtual void setFrameRate(int) {}
    virtual void rateChanged(double rate, bool paused) = 0;
    virtual void paused() = 0;
    virtual void resumed(double rate) = 0;
    // libvlc is sent to targetMs of a title (a chapter or title jump). shownBefore:
    // the position on screen until then; armed: no older pictures are queued.
    virtual void jumped(std::int64_t targetMs, std::optional<std::int64_t> shownBefore, bool armed) = 0;
    // libvlc went from title `from` (-1: none yet, 0: the menu) to `to` on its own;
    // fromLengthMs: the length of the title it left.
    virtual void titleChanged(int from, int to, std::int64_t fromLengthMs) = 0;
    // A title starts playing. True when the output wants the title's mux lead
    // (TitleStills::muxLeadMs) through setMuxLead().
    virtual bool titleStarted() { return false; }
    virtual void setMuxLead(std::int64_t) {}

    // The position of the picture on screen; libvlcMs: libvlc's own reading.
    virtual std::optional<std::int64_t> positionMs(std::int64_t libvlcMs) const = 0;

    // ---- The reverse scan's pictures, shown over libvlc's paused one
    // The size to draw them at (with the disc's aspect); empty: as decoded.
    virtual QSize stillSize() const = 0;
    virtual void scanStarted() {}
    virtual void showStill(const QImage &picture) = 0;
    // The screen goes back to libvlc. seekMs: where libvlc was sent (the still's
    // position), nullopt when it plays on from a jump instead. The still stays
    // until libvlc's own picture shows.
    virtual void releaseStill(std::optional<std::int64_t> seekMs) = 0;
    // The pictures that seek may land on (nullopt: none known).
    virtual void landingPictures(const std::optional<KnownPictures> &pictures) = 0;
    // After jumped(): the first picture libvlc will show there (at ms, its
    // lumaSampleHash), to show until libvlc's own comes.
    virtual void coverJump(const QImage &picture, std::int64_t ms, std::uint64_t hash) = 0;

    // ---- Presentation
    virtual bool rendersIntoMemory() const = 0;
    // What is on screen when we paint it ourselves; null otherwise.
    virtual QImage picture() const { return {}; }
    // The widget the picture shows in: the control, or the full-screen window.
    virtual void setHost(QWidget *) {}
    // Whether anyone looks at pictureShown (painting costs a GUI wake-up a picture).
    virtual void setFramesWanted(bool) {}

signals:
    void pictureShown();  // a new picture to paint
    void doubleClicked(); // on the picture, where Qt cannot see the clicks
};

} // namespace playback::engine
