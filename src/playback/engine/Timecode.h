#pragma once
// Positions and lengths as the playback control reports them: "HH:MM:SS:FF".

#include <QString>

#include <cstdint>

namespace playback::engine {

// The frame rate used for the FF field: 25 for PAL, 30 for NTSC (29.97 rounds up),
// 25 when the rate is not known yet.
int timecodeFrameRate(double fps);

// ms: a position in milliseconds (negative counts as 0). Hours, minutes and
// seconds get two digits each (hours keep growing past 99), FF is the frame within
// the second at frameRate frames per second.
QString formatTimecode(std::int64_t ms, int frameRate);

// The start of the picture whose time on screen includes ms, pictures following
// each other every periodMs from 0 (ms itself when the period is not known). A
// clock runs on through a picture's time; a film picture lasts 1.25 NTSC frames.
std::int64_t pictureStartMs(std::int64_t ms, double periodMs);

} // namespace playback::engine
