#include "playback/Engine.h"

#include "playback/PlaybackControl.h"

namespace playback {

namespace {

// Until the engine is built every operation reports that nothing can play.
class NoEngine final : public PlaybackControl {
public:
    using PlaybackControl::PlaybackControl;
    [[noreturn]] static void fail(const char *op)
    {
        throw PlaybackError(QLatin1String(op), QStringLiteral("no playback engine is available."));
    }
    void Play() override { fail("Play"); }
    void Pause() override { fail("Pause"); }
    void Stop() override { fail("Stop"); }
    void PlayBackwards(const Variant &) override { fail("PlayBackwards"); }
    void PlayForwards(const Variant &) override { fail("PlayForwards"); }
    void Resume() override { fail("Resume"); }
    void PlayNextChapter() override { fail("PlayNextChapter"); }
    void PlayPrevChapter() override { fail("PlayPrevChapter"); }
    void Eject() override { fail("Eject"); }
    Variant GetSubpictureLanguage(const Variant &) override { fail("GetSubpictureLanguage"); }
    Variant CurrentTitle() override { fail("CurrentTitle"); }
    Variant CurrentChapter() override { fail("CurrentChapter"); }
    Variant CurrentTime() override { fail("CurrentTime"); }
    Variant TotalTitleTime() override { fail("TotalTitleTime"); }
    Variant DVDDirectory() override { fail("DVDDirectory"); }
    Variant CurrentDiscSide() override { fail("CurrentDiscSide"); }
    Variant CurrentSubpictureStream() override { fail("CurrentSubpictureStream"); }
    Variant SubpictureOn() override { fail("SubpictureOn"); }
    Variant SubpictureStreamsAvailable() override { fail("SubpictureStreamsAvailable"); }
    Variant DVDUniqueID() override { fail("DVDUniqueID"); }
    void setFullScreenMode(const Variant &) override { fail("FullScreenMode"); }
    void setCurrentSubpictureStream(const Variant &) override { fail("CurrentSubpictureStream"); }
    void setSubpictureOn(const Variant &) override { fail("SubpictureOn"); }
    void setMute(const Variant &) override { fail("Mute"); }
};

} // namespace

void installPlaybackEngine(const QString &)
{
    PlaybackControl::setFactory([](QWidget *parent) { return new NoEngine(parent); });
}

} // namespace playback
