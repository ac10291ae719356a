#pragma once
// The stamp scripts/make-sample-disc burns into every picture of the sample
// discs, read back from pixels, so that tests and benchmarks can tell which
// frame of which title is on screen.

#include <QImage>
#include <QString>

#include <optional>

namespace sampledisc {

struct FrameStamp {
    int frame = -1;   // frame number within the title, from 0
    int title = -1;   // 0 in the menu
    int chapter = -1; // 0 in the menu
};

// Reads the stamp from a picture that shows the whole video frame, at any size
// down to about 320x256, with or without black borders around it. nullopt when
// there is no stamp or any of its cells cannot be read with certainty.
std::optional<FrameStamp> readFrameStamp(const QImage &picture);

// "HH:MM:SS:FF" at framesPerSecond as a frame count; -1 when malformed.
int framesOf(const QString &timecode, int framesPerSecond = 25);

} // namespace sampledisc
