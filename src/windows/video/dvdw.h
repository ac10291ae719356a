#pragma once
// The video window: owns the playback control `dvd` and keeps it sized to the
// client area. Every other window reaches the control through it.

#include "app/Form.h"
#include "playback/PlaybackControl.h"

class dvdw : public app::Form {
    Q_OBJECT
public:
    dvdw();

    void Form_Load() override;
    void Form_Resize();

    playback::PlaybackControl *dvd;

protected:
    // Only the control window unloads the video window; a close request from
    // the window system (Alt+F4) would lose the picture with no way back.
    bool acceptsCloseRequest() const override { return false; }
    void resizeEvent(QResizeEvent *event) override;
    // A disc dropped here is the control window's to play.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
};

// The `dvd` control of the video window's single instance, loading the window
// (and with it a new control) if it is not loaded.
playback::PlaybackControl &dvd();
