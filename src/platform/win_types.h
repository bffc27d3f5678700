#pragma once

// The scalar types of the platform calls that the shims reproduce, with their sizes there
// (32-bit DWORD and BOOL, UTF-16 WCHAR). They match the media layer's own definitions, so both
// headers can be included together.

#include <cstdint>

using DWORD = std::uint32_t;
using UINT = unsigned int;
using BOOL = std::int32_t;
using WCHAR = char16_t;

// Paths are at most 259 bytes of narrow text; buffers for them hold 260 with the terminator.
inline constexpr int MAX_PATH = 260;
