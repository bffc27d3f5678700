#pragma once

// The clocks of all the streams of a file whose timestamps may jump (one SplitterStreamClock
// each), and the time they share as 0: the earliest start of the file's streams, as the
// container says it, except where a stream's first packet was moved. A first packet stamped an
// hour late must not make the file start an hour late, nor one stamped early make it start
// with seconds of nothing.
//
// Packets come out in the order they were read, each once its stream's clock has settled it: the
// streams stay interleaved as the file has them, which a renderer that holds up the streaming
// thread needs (the other streams' packets around the one it holds have gone out). At the start
// of the file nothing comes out until every stream being read has settled its first packet with
// a time, or the end of the file, or 256 packets waiting, whichever comes first. A run that starts
// anywhere else takes the container's starts as they are. Streaming thread only, after Begin.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

extern "C" {
#include <libavutil/rational.h>
}

#include "media/api/types.h"
#include "media/ffmpeg/av_ptr.h"
#include "media/filters/splitter_restarts.h"
#include "media/filters/splitter_stream_clock.h"

namespace media {

class SplitterClocks {
public:
    struct Stream {
        AVRational timeBase{0, 1};
        bool audio = false;
        std::int64_t frameDuration = 0;  // video, in timeBase; 0 unknown
        int sampleRate = 0;              // audio; 0 unknown
        std::int64_t start = 0;          // the container's start of the stream, AV_NOPTS_VALUE unknown
        bool silenceCodable = true;      // audio: a gap can be filled with silence in its format
        bool tableTimes = false;         // video: stamps from a sample table (QuickTime), not each picture's
    };

    // containerOrigin: the time (100-ns units) that is 0 when no start is known.
    SplitterClocks(const std::vector<Stream>& streams, REFERENCE_TIME containerOrigin);

    // A run begins on the streams marked in reading, at the start of the file or elsewhere.
    // What was held is dropped. Gaps are kept (frozen picture, silence) only when every audio
    // stream read can be filled with silence; otherwise they are closed in every stream.
    void Begin(const std::vector<bool>& reading, bool atFileStart);
    // A seek within the run: what was held is dropped.
    void Reset();
    // The next packet of the stream at slot, in read order.
    void Push(std::size_t slot, AvPacketPtr packet);
    // The file has no more packets: everything held settles.
    void EndOfFile();
    // The next packet to deliver, and its stream's slot; null when none is ready.
    [[nodiscard]] AvPacketPtr Pop(std::size_t& slot);
    // The time that becomes 0, in 100-ns units; the container's origin until it is decided.
    [[nodiscard]] REFERENCE_TIME Origin() const { return m_origin.value_or(m_containerOrigin); }

private:
    void DecideOrigin(bool now);

    std::vector<Stream> m_streams;
    SplitterRestarts m_restarts;               // before the clocks, which use it
    std::deque<SplitterStreamClock> m_clocks;  // never moved: a clock holds packets
    std::vector<bool> m_reading;
    std::deque<std::size_t> m_order;  // the slot of every packet held, in read order
    REFERENCE_TIME m_containerOrigin;
    std::optional<REFERENCE_TIME> m_origin;  // decided once for the open file
};

}  // namespace media
