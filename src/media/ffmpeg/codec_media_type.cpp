#include "media/ffmpeg/codec_media_type.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <optional>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/mathematics.h>
#include <libavutil/pixdesc.h>
}

#include "media/api/com_object.h"
#include "media/api/uuids.h"
#include "media/com/com_ptr.h"
#include "media/ffmpeg/av_ptr.h"
#include "media/ffmpeg/riff_tags.h"

namespace media {
namespace {

class CodecParametersHolder final : public ComObject<ICodecParameters> {
public:
    CodecParametersHolder(const AVCodecParameters& parameters, AVRational timeBase,
                          const std::int32_t* displayMatrix)
        : m_parameters(avcodec_parameters_alloc()), m_timeBase(timeBase) {
        if (m_parameters) avcodec_parameters_copy(m_parameters.get(), &parameters);
        if (displayMatrix != nullptr) {
            m_displayMatrix.emplace();
            std::copy_n(displayMatrix, m_displayMatrix->size(), m_displayMatrix->begin());
        }
    }
    const AVCodecParameters* Parameters() override { return m_parameters.get(); }
    AVRational TimeBase() override { return m_timeBase; }
    const std::int32_t* DisplayMatrix() override {
        return m_displayMatrix ? m_displayMatrix->data() : nullptr;
    }

private:
    AvCodecParametersPtr m_parameters;
    AVRational m_timeBase;
    std::optional<std::array<std::int32_t, 9>> m_displayMatrix;
};

// A pixel's shape in the format block's pixel densities (see the header); square leaves them 0.
void WriteSampleAspect(BITMAPINFOHEADER& header, AVRational sampleAspect) {
    if (!IsAnamorphic(sampleAspect)) return;
    av_reduce(&sampleAspect.num, &sampleAspect.den, sampleAspect.num, sampleAspect.den, INT_MAX);
    header.biXPelsPerMeter = sampleAspect.den;
    header.biYPelsPerMeter = sampleAspect.num;
}

// Private subtypes: {codec or pixel format number}-7E55-4C1D-... with Data2 telling which.
constexpr std::uint16_t kCodecSubtypeTag = 0x7E51;
constexpr std::uint16_t kPixelFormatSubtypeTag = 0x7E52;
constexpr GUID PrivateSubtype(std::uint16_t tag, std::uint32_t value) {
    return {value, tag, 0x4C1D, {0x9A, 0x6B, 0x54, 0x45, 0x53, 0x53, 0x41, 0x52}};
}
bool IsPrivateSubtype(const GUID& g, std::uint16_t tag) { return g == PrivateSubtype(tag, g.Data1) && g.Data2 == tag; }

struct KnownPixelFormat {
    AVPixelFormat format;
    DWORD fourcc;
};
constexpr KnownPixelFormat kFourCCPixelFormats[] = {
    {AV_PIX_FMT_YUV420P, MakeFourCC('I', '4', '2', '0')},
    {AV_PIX_FMT_NV12, MakeFourCC('N', 'V', '1', '2')},
    {AV_PIX_FMT_YUYV422, MakeFourCC('Y', 'U', 'Y', '2')},
    {AV_PIX_FMT_UYVY422, MakeFourCC('U', 'Y', 'V', 'Y')},
};

// The stream's own tag when it is an AVI tag for its codec (XVID for Xvid's MPEG-4, say, where
// FFmpeg's first tag for the codec would be FMP4); otherwise FFmpeg's tag for the codec.
DWORD VideoFourCC(const AVCodecParameters& parameters) {
    if (parameters.codec_tag != 0 && av_codec_get_id(RiffVideoTags(), parameters.codec_tag) == parameters.codec_id) {
        return parameters.codec_tag;
    }
    return av_codec_get_tag(RiffVideoTags(), parameters.codec_id);
}

bool IsBottomUpRgb(AVPixelFormat f) { return f == AV_PIX_FMT_BGR24 || f == AV_PIX_FMT_BGRA; }

int RgbStride(AVPixelFormat f, int width) {
    const int bytes = f == AV_PIX_FMT_BGR24 ? 3 : 4;
    return (width * bytes + 3) & ~3;
}

int ImageSize(AVPixelFormat f, int width, int height) {
    if (IsBottomUpRgb(f)) return RgbStride(f, width) * height;
    const int size = av_image_get_buffer_size(f, width, height, 1);
    return size < 0 ? 0 : size;
}

}  // namespace

REFERENCE_TIME ToReferenceTime(std::int64_t timestamp, AVRational timeBase) {
    return av_rescale_q(timestamp, timeBase, AVRational{1, static_cast<int>(kUnitsPerSecond)});
}

std::int64_t FromReferenceTime(REFERENCE_TIME time, AVRational timeBase) {
    return av_rescale_q(time, AVRational{1, static_cast<int>(kUnitsPerSecond)}, timeBase);
}

MediaType MediaTypeFromCodecParameters(const AVCodecParameters& parameters, AVRational timeBase,
                                       AVRational frameRate, const std::int32_t* displayMatrix) {
    MediaType type;
    const int extraSize = parameters.extradata ? parameters.extradata_size : 0;
    if (parameters.codec_type == AVMEDIA_TYPE_VIDEO) {
        type.majortype = MEDIATYPE_Video;
        const DWORD tag = VideoFourCC(parameters);
        type.subtype = tag != 0 ? FourCCGuid(tag) : PrivateSubtype(kCodecSubtypeTag, parameters.codec_id);
        auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(
            type.AllocFormat(sizeof(VIDEOINFOHEADER) + static_cast<std::size_t>(extraSize), FORMAT_VideoInfo));
        if (vih) {
            vih->rcSource = {0, 0, parameters.width, parameters.height};
            vih->rcTarget = vih->rcSource;
            vih->dwBitRate = static_cast<DWORD>(parameters.bit_rate);
            if (frameRate.num > 0 && frameRate.den > 0) {
                vih->AvgTimePerFrame = av_rescale(kUnitsPerSecond, frameRate.den, frameRate.num);
            }
            vih->bmiHeader.biSize = static_cast<DWORD>(sizeof(BITMAPINFOHEADER) + static_cast<std::size_t>(extraSize));
            vih->bmiHeader.biWidth = parameters.width;
            vih->bmiHeader.biHeight = parameters.height;
            vih->bmiHeader.biPlanes = 1;
            vih->bmiHeader.biBitCount = static_cast<WORD>(parameters.bits_per_coded_sample ? parameters.bits_per_coded_sample : 24);
            vih->bmiHeader.biCompression = tag;
            WriteSampleAspect(vih->bmiHeader, parameters.sample_aspect_ratio);
            if (extraSize > 0) std::memcpy(vih + 1, parameters.extradata, static_cast<std::size_t>(extraSize));
        }
        type.bFixedSizeSamples = FALSE;
        type.bTemporalCompression = TRUE;
        type.lSampleSize = 0;
    } else if (parameters.codec_type == AVMEDIA_TYPE_AUDIO) {
        type.majortype = MEDIATYPE_Audio;
        const DWORD tag = av_codec_get_tag(RiffAudioTags(), parameters.codec_id);
        type.subtype = tag != 0 ? FourCCGuid(tag) : PrivateSubtype(kCodecSubtypeTag, parameters.codec_id);
        auto* wfx = reinterpret_cast<WAVEFORMATEX*>(
            type.AllocFormat(sizeof(WAVEFORMATEX) + static_cast<std::size_t>(extraSize), FORMAT_WaveFormatEx));
        if (wfx) {
            wfx->wFormatTag = static_cast<WORD>(tag);
            wfx->nChannels = static_cast<WORD>(parameters.ch_layout.nb_channels);
            wfx->nSamplesPerSec = static_cast<DWORD>(parameters.sample_rate);
            wfx->nAvgBytesPerSec = static_cast<DWORD>(parameters.bit_rate / 8);
            wfx->nBlockAlign = static_cast<WORD>(parameters.block_align);
            wfx->wBitsPerSample = static_cast<WORD>(parameters.bits_per_coded_sample);
            wfx->cbSize = static_cast<WORD>(extraSize);
            if (extraSize > 0) {
                std::memcpy(reinterpret_cast<BYTE*>(wfx) + sizeof(WAVEFORMATEX), parameters.extradata,
                            static_cast<std::size_t>(extraSize));
            }
        }
        type.bFixedSizeSamples = parameters.block_align > 0 ? TRUE : FALSE;
        type.lSampleSize = static_cast<ULONG>(parameters.block_align);
    }
    // The type takes a reference of its own; the creator's goes with the holder.
    const auto holder =
        ComPtr<ICodecParameters>::Adopt(new CodecParametersHolder(parameters, timeBase, displayMatrix));
    type.SetUnknown(holder.Get());
    return type;
}

MediaType MediaTypeOfStream(const AVStream& stream, const AVCodecParameters& parameters,
                            AVRational frameRate) {
    if (parameters.codec_type != AVMEDIA_TYPE_VIDEO) {
        return MediaTypeFromCodecParameters(parameters, stream.time_base, frameRate);
    }
    // The container's sample aspect wins over the codec's, as in av_guess_sample_aspect_ratio.
    AvCodecParametersPtr shown(avcodec_parameters_alloc());
    if (!shown || avcodec_parameters_copy(shown.get(), &parameters) < 0) {
        return MediaTypeFromCodecParameters(parameters, stream.time_base, frameRate);
    }
    if (stream.sample_aspect_ratio.num > 0 && stream.sample_aspect_ratio.den > 0) {
        shown->sample_aspect_ratio = stream.sample_aspect_ratio;
    }
    std::size_t size = 0;
    const std::uint8_t* matrix = av_stream_get_side_data(&stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    std::array<std::int32_t, 9> displayMatrix{};
    const bool turned = matrix != nullptr && size >= sizeof(displayMatrix);
    if (turned) std::memcpy(displayMatrix.data(), matrix, sizeof(displayMatrix));
    return MediaTypeFromCodecParameters(*shown, stream.time_base, frameRate,
                                        turned ? displayMatrix.data() : nullptr);
}

const AVCodecParameters* CodecParametersOf(const AM_MEDIA_TYPE& type) {
    if (type.pUnk == nullptr) return nullptr;
    ComPtr<ICodecParameters> holder;
    if (FAILED(holder.Query(type.pUnk))) return nullptr;
    return holder->Parameters();  // the type keeps the object alive
}

const std::int32_t* DisplayMatrixOf(const AM_MEDIA_TYPE& type) {
    if (type.pUnk == nullptr) return nullptr;
    ComPtr<ICodecParameters> holder;
    if (FAILED(holder.Query(type.pUnk))) return nullptr;
    return holder->DisplayMatrix();  // the type keeps the object alive
}

AVCodecID CodecIdOf(const AM_MEDIA_TYPE& type) {
    if (const AVCodecParameters* p = CodecParametersOf(type)) return p->codec_id;
    if (IsPrivateSubtype(type.subtype, kCodecSubtypeTag)) return static_cast<AVCodecID>(type.subtype.Data1);
    if (!IsFourCCGuid(type.subtype)) return AV_CODEC_ID_NONE;
    if (type.majortype == MEDIATYPE_Video) return av_codec_get_id(RiffVideoTags(), type.subtype.Data1);
    if (type.majortype == MEDIATYPE_Audio) return av_codec_get_id(RiffAudioTags(), type.subtype.Data1);
    return AV_CODEC_ID_NONE;
}

GUID SubtypeFromPixelFormat(AVPixelFormat format) {
    if (format == AV_PIX_FMT_BGR24) return MEDIASUBTYPE_RGB24;
    if (format == AV_PIX_FMT_BGRA) return MEDIASUBTYPE_RGB32;
    for (const auto& known : kFourCCPixelFormats) {
        if (known.format == format) return FourCCGuid(known.fourcc);
    }
    return PrivateSubtype(kPixelFormatSubtypeTag, static_cast<std::uint32_t>(format));
}

AVPixelFormat PixelFormatFromSubtype(const GUID& subtype) {
    if (subtype == MEDIASUBTYPE_RGB24) return AV_PIX_FMT_BGR24;
    if (subtype == MEDIASUBTYPE_RGB32) return AV_PIX_FMT_BGRA;
    for (const auto& known : kFourCCPixelFormats) {
        if (FourCCGuid(known.fourcc) == subtype) return known.format;
    }
    if (IsPrivateSubtype(subtype, kPixelFormatSubtypeTag) &&
        av_pix_fmt_desc_get(static_cast<AVPixelFormat>(subtype.Data1)) != nullptr) {
        return static_cast<AVPixelFormat>(subtype.Data1);
    }
    return AV_PIX_FMT_NONE;
}

AVRational SampleAspectOf(const VIDEOINFOHEADER& format) {
    const LONG across = format.bmiHeader.biXPelsPerMeter;
    const LONG down = format.bmiHeader.biYPelsPerMeter;
    if (across <= 0 || down <= 0 || across == down) return AVRational{0, 1};
    AVRational aspect{0, 1};
    av_reduce(&aspect.num, &aspect.den, down, across, INT_MAX);
    return aspect;
}

bool IsAnamorphic(AVRational sampleAspect) {
    return sampleAspect.num > 0 && sampleAspect.den > 0 && sampleAspect.num != sampleAspect.den;
}

MediaType RawVideoType(AVPixelFormat format, int width, int height, REFERENCE_TIME frameTime,
                       AVRational sampleAspect) {
    MediaType type;
    type.majortype = MEDIATYPE_Video;
    type.subtype = SubtypeFromPixelFormat(format);
    type.bFixedSizeSamples = TRUE;
    type.bTemporalCompression = FALSE;
    const int imageSize = ImageSize(format, width, height);
    type.lSampleSize = static_cast<ULONG>(imageSize);
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(type.AllocFormat(sizeof(VIDEOINFOHEADER), FORMAT_VideoInfo));
    if (vih) {
        vih->rcSource = {0, 0, width, height};
        vih->rcTarget = vih->rcSource;
        vih->AvgTimePerFrame = frameTime;
        vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        vih->bmiHeader.biWidth = width;
        vih->bmiHeader.biHeight = height;
        vih->bmiHeader.biPlanes = 1;
        vih->bmiHeader.biBitCount = static_cast<WORD>(
            IsBottomUpRgb(format) ? (format == AV_PIX_FMT_BGR24 ? 24 : 32)
                                  : av_get_bits_per_pixel(av_pix_fmt_desc_get(format)));
        vih->bmiHeader.biCompression = IsBottomUpRgb(format) ? BI_RGB : type.subtype.Data1;
        vih->bmiHeader.biSizeImage = static_cast<DWORD>(imageSize);
        WriteSampleAspect(vih->bmiHeader, sampleAspect);
    }
    return type;
}

RawVideoLayout RawVideoLayoutOf(const AM_MEDIA_TYPE& type) {
    RawVideoLayout layout;
    if (type.majortype != MEDIATYPE_Video || type.formattype != FORMAT_VideoInfo ||
        type.cbFormat < sizeof(VIDEOINFOHEADER) || type.pbFormat == nullptr) {
        return layout;
    }
    const AVPixelFormat format = PixelFormatFromSubtype(type.subtype);
    if (format == AV_PIX_FMT_NONE) return layout;
    const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
    const int width = vih->bmiHeader.biWidth;
    const int height = vih->bmiHeader.biHeight < 0 ? -vih->bmiHeader.biHeight : vih->bmiHeader.biHeight;
    if (width <= 0 || height <= 0) return layout;
    layout.format = format;
    layout.width = width;
    layout.height = height;
    layout.bottomUp = IsBottomUpRgb(format) && vih->bmiHeader.biHeight > 0;
    layout.imageSize = ImageSize(format, width, height);
    layout.frameTime = vih->AvgTimePerFrame;
    layout.sampleAspect = SampleAspectOf(*vih);
    return layout;
}

void FillPlanes(const RawVideoLayout& layout, BYTE* buffer, std::uint8_t* data[4], int linesize[4]) {
    for (int i = 0; i < 4; ++i) {
        data[i] = nullptr;
        linesize[i] = 0;
    }
    if (IsBottomUpRgb(layout.format)) {
        const int stride = RgbStride(layout.format, layout.width);
        if (layout.bottomUp) {
            data[0] = buffer + static_cast<std::ptrdiff_t>(stride) * (layout.height - 1);
            linesize[0] = -stride;
        } else {
            data[0] = buffer;
            linesize[0] = stride;
        }
        return;
    }
    av_image_fill_arrays(data, linesize, buffer, layout.format, layout.width, layout.height, 1);
}

MediaType PcmAudioType(int sampleRate, int channels, int bitsPerSample) {
    MediaType type;
    type.majortype = MEDIATYPE_Audio;
    type.subtype = MEDIASUBTYPE_PCM;
    auto* wfx = reinterpret_cast<WAVEFORMATEX*>(type.AllocFormat(sizeof(WAVEFORMATEX), FORMAT_WaveFormatEx));
    const int blockAlign = channels * bitsPerSample / 8;
    if (wfx) {
        wfx->wFormatTag = WAVE_FORMAT_PCM;
        wfx->nChannels = static_cast<WORD>(channels);
        wfx->nSamplesPerSec = static_cast<DWORD>(sampleRate);
        wfx->nBlockAlign = static_cast<WORD>(blockAlign);
        wfx->nAvgBytesPerSec = static_cast<DWORD>(sampleRate * blockAlign);
        wfx->wBitsPerSample = static_cast<WORD>(bitsPerSample);
    }
    type.bFixedSizeSamples = TRUE;
    type.lSampleSize = static_cast<ULONG>(blockAlign);
    return type;
}

}  // namespace media
