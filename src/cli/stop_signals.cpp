#include "cli/stop_signals.h"

#include <atomic>
#include <cstdio>

#include <pthread.h>
#include <signal.h>

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
// The signal that ends the program at once, for a user who insists.
constexpr int kSignalsBeforeGivingUp = 3;

std::atomic<int> g_stopSignal{0};
std::atomic<int> g_signalsTaken{0};
static_assert(std::atomic<int>::is_always_lock_free, "written from a signal handler");

extern "C" void OnStopSignal(int signal) {
    int none = 0;
    (void)g_stopSignal.compare_exchange_strong(none, signal);
    if (g_signalsTaken.fetch_add(1) + 1 >= kSignalsBeforeGivingUp) {
        ::signal(signal, SIG_DFL);
        ::raise(signal);
    }
}

sigset_t StopSignalSet() {
    sigset_t signals;
    sigemptyset(&signals);
    for (int signal : kStopSignals) sigaddset(&signals, signal);
    return signals;
}

void SetStopSignalsBlocked(bool blocked) {
    sigset_t signals = StopSignalSet();
    // A resized terminal is the main thread's business too.
    sigaddset(&signals, SIGWINCH);
    pthread_sigmask(blocked ? SIG_BLOCK : SIG_UNBLOCK, &signals, nullptr);
}

}  // namespace

void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    // The handler runs with every stop signal held back, so two that come together count in turn.
    action.sa_mask = StopSignalSet();
    for (int signal : kStopSignals) {
        // A shell starts a background job with SIGINT (and SIGQUIT, never caught here) ignored, so
        // that the terminal's Ctrl-C leaves it running: that choice stays, as in GNU programs.
        struct sigaction before {};
        if (signal == SIGINT && sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN)
            continue;
        sigaction(signal, &action, nullptr);
    }
}

int StopSignal() {
    return g_stopSignal.load();
}

void DieByStopSignal() {
    const int signal = StopSignal();
    if (signal == 0) return;
    std::fflush(nullptr);
    ::signal(signal, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(signal);
}

StopSignalsBlocked::StopSignalsBlocked() {
    SetStopSignalsBlocked(true);
}

StopSignalsBlocked::~StopSignalsBlocked() {
    SetStopSignalsBlocked(false);
}
