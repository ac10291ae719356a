#pragma once
// The DVD playback control as the windows see it: one widget, hosted by the
// video window, offering the operations below under their own names. Reads
// return Variant values that the caller converts; every failure is reported
// per call as a PlaybackError (or another app::AppError), never as a special
// value.

#include "playback/PlaybackError.h"
#include "playback/Variant.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace playback {

class PlaybackControl : public QWidget {
    Q_OBJECT
public:
    explicit PlaybackControl(QWidget *parent = nullptr);
    ~PlaybackControl() override;

    // Methods; results are discarded by every caller.
    virtual void Play() = 0;
    virtual void Pause() = 0;
    virtual void Stop() = 0;
    virtual void PlayBackwards(const Variant &speed) = 0; // double
    virtual void PlayForwards(const Variant &speed) = 0;  // double
    virtual void Resume() = 0;
    virtual void PlayNextChapter() = 0;
    virtual void PlayPrevChapter() = 0;
    virtual void Eject() = 0;
    virtual Variant GetSubpictureLanguage(const Variant &stream) = 0; // 32-bit stream number, 1..N

    // Property reads.
    virtual Variant CurrentTitle() = 0;     // 32-bit
    virtual Variant CurrentChapter() = 0;   // 32-bit
    virtual Variant CurrentTime() = 0;      // "HH:MM:SS:FF"
    virtual Variant TotalTitleTime() = 0;   // "HH:MM:SS:FF"
    virtual Variant DVDDirectory() = 0;     // string
    virtual Variant CurrentDiscSide() = 0;  // 32-bit
    virtual Variant CurrentSubpictureStream() = 0; // 32-bit, 1..N
    virtual Variant SubpictureOn() = 0;     // Boolean
    virtual Variant SubpictureStreamsAvailable() = 0; // 32-bit, narrowed to 16 bits by callers
    virtual Variant DVDUniqueID() = 0;      // string
    virtual Variant VolumeName();           // string: the disc's volume label, or its folder's name

    // Where the picture on screen is in the title playing, and the title's length,
    // in milliseconds: what CurrentTime and TotalTitleTime say, to the millisecond.
    // nullopt when no title plays (stopped, or in a menu).
    struct TitlePosition {
        std::int64_t ms = 0;
        std::int64_t lengthMs = 0;
    };
    virtual std::optional<TitlePosition> titlePosition() { return std::nullopt; }

    // From now on plays the disc named as on the command line (a device, an image
    // or a folder); what plays stops. It is looked at when it is played.
    virtual void setDisc(const QString &argument);

    // Property writes.
    virtual void setFullScreenMode(const Variant &on) = 0;         // Boolean
    virtual void setCurrentSubpictureStream(const Variant &n) = 0; // 32-bit
    virtual void setSubpictureOn(const Variant &on) = 0;           // Boolean
    virtual void setMute(const Variant &on) = 0;                   // Boolean

    // The host's placement of the control, in the host window's twips. A
    // negative width or height is refused with app::InvalidArgument.
    void Move(double left, double top, double width, double height);

    // Where the video window gets its control from. The program installs the
    // real engine; tests install their double.
    using Factory = std::function<PlaybackControl *(QWidget *parent)>;
    static void setFactory(Factory factory);
    static PlaybackControl *create(QWidget *parent);

    // True while a disc plays, forwards or backwards: not paused, not stopped.
    bool isPlaying() const { return m_playing; }
    // True from a Play that waits for the disc to be read (a drive spinning up)
    // until playStarted() or Stop.
    bool isStarting() const { return m_starting; }

signals:
    void playingChanged(bool playing);
    // A Play that waited for the disc has ended: the disc plays (failure empty),
    // or it cannot (failure: why, in plain words).
    void playStarted(const QString &failure);
    // What the control knows of the disc changed (it was read, or another disc
    // went in): the disc's readings may differ now.
    void discChanged();
    // The disc stopped without being asked: at its end (failure empty) or
    // because it could not be read any further (failure: why, in plain words).
    void playbackStopped(const QString &failure);

protected:
    // Emits playingChanged on a change.
    void setPlaying(bool playing);
    void setStarting(bool starting) { m_starting = starting; }

private:
    bool m_playing = false;
    bool m_starting = false;
};

} // namespace playback
