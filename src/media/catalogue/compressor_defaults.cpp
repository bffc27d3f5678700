#include "media/catalogue/compressor_defaults.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
#include <libavutil/pixdesc.h>
}

#include "media/api/guid.h"
#include "media/api/video_compression.h"
#include "media/catalogue/player_rate_control.h"

namespace media {
namespace {

// x264's constant rate factor stops short of 0, which is lossless in a profile players refuse.
constexpr QualityScale kCrfScale{.option = "crf", .best = 12, .worst = 51};
constexpr QualityScale kVpxScale{.option = "crf", .best = 4, .worst = 63};

// The MPEG-4 part 2 family keeps a constant quantizer of 4, a key frame at least every 250 frames
// and no B-frames, which is what players of these AVI files expect. Library encoders get their
// own quality modes at speeds suited to a desktop converter.
constexpr std::array kDefaults{
    CompressorDefaults{.encoder = "mpeg4",
                       .quantizer = 4,
                       .keyFrameInterval = 250,
                       .noBFrames = true,
                       .quality = kQuantizerScale},
    CompressorDefaults{.encoder = "libxvid",
                       .fourcc = MakeFourCC('X', 'V', 'I', 'D'),
                       .quantizer = 4,
                       .keyFrameInterval = 250,
                       .noBFrames = true,
                       .quality = kQuantizerScale},
    CompressorDefaults{.encoder = "msmpeg4",
                       .quantizer = 4,
                       .keyFrameInterval = 250,
                       .noBFrames = true,
                       .quality = kQuantizerScale},
    CompressorDefaults{.encoder = "msmpeg4v2",
                       .quantizer = 4,
                       .keyFrameInterval = 250,
                       .noBFrames = true,
                       .quality = kQuantizerScale},
    CompressorDefaults{.encoder = "libx264",
                       .keyFrameInterval = 250,
                       .noBFrames = true,
                       .options = "crf=23:preset=veryfast",
                       .quality = kCrfScale},
    CompressorDefaults{.encoder = "libx264rgb",
                       .keyFrameInterval = 250,
                       .noBFrames = true,
                       .options = "crf=23:preset=veryfast",
                       .quality = kCrfScale},
    CompressorDefaults{.encoder = "mjpeg", .quantizer = 3, .quality = kQuantizerScale},
    CompressorDefaults{.encoder = "mpeg1video",
                       .quantizer = 4,
                       .keyFrameInterval = 15,
                       .noBFrames = true,
                       .quality = kQuantizerScale},
    CompressorDefaults{.encoder = "mpeg2video",
                       .quantizer = 4,
                       .keyFrameInterval = 15,
                       .noBFrames = true,
                       .quality = kQuantizerScale},
    CompressorDefaults{
        .encoder = "h261", .quantizer = 4, .keyFrameInterval = 250, .quality = kQuantizerScale},
    CompressorDefaults{.encoder = "h263",
                       .quantizer = 4,
                       .keyFrameInterval = 250,
                       .noBFrames = true,
                       .quality = kQuantizerScale},
    CompressorDefaults{.encoder = "h263p",
                       .quantizer = 4,
                       .keyFrameInterval = 250,
                       .noBFrames = true,
                       .quality = kQuantizerScale},
    CompressorDefaults{.encoder = "flv",
                       .quantizer = 4,
                       .keyFrameInterval = 250,
                       .noBFrames = true,
                       .quality = kQuantizerScale},
    CompressorDefaults{.encoder = "wmv1",
                       .quantizer = 4,
                       .keyFrameInterval = 250,
                       .noBFrames = true,
                       .quality = kQuantizerScale},
    CompressorDefaults{.encoder = "wmv2",
                       .quantizer = 4,
                       .keyFrameInterval = 250,
                       .noBFrames = true,
                       .quality = kQuantizerScale},
    CompressorDefaults{.encoder = "libtheora",
                       .quantizer = 7,
                       .keyFrameInterval = 250,
                       .quality = QualityScale{.best = 10, .worst = 0}},
    CompressorDefaults{.encoder = "libvpx",
                       .keyFrameInterval = 250,
                       .bitRate = 2'000'000,
                       .options = "crf=10:deadline=good:cpu-used=4",
                       .quality = kVpxScale},
    CompressorDefaults{.encoder = "libvpx-vp9",
                       .keyFrameInterval = 250,
                       .options = "crf=32:b=0:deadline=good:cpu-used=4:row-mt=1",
                       .quality = kVpxScale},
    CompressorDefaults{.encoder = "libaom-av1",
                       .keyFrameInterval = 250,
                       .options = "crf=32:b=0:cpu-used=8:row-mt=1",
                       .quality = kVpxScale},
    CompressorDefaults{.encoder = "librav1e", .keyFrameInterval = 250, .options = "speed=10"},
    // VC-2 spends a fixed budget on every picture; below about 3 bits per pixel libavcodec's
    // encoder writes pictures that decode to noise.
    CompressorDefaults{.encoder = "vc2", .bitsPerPixel = 6},
};

constexpr CompressorDefaults kEncoderOwn{};

constexpr bool HasScale(const QualityScale& scale) {
    return scale.best != scale.worst;
}

constexpr int kAnyThreads =
    AV_CODEC_CAP_FRAME_THREADS | AV_CODEC_CAP_SLICE_THREADS | AV_CODEC_CAP_OTHER_THREADS;

}  // namespace

const CompressorDefaults& DefaultsFor(std::string_view encoder) {
    const auto* row = std::find_if(kDefaults.begin(), kDefaults.end(),
                                   [&](const CompressorDefaults& d) { return d.encoder == encoder; });
    return row != kDefaults.end() ? *row : kEncoderOwn;
}

LONG CompressionCapabilities(std::string_view encoder) {
    const CompressorDefaults& row = DefaultsFor(encoder);
    LONG caps = 0;
    if (HasScale(row.quality)) caps |= CompressionCaps_CanQuality | CompressionCaps_CanCrunch;
    if (row.bitsPerPixel > 0) caps |= CompressionCaps_CanCrunch;
    if (row.keyFrameInterval > 0) caps |= CompressionCaps_CanKeyFrame;
    return caps;
}

double DefaultQuality(std::string_view encoder) {
    const CompressorDefaults& row = DefaultsFor(encoder);
    const QualityScale& scale = row.quality;
    if (!HasScale(scale)) return -1.0;
    int level = row.quantizer;
    if (!scale.option.empty()) {
        AVDictionary* parsed = nullptr;
        av_dict_parse_string(&parsed, std::string(row.options).c_str(), "=", ":", 0);
        const AVDictionaryEntry* entry = av_dict_get(parsed, std::string(scale.option).c_str(), nullptr, 0);
        level = entry != nullptr ? std::atoi(entry->value) : scale.worst;
        av_dict_free(&parsed);
    }
    return std::clamp(static_cast<double>(level - scale.worst) / (scale.best - scale.worst), 0.0, 1.0);
}

namespace {

// Quality on the row's scale, then a data rate over all of it: the encoder counts bits instead of
// holding a quantizer or a rate factor.
void ApplySettings(const CompressorDefaults& row, const CompressionSettings& settings,
                   AVCodecContext& context, AVDictionary** options) {
    if (settings.keyFrameInterval > 0 && row.keyFrameInterval > 0)
        context.gop_size = settings.keyFrameInterval;
    const QualityScale& scale = row.quality;
    if (settings.quality >= 0.0 && HasScale(scale)) {
        const double quality = std::min(settings.quality, 1.0);
        const int level = static_cast<int>(std::lround(scale.worst + quality * (scale.best - scale.worst)));
        if (scale.option.empty()) {
            context.flags |= AV_CODEC_FLAG_QSCALE;
            context.global_quality = level * FF_QP2LAMBDA;
        } else {
            av_dict_set_int(options, std::string(scale.option).c_str(), level, 0);
        }
    }
    if (settings.bitRate > 0 && (HasScale(scale) || row.bitsPerPixel > 0)) {
        context.flags &= ~AV_CODEC_FLAG_QSCALE;
        context.global_quality = 0;
        context.bit_rate = settings.bitRate;
        if (!scale.option.empty()) av_dict_set(options, std::string(scale.option).c_str(), nullptr, 0);
        av_dict_set(options, "b", nullptr, 0);  // a "b" of the row's would undo the rate
    }
}

}  // namespace

void ApplyCompressorDefaults(const AVCodec& codec, AVCodecContext& context, AVDictionary** options,
                             const CompressionSettings& settings) {
    const CompressorDefaults& row = DefaultsFor(codec.name);
    if (row.quantizer > 0) {
        context.flags |= AV_CODEC_FLAG_QSCALE;
        context.global_quality = row.quantizer * FF_QP2LAMBDA;
    }
    if (row.keyFrameInterval > 0) context.gop_size = row.keyFrameInterval;
    if (row.noBFrames) context.max_b_frames = 0;
    if (row.bitRate > 0) context.bit_rate = row.bitRate;
    if (row.bitsPerPixel > 0) {
        const AVRational frameRate = av_inv_q(context.time_base);
        context.bit_rate =
            av_rescale(static_cast<std::int64_t>(row.bitsPerPixel) * context.width * context.height,
                       frameRate.num, frameRate.den);
    }
    if (!row.options.empty()) av_dict_parse_string(options, std::string(row.options).c_str(), "=", ":", 0);
    ApplySettings(row, settings, context, options);
    if (const PlayerProfileRules* rules = RulesOf(settings.player)) ApplyPlayerProfile(*rules, settings.bitRate, context);
    // Encoders without threads of libavcodec's kind get one, as libavcodec gives them whatever is
    // asked: it sets thread_count to 1 before such an encoder opens, so libxvid's own
    // motion-search threads are out of reach through it.
    context.thread_count = (codec.capabilities & kAnyThreads) != 0 ? 0 : 1;
}

AVPixelFormat PlayableFormatFor(const AVCodec& codec, AVPixelFormat nearest) {
    const AVPixFmtDescriptor* format = av_pix_fmt_desc_get(nearest);
    if (format == nullptr || (format->flags & AV_PIX_FMT_FLAG_RGB) != 0 || format->nb_components < 3 ||
        (format->log2_chroma_w >= 1 && format->log2_chroma_h >= 1) || codec.pix_fmts == nullptr)
        return AV_PIX_FMT_NONE;
    // JPEG's full-range formats keep their range: MJPEG's decoders expect it.
    const bool fullRange = nearest == AV_PIX_FMT_YUVJ444P || nearest == AV_PIX_FMT_YUVJ422P ||
                           nearest == AV_PIX_FMT_YUVJ440P || nearest == AV_PIX_FMT_YUVJ411P;
    const AVPixelFormat wanted[] = {fullRange ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P,
                                    fullRange ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_YUVJ420P};
    for (AVPixelFormat candidate : wanted) {
        for (const AVPixelFormat* f = codec.pix_fmts; *f != AV_PIX_FMT_NONE; ++f)
            if (*f == candidate) return candidate;
    }
    return AV_PIX_FMT_NONE;
}

DWORD AviFourCC(const AVCodec& codec) {
    if (const DWORD own = DefaultsFor(codec.name).fourcc; own != 0) return own;
    const AVCodecTag* const tables[] = {avformat_get_riff_video_tags(), nullptr};
    return av_codec_get_tag(tables, codec.id);
}

}  // namespace media
