#include "media/ffmpeg/avi_stream_format.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mem.h>
}

#include "media/api/uuids.h"
#include "media/ffmpeg/codec_media_type.h"
#include "media/ffmpeg/extradata.h"
#include "media/ffmpeg/riff_tags.h"

namespace media {
namespace {

const VIDEOINFOHEADER* VideoInfoOf(const AM_MEDIA_TYPE& type) {
    if (type.majortype != MEDIATYPE_Video || type.formattype != FORMAT_VideoInfo ||
        type.cbFormat < sizeof(VIDEOINFOHEADER) || type.pbFormat == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
}

const WAVEFORMATEX* WaveFormatOf(const AM_MEDIA_TYPE& type) {
    if (type.majortype != MEDIATYPE_Audio || type.formattype != FORMAT_WaveFormatEx ||
        type.cbFormat < sizeof(WAVEFORMATEX) || type.pbFormat == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<const WAVEFORMATEX*>(type.pbFormat);
}

AVCodecID LittleEndianPcmCodec(int bitsPerSample) {
    switch (bitsPerSample) {
        case 8:
            return AV_CODEC_ID_PCM_U8;
        case 16:
            return AV_CODEC_ID_PCM_S16LE;
        case 24:
            return AV_CODEC_ID_PCM_S24LE;
        case 32:
            return AV_CODEC_ID_PCM_S32LE;
        default:
            return AV_CODEC_ID_NONE;
    }
}

AVCodecID VideoCodecOf(const AM_MEDIA_TYPE& type, const VIDEOINFOHEADER& vih) {
    const AVCodecID id = CodecIdOf(type);
    if (id != AV_CODEC_ID_NONE) return id;
    return av_codec_get_id(RiffVideoTags(), vih.bmiHeader.biCompression);
}

AVCodecID AudioCodecOf(const AM_MEDIA_TYPE& type, const WAVEFORMATEX& wfx) {
    if (const AVCodecParameters* p = CodecParametersOf(type)) return p->codec_id;
    // A bare PCM type says nothing of its sample size but in the format block.
    if (type.subtype == MEDIASUBTYPE_PCM || wfx.wFormatTag == WAVE_FORMAT_PCM) {
        return LittleEndianPcmCodec(wfx.wBitsPerSample);
    }
    const AVCodecID id = CodecIdOf(type);
    if (id != AV_CODEC_ID_NONE) return id;
    return av_codec_get_id(RiffAudioTags(), wfx.wFormatTag);
}

bool IsCountedInFrames(AVCodecID codec) {
    switch (codec) {
        case AV_CODEC_ID_MP1:
        case AV_CODEC_ID_MP2:
        case AV_CODEC_ID_MP3:
        case AV_CODEC_ID_AC3:
        case AV_CODEC_ID_EAC3:
        case AV_CODEC_ID_AAC:
        case AV_CODEC_ID_DTS:
            return true;
        default:
            return false;
    }
}

// MP3 whose type says it is a byte stream at a constant rate: a format block of its own with a
// block of one byte, not parameters carried from a demuxed stream (whose header may say anything).
bool DeclaresConstantRateMp3(const AM_MEDIA_TYPE& type, const WAVEFORMATEX& wfx) {
    return CodecParametersOf(type) == nullptr && wfx.nBlockAlign == 1 && CodecIdOf(type) == AV_CODEC_ID_MP3;
}

// The FourCC the type itself names (its subtype, else its bitmap header), when the AVI tables
// know it for this codec; else the table's own tag for the codec; 0 when there is none.
DWORD VideoFourCC(const AM_MEDIA_TYPE& type, const VIDEOINFOHEADER& vih, AVCodecID codec) {
    const DWORD named[] = {IsFourCCGuid(type.subtype) ? type.subtype.Data1 : 0, vih.bmiHeader.biCompression};
    for (const DWORD fourcc : named) {
        if (fourcc != 0 && av_codec_get_id(RiffVideoTags(), fourcc) == codec) return fourcc;
    }
    return av_codec_get_tag(RiffVideoTags(), codec);
}

// Copies the codec extradata that follows a format record in the type's format block.
bool CopyTrailingExtradata(const AM_MEDIA_TYPE& type, std::size_t recordSize, std::size_t declared,
                           AVCodecParameters& parameters) {
    const std::size_t available = type.cbFormat - recordSize;
    const std::size_t size = declared < available ? declared : available;
    return CopyExtradata({type.pbFormat + recordSize, size}, parameters.extradata, parameters.extradata_size);
}

AvCodecParametersPtr VideoParameters(const AM_MEDIA_TYPE& type) {
    const VIDEOINFOHEADER* vih = VideoInfoOf(type);
    if (vih == nullptr) return nullptr;
    const AVCodecID codec = VideoCodecOf(type, *vih);
    if (codec == AV_CODEC_ID_NONE || codec == AV_CODEC_ID_RAWVIDEO) return nullptr;
    const DWORD fourcc = VideoFourCC(type, *vih, codec);
    if (fourcc == 0) return nullptr;

    AvCodecParametersPtr parameters(avcodec_parameters_alloc());
    if (!parameters) return nullptr;
    if (const AVCodecParameters* carried = CodecParametersOf(type)) {
        if (avcodec_parameters_copy(parameters.get(), carried) < 0) return nullptr;
    } else if (!CopyTrailingExtradata(type, sizeof(VIDEOINFOHEADER), type.cbFormat, *parameters)) {
        return nullptr;
    }
    parameters->codec_type = AVMEDIA_TYPE_VIDEO;
    parameters->codec_id = codec;
    parameters->codec_tag = fourcc;
    if (parameters->width <= 0) parameters->width = vih->bmiHeader.biWidth;
    if (parameters->height <= 0) {
        parameters->height = vih->bmiHeader.biHeight < 0 ? -vih->bmiHeader.biHeight : vih->bmiHeader.biHeight;
    }
    if (parameters->width <= 0 || parameters->height <= 0) return nullptr;
    return parameters;
}

// Whether the WAVEFORMATEX the writer makes of parameters holds them: its fields are 16 and 32 bits.
bool FitsWaveFormat(const AVCodecParameters& parameters) {
    return parameters.ch_layout.nb_channels <= UINT16_MAX && parameters.block_align <= UINT16_MAX &&
           parameters.bit_rate / 8 <= UINT32_MAX;
}

// Whether a reader of the file could decode the stream: the decoder FFmpeg has for the codec opens
// with these parameters (a header claiming 65,535 channels, say, opens nowhere). A codec FFmpeg
// cannot decode is given the benefit of the doubt.
bool DecoderOpens(const AVCodecParameters& parameters) {
    const AVCodec* decoder = avcodec_find_decoder(parameters.codec_id);
    if (decoder == nullptr) return true;
    AvCodecContextPtr codec(avcodec_alloc_context3(decoder));
    if (!codec || avcodec_parameters_to_context(codec.get(), &parameters) < 0) return false;
    codec->thread_count = 1;
    return avcodec_open2(codec.get(), decoder, nullptr) >= 0;
}

// AC-3 and DTS go under their own format tags (0x2000, 0x2001) with a plain WAVEFORMATEX, whatever
// their channels, as the AVI writers that stand-alone players were made for store them: the
// writer takes a layout beyond stereo for WAVE_FORMAT_EXTENSIBLE, whose tag such players don't
// read, and play the file silent. The channels stay counted; the stream itself says where they go.
void ForgetChannelLayout(AVCodecParameters& parameters) {
    const int channels = parameters.ch_layout.nb_channels;
    av_channel_layout_uninit(&parameters.ch_layout);
    parameters.ch_layout.order = AV_CHANNEL_ORDER_UNSPEC;
    parameters.ch_layout.nb_channels = channels;
}

AvCodecParametersPtr AudioParameters(const AM_MEDIA_TYPE& type) {
    const WAVEFORMATEX* wfx = WaveFormatOf(type);
    if (wfx == nullptr) return nullptr;
    const AVCodecID codec = AudioCodecOf(type, *wfx);
    if (codec == AV_CODEC_ID_NONE || av_codec_get_tag(RiffAudioTags(), codec) == 0) return nullptr;

    AvCodecParametersPtr parameters(avcodec_parameters_alloc());
    if (!parameters) return nullptr;
    if (const AVCodecParameters* carried = CodecParametersOf(type)) {
        if (avcodec_parameters_copy(parameters.get(), carried) < 0) return nullptr;
    } else {
        // The writer makes MP3's fields itself (and the header is patched after it).
        if (!DeclaresConstantRateMp3(type, *wfx) &&
            !CopyTrailingExtradata(type, sizeof(WAVEFORMATEX), wfx->cbSize, *parameters))
            return nullptr;
        parameters->block_align = wfx->nBlockAlign;
        parameters->bits_per_coded_sample = wfx->wBitsPerSample;
    }
    parameters->codec_type = AVMEDIA_TYPE_AUDIO;
    parameters->codec_id = codec;
    parameters->codec_tag = 0;  // the writer looks the WAVE tag up itself
    if (parameters->sample_rate <= 0) parameters->sample_rate = static_cast<int>(wfx->nSamplesPerSec);
    if (parameters->ch_layout.nb_channels <= 0) {
        av_channel_layout_uninit(&parameters->ch_layout);
        av_channel_layout_default(&parameters->ch_layout, wfx->nChannels);
    }
    if (parameters->bit_rate <= 0) parameters->bit_rate = static_cast<int64_t>(wfx->nAvgBytesPerSec) * 8;
    const int channels = parameters->ch_layout.nb_channels;
    if (parameters->sample_rate <= 0 || channels <= 0) return nullptr;

    // Frame-based codecs are counted in frames (one per packet), whatever block size the source
    // header gave: a block size would make readers take the frames for fixed-size samples.
    if (IsCountedInFrames(codec) && !DeclaresConstantRateMp3(type, *wfx)) parameters->block_align = 0;
    const int pcmBits = av_get_bits_per_sample(codec);
    if (pcmBits > 0 && parameters->block_align <= 0) parameters->block_align = channels * pcmBits / 8;
    // A codec whose packets have no known length in samples cannot be counted in frames: the
    // writer then counts its time in bytes, which needs a block size.
    if (parameters->block_align <= 0 && parameters->frame_size <= 0 &&
        av_get_audio_frame_duration2(parameters.get(), 0) <= 0) {
        parameters->block_align = 1;
    }
    if (!FitsWaveFormat(*parameters) || !DecoderOpens(*parameters)) return nullptr;
    if (codec == AV_CODEC_ID_AC3 || codec == AV_CODEC_ID_DTS) ForgetChannelLayout(*parameters);
    return parameters;
}

}  // namespace

bool CanStoreInAvi(const AM_MEDIA_TYPE& type) {
    return AviCodecParameters(type) != nullptr;
}

AvCodecParametersPtr AviCodecParameters(const AM_MEDIA_TYPE& type) {
    if (type.majortype == MEDIATYPE_Video) return VideoParameters(type);
    if (type.majortype == MEDIATYPE_Audio) return AudioParameters(type);
    return nullptr;
}

AviHeaderOverride AviHeaderOverrideFor(const AM_MEDIA_TYPE& type) {
    const WAVEFORMATEX* wfx = WaveFormatOf(type);
    if (wfx == nullptr || !DeclaresConstantRateMp3(type, *wfx) || wfx->nAvgBytesPerSec == 0) return {};
    const std::size_t size = std::min<std::size_t>(sizeof(WAVEFORMATEX) + wfx->cbSize, type.cbFormat);
    return {{type.pbFormat, type.pbFormat + size}, wfx->nAvgBytesPerSec};
}

AVRational AviVideoTimeBase(const AM_MEDIA_TYPE& type) {
    const VIDEOINFOHEADER* vih = VideoInfoOf(type);
    if (vih == nullptr || vih->AvgTimePerFrame <= 0) return AVRational{1, 25};
    AVRational timeBase{1, 25};
    av_reduce(&timeBase.num, &timeBase.den, vih->AvgTimePerFrame, kUnitsPerSecond, INT_MAX);
    return timeBase;
}

AVRational AviSampleAspect(const AM_MEDIA_TYPE& type) {
    const VIDEOINFOHEADER* vih = VideoInfoOf(type);
    if (vih == nullptr) return AVRational{0, 1};
    const AVCodecParameters* carried = CodecParametersOf(type);
    const AVRational aspect = carried != nullptr ? carried->sample_aspect_ratio : SampleAspectOf(*vih);
    return IsAnamorphic(aspect) ? aspect : AVRational{0, 1};
}

}  // namespace media
