#pragma once

// Keeping the machine awake while the program works, and the one seam through which it is
// asked. Nothing is held unless a program installs a handler that holds something: the program
// installs logind's (InhibitSleepWithLogind) in main; tests and tools keep the default, which
// holds nothing.

#include <functional>
#include <memory>
#include <string>

// While one lives, the desktop is asked not to suspend the machine nor let it go idle; the ask
// ends when it goes. Whether the desktop heard is not told: a machine without the service simply
// sleeps as it would.
class SleepInhibition {
public:
    virtual ~SleepInhibition() = default;
};

// Asks for an inhibition, giving why (UTF-8, shown by the desktop), and returns at once without
// waiting for any answer. Never null. User-interface thread only.
[[nodiscard]] std::unique_ptr<SleepInhibition> InhibitSleep(const std::string& why);

// Receives every request instead of the system; may return null for "nothing held".
using SleepInhibitorHandler = std::function<std::unique_ptr<SleepInhibition>(const std::string& why)>;

// Replaces the handler and returns the previous one; an empty handler restores the default, which
// holds nothing. User-interface thread only.
SleepInhibitorHandler SetSleepInhibitorHandler(SleepInhibitorHandler handler);

namespace platform {
// logind's Inhibit("sleep:idle", ..., "block") on the system bus, sent without waiting. The lock's
// descriptor is closed when the inhibition goes, or as soon as it arrives if it comes later.
std::unique_ptr<SleepInhibition> InhibitSleepWithLogind(const std::string& why);
}  // namespace platform
