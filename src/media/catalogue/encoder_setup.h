#pragma once

// How a compressor's encoder is opened for an uncompressed video input: the picture it codes
// (pixel format and size), the time bases frames are counted in, the compressor defaults, and the
// compressed media type that comes out.

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "media/api/media_type.h"
#include "media/catalogue/compressor_defaults.h"
#include "media/ffmpeg/av_ptr.h"
#include "media/ffmpeg/codec_media_type.h"

namespace media {

// The input's frame time, or that of 25 frames per second when the input does not say.
[[nodiscard]] REFERENCE_TIME EffectiveFrameTime(const RawVideoLayout& input);

// One frame time as a rational number of seconds, one tick per frame: the common frame rate it
// stands for, else the frame time itself. Compressed frames are stamped in it.
[[nodiscard]] AVRational FrameTimeBase(const RawVideoLayout& input);

// The time base the encoder is opened with: FrameTimeBase when its terms fit in 65000 and a frame
// lasts at most a second, else the nearest of those, between 1/65000 and 1 s per frame. MPEG-4
// part 2 codes terms up to 65535, libxvid divides by zero on slow rates with larger terms and
// writes broken headers for frames of 16 s. Frames keep their times whatever the encoder is
// told: they are stamped in FrameTimeBase.
[[nodiscard]] AVRational CodedTimeBase(const RawVideoLayout& input);

// The picture an encoder is given: a pixel format it takes and the part of the input it codes,
// which is the whole input or, for an encoder that codes only sizes of some multiple, the input
// without its last few columns and rows.
struct CodedPicture {
    AVPixelFormat format = AV_PIX_FMT_NONE;
    int width = 0;
    int height = 0;
};

// Opens codec for coded pictures of input, with the compressor defaults and settings.
// VFW_E_TYPE_NOT_ACCEPTED when the encoder refuses (a size it cannot code, say).
[[nodiscard]] HRESULT OpenEncoder(const AVCodec& codec, const RawVideoLayout& input,
                                  const CodedPicture& picture, AvCodecContextPtr& context,
                                  const CompressionSettings& settings = {});

// What a successful trial of an encoder found.
struct EncoderChoice {
    CodedPicture picture;                                 // what frames are converted to
    std::shared_ptr<const AVCodecParameters> parameters;  // the opened encoder's, with the AVI FourCC
};

// Finds the picture codec codes best for input: the whole picture if any format works for it,
// else the largest size of a multiple of 2, 4, 8 or 16 that does; in each size the pixel formats
// nearest to the input's first. A picture is taken only when the encoder opens for it and one
// coded picture decodes back, under the FourCC the stream will carry, at its size.
// VFW_E_TYPE_NOT_ACCEPTED when nothing works.
[[nodiscard]] HRESULT TryEncoder(const AVCodec& codec, const RawVideoLayout& input, EncoderChoice& choice);

// The compressed type of a tried encoder: its codec parameters and coded size, FourCC subtype,
// and the input's frame time.
[[nodiscard]] MediaType CompressedVideoType(const EncoderChoice& choice, const RawVideoLayout& input);

}  // namespace media
