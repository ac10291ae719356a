#pragma once
// Fake desktop services on the test's own bus (the test runs under
// dbus-run-session): UDisks2, and a way to serve any fake on a thread of its own.

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QThread>

#include <atomic>

namespace testsupport {

// The player looks for UDisks2 on the system bus; the test's session bus serves
// as that bus. Set before Qt first connects to either.
inline const bool systemBusIsSessionBus = qputenv("DBUS_SYSTEM_BUS_ADDRESS", qgetenv("DBUS_SESSION_BUS_ADDRESS"));

// UDisks2 as far as an eject and a disc change go: one drive, of device, whose
// tray opens unless it is locked. A block device's path is its drive's too.
class FakeUDisks : public QDBusVirtualObject {
public:
    explicit FakeUDisks(const QString &device = QStringLiteral("/dev/sr0")) : m_device(device) {}
    std::atomic<int> ejects{0};
    std::atomic<bool> locked{false};
    static inline const QString kDrive = QStringLiteral("/org/freedesktop/UDisks2/drives/sr0");

    // What UDisks2 says when the drive's disc goes in or out.
    static QDBusMessage mediaChanged(bool present)
    {
        QDBusMessage signal = QDBusMessage::createSignal(kDrive, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                         QStringLiteral("PropertiesChanged"));
        signal << QStringLiteral("org.freedesktop.UDisks2.Drive")
               << QVariantMap{{QStringLiteral("MediaAvailable"), present}} << QStringList();
        return signal;
    }

    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &m, const QDBusConnection &bus) override
    {
        const QDBusObjectPath drive(kDrive);
        const bool known = qdbus_cast<QVariantMap>(m.arguments().value(0)).value(QStringLiteral("path")) == m_device;
        if (m.member() == QLatin1String("ResolveDevice"))
            return bus.send(m.createReply(QVariant::fromValue(known ? QList{drive} : QList<QDBusObjectPath>{})));
        if (m.member() == QLatin1String("Get"))
            return bus.send(m.createReply(QVariant::fromValue(QDBusVariant(QVariant::fromValue(drive)))));
        ejects += !locked;
        return bus.send(locked ? m.createErrorReply(QStringLiteral("org.freedesktop.UDisks2.Error.Failed"),
                                                    QStringLiteral("the tray is locked"))
                               : m.createReply());
    }

private:
    const QString m_device;
};

// A fake service on a thread of its own, registered on the bus under its name
// and paths while this lives.
class OnBus {
public:
    OnBus(QObject &fake, const QString &service, const QStringList &paths)
        : m_service(service), m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, service))
    {
        fake.moveToThread(&m_thread);
        m_thread.start();
        for (const QString &path : paths)
            m_registered = qobject_cast<QDBusVirtualObject *>(&fake)
                               ? m_bus.registerVirtualObject(path, qobject_cast<QDBusVirtualObject *>(&fake),
                                                             QDBusConnection::SubPath)
                               : m_bus.registerObject(path, &fake, QDBusConnection::ExportAllSlots);
        m_registered = m_registered && m_bus.registerService(service);
    }
    ~OnBus()
    {
        QDBusConnection::disconnectFromBus(m_service);
        m_thread.quit();
        m_thread.wait();
    }
    bool registered() const { return m_registered; }
    // Sends as the service: a signal, say.
    bool send(const QDBusMessage &message) const { return m_bus.send(message); }

private:
    QString m_service;
    QThread m_thread;
    QDBusConnection m_bus;
    bool m_registered = false;
};

} // namespace testsupport
