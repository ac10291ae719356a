#pragma once
// Installs the real playback component as the control the video window creates.

#include <QString>

namespace playback {

// disc: the disc named on the command line (a device, an image or a folder),
// or empty to look for a disc in the optical drives.
void installPlaybackEngine(const QString &disc);

} // namespace playback
