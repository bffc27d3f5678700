#include "private_bus.h"

#include <QCoreApplication>
#include <QDBusUnixFileDescriptor>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>
#include <QUuid>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr char kConfiguration[] = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

// Hands every call on its path to the stand-in.
class RecordingObject : public QDBusVirtualObject {
public:
    explicit RecordingObject(DesktopServicesStandIn& services) : QDBusVirtualObject(&services), m_services(services) {}
    QString introspect(const QString& /*path*/) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        m_services.Serve(message, connection);
        return true;
    }

private:
    DesktopServicesStandIn& m_services;
};

QDBusConnection Connect(const char* variable) {
    return QDBusConnection::connectToBus(qEnvironmentVariable(variable),
                                         QUuid::createUuid().toString(QUuid::WithoutBraces));
}

}  // namespace

bool ServeEventsFor(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

PrivateBus::~PrivateBus() {
    if (m_daemon.state() == QProcess::NotRunning) return;
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(5000)) m_daemon.kill();
}

QString PrivateBus::Start() {
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty() || !m_dir.isValid()) return {};
    QFile configuration(m_dir.filePath(QStringLiteral("bus.conf")));
    if (!configuration.open(QIODevice::WriteOnly)) return {};
    configuration.write(QString::fromLatin1(kConfiguration).arg(m_dir.path()).toUtf8());
    configuration.close();
    m_daemon.start(daemon, {"--config-file=" + configuration.fileName(), "--nofork", "--print-address=1"});
    QByteArray address;
    while (m_daemon.waitForStarted() && !address.contains('\n') && m_daemon.waitForReadyRead(10000))
        address += m_daemon.readAllStandardOutput();
    return QString::fromUtf8(address).trimmed();
}

DesktopServicesStandIn::DesktopServicesStandIn()
    : m_system(Connect("DBUS_SYSTEM_BUS_ADDRESS")), m_session(Connect("DBUS_SESSION_BUS_ADDRESS")) {
    auto* object = new RecordingObject(*this);
    m_serving = m_system.isConnected() && m_session.isConnected() &&
                m_system.registerService(QStringLiteral("org.freedesktop.login1")) &&
                m_system.registerVirtualObject(QStringLiteral("/org/freedesktop/login1"), object) &&
                m_session.registerService(QStringLiteral("org.freedesktop.Notifications")) &&
                m_session.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"), object) &&
                m_session.connect({}, {}, QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                  QStringLiteral("Update"), this,
                                  SLOT(LauncherUpdated(QString, QVariantMap)));
}

DesktopServicesStandIn::~DesktopServicesStandIn() {
    for (int end : m_inhibitionEnds) ::close(end);
    QDBusConnection::disconnectFromBus(m_system.name());
    QDBusConnection::disconnectFromBus(m_session.name());
}

void DesktopServicesStandIn::Serve(const QDBusMessage& call, const QDBusConnection& connection) {
    QStringList arguments;
    for (const QVariant& argument : call.arguments())
        if (argument.canConvert<QString>()) arguments << argument.toString();
    m_calls << call.member() + QLatin1Char(' ') + arguments.join(QLatin1Char('|'));

    QVariant answer;
    if (call.member() == QLatin1String("Inhibit")) {
        // The lock is one end of a pipe: once every copy of it is closed, ours reads its end.
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) return;
        m_inhibitionEnds.push_back(ends[0]);
        answer = QVariant::fromValue(QDBusUnixFileDescriptor(ends[1]));
        ::close(ends[1]);
    } else if (call.member() == QLatin1String("Notify")) {
        answer = QVariant::fromValue(static_cast<uint>(m_calls.size()));
    }
    if (!call.isReplyRequired()) return;
    (void)connection.send(answer.isValid() ? call.createReply(answer) : call.createReply());
}

QStringList DesktopServicesStandIn::CallsTo(const QString& member) const {
    QStringList calls;
    for (const QString& call : m_calls)
        if (call.section(QLatin1Char(' '), 0, 0) == member) calls << call.section(QLatin1Char(' '), 1);
    return calls;
}

int DesktopServicesStandIn::HeldInhibitions() const {
    int held = 0;
    for (int end : m_inhibitionEnds) {
        pollfd poll{end, POLLIN, 0};
        held += ::poll(&poll, 1, 0) == 0;
    }
    return held;
}

void DesktopServicesStandIn::LauncherUpdated(const QString& application, const QVariantMap& properties) {
    m_launcher.push_back({application, properties.value(QStringLiteral("progress")).toDouble(),
                          properties.value(QStringLiteral("progress-visible")).toBool(),
                          properties.value(QStringLiteral("count")).toLongLong(),
                          properties.value(QStringLiteral("count-visible")).toBool()});
}
