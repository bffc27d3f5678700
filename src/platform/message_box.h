#pragma once

// The one seam through which every message of the application reaches the user. Messages
// travel through it as written; what shows them translates them (text/message_catalogue.h). The program
// installs a modal box with an OK button, no icon and the application name as its title (see
// qt_seams.h); until something is installed, and in tools, the text goes to the error output.

#include <functional>
#include <string>

inline constexpr unsigned MB_OK = 0x0;
inline constexpr int IDOK = 1;

// Shows text (narrow text is UTF-8) and returns once the user has closed the box: IDOK.
// Only type 0 (OK button, no icon) is used by the application. User-interface thread only.
int AfxMessageBox(const char* text, unsigned type = MB_OK);

// Receives every message instead of the box; returns what AfxMessageBox returns.
using MessageBoxHandler = std::function<int(const std::string& text)>;

// Replaces the handler and returns the previous one; an empty handler restores the default.
// The program installs its box, tests a recorder, tools a printer. User-interface thread only.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

namespace platform {
// The default handler: the text, translated, on the error output, one line per line of text. Returns IDOK.
int WriteMessageToErrorOutput(const std::string& text);
}  // namespace platform
