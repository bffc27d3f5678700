#pragma once

// UTF-16 <-> UTF-8 for the media layer's own use (paths reach FFmpeg and POSIX as UTF-8). File
// names are bytes: those that are not valid UTF-8 travel as lone surrogates U+DC80-U+DCFF and
// come back as the same bytes, so a name reaches its file exactly. Other unpaired surrogates
// become U+FFFD.

#include <string>
#include <string_view>

#include "media/api/types.h"
#include "text/text_conversion.h"

namespace media {

using text::FileNameBytes;
using text::ToUtf16;
using text::ToUtf8;

// Copies text into a fixed array of capacity units, cut and terminated.
void CopyToFixed(std::u16string_view text, WCHAR* target, std::size_t capacity);
// A copy of text in task-allocator memory, as QueryId and GetCurFile return it.
[[nodiscard]] LPWSTR TaskMemString(std::u16string_view text);

}  // namespace media
