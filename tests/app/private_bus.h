#pragma once

// D-Bus for tests: a bus daemon of the test's own (dbus-daemon with a configuration that lets the
// test's user do anything), and stand-ins for the desktop's services on such buses that record
// what reaches them. No test reaches the machine's buses: the test program points
// DBUS_SESSION_BUS_ADDRESS and DBUS_SYSTEM_BUS_ADDRESS at two of these (app_test_environment.cpp),
// and every program it starts inherits them.

#include <vector>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>

class PrivateBus {
public:
    PrivateBus() = default;
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // Starts the daemon; its address, or empty when dbus-daemon is missing or does not start.
    QString Start();

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
};

// logind on the system bus (Inhibit, PowerOff), the notification server and a dock listening for
// launcher entries on the session bus, while it lives. Calls are recorded as they are served, on
// this thread's event loop: wait with WaitUntil.
class DesktopServicesStandIn : public QObject {
    Q_OBJECT

public:
    struct LauncherUpdate {
        QString application;
        double progress = 0;
        bool progressVisible = false;
        qlonglong count = 0;
        bool countVisible = false;
    };

    DesktopServicesStandIn();
    ~DesktopServicesStandIn() override;

    // Whether both buses answered and the services' names were taken.
    [[nodiscard]] bool Serving() const { return m_serving; }

    // Every method call served, as "Member arg|arg|..." (string and number arguments).
    [[nodiscard]] const QStringList& Calls() const { return m_calls; }
    [[nodiscard]] QStringList CallsTo(const QString& member) const;
    [[nodiscard]] const std::vector<LauncherUpdate>& LauncherUpdates() const { return m_launcher; }
    // Inhibitor locks handed out whose every copy has not been closed yet.
    [[nodiscard]] int HeldInhibitions() const;

    // Serves the event loop until done() holds or timeoutMs have passed; returns done().
    template <typename Done>
    bool WaitUntil(Done done, int timeoutMs = 5000) const;

    void Serve(const QDBusMessage& call, const QDBusConnection& connection);

private slots:
    void LauncherUpdated(const QString& application, const QVariantMap& properties);

private:
    QDBusConnection m_system;
    QDBusConnection m_session;
    bool m_serving = false;
    QStringList m_calls;
    std::vector<LauncherUpdate> m_launcher;
    std::vector<int> m_inhibitionEnds;  // our end of each lock's pipe
};

bool ServeEventsFor(int ms);

template <typename Done>
bool DesktopServicesStandIn::WaitUntil(Done done, int timeoutMs) const {
    for (int waited = 0; !done() && waited < timeoutMs; waited += 20) ServeEventsFor(20);
    return done();
}
