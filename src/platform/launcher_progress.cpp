#include "platform/launcher_progress.h"

#include <utility>

namespace {

LauncherProgressHandler& InstalledHandler() {
    static LauncherProgressHandler handler;
    return handler;
}

}  // namespace

void ShowLauncherProgress(const LauncherProgress& progress) {
    if (const LauncherProgressHandler& handler = InstalledHandler()) handler(progress);
}

LauncherProgressHandler SetLauncherProgressHandler(LauncherProgressHandler handler) {
    return std::exchange(InstalledHandler(), std::move(handler));
}
