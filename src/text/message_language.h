#pragma once

// Which language the programs speak, from the locale variables as GNU programs read them.
//
// Every text is written in one language: the window's and the conversion's in Traditional
// Chinese, the command line's own frame in English. A catalogue carries each text into the
// other language. Under a zh_* locale everything is Chinese, under any other locale everything
// is English; under C or POSIX (also C.UTF-8) nothing is translated, so scripts see the texts
// exactly as written.

#include <string_view>

enum class MessageLanguage {
    AsWritten,  // no catalogue: each text as written
    Chinese,    // the Traditional Chinese catalogue
    English,    // the English catalogue
};

// The locale variables as the environment gives them; null or empty means unset.
struct LocaleVariables {
    const char* language = nullptr;    // LANGUAGE: a colon-separated list of preferences
    const char* lcAll = nullptr;       // LC_ALL
    const char* lcMessages = nullptr;  // LC_MESSAGES
    const char* lang = nullptr;        // LANG
};

// GNU gettext's rule: the locale of messages is the first set of LC_ALL, LC_MESSAGES and LANG
// (C when none is). Under C or POSIX that is all; otherwise LANGUAGE, when set, lists the
// languages to try first, and its first entry with a catalogue wins. Any locale left without a
// catalogue speaks English, the only other one for now.
[[nodiscard]] MessageLanguage MessageLanguageOf(const LocaleVariables& variables);

// The same for this process's environment.
[[nodiscard]] MessageLanguage MessageLanguageOfEnvironment();

// The catalogue's name in the locale folder ("zh_TW", "en"); empty for AsWritten.
[[nodiscard]] std::string_view CatalogueNameOf(MessageLanguage language);
