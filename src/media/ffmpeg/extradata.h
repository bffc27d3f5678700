#pragma once

// Codec extradata as libavcodec wants it: its own allocation, zero-padded past the end.

#include <cstdint>
#include <span>

#include "media/api/types.h"

namespace media {

// Stores a copy of bytes, with the padding libavcodec reads past its end, in extradata and size
// (a codec context's or codec parameters' fields, empty before). Nothing is stored for no bytes,
// or for more than an int can count. False when memory ran out.
[[nodiscard]] bool CopyExtradata(std::span<const BYTE> bytes, std::uint8_t*& extradata, int& size);

}  // namespace media
