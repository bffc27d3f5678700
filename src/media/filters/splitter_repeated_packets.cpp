#include "media/filters/splitter_repeated_packets.h"

#include <algorithm>

namespace media {
namespace {

// A glitch sends a few packets again, not seconds of them.
constexpr std::size_t kRemembered = 64;

std::uint64_t HashOf(const std::uint8_t* data, int size) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;  // FNV-1a
    for (int i = 0; i < size; ++i) hash = (hash ^ data[i]) * 0x100000001b3ULL;
    return hash;
}

}  // namespace

bool SplitterRepeatedPackets::Repeated(std::int64_t time, const AVPacket& packet, bool behind) {
    const Seen seen{time, packet.size, HashOf(packet.data, packet.size)};
    const bool repeated =
        behind && std::any_of(m_recent.begin(), m_recent.end(), [&](const Seen& earlier) {
            return earlier.time == seen.time && earlier.size == seen.size && earlier.hash == seen.hash;
        });
    if (repeated) return true;
    m_recent.push_back(seen);
    if (m_recent.size() > kRemembered) m_recent.pop_front();
    return false;
}

}  // namespace media
