#pragma once

// Audio times from the sample count, for a stream whose container gives its packets no usable
// durations (a QuickTime sample table whose audio durations are 0, or absurd): times that stand
// still, or packets that last nothing or more than a frame longer than their codec says. A player plays
// the sound continuously from its own clock and takes each packet's length from the codec, so
// from the first packet with such a duration on, each packet starts where the one before ended,
// and lasts as its codec says. The container's discard marks came from the broken times and are
// dropped with them: the packet's role is judged again from its new time. Streams whose
// durations are sound are left exactly as they are. Streaming thread only.

#include <cstdint>

extern "C" {
#include <libavcodec/codec_par.h>
#include <libavcodec/packet.h>
}

namespace media {

class SplitterAudioCount {
public:
    // The stream's parameters and time base; parameters must outlive this object.
    SplitterAudioCount(AVCodecParameters& parameters, AVRational timeBase)
        : m_parameters(parameters), m_timeBase(timeBase) {}

    // Re-times packet when the stream's durations are broken; true when it did.
    bool Mend(AVPacket& packet);
    // A seek: the next packet's time is its own again.
    void Reset() { m_next = m_last = kUnknown; }

private:
    static constexpr std::int64_t kUnknown = INT64_MIN;

    AVCodecParameters& m_parameters;
    AVRational m_timeBase;
    bool m_counting = false;         // the durations were found broken
    std::int64_t m_next = kUnknown;  // where the last packet ended, in the time base
    std::int64_t m_last = kUnknown;  // the last packet's own time
};

}  // namespace media
