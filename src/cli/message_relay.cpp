#include "cli/message_relay.h"

#include <cstdio>
#include <utility>

MessageRelay::MessageRelay(ProgressLine& progress) : m_progress(progress) {
    m_previous = SetMessageBoxHandler([this](const std::string& text) {
        Show(text);
        m_last = text.substr(0, text.find_first_of("\r\n"));
        return IDOK;
    });
}

MessageRelay::~MessageRelay() {
    (void)SetMessageBoxHandler(std::move(m_previous));
}

void MessageRelay::BeginFile(const std::string& file) {
    m_file = file;
    m_last.clear();
}

void MessageRelay::Show(const std::string& text) const {
    m_progress.Clear();
    std::string lines;
    for (char c : text)
        if (c != '\r') lines += c;
    std::fprintf(stderr, "tessarel-convert: %s%s%s\n", m_file.c_str(), m_file.empty() ? "" : ": ",
                 lines.c_str());
    std::fflush(stderr);
}
