#pragma once

// One run of an encoder: encodes coded pictures (see PictureConverter) with frame-numbered
// timestamps and hands each packet on. Streaming thread only.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "media/catalogue/encoder_setup.h"
#include "media/ffmpeg/av_ptr.h"
#include "media/ffmpeg/codec_media_type.h"

namespace media {

class FrameEncoder {
public:
    // Called with each packet in coding order, its times in frames of timeBase; any result but
    // S_OK stops the encoding and is returned. The packet is the encoder's and is valid only
    // during the call.
    using PacketSink = std::function<HRESULT(const AVPacket& packet, AVRational timeBase)>;

    // Opens codec for pictures laid out as input, converted to picture, with settings.
    [[nodiscard]] static HRESULT Open(const AVCodec& codec, const RawVideoLayout& input,
                                      const CodedPicture& picture, std::unique_ptr<FrameEncoder>& encoder,
                                      const CompressionSettings& settings = {});

    // Encodes frame, a picture in the coded format and size. Its timestamp is the frame nearest to
    // start, and always later than the previous one; without a start it follows the previous one.
    [[nodiscard]] HRESULT Encode(AVFrame& frame, std::optional<REFERENCE_TIME> start, const PacketSink& sink);
    // Takes the frames the encoder still holds. No picture may follow.
    [[nodiscard]] HRESULT Finish(const PacketSink& sink);

private:
    FrameEncoder(AvCodecContextPtr context, AvPacketPtr packet, const RawVideoLayout& input);

    [[nodiscard]] std::int64_t NextTimestamp(std::optional<REFERENCE_TIME> start);
    [[nodiscard]] HRESULT Send(const AVFrame* frame, const PacketSink& sink);

    AvCodecContextPtr m_context;
    AvPacketPtr m_packet;
    AVRational m_frameTimeBase;  // one tick per frame; the encoder's own may be coarser
    std::optional<std::int64_t> m_lastTimestamp;
};

}  // namespace media
