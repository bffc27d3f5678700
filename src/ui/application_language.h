#pragma once

class QApplication;

// The program speaks Traditional Chinese whatever the user's locale: Qt's own texts (the
// message box's "確定", the file dialog) come from Qt's Traditional Chinese translations, and
// every window, message boxes and the file dialog included, uses the dialog font. Call once at
// start-up, before any window is shown. False when Qt's translations are not installed: Qt's
// texts then stay English.
bool UseApplicationLanguage(QApplication& application);
