#include "platform/desktop_bus.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMetaObject>
#include <QObject>
#include <QThread>

namespace platform {
namespace {

// How long the end waits for the last messages to leave. A bus that hangs must not keep the
// program from ending.
constexpr int kEndWaitMs = 2000;

struct BusThread {
    QThread* thread = nullptr;
    QObject* context = nullptr;  // lives on thread; work runs as its queued calls
};

BusThread& TheBusThread() {
    static BusThread bus;
    return bus;
}

}  // namespace

void PostToDesktopBus(std::function<void()> work) {
    BusThread& bus = TheBusThread();
    if (bus.thread == nullptr) {
        // Never deleted: a thread that outlived the end's wait is left to the process's exit.
        bus.thread = new QThread;
        bus.thread->setObjectName(QStringLiteral("desktop bus"));
        bus.context = new QObject;
        bus.context->moveToThread(bus.thread);
        bus.thread->start();
    }
    QMetaObject::invokeMethod(bus.context, std::move(work), Qt::QueuedConnection);
}

void EndDesktopBus() {
    BusThread& bus = TheBusThread();
    if (bus.thread == nullptr) return;
    // Queued behind everything posted before, so that it all goes out first.
    QMetaObject::invokeMethod(bus.context, [] { QThread::currentThread()->quit(); }, Qt::QueuedConnection);
    if (!bus.thread->wait(QDeadlineTimer(kEndWaitMs))) return;
    delete bus.context;
    delete bus.thread;
    bus = {};
}

}  // namespace platform
