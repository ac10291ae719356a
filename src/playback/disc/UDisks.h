#pragma once
// Ejecting a drive the desktop way: through UDisks2 on the system bus, which
// needs no root, and which the desktop's own tools use.

#include <QString>

#include <optional>

namespace playback::disc {

struct UDisksEject {
    bool reached = false;           // UDisks2 knows the device: the answer is its own
    std::optional<QString> refused; // why it did not eject, when it did not
};

// Asks UDisks2 to eject the drive that holds device (a /dev path). Not reached
// when there is no system bus, no UDisks2 on it, or UDisks2 does not know the
// device: the caller ejects by itself then.
UDisksEject ejectThroughUDisks(const QString &device);

} // namespace playback::disc
