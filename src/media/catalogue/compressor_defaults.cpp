#include "media/catalogue/compressor_defaults.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
#include <libavutil/pixdesc.h>
}

#include "media/api/guid.h"

namespace media {
namespace {

// The MPEG-4 part 2 family keeps a constant quantizer of 4, a key frame at least every 250 frames
// and no B-frames, which is what players of these AVI files expect. Library encoders get their
// own quality modes at speeds suited to a desktop converter.
constexpr std::array kDefaults{
    CompressorDefaults{.encoder = "mpeg4", .quantizer = 4, .keyFrameInterval = 250, .noBFrames = true},
    CompressorDefaults{.encoder = "libxvid",
                       .fourcc = MakeFourCC('X', 'V', 'I', 'D'),
                       .quantizer = 4,
                       .keyFrameInterval = 250,
                       .noBFrames = true},
    CompressorDefaults{.encoder = "msmpeg4", .quantizer = 4, .keyFrameInterval = 250, .noBFrames = true},
    CompressorDefaults{.encoder = "msmpeg4v2", .quantizer = 4, .keyFrameInterval = 250, .noBFrames = true},
    CompressorDefaults{.encoder = "libx264",
                       .keyFrameInterval = 250,
                       .noBFrames = true,
                       .options = "crf=23:preset=veryfast"},
    CompressorDefaults{.encoder = "libx264rgb",
                       .keyFrameInterval = 250,
                       .noBFrames = true,
                       .options = "crf=23:preset=veryfast"},
    CompressorDefaults{.encoder = "mjpeg", .quantizer = 3},
    CompressorDefaults{.encoder = "mpeg1video", .quantizer = 4, .keyFrameInterval = 15, .noBFrames = true},
    CompressorDefaults{.encoder = "mpeg2video", .quantizer = 4, .keyFrameInterval = 15, .noBFrames = true},
    CompressorDefaults{.encoder = "h261", .quantizer = 4, .keyFrameInterval = 250},
    CompressorDefaults{.encoder = "h263", .quantizer = 4, .keyFrameInterval = 250, .noBFrames = true},
    CompressorDefaults{.encoder = "h263p", .quantizer = 4, .keyFrameInterval = 250, .noBFrames = true},
    CompressorDefaults{.encoder = "flv", .quantizer = 4, .keyFrameInterval = 250, .noBFrames = true},
    CompressorDefaults{.encoder = "wmv1", .quantizer = 4, .keyFrameInterval = 250, .noBFrames = true},
    CompressorDefaults{.encoder = "wmv2", .quantizer = 4, .keyFrameInterval = 250, .noBFrames = true},
    CompressorDefaults{.encoder = "libtheora", .quantizer = 7, .keyFrameInterval = 250},
    CompressorDefaults{.encoder = "libvpx",
                       .keyFrameInterval = 250,
                       .bitRate = 2'000'000,
                       .options = "crf=10:deadline=good:cpu-used=4"},
    CompressorDefaults{.encoder = "libvpx-vp9",
                       .keyFrameInterval = 250,
                       .options = "crf=32:b=0:deadline=good:cpu-used=4:row-mt=1"},
    CompressorDefaults{
        .encoder = "libaom-av1", .keyFrameInterval = 250, .options = "crf=32:b=0:cpu-used=8:row-mt=1"},
    CompressorDefaults{.encoder = "librav1e", .keyFrameInterval = 250, .options = "speed=10"},
    // VC-2 spends a fixed budget on every picture; below about 3 bits per pixel libavcodec's
    // encoder writes pictures that decode to noise.
    CompressorDefaults{.encoder = "vc2", .bitsPerPixel = 6},
};

constexpr CompressorDefaults kEncoderOwn{};

constexpr int kAnyThreads =
    AV_CODEC_CAP_FRAME_THREADS | AV_CODEC_CAP_SLICE_THREADS | AV_CODEC_CAP_OTHER_THREADS;

}  // namespace

const CompressorDefaults& DefaultsFor(std::string_view encoder) {
    const auto* row = std::find_if(kDefaults.begin(), kDefaults.end(),
                                   [&](const CompressorDefaults& d) { return d.encoder == encoder; });
    return row != kDefaults.end() ? *row : kEncoderOwn;
}

void ApplyCompressorDefaults(const AVCodec& codec, AVCodecContext& context, AVDictionary** options) {
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
