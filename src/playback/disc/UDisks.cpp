#include "playback/disc/UDisks.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QVariantMap>

namespace playback::disc {

namespace {

const QString kService = QStringLiteral("org.freedesktop.UDisks2");
constexpr int kLookupMs = 5000, kEjectMs = 30000; // the tray takes seconds

QDBusMessage call(const QString &path, const QString &interface, const QString &method, const QVariantList &arguments,
                  int timeoutMs)
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, method);
    message.setArguments(arguments);
    return QDBusConnection::systemBus().call(message, QDBus::Block, timeoutMs);
}

} // namespace

QString udisksDriveOf(const QString &device)
{
    if (!QDBusConnection::systemBus().isConnected())
        return {};
    const QDBusMessage blocks = call(QStringLiteral("/org/freedesktop/UDisks2/Manager"),
                                     QStringLiteral("org.freedesktop.UDisks2.Manager"), QStringLiteral("ResolveDevice"),
                                     {QVariantMap{{QStringLiteral("path"), device}}, QVariantMap{}}, kLookupMs);
    const auto paths = qdbus_cast<QList<QDBusObjectPath>>(blocks.arguments().value(0));
    if (blocks.type() != QDBusMessage::ReplyMessage || paths.isEmpty())
        return {};
    const QDBusMessage drive =
        call(paths.first().path(), QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
             {QStringLiteral("org.freedesktop.UDisks2.Block"), QStringLiteral("Drive")}, kLookupMs);
    const QString drivePath =
        drive.arguments().value(0).value<QDBusVariant>().variant().value<QDBusObjectPath>().path();
    if (drive.type() != QDBusMessage::ReplyMessage || drivePath == QLatin1String("/"))
        return {};
    return drivePath;
}

UDisksEject ejectThroughUDisks(const QString &device)
{
    const QString drivePath = udisksDriveOf(device);
    if (drivePath.isEmpty())
        return {};
    const QDBusMessage ejected = call(drivePath, QStringLiteral("org.freedesktop.UDisks2.Drive"), QStringLiteral("Eject"),
                                      {QVariantMap{}}, kEjectMs);
    if (ejected.type() == QDBusMessage::ReplyMessage)
        return {true, std::nullopt};
    return {true, QStringLiteral("the drive's tray could not be opened (%1).").arg(ejected.errorMessage())};
}

MediaWatch::MediaWatch(QObject *parent) : QObject(parent)
{
    // Any object of UDisks2's: drives come and go with their paths.
    QDBusConnection bus = QDBusConnection::systemBus();
    m_watching = bus.isConnected()
                 && bus.connect(kService, QString(), QStringLiteral("org.freedesktop.DBus.Properties"),
                                QStringLiteral("PropertiesChanged"), this,
                                SLOT(propertiesChanged(QString, QVariantMap, QStringList, QDBusMessage)))
                 && bus.interface() && bus.interface()->isServiceRegistered(kService);
}

void MediaWatch::propertiesChanged(const QString &interface, const QVariantMap &changed, const QStringList &,
                                   const QDBusMessage &message)
{
    if (interface != QLatin1String("org.freedesktop.UDisks2.Drive"))
        return;
    // A drive that tells of its media says MediaAvailable; its Size is the disc's.
    if (const QVariant available = changed.value(QStringLiteral("MediaAvailable")); available.isValid())
        emit mediaChanged(message.path(), available.toBool());
    else if (const QVariant size = changed.value(QStringLiteral("Size")); size.isValid())
        emit mediaChanged(message.path(), size.toULongLong() > 0);
}

} // namespace playback::disc
