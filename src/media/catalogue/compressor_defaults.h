#pragma once

// The settings each compressor encodes with, in one table: quality, key-frame distance, B-frames,
// threads, and the FourCC its AVI streams carry.

#include <string_view>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/dict.h>
#include <libavutil/pixfmt.h>
}

#include "media/api/types.h"

namespace media {

struct CompressorDefaults {
    std::string_view encoder{};  // FFmpeg encoder name
    DWORD fourcc = 0;            // the AVI FourCC players expect; 0 keeps FFmpeg's RIFF tag
    int quantizer = 0;           // constant quantizer when > 0
    int keyFrameInterval = 0;    // at most this many frames between key frames; 0 keeps the encoder's
    bool noBFrames = false;      // frames stay in display order
    LONG bitRate = 0;            // bits per second when > 0
    int bitsPerPixel = 0;        // bits per second of bitsPerPixel per pixel and frame, when > 0
    std::string_view options{};  // the encoder's private options, "key=value:key=value"
};

// The table's row for encoder; a row of FFmpeg's defaults when it has none.
[[nodiscard]] const CompressorDefaults& DefaultsFor(std::string_view encoder);

// Applies codec's row to a context not yet opened, adding private options to options (which the
// caller frees with av_dict_free).
void ApplyCompressorDefaults(const AVCodec& codec, AVCodecContext& context, AVDictionary** options);

// The picture format codec should encode instead of nearest, the format of its list nearest to
// RGB24: 4:2:0 where nearest is a YUV format with finer chroma (4:4:4, 4:2:2) and codec takes
// 4:2:0, since most players and every hardware decoder refuse the finer ones. AV_PIX_FMT_NONE
// when nearest stays: RGB (nothing is lost), already 4:2:0 or coarser, or no 4:2:0 on offer.
[[nodiscard]] AVPixelFormat PlayableFormatFor(const AVCodec& codec, AVPixelFormat nearest);

// The FourCC an AVI stream of codec carries: the table's, else FFmpeg's RIFF tag, else 0.
[[nodiscard]] DWORD AviFourCC(const AVCodec& codec);

}  // namespace media
