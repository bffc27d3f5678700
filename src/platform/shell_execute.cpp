#include "platform/shell_execute.h"

#include <utility>

namespace {

ShellExecuteHandler& InstalledHandler() {
    static ShellExecuteHandler handler;
    return handler;
}

}  // namespace

ShellExecuteHandler SetShellExecuteHandler(ShellExecuteHandler handler) {
    return std::exchange(InstalledHandler(), std::move(handler));
}

std::intptr_t ShellExecuteA(const void* /*owner*/, const char* verb, const char* file,
                            const char* /*parameters*/, const char* /*directory*/, int /*showCommand*/) {
    if (file == nullptr || *file == '\0') return SE_ERR_FNF;
    const std::string shownVerb = verb != nullptr ? verb : "open";
    const ShellExecuteHandler& handler = InstalledHandler();
    return handler ? handler(shownVerb, file) : platform::OpenWithDefaultApplication(shownVerb, file);
}
