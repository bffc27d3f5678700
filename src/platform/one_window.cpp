#include "platform/one_window.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <memory>
#include <mutex>
#include <utility>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVirtualObject>
#include <QFile>
#include <QMetaObject>
#include <QObject>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

#include "platform/desktop_bus.h"

namespace platform {
namespace {

constexpr char kObjectPath[] = "/org/tessarel/Tessarel";
constexpr char kInterface[] = "org.freedesktop.Application";
// How long a start waits for the bus and the window it hands its files to: a window that is
// building a conversion's graph answers only when that is done.
constexpr auto kClaimWait = std::chrono::seconds(15);
constexpr int kHandOverTimeoutMs = 12000;

constexpr char kIntrospection[] = R"(  <interface name="org.freedesktop.Application">
    <method name="Activate">
      <arg type="a{sv}" name="platform_data" direction="in"/>
    </method>
    <method name="Open">
      <arg type="as" name="uris" direction="in"/>
      <arg type="a{sv}" name="platform_data" direction="in"/>
    </method>
    <method name="ActivateAction">
      <arg type="s" name="action_name" direction="in"/>
      <arg type="av" name="parameter" direction="in"/>
      <arg type="a{sv}" name="platform_data" direction="in"/>
    </method>
  </interface>
)";

// Where requests go. The lock guards receiver, an object on the user-interface thread whose queued
// calls run opened there; null once the window has gone. The bus's dispatching thread and the
// user-interface thread take it.
struct OpenRequests {
    std::mutex lock;
    QObject* receiver = nullptr;
    OpenRequestHandler opened;  // user-interface thread only
};

OpenRequests& Requests() {
    static OpenRequests requests;
    return requests;
}

// The local files among uris, as bytes.
std::vector<std::string> LocalFiles(const QStringList& uris) {
    std::vector<std::string> files;
    for (const QString& uri : uris) {
        const QUrl url(uri);
        if (url.isLocalFile()) files.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
    }
    return files;
}

// What the desktop passes on with a request: the start's token, with which a window may take the
// focus from the one the user was in.
QVariantMap PlatformData() {
    QVariantMap data;
    for (const auto& [variable, key] : {std::pair{"DESKTOP_STARTUP_ID", "desktop-startup-id"},
                                        std::pair{"XDG_ACTIVATION_TOKEN", "activation-token"}})
        if (const char* value = std::getenv(variable); value != nullptr && *value != '\0')
            data.insert(QString::fromLatin1(key), QString::fromUtf8(value));
    return data;
}

// org.freedesktop.Application at the program's path. A request is answered once it is queued for
// the window; when the window has gone, with an error, so that the start opens its own.
class ApplicationObject : public QDBusVirtualObject {
public:
    QString introspect(const QString& /*path*/) const override { return QString::fromLatin1(kIntrospection); }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (!message.interface().isEmpty() && message.interface() != QLatin1String(kInterface)) return false;
        std::vector<std::string> files;
        if (message.member() == QLatin1String("Open") && !message.arguments().isEmpty()) {
            files = LocalFiles(message.arguments().front().toStringList());
        } else if (message.member() != QLatin1String("Activate")) {
            // No actions.
            (void)connection.send(message.createErrorReply(QDBusError::UnknownMethod, message.member()));
            return true;
        }
        bool queued = false;
        {
            OpenRequests& requests = Requests();
            const std::lock_guard guard(requests.lock);
            if (requests.receiver != nullptr)
                queued = QMetaObject::invokeMethod(
                    requests.receiver, [files] { Requests().opened(files); }, Qt::QueuedConnection);
        }
        (void)connection.send(
            queued ? message.createReply()
                   : message.createErrorReply(QDBusError::Failed, QStringLiteral("the window has gone")));
        return true;
    }
};

// On the bus thread: the name, or the files handed to the process that has it.
StartPlace ClaimOrHandOver(const QStringList& uris) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr) return StartPlace::OneWindow;
    // Served for as long as the process lives; ReleaseOneWindow stops what it serves.
    static auto* const object = new ApplicationObject;
    (void)bus.registerVirtualObject(QString::fromLatin1(kObjectPath), object);
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> claimed =
        bus.interface()->registerService(QString::fromLatin1(kApplicationId),
                                         QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (!claimed.isValid() || claimed.value() == QDBusConnectionInterface::ServiceRegistered)
        return StartPlace::OneWindow;

    QDBusMessage request =
        QDBusMessage::createMethodCall(QString::fromLatin1(kApplicationId), QString::fromLatin1(kObjectPath),
                                       QString::fromLatin1(kInterface),
                                       uris.isEmpty() ? QStringLiteral("Activate") : QStringLiteral("Open"));
    if (!uris.isEmpty()) request << uris;
    request << PlatformData();
    const QDBusMessage answer = bus.call(request, QDBus::Block, kHandOverTimeoutMs);
    return answer.type() == QDBusMessage::ReplyMessage ? StartPlace::HandedOver : StartPlace::OneWindow;
}

}  // namespace

StartPlace ClaimOneWindow(const std::vector<std::string>& files, OpenRequestHandler opened) {
    OpenRequests& requests = Requests();
    requests.opened = std::move(opened);
    {
        const std::lock_guard guard(requests.lock);
        requests.receiver = new QObject;
    }
    // The other process has its own working folder: the names go as full paths.
    QStringList uris;
    for (const std::string& file : files) {
        std::error_code error;
        const std::filesystem::path full = std::filesystem::absolute(file, error).lexically_normal();
        if (!error) uris << QUrl::fromLocalFile(QFile::decodeName(full.c_str())).toString(QUrl::FullyEncoded);
    }

    auto answer = std::make_shared<std::promise<StartPlace>>();
    std::future<StartPlace> place = answer->get_future();
    PostToDesktopBus([answer, uris] { answer->set_value(ClaimOrHandOver(uris)); });
    if (place.wait_for(kClaimWait) != std::future_status::ready) return StartPlace::OneWindow;
    return place.get();
}

void ReleaseOneWindow() {
    OpenRequests& requests = Requests();
    QObject* receiver = nullptr;
    {
        const std::lock_guard guard(requests.lock);
        receiver = std::exchange(requests.receiver, nullptr);
    }
    // Requests queued for it go with it.
    delete receiver;
    requests.opened = nullptr;
    PostToDesktopBus([] {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterObject(QString::fromLatin1(kObjectPath));
        if (bus.interface() != nullptr)
            (void)bus.interface()->unregisterService(QString::fromLatin1(kApplicationId));
    });
}

}  // namespace platform
