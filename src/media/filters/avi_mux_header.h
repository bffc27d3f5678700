#pragma once

// Finding fields in the header of an AVI file that the AVI writer leaves at zero.

#include <cstdint>
#include <vector>

namespace media {

// The file offsets of the dwStart field of every stream header ('strh' inside 'hdrl'/'strl'), in
// stream order, found by walking the chunks of the file's first bytes. Chunks that run past the
// bytes given end the walk.
[[nodiscard]] std::vector<std::int64_t> FindStreamStartFields(const std::vector<std::uint8_t>& head);

}  // namespace media
