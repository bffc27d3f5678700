#pragma once

// Records the texts that reach the message-box seam while it lives, instead of showing them.

#include <string>
#include <utility>
#include <vector>

#include "platform/message_box.h"

class MessageRecorder {
public:
    MessageRecorder()
        : m_previous(SetMessageBoxHandler([this](const std::string& text) {
              m_messages.push_back(text);
              return IDOK;
          })) {}
    ~MessageRecorder() { SetMessageBoxHandler(std::move(m_previous)); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    [[nodiscard]] const std::vector<std::string>& Messages() const { return m_messages; }
    void Clear() { m_messages.clear(); }

private:
    std::vector<std::string> m_messages;
    MessageBoxHandler m_previous;
};
