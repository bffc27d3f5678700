#include "platform/message_box.h"

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
    return handler ? handler(message) : platform::ShowDefaultMessageBox(message);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    return std::exchange(InstalledHandler(), std::move(handler));
}
