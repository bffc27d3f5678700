#pragma once

// The settings each compressor encodes with, in one table: quality, key-frame distance, B-frames,
// threads, and the FourCC its AVI streams carry.

#include <cstdint>
#include <string_view>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/dict.h>
#include <libavutil/pixfmt.h>
}

#include "media/api/types.h"

namespace media {

// How a quality of 0.0 (smallest) to 1.0 (best) maps onto the encoder: linearly from worst to best
// on its quantizer (global_quality) or on its private option. best == worst: no quality control.
struct QualityScale {
    std::string_view option{};  // the encoder's private option; empty: the quantizer
    int best = 0;
    int worst = 0;
};

inline constexpr QualityScale kQuantizerScale{.best = 2, .worst = 31};

struct CompressorDefaults {
    std::string_view encoder{};  // FFmpeg encoder name
    DWORD fourcc = 0;            // the AVI FourCC players expect; 0 keeps FFmpeg's RIFF tag
    int quantizer = 0;           // constant quantizer when > 0
    int keyFrameInterval = 0;    // at most this many frames between key frames; 0 keeps the encoder's
    bool noBFrames = false;      // frames stay in display order
    LONG bitRate = 0;            // bits per second when > 0
    int bitsPerPixel = 0;        // bits per second of bitsPerPixel per pixel and frame, when > 0
    std::string_view options{};  // the encoder's private options, "key=value:key=value"
    QualityScale quality{};      // what a quality setting changes
};

// What the user asked of a compressor; each member at its default leaves the table's value.
struct CompressionSettings {
    double quality = -1.0;     // 0.0 (smallest) to 1.0 (best); < 0: the table's
    int keyFrameInterval = 0;  // > 0: at most this many frames between key frames
    std::int64_t bitRate = 0;  // > 0: average bits per second in one pass, instead of quality
    LONG player = 0;           // a PlayerProfile: its rules over everything else
};

// The CompressionCaps flags of encoder: quality where its row has a scale, a data rate where it
// codes to one, key frames where its row sets their distance.
[[nodiscard]] LONG CompressionCapabilities(std::string_view encoder);

// The quality encoder's row encodes at, on the scale of CompressionSettings; -1 without a scale.
[[nodiscard]] double DefaultQuality(std::string_view encoder);

// The table's row for encoder; a row of FFmpeg's defaults when it has none.
[[nodiscard]] const CompressorDefaults& DefaultsFor(std::string_view encoder);

// Applies codec's row and then settings to a context not yet opened (under a player profile,
// only for the encoder PlayerEncoderFor gives), adding private options to
// options (which the caller frees with av_dict_free).
void ApplyCompressorDefaults(const AVCodec& codec, AVCodecContext& context, AVDictionary** options,
                             const CompressionSettings& settings = {});

// The picture format codec should encode instead of nearest, the format of its list nearest to
// RGB24: 4:2:0 where nearest is a YUV format with finer chroma (4:4:4, 4:2:2) and codec takes
// 4:2:0, since most players and every hardware decoder refuse the finer ones. AV_PIX_FMT_NONE
// when nearest stays: RGB (nothing is lost), already 4:2:0 or coarser, or no 4:2:0 on offer.
[[nodiscard]] AVPixelFormat PlayableFormatFor(const AVCodec& codec, AVPixelFormat nearest);

// The FourCC an AVI stream of codec carries: the table's, else FFmpeg's RIFF tag, else 0.
[[nodiscard]] DWORD AviFourCC(const AVCodec& codec);

}  // namespace media
