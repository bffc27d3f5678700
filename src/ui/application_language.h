#pragma once

#include <filesystem>

#include <QString>

#include "text/message_language.h"

class QApplication;

// The program speaks the user's language (text/message_language.h): its own texts, the dialog
// templates' included, come from the catalogue, and Qt's own texts (the message box's OK, the
// file dialog) follow: Traditional Chinese from Qt's translations, except under English, where
// Qt speaks its own English. Every window, message boxes and the file dialog included, uses the
// dialog font of the language (dialog_font.h). Call once at start-up, before any window is shown and before any other thread
// runs. False when a catalogue the language needs is not installed: those texts stay as written.
bool UseApplicationLanguage(QApplication& application, MessageLanguage language,
                            const std::filesystem::path& localeFolder);

// The same for the language of the environment and the catalogues installed with the program.
bool UseApplicationLanguage(QApplication& application);

// One of the window's texts in the user's language (text is UTF-8, as written).
[[nodiscard]] QString UiText(const char* text);
