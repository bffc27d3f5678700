#include "platform/launcher_progress.h"

#include <optional>
#include <utility>

namespace {

LauncherProgressHandler& InstalledHandler() {
    static LauncherProgressHandler handler;
    return handler;
}

// What the installed handler was given last: a run's slices repeat it far more often than the
// percent changes.
std::optional<LauncherProgress>& LastShown() {
    static std::optional<LauncherProgress> shown;
    return shown;
}

}  // namespace

void ShowLauncherProgress(const LauncherProgress& progress) {
    const LauncherProgressHandler& handler = InstalledHandler();
    if (!handler || LastShown() == progress) return;
    LastShown() = progress;
    handler(progress);
}

LauncherProgressHandler SetLauncherProgressHandler(LauncherProgressHandler handler) {
    LastShown().reset();
    return std::exchange(InstalledHandler(), std::move(handler));
}
