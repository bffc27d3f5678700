#include "media/catalogue/encoder_setup.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

extern "C" {
#include <libavutil/mathematics.h>
#include <libavutil/rational.h>
#include <libswscale/swscale.h>
}

#include "media/catalogue/compressor_defaults.h"

namespace media {
namespace {

constexpr REFERENCE_TIME kDefaultFrameTime = kUnitsPerSecond / 25;
constexpr int kLargestTimeBaseTerm = 65535;
constexpr AVRational kCommonFrameTimes[] = {{1001, 24000}, {1, 24},       {1, 25}, {1001, 30000}, {1, 30},
                                            {1, 50},       {1001, 60000}, {1, 60}, {1, 15},       {1, 10}};
// Beyond this an input type is nonsense, not a picture.
constexpr int kLargestSide = 16384;
// Each refused format costs an encoder opening; a few are enough to find one that works.
constexpr std::size_t kMostFormatsTried = 4;

std::vector<AVPixelFormat> CandidateFormats(const AVCodec& codec, AVPixelFormat inputFormat) {
    std::vector<AVPixelFormat> listed;
    if (codec.pix_fmts != nullptr) {
        for (const AVPixelFormat* f = codec.pix_fmts; *f != AV_PIX_FMT_NONE; ++f) {
            if (sws_isSupportedOutput(*f) > 0) listed.push_back(*f);
        }
    }
    std::vector<AVPixelFormat> order;
    for (AVPixelFormat preferred : {AV_PIX_FMT_YUV420P, inputFormat}) {
        if (std::find(listed.begin(), listed.end(), preferred) != listed.end()) order.push_back(preferred);
    }
    for (AVPixelFormat f : listed) {
        if (std::find(order.begin(), order.end(), f) == order.end()) order.push_back(f);
    }
    if (order.size() > kMostFormatsTried) order.resize(kMostFormatsTried);
    return order;
}

HRESULT FromAvError(int error) {
    return error == AVERROR(ENOMEM) ? E_OUTOFMEMORY : VFW_E_TYPE_NOT_ACCEPTED;
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
    av_reduce(&base.num, &base.den, frameTime, kUnitsPerSecond, kLargestTimeBaseTerm);
    return base;
}

HRESULT OpenEncoder(const AVCodec& codec, const RawVideoLayout& input, AVPixelFormat pixelFormat,
                    AvCodecContextPtr& context) {
    context.reset();
    if (input.width <= 0 || input.height <= 0 || input.width > kLargestSide || input.height > kLargestSide) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    AvCodecContextPtr opened(avcodec_alloc_context3(&codec));
    if (!opened) return E_OUTOFMEMORY;
    opened->width = input.width;
    opened->height = input.height;
    opened->pix_fmt = pixelFormat;
    opened->sample_aspect_ratio = AVRational{1, 1};
    opened->time_base = FrameTimeBase(input);
    opened->framerate = av_inv_q(opened->time_base);
    AVDictionary* options = nullptr;
    ApplyCompressorDefaults(codec, *opened, &options);
    const int result = avcodec_open2(opened.get(), &codec, &options);
    av_dict_free(&options);
    if (result < 0) return FromAvError(result);
    context = std::move(opened);
    return S_OK;
}

HRESULT TryEncoder(const AVCodec& codec, const RawVideoLayout& input, EncoderChoice& choice) {
    choice = EncoderChoice{};
    HRESULT hr = VFW_E_TYPE_NOT_ACCEPTED;
    for (AVPixelFormat format : CandidateFormats(codec, input.format)) {
        AvCodecContextPtr context;
        hr = OpenEncoder(codec, input, format, context);
        if (hr == E_OUTOFMEMORY) return hr;
        if (FAILED(hr)) continue;
        AvCodecParametersPtr parameters(avcodec_parameters_alloc());
        if (!parameters || avcodec_parameters_from_context(parameters.get(), context.get()) < 0)
            return E_OUTOFMEMORY;
        parameters->codec_tag = AviFourCC(codec);
        choice.pixelFormat = format;
        choice.parameters =
            std::shared_ptr<const AVCodecParameters>(parameters.release(), AvCodecParametersDeleter{});
        return S_OK;
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
