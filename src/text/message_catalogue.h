#pragma once

// The catalogue that carries the programs' texts into the user's language (see
// message_language.h). Catalogues are gettext's compiled .mo files, made from the .po files in
// po/ and installed as <locale folder>/<name>/LC_MESSAGES/tessarel.mo. They are read here rather
// than through the C library's gettext, whose choice of language depends on the locale being
// generated on the machine and falls back to the written text, where ours must be English.

#include <filesystem>
#include <string>

#include "text/message_language.h"

// The locale folder of an installed program, <program's folder>/../share/locale, so that a
// package under /usr and an install under ~/.local both find their own. The build puts its
// catalogues in the same place relative to its programs.
[[nodiscard]] std::filesystem::path InstalledLocaleFolder();

// Loads the catalogue of language from localeFolder and translates with it from now on;
// AsWritten, or a catalogue missing or damaged, leaves every text as written (false then, unless
// the language is AsWritten). Call at start-up, before any other thread runs: Translated reads
// the catalogue without a lock. Texts translated before stay valid.
bool UseMessageLanguage(MessageLanguage language, const std::filesystem::path& localeFolder);

// The language UseMessageLanguage made current (AsWritten before any call).
[[nodiscard]] MessageLanguage CurrentMessageLanguage();

// The translation of text in the current catalogue, or text itself when the catalogue has none.
// The result lives as long as the program.
[[nodiscard]] const char* Translated(const char* text) __attribute__((format_arg(1)));

// Marks a text for the catalogue where it is defined, away from where Translated is called.
constexpr const char* TranslatableText(const char* text) {
    return text;
}

// printf into a string, for translated formats ("%1$s" names an argument by its place).
[[nodiscard]] std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
