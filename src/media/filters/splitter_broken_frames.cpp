#include "media/filters/splitter_broken_frames.h"

#include <cstddef>
#include <cstdint>

extern "C" {
#include <libavcodec/ac3_parser.h>
}

#include "media/ffmpeg/silent_audio_frame.h"

namespace media {

bool MendBrokenAudioFrame(AVCodecID codec, AVPacket& packet) {
    if (packet.data == nullptr || packet.size <= 0) return true;
    if (const int header = MpegAudioHeaderAt(codec, packet.data, packet.size); header > 0) {
        packet.data += header;
        packet.size -= header;
    } else if (codec == AV_CODEC_ID_AC3) {
        std::uint8_t bitstream = 0;
        std::uint16_t frameSize = 0;
        const bool parsed = av_ac3_parse_header(packet.data, static_cast<std::size_t>(packet.size),
                                                &bitstream, &frameSize) >= 0;
        // A packet whose header can't be read is left to the decoder, as it comes.
        if (parsed && frameSize > 0 && frameSize != packet.size) return false;
    }
    return true;
}

}  // namespace media
