#pragma once

// Narrow text (the system code page: UTF-8 here) to and from the UTF-16 strings that media
// calls take and give. File names are bytes: those that are not valid UTF-8 survive the round
// trip as lone surrogates U+DC80-U+DCFF, so every name reaches its file exactly.

#include <string>

#include "media/com/types.h"

// text in UTF-16; empty when the conversion fails.
[[nodiscard]] std::u16string ToWide(const std::string& text);

// text (up to its terminator) as narrow text; empty for null text or a failed conversion. The
// buffer allows three bytes per UTF-16 unit, which any UTF-16 text fits in UTF-8.
[[nodiscard]] std::string ToNarrow(const WCHAR* text);
