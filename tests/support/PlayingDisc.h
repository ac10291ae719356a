#pragma once
// The real engine playing a sample disc, rendering into memory, and what is on
// screen, read from the stamp burned into every picture.

#include "playback/engine/VlcPlaybackControl.h"
#include "support/SampleDisc.h"

#include <functional>
#include <memory>
#include <optional>

namespace testsupport {

class PlayingDisc {
protected:
    std::unique_ptr<playback::engine::VlcPlaybackControl> dvd;

    std::optional<FrameStamp> onScreen() const;
    // Waits for a picture on screen that pred accepts; on failure, says what was shown.
    bool waitFor(const std::function<bool(const FrameStamp &)> &pred, int timeoutMs = 10000);
    void play(const QString &disc);
};

} // namespace testsupport
