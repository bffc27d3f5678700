#pragma once

// Keeps an AVI audio stream in step with its samples' times. An AVI plays its audio as one
// continuous byte stream, so where a packet starts later than the bytes before it end (a gap that
// the picture keeps as a frozen frame, or packets lost in reception) the time between must be
// there as sound, or everything after it plays early against the picture. It is filled with
// silent frames coded in the stream's own format, a whole number of them; what is left of the gap
// (less than a frame either way) is carried to the next gap, so that nothing drifts. PCM, whose
// silent frame is a single sample, fills a gap with as many alike chunks as the packet after it
// is long (one for a gap of a packet), never a chunk per sample, which players' indexes choke on;
// what does not divide is carried the same way. A stream
// whose format can't code silence, or whose packets' lengths can't be told, is left as it comes.
// Not MT safe: the multiplexer serialises every call.

#include <cstdint>
#include <optional>

extern "C" {
#include <libavcodec/codec_par.h>
}

#include "media/api/types.h"
#include "media/ffmpeg/silent_audio_frame.h"

namespace media {

class AviMuxAudioGaps {
public:
    // The stream's parameters must outlive this object.
    explicit AviMuxAudioGaps(const AVCodecParameters& stream) : m_stream(stream) {}

    // The silent frame to write before a packet of the given bytes that starts at start (100-ns
    // units), and how many times (0 when it continues the stream); call before Played for it.
    [[nodiscard]] int SilentFramesBefore(REFERENCE_TIME start, const std::uint8_t* packet, int size,
                                         const SilentAudioFrame** silence);
    // A packet, or a silent frame, of samples (per channel) went into the stream; 0 when unknown.
    void Played(REFERENCE_TIME start, int samples);

private:
    [[nodiscard]] std::int64_t ToSamples(REFERENCE_TIME time) const;
    // PCM: how many chunks of m_chunk fill total samples, before a packet of size bytes.
    [[nodiscard]] std::int64_t PcmChunks(std::int64_t total, int size);

    const AVCodecParameters& m_stream;
    std::optional<std::int64_t> m_end;  // where the bytes so far end, in samples; unknown at first
    std::int64_t m_carried = 0;         // samples of the gaps so far not filled (negative: overfilled)
    int m_tries = 0;                    // how many packets m_silence was looked for from
    std::optional<SilentAudioFrame> m_silence;
    SilentAudioFrame m_chunk;  // PCM: the silent chunk of the last gap
};

}  // namespace media
