#pragma once

// Finding fields in the header of an AVI file that the AVI writer leaves at zero.

#include <cstdint>
#include <vector>

namespace media {

// Where one stream's header fields lie in the file.
struct StreamHeaderFields {
    std::int64_t start = -1;      // the dwStart field of its stream header ('strh')
    std::int64_t format = -1;     // its format block, the body of its 'strf' chunk
    std::int64_t formatSize = 0;  // bytes of that body
};

// The fields of every stream's header ('strh' and 'strf' inside 'hdrl'/'strl'), in stream order,
// found by walking the chunks of the file's first bytes. Chunks that run past the bytes given end
// the walk.
[[nodiscard]] std::vector<StreamHeaderFields> FindStreamHeaderFields(const std::vector<std::uint8_t>& head);

}  // namespace media
