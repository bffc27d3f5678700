#pragma once

// The text of a private profile (INI) file: "[section]" lines, each followed by "key=value"
// lines. Sections and keys compare without regard to ASCII case; the first of duplicates wins.

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The value of key in section, without surrounding blanks and without one pair of matching
// quotes around it; nullopt when the section or the key is absent.
[[nodiscard]] std::optional<std::string> FindProfileValue(std::string_view text, std::string_view section,
                                                          std::string_view key);

// text with key of section set to value: an existing line is replaced, a new key goes after the
// section's last entry, a missing section is appended. A null value removes the key; a null key
// removes the whole section. Every other line keeps its text.
[[nodiscard]] std::string WithProfileValue(std::string_view text, std::string_view section, const char* key,
                                           const char* value);

}  // namespace platform
