#pragma once

// One frame of silence coded in an audio stream's own format and parameters, repeated where the
// stream must be filled (a gap that the picture keeps as a frozen frame, a packet lost in
// reception) so that the stream's other bytes stay exactly the input's. MPEG audio layers 1 to 3
// are built by hand from a real frame's header (nothing allocated to any sub-band plays as
// silence, at the frame size of the stream's bit rate); PCM is its silent sample value; anything
// else is encoded once with FFmpeg's encoder for the codec, at the stream's rate, channels and bit
// rate.

#include <cstdint>
#include <optional>
#include <vector>

extern "C" {
#include <libavcodec/codec_par.h>
}

namespace media {

struct SilentAudioFrame {
    std::vector<std::uint8_t> bytes;
    int samples = 0;  // per channel, at the stream's rate: how long the frame plays
};

// The silent frame of a stream, given one of its packets (whose header MPEG audio copies);
// nullopt when there is no way to code silence in that format.
[[nodiscard]] std::optional<SilentAudioFrame> MakeSilentAudioFrame(const AVCodecParameters& stream,
                                                                   const std::uint8_t* packet, int size);

// Where the first frame header of MPEG audio (layers 1 to 3) lies among a packet's first bytes; -1
// when there is none there, or the codec is another. A packet after a hole in reception may begin
// with what was left of a frame that was lost.
[[nodiscard]] int MpegAudioHeaderAt(AVCodecID codec, const std::uint8_t* packet, int size);

// Whether silence can be coded in the stream's format (MPEG audio always can, from any of its
// frames).
[[nodiscard]] bool CanCodeSilence(const AVCodecParameters& stream);

}  // namespace media
