#pragma once

// The engine's messages, which the window shows in its message box, on the error output of the
// command line: "tessarel-convert: FILE: TEXT" after the progress line has made room. The last
// one of a job is the reason it failed.

#include <string>
#include <vector>

#include "cli/progress_line.h"
#include "platform/message_box.h"

class MessageRelay {
public:
    // Takes every message while it lives.
    explicit MessageRelay(ProgressLine& progress);
    ~MessageRelay();
    MessageRelay(const MessageRelay&) = delete;
    MessageRelay& operator=(const MessageRelay&) = delete;

    // The messages from now on are about file; none has come yet.
    void BeginFile(const std::string& file);

    // The first line of the last message about the file, empty when none came.
    [[nodiscard]] const std::string& LastMessage() const { return m_last; }

    // "tessarel-convert: FILE: TEXT" on the error output; TEXT's "\r\n" become line breaks.
    void Show(const std::string& text) const;

    // The messages from now on wait for ShowHeld: why a step failed is known only after it.
    void HoldBack();
    // Shows the messages held back, in order; the first line of the last one is followed by
    // ": cause" when cause is not empty, and so is LastMessage.
    void ShowHeld(const std::string& cause);

private:
    ProgressLine& m_progress;
    MessageBoxHandler m_previous;
    std::string m_file;
    std::string m_last;
    bool m_holding = false;
    std::vector<std::string> m_held;
};
