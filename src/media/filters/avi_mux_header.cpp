#include "media/filters/avi_mux_header.h"

#include <cstring>

namespace media {
namespace {

constexpr std::size_t kChunkHeaderSize = 8;
// Within a stream header: fccType, fccHandler, dwFlags, wPriority, wLanguage, dwInitialFrames,
// dwScale, dwRate, then dwStart.
constexpr std::size_t kStartFieldOffset = 28;

bool IsId(const std::uint8_t* at, const char* id) {
    return std::memcmp(at, id, 4) == 0;
}

std::uint32_t ReadLe32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
           (static_cast<std::uint32_t>(at[2]) << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
}

// Walks the chunks in [begin, end), descending into the header lists.
void Walk(const std::vector<std::uint8_t>& head, std::size_t begin, std::size_t end,
          std::vector<StreamHeaderFields>& fields) {
    std::size_t at = begin;
    while (at + kChunkHeaderSize <= end) {
        const std::uint8_t* chunk = head.data() + at;
        const std::size_t size = ReadLe32(chunk + 4);
        const std::size_t body = at + kChunkHeaderSize;
        if (size > end - body) return;
        if (IsId(chunk, "LIST") && size >= 4 && (IsId(chunk + 8, "hdrl") || IsId(chunk + 8, "strl"))) {
            Walk(head, body + 4, body + size, fields);
        } else if (IsId(chunk, "strh") && size >= kStartFieldOffset + 4) {
            fields.push_back(
                StreamHeaderFields{.start = static_cast<std::int64_t>(body + kStartFieldOffset)});
        } else if (IsId(chunk, "strf") && !fields.empty() && fields.back().format < 0) {
            fields.back().format = static_cast<std::int64_t>(body);
            fields.back().formatSize = static_cast<std::int64_t>(size);
        }
        at = body + size + (size & 1);  // chunks are padded to an even size
    }
}

}  // namespace

std::vector<StreamHeaderFields> FindStreamHeaderFields(const std::vector<std::uint8_t>& head) {
    std::vector<StreamHeaderFields> fields;
    constexpr std::size_t kRiffHeaderSize = 12;
    if (head.size() < kRiffHeaderSize || !IsId(head.data(), "RIFF") || !IsId(head.data() + 8, "AVI "))
        return fields;
    Walk(head, kRiffHeaderSize, head.size(), fields);
    return fields;
}

}  // namespace media
