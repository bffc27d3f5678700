#pragma once

// The thread on which the program talks to the desktop's D-Bus services. Connecting to a bus and
// every call on it happen there, so the window's thread never waits on a bus, not even for the
// first connection; what is posted goes out in the order it was posted.

#include <functional>

namespace platform {

// The desktop entry the program is installed as ("org.tessarel.Tessarel.desktop", named after the
// program's name on the session bus, as D-Bus activation wants), its icon and its name.
inline constexpr char kDesktopEntryId[] = "org.tessarel.Tessarel";
inline constexpr char kDesktopIconName[] = "tessarel";
inline constexpr char kDesktopApplicationName[] = "Tessarel";

// Runs work on the bus thread, started on first use, and returns at once. work may use
// QDBusConnection::sessionBus() and systemBus() and leave objects on that thread (a watcher of a
// pending reply). Any thread, once the QCoreApplication exists.
void PostToDesktopBus(std::function<void()> work);

// Lets everything posted so far go out, then ends the bus thread, waiting at most a moment for
// it. Called before the QCoreApplication goes; nothing may be posted afterwards.
void EndDesktopBus();

}  // namespace platform
