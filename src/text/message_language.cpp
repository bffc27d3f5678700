#include "text/message_language.h"

#include <cstdlib>
#include <optional>

namespace {

bool IsSet(const char* value) {
    return value != nullptr && *value != '\0';
}

// The language part of a locale name: "zh" of "zh_TW.UTF-8@euro".
std::string_view LanguagePart(std::string_view locale) {
    return locale.substr(0, locale.find_first_of("_.@"));
}

// C and POSIX, with or without a code set (C.UTF-8 is Debian's default for scripts).
bool IsPlainLocale(std::string_view locale) {
    const std::string_view language = LanguagePart(locale);
    return language == "C" || language == "POSIX";
}

// The catalogue a locale or LANGUAGE entry names; nothing when there is none for it.
std::optional<MessageLanguage> CatalogueFor(std::string_view entry) {
    if (IsPlainLocale(entry)) return MessageLanguage::AsWritten;
    const std::string_view language = LanguagePart(entry);
    if (language == "zh") return MessageLanguage::Chinese;
    if (language == "en") return MessageLanguage::English;
    return std::nullopt;
}

}  // namespace

MessageLanguage MessageLanguageOf(const LocaleVariables& variables) {
    const char* locale = IsSet(variables.lcAll)        ? variables.lcAll
                         : IsSet(variables.lcMessages) ? variables.lcMessages
                         : IsSet(variables.lang)       ? variables.lang
                                                       : "C";
    if (IsPlainLocale(locale)) return MessageLanguage::AsWritten;
    if (IsSet(variables.language)) {
        std::string_view preferences = variables.language;
        while (!preferences.empty()) {
            const std::size_t colon = preferences.find(':');
            const std::string_view entry = preferences.substr(0, colon);
            if (const std::optional<MessageLanguage> found = CatalogueFor(entry)) return *found;
            preferences =
                colon == std::string_view::npos ? std::string_view() : preferences.substr(colon + 1);
        }
    }
    const std::optional<MessageLanguage> own = CatalogueFor(locale);
    return own ? *own : MessageLanguage::English;
}

MessageLanguage MessageLanguageOfEnvironment() {
    return MessageLanguageOf(
        {std::getenv("LANGUAGE"), std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG")});
}

std::string_view CatalogueNameOf(MessageLanguage language) {
    switch (language) {
        case MessageLanguage::Chinese:
            return "zh_TW";
        case MessageLanguage::English:
            return "en";
        case MessageLanguage::AsWritten:
            break;
    }
    return {};
}
