#pragma once

// UTF-16 <-> UTF-8 for the media layer's own use (paths reach FFmpeg and POSIX as UTF-8). File
// names are bytes: those that are not valid UTF-8 travel as lone surrogates U+DC80-U+DCFF and
// come back as the same bytes, so a name reaches its file exactly. Other unpaired surrogates
// become U+FFFD.

#include <optional>
#include <string>
#include <string_view>

#include "media/com/types.h"

namespace media {

[[nodiscard]] std::string ToUtf8(std::u16string_view text);
[[nodiscard]] std::u16string ToUtf16(std::string_view text);
// The bytes a file name stands for, or nullopt when a unit of it cannot be said exactly (an
// unpaired surrogate that is not a kept byte), which would name a different file.
[[nodiscard]] std::optional<std::string> FileNameBytes(std::u16string_view name);
// Copies text into a fixed array of capacity units, cut and terminated.
void CopyToFixed(std::u16string_view text, WCHAR* target, std::size_t capacity);
// A copy of text in task-allocator memory, as QueryId and GetCurFile return it.
[[nodiscard]] LPWSTR TaskMemString(std::u16string_view text);

}  // namespace media
