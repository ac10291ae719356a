#pragma once
// Ejecting a drive through UDisks2, the system bus service that file managers
// eject with: it unmounts what is mounted and needs no root.

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
