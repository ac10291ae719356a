#pragma once
// Drives through UDisks2 on the system bus: ejecting one (UDisks2 unmounts what
// is mounted first, and needs no root), and hearing that a drive's disc went in
// or out.
//
// Threads: GUI thread (MediaWatch); the rest on any thread.

#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

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

// UDisks2's object path of the drive that holds device, empty when UDisks2 does
// not know it (or is not there).
QString udisksDriveOf(const QString &device);

// Tells when UDisks2 says a drive's disc went in or out.
class MediaWatch : public QObject {
    Q_OBJECT
public:
    explicit MediaWatch(QObject *parent = nullptr);
    // UDisks2 was there to listen to when this was made.
    bool isWatching() const { return m_watching; }

signals:
    // drive: the drive's object path (see udisksDriveOf); present: it holds a disc now.
    void mediaChanged(const QString &drive, bool present);

private slots:
    void propertiesChanged(const QString &interface, const QVariantMap &changed, const QStringList &invalidated,
                           const QDBusMessage &message);

private:
    bool m_watching = false;
};

} // namespace playback::disc
