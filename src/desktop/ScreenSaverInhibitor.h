#pragma once
// Keeps the screen from blanking or locking while a film plays: holds one
// inhibit cookie from org.freedesktop.ScreenSaver, or from
// org.gnome.SessionManager (idle) where the first is absent, and gives it back
// when asked or when destroyed. With no session bus it holds nothing.
//
// The calls never wait for the service, so a slow one cannot stall the windows;
// only the destructor (the program ending) waits, briefly, for a request under
// way and for the release.
//
// Threads: GUI thread only.

#include <QObject>
#include <QString>

#include <optional>

class QDBusPendingCallWatcher;

namespace desktop {

class ScreenSaverInhibitor : public QObject {
    Q_OBJECT
public:
    explicit ScreenSaverInhibitor(QObject *parent = nullptr);
    ~ScreenSaverInhibitor() override;

    // Holds a cookie while on, none while off. Repeats change nothing.
    void setInhibited(bool on);

private:
    void request();
    void release();

    bool m_wanted = false;
    bool m_ending = false; // in the destructor: a release waits for its answer
    QDBusPendingCallWatcher *m_request = nullptr;
    bool m_gnome = false; // the cookie comes from GNOME's session manager
    std::optional<quint32> m_cookie;
};

} // namespace desktop
