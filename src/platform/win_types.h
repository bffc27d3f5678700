#pragma once

// The scalar types of the platform calls that the shims reproduce, with their sizes there
// (32-bit DWORD and BOOL, UTF-16 WCHAR). They match the media layer's own definitions, so both
// headers can be included together.

#include <climits>
#include <cstdint>

using DWORD = std::uint32_t;
using UINT = unsigned int;
using BOOL = std::int32_t;
using WCHAR = char16_t;

// Paths are this system's: at most PATH_MAX - 1 (4,095) bytes of narrow text; buffers for them
// hold PATH_MAX with the terminator.
inline constexpr int MAX_PATH = PATH_MAX;
