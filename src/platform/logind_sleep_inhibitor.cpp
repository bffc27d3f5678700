#include <memory>
#include <mutex>
#include <string>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QString>

#include <fcntl.h>
#include <unistd.h>

#include "platform/desktop_bus.h"
#include "platform/sleep_inhibitor.h"

namespace platform {
namespace {

// logind's lock is a file descriptor: it holds while any copy of it is open. The reply carrying
// it may come after the run that asked for it has ended; the lock then goes as soon as it comes.
class LockDescriptor {
public:
    // Keeps a copy of descriptor unless the lock was let go already.
    void Arrived(int descriptor) {
        const std::lock_guard guard(m_mutex);
        if (m_released || descriptor < 0) return;
        m_descriptor = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
    }

    void LetGo() {
        const std::lock_guard guard(m_mutex);
        m_released = true;
        if (m_descriptor >= 0) ::close(m_descriptor);
        m_descriptor = -1;
    }

private:
    std::mutex m_mutex;
    bool m_released = false;
    int m_descriptor = -1;
};

class LogindInhibition : public SleepInhibition {
public:
    explicit LogindInhibition(std::shared_ptr<LockDescriptor> lock) : m_lock(std::move(lock)) {}
    ~LogindInhibition() override { m_lock->LetGo(); }
    LogindInhibition(const LogindInhibition&) = delete;
    LogindInhibition& operator=(const LogindInhibition&) = delete;

private:
    std::shared_ptr<LockDescriptor> m_lock;
};

}  // namespace

std::unique_ptr<SleepInhibition> InhibitSleepWithLogind(const std::string& why) {
    auto lock = std::make_shared<LockDescriptor>();
    PostToDesktopBus([lock, why] {
        QDBusMessage request = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
        request << QStringLiteral("sleep:idle") << QString::fromUtf8(kDesktopApplicationName)
                << QString::fromStdString(why) << QStringLiteral("block");
        request.setAutoStartService(false);
        auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(request));
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                         [lock](QDBusPendingCallWatcher* finished) {
                             const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *finished;
                             // No logind (or no right to inhibit): the machine sleeps as it would.
                             if (reply.isValid()) lock->Arrived(reply.value().fileDescriptor());
                             finished->deleteLater();
                         });
    });
    return std::make_unique<LogindInhibition>(lock);
}

}  // namespace platform
