#include "media/catalogue/encoder_setup.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string_view>
#include <utility>
#include <vector>

extern "C" {
#include <libavutil/mathematics.h>
#include <libavutil/pixdesc.h>
#include <libavutil/rational.h>
#include <libswscale/swscale.h>
}

#include "media/catalogue/compressor_defaults.h"
#include "media/catalogue/encoder_round_trip.h"
#include "media/ffmpeg/av_error.h"

namespace media {
namespace {

constexpr REFERENCE_TIME kDefaultFrameTime = kUnitsPerSecond / 25;
constexpr int kLargestCodedTimeTerm = 65000;
// libxvid writes headers no decoder reads for frames of 16 s and longer; a second is plenty for
// an encoder's rate control, and the frames keep their own times.
constexpr REFERENCE_TIME kLongestCodedFrameTime = kUnitsPerSecond;
constexpr REFERENCE_TIME kShortestCodedFrameTime =
    (kUnitsPerSecond + kLargestCodedTimeTerm - 1) / kLargestCodedTimeTerm;
constexpr AVRational kCommonFrameTimes[] = {{1001, 24000}, {1, 24},       {1, 25}, {1001, 30000}, {1, 30},
                                            {1, 50},       {1001, 60000}, {1, 60}, {1, 15},       {1, 10}};
// Beyond this an input type is nonsense, not a picture.
constexpr int kLargestSide = 16384;
// Each refused format costs an encoder opening; a few are enough to find one that works.
constexpr std::size_t kMostFormatsTried = 4;
// Sizes an encoder may need its pictures to be a multiple of. Dropping up to 15 columns or rows
// keeps the picture; refusing it would lose the whole file.
constexpr int kSizeMultiples[] = {2, 4, 8, 16};

// The encoder's formats that swscale makes, nearest to inputFormat first (least loss of depth,
// colour and resolution, as libavcodec ranks them).
std::vector<AVPixelFormat> CandidateFormats(const AVCodec& codec, AVPixelFormat inputFormat) {
    std::vector<AVPixelFormat> listed;
    if (codec.pix_fmts != nullptr) {
        for (const AVPixelFormat* f = codec.pix_fmts; *f != AV_PIX_FMT_NONE; ++f) {
            if (sws_isSupportedOutput(*f) > 0) listed.push_back(*f);
        }
    }
    std::vector<AVPixelFormat> order;
    while (!listed.empty() && order.size() < kMostFormatsTried) {
        listed.push_back(AV_PIX_FMT_NONE);
        int loss = 0;
        const AVPixelFormat nearest = avcodec_find_best_pix_fmt_of_list(listed.data(), inputFormat, 0, &loss);
        listed.pop_back();
        if (nearest == AV_PIX_FMT_NONE) break;
        order.push_back(nearest);
        std::erase(listed, nearest);
    }
    return order;
}

// Whether a picture of width x height has whole chroma samples in format.
bool ChromaFits(AVPixelFormat format, int width, int height) {
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
    if (descriptor == nullptr) return false;
    return width % (1 << descriptor->log2_chroma_w) == 0 && height % (1 << descriptor->log2_chroma_h) == 0;
}

// The whole picture, then the largest sizes of each multiple that differ from it.
std::vector<std::pair<int, int>> CandidateSizes(const RawVideoLayout& input) {
    std::vector<std::pair<int, int>> sizes{{input.width, input.height}};
    for (int multiple : kSizeMultiples) {
        const std::pair<int, int> size{input.width / multiple * multiple, input.height / multiple * multiple};
        if (size.first > 0 && size.second > 0 && size != sizes.back()) sizes.push_back(size);
    }
    return sizes;
}

// Pictures are converted with swscale's BT.601 matrix; saying so keeps decoders that would guess
// another (BT.709 for VC-2, or for large pictures) from shifting the colours.
void TagColours(AVCodecContext& context) {
    const AVPixFmtDescriptor* format = av_pix_fmt_desc_get(context.pix_fmt);
    if (format == nullptr || (format->flags & AV_PIX_FMT_FLAG_RGB) != 0 || format->nb_components < 3) return;
    context.colorspace = AVCOL_SPC_BT470BG;
    const std::string_view name = format->name;
    context.color_range = name.starts_with("yuvj") ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
}

// The FourCC of a stream from an opened encoder: the table's, else the one the encoder chose for
// its format (Ut Video's ULRG, ULY0, ...), else FFmpeg's RIFF tag for the codec.
DWORD StreamFourCC(const AVCodec& codec, const AVCodecContext& context) {
    if (DefaultsFor(codec.name).fourcc != 0) return DefaultsFor(codec.name).fourcc;
    if (context.codec_tag != 0) return context.codec_tag;
    return AviFourCC(codec);
}

// Opens codec for picture and checks one picture's round trip; fills choice on success.
HRESULT TryPicture(const AVCodec& codec, const RawVideoLayout& input, const CodedPicture& picture,
                   EncoderChoice& choice) {
    AvCodecContextPtr context;
    if (const HRESULT hr = OpenEncoder(codec, input, picture, context); FAILED(hr)) return hr;
    AvCodecParametersPtr parameters(avcodec_parameters_alloc());
    if (!parameters || avcodec_parameters_from_context(parameters.get(), context.get()) < 0)
        return E_OUTOFMEMORY;
    parameters->codec_tag = StreamFourCC(codec, *context);
    if (const HRESULT hr = CheckRoundTrip(*context, parameters->codec_tag); FAILED(hr)) return hr;
    choice.picture = picture;
    choice.parameters =
        std::shared_ptr<const AVCodecParameters>(parameters.release(), AvCodecParametersDeleter{});
    return S_OK;
}

}  // namespace

REFERENCE_TIME EffectiveFrameTime(const RawVideoLayout& input) {
    return input.frameTime > 0 ? input.frameTime : kDefaultFrameTime;
}

AVRational FrameTimeBase(const RawVideoLayout& input) {
    const REFERENCE_TIME frameTime = EffectiveFrameTime(input);
    // A frame time in 100-ns units is the common rate rounded: 29.97 fps arrives as 333667. The
    // exact rate matters to MPEG-1 and MPEG-2, which code only these, and keeps time bases small.
    for (AVRational common : kCommonFrameTimes) {
        if (std::llabs(av_rescale(kUnitsPerSecond, common.num, common.den) - frameTime) <= 1) return common;
    }
    AVRational base{1, 25};
    av_reduce(&base.num, &base.den, frameTime, kUnitsPerSecond, INT_MAX);
    return base;
}

AVRational CodedTimeBase(const RawVideoLayout& input) {
    const REFERENCE_TIME frameTime = EffectiveFrameTime(input);
    const AVRational exact = FrameTimeBase(input);
    if (frameTime <= kLongestCodedFrameTime && exact.num <= kLargestCodedTimeTerm &&
        exact.den <= kLargestCodedTimeTerm) {
        return exact;
    }
    AVRational base{1, 25};
    av_reduce(&base.num, &base.den, std::clamp(frameTime, kShortestCodedFrameTime, kLongestCodedFrameTime),
              kUnitsPerSecond, kLargestCodedTimeTerm);
    return base;
}

HRESULT OpenEncoder(const AVCodec& codec, const RawVideoLayout& input, const CodedPicture& picture,
                    AvCodecContextPtr& context, const CompressionSettings& settings) {
    context.reset();
    if (input.width <= 0 || input.height <= 0 || input.width > kLargestSide || input.height > kLargestSide) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    if (picture.width <= 0 || picture.height <= 0 || picture.width > input.width ||
        picture.height > input.height) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    AvCodecContextPtr opened(avcodec_alloc_context3(&codec));
    if (!opened) return E_OUTOFMEMORY;
    opened->width = picture.width;
    opened->height = picture.height;
    opened->pix_fmt = picture.format;
    // The pixels' shape goes into the stream where the codec has room for it (Xvid's and MPEG-4's
    // pixel aspect, MPEG-2's display aspect); an encoder that refuses it codes square pixels.
    opened->sample_aspect_ratio = IsAnamorphic(input.sampleAspect) ? input.sampleAspect : AVRational{1, 1};
    opened->time_base = CodedTimeBase(input);
    opened->framerate = av_inv_q(opened->time_base);
    TagColours(*opened);
    AVDictionary* options = nullptr;
    ApplyCompressorDefaults(codec, *opened, &options, settings);
    const int result = avcodec_open2(opened.get(), &codec, &options);
    av_dict_free(&options);
    if (result < 0 && IsAnamorphic(input.sampleAspect)) {
        RawVideoLayout square = input;
        square.sampleAspect = AVRational{0, 1};
        return OpenEncoder(codec, square, picture, context, settings);
    }
    if (result < 0) return ResultFromAvError(result, VFW_E_TYPE_NOT_ACCEPTED);
    context = std::move(opened);
    return S_OK;
}

HRESULT TryEncoder(const AVCodec& codec, const RawVideoLayout& input, EncoderChoice& choice) {
    choice = EncoderChoice{};
    const std::vector<AVPixelFormat> formats = CandidateFormats(codec, input.format);
    HRESULT hr = VFW_E_TYPE_NOT_ACCEPTED;
    // What players take goes before what keeps the most colour: 4:2:0 at the largest size its
    // chroma fits (a column or row less rather than a picture few players open).
    if (const AVPixelFormat playable =
            formats.empty() ? AV_PIX_FMT_NONE : PlayableFormatFor(codec, formats.front());
        playable != AV_PIX_FMT_NONE) {
        for (const auto& [width, height] : CandidateSizes(input)) {
            if (!ChromaFits(playable, width, height)) continue;
            hr = TryPicture(codec, input, CodedPicture{playable, width, height}, choice);
            if (SUCCEEDED(hr) || hr == E_OUTOFMEMORY) return hr;
        }
    }
    for (const auto& [width, height] : CandidateSizes(input)) {
        for (AVPixelFormat format : formats) {
            hr = TryPicture(codec, input, CodedPicture{format, width, height}, choice);
            if (SUCCEEDED(hr) || hr == E_OUTOFMEMORY) return hr;
        }
    }
    return hr;
}

MediaType CompressedVideoType(const EncoderChoice& choice, const RawVideoLayout& input) {
    MediaType type = MediaTypeFromCodecParameters(*choice.parameters, FrameTimeBase(input), AVRational{0, 1});
    auto* header = reinterpret_cast<VIDEOINFOHEADER*>(type.pbFormat);
    if (header == nullptr) return type;
    header->AvgTimePerFrame = EffectiveFrameTime(input);
    return type;
}

}  // namespace media
