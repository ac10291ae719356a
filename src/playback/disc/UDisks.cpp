#include "playback/disc/UDisks.h"

#include <QDBusArgument>
#include <QDBusConnection>
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

UDisksEject ejectThroughUDisks(const QString &device)
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
    if (drive.type() != QDBusMessage::ReplyMessage || drivePath.isEmpty() || drivePath == QLatin1String("/"))
        return {};
    const QDBusMessage ejected = call(drivePath, QStringLiteral("org.freedesktop.UDisks2.Drive"), QStringLiteral("Eject"),
                                      {QVariantMap{}}, kEjectMs);
    if (ejected.type() == QDBusMessage::ReplyMessage)
        return {true, std::nullopt};
    return {true, QStringLiteral("the drive's tray could not be opened (%1).").arg(ejected.errorMessage())};
}

} // namespace playback::disc
