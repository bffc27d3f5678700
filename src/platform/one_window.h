#pragma once

// One window for every start. The program holds its name on the session bus and serves the
// desktop's org.freedesktop.Application interface there, so that a launcher (the desktop entry is
// D-Bus activatable) or a later start with files (a file manager's "Open with", `tessarel FILE...`)
// reaches the window already open instead of starting a second one.

#include <functional>
#include <string>
#include <vector>

namespace platform {

// The program's name on the session bus, which is also its desktop entry's id.
inline constexpr char kApplicationId[] = "org.tessarel.Tessarel";

// Receives the files of an Open (full paths, bytes), or none for an Activate: either way the window
// is asked to come to the front. User-interface thread.
using OpenRequestHandler = std::function<void(const std::vector<std::string>& files)>;

enum class StartPlace {
    OneWindow,  // this start opens the window, and from now on serves the later ones
    HandedOver  // another start's window took the files: this one opens no window
};

// Claims the name for this process, or, when another process holds it, hands it files (bytes, as
// named on the command line; relative to the working folder) and lets it come to the front.
// Without a session bus, or when the other process doesn't answer, this start opens a window of
// its own. Waits for the bus, at most a few seconds: only at start-up, before any window shows.
// Once the window is there, opened receives what later starts and launchers send.
[[nodiscard]] StartPlace ClaimOneWindow(const std::vector<std::string>& files, OpenRequestHandler opened);

// The window is going: later starts open one of their own. User-interface thread.
void ReleaseOneWindow();

}  // namespace platform
