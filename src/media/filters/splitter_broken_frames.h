#pragma once

// Audio frames broken where a recording lost or repeated packets in reception, as the demuxer's
// parser hands them over at such a join: the bytes left of a frame whose rest was lost, glued to
// the frame after them, or a frame's start glued to bytes that belong elsewhere. Such a packet
// decodes to nothing, or to a burst of noise, and takes the place of sound that follows. MPEG
// audio is cut to start at its own header; an AC-3 frame whose length is not the one its header
// says is dropped, so that the stream's clock sees the hole it is. Streaming thread only.

#include <cstdint>

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavcodec/packet.h>
}

namespace media {

// Mends packet of a stream of codec; false when it is to be dropped.
[[nodiscard]] bool MendBrokenAudioFrame(AVCodecID codec, AVPacket& packet);

}  // namespace media
