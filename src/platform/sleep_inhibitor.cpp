#include "platform/sleep_inhibitor.h"

#include <utility>

namespace {

SleepInhibitorHandler& InstalledHandler() {
    static SleepInhibitorHandler handler;
    return handler;
}

}  // namespace

std::unique_ptr<SleepInhibition> InhibitSleep(const std::string& why) {
    const SleepInhibitorHandler& handler = InstalledHandler();
    std::unique_ptr<SleepInhibition> held = handler ? handler(why) : nullptr;
    return held ? std::move(held) : std::make_unique<SleepInhibition>();
}

SleepInhibitorHandler SetSleepInhibitorHandler(SleepInhibitorHandler handler) {
    return std::exchange(InstalledHandler(), std::move(handler));
}
