#pragma once

// The composition offsets of a QuickTime video track, as its sample table gives them to each
// sample. libavformat hands a packet the offset next in the table's order, one per packet it has
// read: after a sample it leaves out (one it cannot read, or one whose chunk names a sample
// description the track doesn't have), every later packet carries the offset of a sample before
// its own, and B-pictures come out with each other's times, a frame or more late for the rest of
// the file. A player takes each sample's offset from the table by the sample itself. This finds
// each packet's sample by its place in the file and gives it that sample's offset back; packets
// it can't place keep their times. Offsets that put two pictures on one time are mended too
// (ShownOffsets). Streaming thread only.

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

extern "C" {
#include <libavcodec/packet.h>
#include <libavformat/avio.h>
}

namespace media {

class SplitterCompositionOffsets {
public:
    // The offsets of the track whose id (tkhd) is trackId, read from the file's movie box through
    // io; nothing when the track has no composition offsets or its table can't be read. io's
    // position is left anywhere: libavformat seeks to each sample it reads.
    [[nodiscard]] static std::optional<SplitterCompositionOffsets> Read(AVIOContext& io, int trackId);

    // Gives packet the offset of the sample it holds.
    void Mend(AVPacket& packet);
    // A seek: the next packet is read where libavformat's own count starts again.
    void Reset() {
        m_previous.reset();
        m_missed = 0;
        m_shift.reset();
    }

private:
    struct Sample {
        std::int64_t position = 0;  // in the file
        std::uint32_t index = 0;    // in the table
    };

    SplitterCompositionOffsets(std::vector<Sample> byPosition, std::vector<std::int32_t> offsets,
                               std::vector<std::int32_t> shown)
        : m_byPosition(std::move(byPosition)), m_offsets(std::move(offsets)), m_shown(std::move(shown)) {}

    // The offsets a player shows the pictures by: the table's, but where two pictures claim one
    // time, or one lies off the grid of decoding times (an offset that a rewrite of the durations
    // left behind, or a damaged one), the picture further from its own decoding slot is shown in
    // the free slot nearest it.
    [[nodiscard]] static std::vector<std::int32_t> ShownOffsets(const std::vector<std::int64_t>& decodeTimes,
                                                                const std::vector<std::int32_t>& offsets);

    std::vector<Sample> m_byPosition;         // sorted by position
    std::vector<std::int32_t> m_offsets;      // by table index, as the table has them
    std::vector<std::int32_t> m_shown;        // by table index, as they are shown
    std::optional<std::uint32_t> m_previous;  // the last packet's sample
    std::uint32_t m_missed = 0;               // samples left out between packets since the start
    std::optional<std::int64_t> m_shift;      // pts - dts - offset for packets libavformat got right
};

}  // namespace media
