#pragma once

// Audio packets that a damaged recording holds twice: a reception glitch that sends a run of
// packets again, with their times and bytes, right after the first time. A player plays sound from
// its own clock and skips what it has played already; here such a packet is recognised among the
// packets read shortly before it by its time and its length, and dropped, however many come in a
// row. (Its bytes tell less: the parser cuts the first ones of a repeated run at the join.)
// Streaming thread only.

#include <cstdint>
#include <deque>

extern "C" {
#include <libavcodec/packet.h>
}

namespace media {

class SplitterRepeatedPackets {
public:
    // Whether packet, read with the given time, repeats one of those read shortly before it;
    // only a packet behind the stream's continuity can. Remembers it when it does not.
    [[nodiscard]] bool Repeated(std::int64_t time, const AVPacket& packet, bool behind);
    void Reset() { m_recent.clear(); }

private:
    struct Seen {
        std::int64_t time = 0;
        int size = 0;
    };
    std::deque<Seen> m_recent;  // the latest last
};

}  // namespace media
