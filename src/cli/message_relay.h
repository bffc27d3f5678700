#pragma once

// The engine's messages, which the window shows in its message box, on the error output of the
// command line: "tessarel-convert: FILE: TEXT" after the progress line has made room. The last
// one of a job is the reason it failed.

#include <string>

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

private:
    ProgressLine& m_progress;
    MessageBoxHandler m_previous;
    std::string m_file;
    std::string m_last;
};
