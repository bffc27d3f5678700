#include "platform/message_box.h"

#include <cstdio>
#include <utility>

namespace {

MessageBoxHandler& InstalledHandler() {
    static MessageBoxHandler handler;
    return handler;
}

}  // namespace

int AfxMessageBox(const char* text, unsigned /*type*/) {
    const std::string message = text ? text : "";
    const MessageBoxHandler& handler = InstalledHandler();
    return handler ? handler(message) : platform::WriteMessageToErrorOutput(message);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    return std::exchange(InstalledHandler(), std::move(handler));
}

namespace platform {

int WriteMessageToErrorOutput(const std::string& text) {
    // The texts carry "\r\n" line breaks; a terminal wants plain "\n".
    std::string lines;
    for (char c : text) {
        if (c != '\r') lines += c;
    }
    std::fprintf(stderr, "%s\n", lines.c_str());
    return IDOK;
}

}  // namespace platform
