#pragma once

// How a compressor's encoder is opened for an uncompressed video input: the pixel format it is
// fed, the time base frames are counted in, the compressor defaults, and the compressed media
// type that comes out.

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "media/graph/av_ptr.h"
#include "media/graph/codec_media_type.h"
#include "media/graph/media_type.h"

namespace media {

// The input's frame time, or that of 25 frames per second when the input does not say.
[[nodiscard]] REFERENCE_TIME EffectiveFrameTime(const RawVideoLayout& input);

// One frame time as a rational: the common frame rate it stands for, else the nearest of at
// most 65535 over 65535 (the limit of MPEG-4 part 2), so that frames count in whole units.
[[nodiscard]] AVRational FrameTimeBase(const RawVideoLayout& input);

// Opens codec for frames of input converted to pixelFormat, with the compressor defaults.
// VFW_E_TYPE_NOT_ACCEPTED when the encoder refuses (a size it cannot code, say).
[[nodiscard]] HRESULT OpenEncoder(const AVCodec& codec, const RawVideoLayout& input,
                                  AVPixelFormat pixelFormat, AvCodecContextPtr& context);

// What a successful trial of an encoder found.
struct EncoderChoice {
    AVPixelFormat pixelFormat = AV_PIX_FMT_NONE;          // the format frames are converted to
    std::shared_ptr<const AVCodecParameters> parameters;  // the opened encoder's, with the AVI FourCC
};

// Opens codec for input in the pixel formats it can take (yuv420p first, then the input's own,
// then the encoder's order), keeping the first that works. VFW_E_TYPE_NOT_ACCEPTED when none does.
[[nodiscard]] HRESULT TryEncoder(const AVCodec& codec, const RawVideoLayout& input, EncoderChoice& choice);

// The compressed type of a tried encoder: its codec parameters, FourCC subtype, the input's size
// and frame time.
[[nodiscard]] MediaType CompressedVideoType(const EncoderChoice& choice, const RawVideoLayout& input);

}  // namespace media
