#include "playback/engine/Timecode.h"

#include <cmath>

namespace playback::engine {

int timecodeFrameRate(double fps)
{
    if (!(fps > 0.0) || !std::isfinite(fps))
        return 25;
    return fps > 27.5 ? 30 : 25;
}

QString formatTimecode(std::int64_t ms, int frameRate)
{
    if (ms < 0)
        ms = 0;
    if (frameRate <= 0)
        frameRate = 25;
    const std::int64_t seconds = ms / 1000;
    const int frame = static_cast<int>((ms % 1000) * frameRate / 1000);
    return QStringLiteral("%1:%2:%3:%4")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg((seconds / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'))
        .arg(frame, 2, 10, QLatin1Char('0'));
}

std::int64_t pictureStartMs(std::int64_t ms, double periodMs)
{
    if (!(periodMs > 0.0))
        return ms;
    // A millisecond's grace: a picture's own time may come rounded down.
    const double picture = std::floor(double(ms + 1) / periodMs);
    return std::int64_t(std::ceil(picture * periodMs));
}

} // namespace playback::engine
