#include "media/filters/audio_decoder.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include "media/api/class_registry.h"
#include "media/api/uuids.h"
#include "media/ffmpeg/codec_media_type.h"
#include "media/ffmpeg/codec_packet_loop.h"
#include "media/ffmpeg/media_sample.h"
#include "media/graph/filter_registry.h"
#include "media/registered_classes.h"

namespace media {
namespace {

constexpr int kLowestRate = 8'000;
constexpr int kHighestRate = 384'000;

struct WaveFormat {
    int rate = 0;
    int channels = 0;
    int bits = 0;
    int blockAlign = 0;
};

std::optional<WaveFormat> WaveFormatOf(const AM_MEDIA_TYPE& type) {
    if (type.formattype != FORMAT_WaveFormatEx || type.cbFormat < sizeof(WAVEFORMATEX) ||
        type.pbFormat == nullptr) {
        return std::nullopt;
    }
    WAVEFORMATEX format;
    std::memcpy(&format, type.pbFormat, sizeof format);
    return WaveFormat{static_cast<int>(format.nSamplesPerSec), format.nChannels, format.wBitsPerSample,
                      format.nBlockAlign};
}

bool IsPlain16BitPcm(const AM_MEDIA_TYPE& type) {
    const std::optional<WaveFormat> format = WaveFormatOf(type);
    return type.subtype == MEDIASUBTYPE_PCM && format && format->bits == 16;
}

}  // namespace

AudioDecoder::AudioDecoder() : DecoderFilter(CLSID_AudioDecoder) {}

AudioDecoder::~AudioDecoder() {
    av_channel_layout_uninit(&m_resamplerInput.layout);
}

bool AudioDecoder::MayAcceptInput(const AM_MEDIA_TYPE& type) {
    if (type.majortype != MEDIATYPE_Audio) return false;
    if (IsPlain16BitPcm(type)) return false;  // already what renderers take
    return HasDecoderFor(type);
}

HRESULT AudioDecoder::CheckInputType(const AM_MEDIA_TYPE& type) {
    if (!MayAcceptInput(type)) return VFW_E_TYPE_NOT_ACCEPTED;
    // Without a rate and channels there is no output type to offer.
    int rate = 0;
    int channels = 0;
    if (const AVCodecParameters* parameters = CodecParametersOf(type)) {
        rate = parameters->sample_rate;
        channels = parameters->ch_layout.nb_channels;
    } else if (const std::optional<WaveFormat> format = WaveFormatOf(type)) {
        rate = format->rate;
        channels = format->channels;
    }
    if (rate < kLowestRate || rate > kHighestRate || channels <= 0 || channels > 64)
        return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
}

std::span<const BYTE> AudioDecoder::DescribeFromFormatBlock(const AM_MEDIA_TYPE& type,
                                                            AVCodecContext& codec) {
    const std::optional<WaveFormat> format = WaveFormatOf(type);  // CheckInputType made sure of it
    codec.sample_rate = format->rate;
    av_channel_layout_default(&codec.ch_layout, format->channels);
    codec.block_align = format->blockAlign;
    codec.bits_per_coded_sample = format->bits;
    WAVEFORMATEX header;
    std::memcpy(&header, type.pbFormat, sizeof header);
    const std::size_t extraSize = std::min<std::size_t>(header.cbSize, type.cbFormat - sizeof(WAVEFORMATEX));
    return {type.pbFormat + sizeof(WAVEFORMATEX), extraSize};
}

HRESULT AudioDecoder::OnCodecOpened(const AVCodecContext& codec, const AVCodecParameters*) {
    if (codec.sample_rate < kLowestRate || codec.sample_rate > kHighestRate ||
        codec.ch_layout.nb_channels <= 0) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    m_sourceRate = codec.sample_rate;
    m_sourceChannels = codec.ch_layout.nb_channels;
    return S_OK;
}

void AudioDecoder::OnCodecClosed() {
    m_sourceRate = 0;
    m_sourceChannels = 0;
}

std::vector<MediaType> AudioDecoder::OutputTypes() {
    if (!Codec()) return {};
    std::vector<MediaType> types;
    types.push_back(PcmAudioType(m_sourceRate, m_sourceChannels == 1 ? 1 : 2, 16));
    return types;
}

HRESULT AudioDecoder::CheckTransform(const AM_MEDIA_TYPE&, const AM_MEDIA_TYPE& output) {
    const std::optional<WaveFormat> format = WaveFormatOf(output);
    if (output.majortype != MEDIATYPE_Audio || output.subtype != MEDIASUBTYPE_PCM || !format) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    const bool usable = format->bits == 16 && format->channels >= 1 && format->channels <= 8 &&
                        format->blockAlign == format->channels * 2 && format->rate >= kLowestRate &&
                        format->rate <= kHighestRate;
    return usable ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT AudioDecoder::OnOutputConnected() {
    const std::optional<WaveFormat> format = WaveFormatOf(OutputType());
    m_outputRate = format->rate;
    m_outputChannels = format->channels;
    m_resampler.reset();
    return S_OK;
}

HRESULT AudioDecoder::StartStreaming() {
    const HRESULT hr = DecoderFilter::StartStreaming();
    m_resampler.reset();
    m_nextStart.reset();
    return hr;
}

void AudioDecoder::StopStreaming() {
    DecoderFilter::StopStreaming();
    m_resampler.reset();
}

void AudioDecoder::Flush() {
    DecoderFilter::Flush();
    m_resampler.reset();  // its delay line holds sound from before the flush
    m_nextStart.reset();
}

bool AudioDecoder::PrepareResampler(const AVFrame& frame) {
    AVChannelLayout layout{};
    if (frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        av_channel_layout_default(&layout, frame.ch_layout.nb_channels);  // the usual meaning of n channels
    } else if (av_channel_layout_copy(&layout, &frame.ch_layout) < 0) {
        return false;
    }
    const bool same = m_resampler && m_resamplerInput.format == frame.format &&
                      m_resamplerInput.rate == frame.sample_rate &&
                      av_channel_layout_compare(&m_resamplerInput.layout, &layout) == 0;
    if (same) {
        av_channel_layout_uninit(&layout);
        return true;
    }
    AVChannelLayout outputLayout{};
    av_channel_layout_default(&outputLayout, m_outputChannels);
    SwrContext* made = nullptr;
    const int result =
        swr_alloc_set_opts2(&made, &outputLayout, AV_SAMPLE_FMT_S16, m_outputRate, &layout,
                            static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0, nullptr);
    av_channel_layout_uninit(&outputLayout);
    SwrContextPtr resampler(made);
    if (result < 0 || !resampler || swr_init(resampler.get()) < 0) {
        av_channel_layout_uninit(&layout);
        m_resampler.reset();
        return false;
    }
    av_channel_layout_uninit(&m_resamplerInput.layout);
    m_resamplerInput.layout = layout;  // takes over what layout owns
    m_resamplerInput.format = frame.format;
    m_resamplerInput.rate = frame.sample_rate;
    m_resampler = std::move(resampler);
    return true;
}

HRESULT AudioDecoder::DeliverFrame(const AVFrame& frame) {
    if (!Output().IsConnected() || frame.nb_samples <= 0 || frame.sample_rate <= 0) return S_OK;
    if (!PrepareResampler(frame)) return S_OK;  // a frame in a format we cannot convert is skipped
    const int capacity = swr_get_out_samples(m_resampler.get(), frame.nb_samples);
    if (capacity <= 0) return S_OK;
    const int frameBytes = m_outputChannels * 2;
    ComPtr<MediaSample> sample = ComPtr<MediaSample>::Adopt(MediaSample::Create(capacity * frameBytes));
    if (!sample) return AbortStreaming(E_OUTOFMEMORY);
    BYTE* buffer = nullptr;
    sample->GetPointer(&buffer);
    std::uint8_t* planes[1] = {buffer};
    const int converted =
        swr_convert(m_resampler.get(), planes, capacity,
                    const_cast<const std::uint8_t**>(frame.extended_data), frame.nb_samples);
    if (converted <= 0) return S_OK;

    std::int64_t timestamp = frame.best_effort_timestamp;
    if (timestamp == AV_NOPTS_VALUE) timestamp = frame.pts;
    REFERENCE_TIME start = timestamp != AV_NOPTS_VALUE ? timestamp : m_nextStart.value_or(0);
    REFERENCE_TIME stop = start + converted * kUnitsPerSecond / m_outputRate;
    m_nextStart = stop;
    sample->SetTime(&start, &stop);
    sample->SetSyncPoint(TRUE);
    sample->SetActualDataLength(converted * frameBytes);
    return DeliverOutput(sample.Get());
}

void RegisterAudioDecoder() {
    RegisterClass(CLSID_AudioDecoder, [] { return (new AudioDecoder)->Identity(); });
    RegisterIntermediateFilter(
        {CLSID_AudioDecoder, u"Audio Decoder", MERIT_NORMAL, &AudioDecoder::MayAcceptInput});
}

}  // namespace media
