#pragma once

// The platform seams that need a window, implemented with Qt. The engine and the media layer
// reach them only through their seams (message_box.h, ...), whose defaults need no Qt; the
// program installs these once its widget application exists.

#include <string>

namespace platform {

// Installs every Qt implementation below in its seam. User-interface thread, after the
// QApplication was created.
void InstallQtSeams();

// AfxMessageBox as a modal QMessageBox: OK only, no icon, the application name as title.
int ShowQtMessageBox(const std::string& text);

}  // namespace platform
