#include "platform/message_box.h"

#include <cstdio>
#include <utility>

#include "text/message_catalogue.h"

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
    for (const char* c = Translated(text.c_str()); *c != '\0'; ++c) {
        if (*c != '\r') lines += *c;
    }
    std::fprintf(stderr, "%s\n", lines.c_str());
    return IDOK;
}

}  // namespace platform
