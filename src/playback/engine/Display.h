#pragma once
// Where libvlc's pictures go: into memory, painted by us (MemoryDisplay), or
// into an X window of ours that libvlc draws in itself (EmbeddedDisplay). Each
// kind has its position estimate and its overlay for the engine's own pictures.
// The control never asks which kind it has.
//
// Threads: GUI thread only, but for estimate(), which libvlc's event threads
// reach through the Player (see PositionEstimate.h).

#include "playback/engine/Overlay.h"
#include "playback/engine/PositionEstimate.h"

#include <QImage>
#include <QObject>

#include <memory>

class QWidget;
struct libvlc_media_player_t;

namespace playback::engine {

class Display : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // ---- Each player (one for each Play from stopped)
    // The player draws here from now on. False: this display cannot take it.
    virtual bool attach(libvlc_media_player_t *player) = 0;
    // The player is let go: it is stopped and released on the reaper's thread, and
    // what it drew into, and what it read from (input, may be null), are kept until then.
    virtual void retire(libvlc_media_player_t *player, std::shared_ptr<void> input) = 0;
    // Nothing plays: the engine's pictures go.
    virtual void stopped() = 0;

    virtual PositionEstimate &estimate() = 0;
    virtual Overlay &overlay() = 0;

    // ---- Presentation
    virtual bool rendersIntoMemory() const = 0;
    // What is on screen when we paint it ourselves; null otherwise.
    virtual QImage picture() { return {}; }
    // The widget the picture shows in: the control, or the full-screen window.
    virtual void setHost(QWidget *) {}
    // Whether anyone looks at pictureShown (painting costs a GUI wake-up a picture).
    virtual void setFramesWanted(bool) {}

signals:
    void pictureShown();  // a new picture to paint
    void doubleClicked(); // on the picture, where Qt cannot see the clicks
};

} // namespace playback::engine
