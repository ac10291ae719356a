#include "desktop/ScreenSaverInhibitor.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace desktop {

namespace {

const QString kScreenSaver = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kGnome = QStringLiteral("org.gnome.SessionManager");
const QString kReason = QStringLiteral("Playing a DVD");
constexpr quint32 kGnomeInhibitIdle = 8;
constexpr int kTimeoutMs = 1000;

QDBusMessage call(bool gnome, const QString &method)
{
    return gnome ? QDBusMessage::createMethodCall(kGnome, QStringLiteral("/org/gnome/SessionManager"), kGnome, method)
                 : QDBusMessage::createMethodCall(kScreenSaver, QStringLiteral("/org/freedesktop/ScreenSaver"),
                                                  kScreenSaver, method);
}

} // namespace

ScreenSaverInhibitor::ScreenSaverInhibitor(QObject *parent) : QObject(parent) {}

ScreenSaverInhibitor::~ScreenSaverInhibitor()
{
    m_wanted = false;
    m_ending = true;
    // A cookie on its way is given back too.
    if (QDBusPendingCallWatcher *request = m_request) {
        request->waitForFinished(); // may hand the answer to the handler below
        const QDBusPendingReply<quint32> reply = *request;
        if (m_request == request && reply.isValid())
            m_cookie = reply.value();
    }
    release();
}

void ScreenSaverInhibitor::setInhibited(bool on)
{
    if (on == m_wanted)
        return;
    m_wanted = on;
    if (on && !m_cookie && !m_request)
        request();
    else if (!on)
        release();
}

void ScreenSaverInhibitor::request()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusConnectionInterface *names = bus.interface();
    QDBusMessage message;
    if (names->isServiceRegistered(kScreenSaver)) {
        m_gnome = false;
        message = call(false, QStringLiteral("Inhibit")) << QStringLiteral("Orvanta Player") << kReason;
    } else if (names->isServiceRegistered(kGnome)) {
        m_gnome = true;
        message = call(true, QStringLiteral("Inhibit")) << QStringLiteral("orvanta-player") << quint32(0) << kReason
                                                         << kGnomeInhibitIdle;
    } else {
        return;
    }
    m_request = new QDBusPendingCallWatcher(bus.asyncCall(message, kTimeoutMs), this);
    // The cookie is kept while still wanted, given back at once if playing
    // stopped in the meantime.
    connect(m_request, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        m_request = nullptr;
        const QDBusPendingReply<quint32> reply = *w;
        if (reply.isError())
            return;
        m_cookie = reply.value();
        if (!m_wanted)
            release();
    });
}

void ScreenSaverInhibitor::release()
{
    if (!m_cookie)
        return;
    QDBusMessage message = call(m_gnome, m_gnome ? QStringLiteral("Uninhibit") : QStringLiteral("UnInhibit"))
        << *m_cookie;
    m_cookie.reset();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (m_ending)
        bus.call(message, QDBus::Block, kTimeoutMs);
    else
        bus.asyncCall(message);
}

} // namespace desktop
