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

} // namespace playback::engine
