#include "cli/message_relay.h"
#include "text/message_catalogue.h"

#include <algorithm>
#include <cstdio>
#include <utility>

MessageRelay::MessageRelay(ProgressLine& progress) : m_progress(progress) {
    m_previous = SetMessageBoxHandler([this](const std::string& text) {
        if (m_holding) {
            m_held.push_back(text);
        } else {
            Show(text);
        }
        const std::string shown = Translated(text.c_str());
        m_last = shown.substr(0, shown.find_first_of("\r\n"));
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
    for (const char* c = Translated(text.c_str()); *c != '\0'; ++c)
        if (*c != '\r') lines += *c;
    std::fprintf(stderr, "tessarel-convert: %s%s%s\n", m_file.c_str(), m_file.empty() ? "" : ": ",
                 lines.c_str());
    std::fflush(stderr);
}

void MessageRelay::HoldBack() {
    m_holding = true;
}

void MessageRelay::ShowHeld(const std::string& cause) {
    m_holding = false;
    std::vector<std::string> held = std::move(m_held);
    m_held.clear();
    if (!cause.empty() && !held.empty()) {
        std::string& last = held.back();
        last = Translated(last.c_str());
        last.insert(std::min(last.find_first_of("\r\n"), last.size()), ": " + cause);
        m_last += ": " + cause;
    }
    for (const std::string& text : held) Show(text);
}
