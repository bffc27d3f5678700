#pragma once

// Progress on the application's icon in the task bar or dock, and the one seam through which it
// is shown. Nothing is shown unless a program installs a handler that shows it: the program
// installs the Unity launcher entry's (SendUnityLauncherEntry) in main; tests and tools keep the
// default, which shows nothing.

#include <functional>

struct LauncherProgress {
    bool shown = false;   // false clears both the bar and the count
    double fraction = 0;  // the bar, 0 to 1
    int count = 0;        // the number on the icon

    friend bool operator==(const LauncherProgress&, const LauncherProgress&) = default;
};

// Shows progress on the icon and returns at once without waiting for the desktop; the same
// progress as the last one shown is not sent again. A desktop without such a task bar shows
// nothing. User-interface thread only.
void ShowLauncherProgress(const LauncherProgress& progress);

using LauncherProgressHandler = std::function<void(const LauncherProgress& progress)>;

// Replaces the handler and returns the previous one; an empty handler restores the default.
// User-interface thread only.
LauncherProgressHandler SetLauncherProgressHandler(LauncherProgressHandler handler);

namespace platform {
// com.canonical.Unity.LauncherEntry's Update signal on the session bus for the application's
// desktop entry, which Plasma's task manager and Dash to Dock read.
void SendUnityLauncherEntry(const LauncherProgress& progress);
}  // namespace platform
