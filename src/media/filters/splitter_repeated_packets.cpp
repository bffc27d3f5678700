#include "media/filters/splitter_repeated_packets.h"

#include <algorithm>

namespace media {
namespace {

// A glitch sends a few packets again, not seconds of them.
constexpr std::size_t kRemembered = 64;

}  // namespace

bool SplitterRepeatedPackets::Repeated(std::int64_t time, const AVPacket& packet, bool behind) {
    const Seen seen{time, packet.size};
    // The first packets of a repeated run are cut at the join, their bytes mixed with those
    // around it: behind the stream, the time and the length of a packet read shortly before tell
    // a repeat.
    const bool repeated = behind && std::any_of(m_recent.begin(), m_recent.end(), [&](const Seen& earlier) {
                              return earlier.time == seen.time && earlier.size == seen.size;
                          });
    if (repeated) return true;
    m_recent.push_back(seen);
    if (m_recent.size() > kRemembered) m_recent.pop_front();
    return false;
}

}  // namespace media
