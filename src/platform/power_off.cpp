#include "platform/power_off.h"

#include <cstdio>
#include <utility>

namespace {

// A program that never chose how to switch off must not do it, least of all a test.
BOOL RefusePowerOff(UINT flags) {
    std::fprintf(stderr, "power-off (flags %#x) refused: this program installed no power-off handler\n",
                 flags);
    return 0;
}

PowerOffHandler& InstalledHandler() {
    static PowerOffHandler handler;
    return handler;
}

}  // namespace

BOOL ExitWindowsEx(UINT flags, DWORD /*reserved*/) {
    const PowerOffHandler& handler = InstalledHandler();
    return handler ? handler(flags) : RefusePowerOff(flags);
}

PowerOffHandler SetPowerOffHandler(PowerOffHandler handler) {
    return std::exchange(InstalledHandler(), std::move(handler));
}
