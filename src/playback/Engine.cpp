#include "playback/Engine.h"

#include "playback/PlaybackControl.h"
#include "playback/engine/VlcPlaybackControl.h"

namespace playback {

void installPlaybackEngine(const QString &disc)
{
    PlaybackControl::setFactory(
        [disc](QWidget *parent) -> PlaybackControl * { return new engine::VlcPlaybackControl(disc, parent); });
}

} // namespace playback
