#pragma once

// Narrow text (the system code page: UTF-8 here) to and from the UTF-16 strings that media
// calls take and give. File names are bytes: those that are not valid UTF-8 survive the round
// trip as lone surrogates U+DC80-U+DCFF, so every name reaches its file exactly.

#include <optional>
#include <string>
#include <string_view>

#include "text/code_page.h"

// text, up to its first NUL, in UTF-16.
[[nodiscard]] std::u16string ToWide(const std::string& text);

// text, up to its terminator, as narrow text; empty for null text.
[[nodiscard]] std::string ToNarrow(const WCHAR* text);

namespace text {

// Every unit of text in UTF-8 (embedded NULs too); a unit that is a kept byte becomes that byte,
// any other unpaired surrogate U+FFFD.
[[nodiscard]] std::string ToUtf8(std::u16string_view text);
// Every byte of text in UTF-16; bytes that are not valid UTF-8 become kept bytes.
[[nodiscard]] std::u16string ToUtf16(std::string_view text);
// The bytes a file name stands for, or nullopt when a unit of it cannot be said exactly (an
// unpaired surrogate that is not a kept byte), which would name a different file.
[[nodiscard]] std::optional<std::string> FileNameBytes(std::u16string_view name);

}  // namespace text
