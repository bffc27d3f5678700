#include "cli/stop_signals.h"

#include <atomic>

#include <pthread.h>
#include <signal.h>

namespace {

std::atomic<int> g_stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "written from a signal handler");

extern "C" void OnStopSignal(int signal) {
    g_stopSignal.store(signal);
}

void SetStopSignalsBlocked(bool blocked) {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(blocked ? SIG_BLOCK : SIG_UNBLOCK, &signals, nullptr);
}

}  // namespace

void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;  // a second signal takes its default course
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int StopSignal() {
    return g_stopSignal.load();
}

StopSignalsBlocked::StopSignalsBlocked() {
    SetStopSignalsBlocked(true);
}

StopSignalsBlocked::~StopSignalsBlocked() {
    SetStopSignalsBlocked(false);
}
