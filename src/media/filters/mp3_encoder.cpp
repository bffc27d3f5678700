#include "media/filters/mp3_encoder.h"

#include <algorithm>
#include <array>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libswresample/swresample.h>
}

#include "media/api/class_registry.h"
#include "media/api/uuids.h"
#include "media/com/com_ptr.h"
#include "media/ffmpeg/codec_media_type.h"
#include "media/ffmpeg/media_sample.h"
#include "media/registered_classes.h"

namespace media {
namespace {

constexpr std::int64_t kBitRate = 192'000;
constexpr std::int64_t kMpeg2BitRate = 160'000;  // the highest MPEG-2 layer 3 has (16 to 24 kHz)
constexpr std::int64_t kMpeg25BitRate = 64'000;  // the highest libmp3lame codes at 8 to 12 kHz
// The rates MP3 codes, lowest first: MPEG-2.5, MPEG-2 and MPEG-1 layer 3.
constexpr std::array<int, 9> kRates{8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
constexpr int kLowestInputRate = 8'000;
constexpr int kHighestInputRate = 384'000;
// A step in the input's times larger than this is a gap or a restart, not the rounding of stamps.
constexpr REFERENCE_TIME kLeastJump = 10'000;  // 1 ms
// Gaps up to this long are coded as silence here, to the sample and at the stream's own byte rate
// (the splitter keeps no longer gap in an MPEG stream); longer ones are left to the multiplexer,
// which fills them with silent frames without coding them, to within half a frame that it carries
// to the next gap, and at the byte rate of unpadded frames.
constexpr REFERENCE_TIME kLongestFilledGap = 100'000'000;  // 10 s

// The format block of constant-rate MP3 in an AVI file, as the audio codec managers of the
// platform write it: a byte stream (blocks of one byte) at nAvgBytesPerSec.
constexpr WORD kWaveFormatMp3 = 0x0055;
constexpr WORD kMpegLayer3IdMpeg = 1;
constexpr DWORD kMpegLayer3PaddingIso = 0;  // frames padded as ISO 11172-3 says (44.1 kHz and halves)
constexpr DWORD kMpegLayer3PaddingOff = 2;  // never padded (every frame the same length)
#pragma pack(push, 1)
struct MpegLayer3WaveFormat {
    WAVEFORMATEX wfx;
    WORD wID;
    DWORD fdwFlags;
    WORD nBlockSize;  // bytes of one frame without padding
    WORD nFramesPerBlock;
    WORD nCodecDelay;  // samples of the encoder's delay
};
#pragma pack(pop)
static_assert(sizeof(MpegLayer3WaveFormat) == 30);

// The input's rate when MP3 has it; else the lowest MP3 rate above it, or the highest.
int EncodedRate(int rate) {
    const auto* above = std::lower_bound(kRates.begin(), kRates.end(), rate);
    return above != kRates.end() ? *above : kRates.back();
}

// The rate the format block declares must be the one coded: players count time in its bytes.
std::int64_t BitRateAt(int rate) {
    return rate >= 32'000 ? kBitRate : rate >= 16'000 ? kMpeg2BitRate : kMpeg25BitRate;
}

int SamplesPerFrame(int rate) {
    return rate >= 32'000 ? 1152 : 576;
}

const AVCodec* Lame() {
    return avcodec_find_encoder_by_name("libmp3lame");
}

struct PcmFormat {
    int rate = 0;
    int channels = 0;
};

// 16-bit interleaved PCM that the resampler can take; nullopt for anything else.
std::optional<PcmFormat> PcmFormatOf(const AM_MEDIA_TYPE& type) {
    if (type.majortype != MEDIATYPE_Audio || type.subtype != MEDIASUBTYPE_PCM ||
        type.formattype != FORMAT_WaveFormatEx || type.cbFormat < sizeof(WAVEFORMATEX) ||
        type.pbFormat == nullptr) {
        return std::nullopt;
    }
    WAVEFORMATEX wfx;
    std::memcpy(&wfx, type.pbFormat, sizeof wfx);
    const bool usable = wfx.wBitsPerSample == 16 && wfx.nChannels >= 1 && wfx.nChannels <= 8 &&
                        wfx.nBlockAlign == wfx.nChannels * 2 && wfx.nSamplesPerSec >= kLowestInputRate &&
                        wfx.nSamplesPerSec <= kHighestInputRate;
    if (!usable) return std::nullopt;
    return PcmFormat{static_cast<int>(wfx.nSamplesPerSec), wfx.nChannels};
}

AvCodecContextPtr OpenLame(int rate, int channels) {
    const AVCodec* lame = Lame();
    if (lame == nullptr) return nullptr;
    AvCodecContextPtr codec(avcodec_alloc_context3(lame));
    if (!codec) return nullptr;
    codec->sample_fmt = AV_SAMPLE_FMT_S16P;
    codec->sample_rate = rate;
    av_channel_layout_default(&codec->ch_layout, channels);
    codec->bit_rate = BitRateAt(rate);
    codec->time_base = AVRational{1, rate};
    // Every frame holds its own bits, none in the frames before it (the bit reservoir): a silent
    // frame that the multiplexer puts into a gap would otherwise stand where the next frame's bits
    // are looked for, and that frame would decode as noise.
    AVDictionary* options = nullptr;
    av_dict_set(&options, "reservoir", "0", 0);
    const int opened = avcodec_open2(codec.get(), lame, &options);
    av_dict_free(&options);
    if (opened < 0 || codec->frame_size <= 0) return nullptr;
    return codec;
}

MediaType Mp3Type(int rate, int channels, int delay) {
    const std::int64_t bitRate = BitRateAt(rate);
    const std::int64_t frameBits = static_cast<std::int64_t>(SamplesPerFrame(rate)) * bitRate;
    MpegLayer3WaveFormat format{};
    format.wfx.wFormatTag = kWaveFormatMp3;
    format.wfx.nChannels = static_cast<WORD>(channels);
    format.wfx.nSamplesPerSec = static_cast<DWORD>(rate);
    format.wfx.nAvgBytesPerSec = static_cast<DWORD>(bitRate / 8);
    format.wfx.nBlockAlign = 1;
    format.wfx.wBitsPerSample = 0;
    format.wfx.cbSize = sizeof(MpegLayer3WaveFormat) - sizeof(WAVEFORMATEX);
    format.wID = kMpegLayer3IdMpeg;
    format.fdwFlags = frameBits % (8 * rate) == 0 ? kMpegLayer3PaddingOff : kMpegLayer3PaddingIso;
    format.nBlockSize = static_cast<WORD>(frameBits / (8 * rate));
    format.nFramesPerBlock = 1;
    format.nCodecDelay = static_cast<WORD>(std::clamp(delay, 0, 0xFFFF));

    MediaType type;
    type.majortype = MEDIATYPE_Audio;
    type.subtype = MEDIASUBTYPE_MP3;
    type.bFixedSizeSamples = FALSE;
    type.bTemporalCompression = FALSE;
    type.lSampleSize = 0;
    std::memcpy(type.AllocFormat(sizeof format, FORMAT_WaveFormatEx), &format, sizeof format);
    return type;
}

}  // namespace

Mp3Encoder::Mp3Encoder() : TransformFilter(CLSID_Mp3Encoder) {}

// ---- negotiation --------------------------------------------------------------------------------

HRESULT Mp3Encoder::CheckInputType(const AM_MEDIA_TYPE& type) {
    return PcmFormatOf(type) && Lame() != nullptr ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT Mp3Encoder::OnInputConnected() {
    const std::optional<PcmFormat> input = PcmFormatOf(InputType());
    if (!input) return VFW_E_TYPE_NOT_ACCEPTED;
    m_inputRate = input->rate;
    m_inputChannels = input->channels;
    m_rate = EncodedRate(input->rate);
    m_channels = std::min(input->channels, 2);
    // Opened once here so that a connection stands only where the encoder will open.
    const AvCodecContextPtr trial = OpenLame(m_rate, m_channels);
    if (!trial) return VFW_E_TYPE_NOT_ACCEPTED;
    m_outputType = Mp3Type(m_rate, m_channels, trial->initial_padding);
    return S_OK;
}

void Mp3Encoder::OnInputDisconnected() {
    m_outputType.reset();
    m_inputRate = m_inputChannels = m_rate = m_channels = 0;
}

std::vector<MediaType> Mp3Encoder::OutputTypes() {
    if (!m_outputType) return {};
    return {*m_outputType};
}

HRESULT Mp3Encoder::CheckTransform(const AM_MEDIA_TYPE&, const AM_MEDIA_TYPE& output) {
    if (!m_outputType) return VFW_E_NOT_CONNECTED;
    const bool same = output.majortype == MEDIATYPE_Audio && output.subtype == MEDIASUBTYPE_MP3 &&
                      output.formattype == FORMAT_WaveFormatEx;
    return same ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

// ---- streaming ----------------------------------------------------------------------------------

HRESULT Mp3Encoder::StartStreaming() {
    return Open();
}

void Mp3Encoder::StopStreaming() {
    Close();
}

void Mp3Encoder::Flush() {
    // What the encoder holds belongs to the sound before the flush.
    (void)Open();
}

void Mp3Encoder::Close() {
    m_codec.reset();
    m_resampler.reset();
    m_queue.reset();
    m_packet.reset();
    m_marks.clear();
    m_queuedSamples = 0;
    m_encodedSamples = 0;
    m_leftOut = -1;
    m_unplayable = 0;
    m_packets = 0;
    m_nextPacketTime.reset();
}

HRESULT Mp3Encoder::Open() {
    Close();
    if (m_rate == 0) return S_OK;  // not connected: nothing will stream
    AvCodecContextPtr codec = OpenLame(m_rate, m_channels);
    if (!codec) return E_FAIL;
    AVChannelLayout inputLayout{};
    av_channel_layout_default(&inputLayout, m_inputChannels);
    SwrContext* made = nullptr;
    const int result = swr_alloc_set_opts2(&made, &codec->ch_layout, AV_SAMPLE_FMT_S16P, m_rate, &inputLayout,
                                           AV_SAMPLE_FMT_S16, m_inputRate, 0, nullptr);
    av_channel_layout_uninit(&inputLayout);
    SwrContextPtr resampler(made);
    if (result < 0 || !resampler || swr_init(resampler.get()) < 0) return E_FAIL;
    AvAudioFifoPtr queue(av_audio_fifo_alloc(AV_SAMPLE_FMT_S16P, m_channels, codec->frame_size * 2));
    AvPacketPtr packet(av_packet_alloc());
    if (!queue || !packet) return E_OUTOFMEMORY;
    m_codec = std::move(codec);
    m_resampler = std::move(resampler);
    m_queue = std::move(queue);
    m_packet = std::move(packet);
    return S_OK;
}

std::int64_t Mp3Encoder::TimeOfSample(std::int64_t n) {
    if (m_marks.empty()) return n;  // an input without times plays from 0
    const auto later = std::find_if(m_marks.rbegin(), m_marks.rend(),
                                    [n](const TimeMark& candidate) { return candidate.sample <= n; });
    // Before the first sample (where the encoder's delay reaches) the first mark goes on backwards.
    const TimeMark& mark = later != m_marks.rend() ? *later : m_marks.front();
    return mark.time + (n - mark.sample);
}

HRESULT Mp3Encoder::Transform(IMediaSample* sample) {
    if (!m_codec) return E_UNEXPECTED;
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data)) || data == nullptr) return E_POINTER;
    const int count = sample->GetActualDataLength() / (m_inputChannels * 2);
    if (count <= 0) return S_OK;

    // The sound of this sample plays from its start time; where that is not where the sound before
    // it ends, the frames from here on move with it.
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    if (SUCCEEDED(sample->GetTime(&start, &stop))) {
        const std::int64_t time = FromReferenceTime(start, AVRational{1, m_rate});
        const std::int64_t expected = TimeOfSample(m_queuedSamples);
        if (m_marks.empty() ||
            std::llabs(time - expected) > FromReferenceTime(kLeastJump, AVRational{1, m_rate})) {
            if (!m_marks.empty() && time > expected) {
                // A gap: silence to the sample where it is short; where it is long, silence up to
                // where a packet begins, and the multiplexer's silent frames.
                const std::int64_t gap = time - expected;
                const bool filled = gap <= FromReferenceTime(kLongestFilledGap, AVRational{1, m_rate});
                const std::int64_t silence = filled ? gap : SamplesToPacketStart();
                if (const HRESULT hr = QueueSilence(silence); hr != S_OK) return hr;
            }
            if (m_marks.empty() || TimeOfSample(m_queuedSamples) != time)
                m_marks.push_back(TimeMark{m_queuedSamples, time});
        }
    }

    AvFramePtr converted(av_frame_alloc());
    if (!converted) return AbortStreaming(E_OUTOFMEMORY);
    converted->format = AV_SAMPLE_FMT_S16P;
    converted->nb_samples = swr_get_out_samples(m_resampler.get(), count);
    if (av_channel_layout_copy(&converted->ch_layout, &m_codec->ch_layout) < 0 ||
        av_frame_get_buffer(converted.get(), 0) < 0) {
        return AbortStreaming(E_OUTOFMEMORY);
    }
    const std::uint8_t* planes[1] = {data};
    const int made =
        swr_convert(m_resampler.get(), converted->extended_data, converted->nb_samples, planes, count);
    if (made < 0) return AbortStreaming(E_FAIL);
    if (av_audio_fifo_write(m_queue.get(), reinterpret_cast<void**>(converted->extended_data), made) < made)
        return AbortStreaming(E_OUTOFMEMORY);
    m_queuedSamples += made;
    LeaveOutUnplayable();

    while (av_audio_fifo_size(m_queue.get()) >= m_codec->frame_size) {
        if (const HRESULT hr = EncodeQueued(m_codec->frame_size); hr != S_OK) return hr;
    }
    return S_OK;
}

void Mp3Encoder::LeaveOutUnplayable() {
    if (m_leftOut < 0) {
        m_leftOut =
            std::clamp<std::int64_t>(m_codec->initial_padding - TimeOfSample(0), 0, m_codec->initial_padding);
        m_unplayable = m_leftOut;
    }
    const int count =
        static_cast<int>(std::min<std::int64_t>(m_unplayable, av_audio_fifo_size(m_queue.get())));
    if (count <= 0) return;
    av_audio_fifo_drain(m_queue.get(), count);
    m_unplayable -= count;
    m_encodedSamples += count;
}

std::int64_t Mp3Encoder::PacketStartSample(std::int64_t packet) const {
    return m_leftOut + packet * m_codec->frame_size - m_codec->initial_padding;
}

std::int64_t Mp3Encoder::SamplesToPacketStart() const {
    const int frameSize = m_codec->frame_size;
    return ((PacketStartSample(0) - m_queuedSamples) % frameSize + frameSize) % frameSize;
}

HRESULT Mp3Encoder::QueueSilence(std::int64_t count) {
    AvFramePtr silence(av_frame_alloc());
    if (!silence) return AbortStreaming(E_OUTOFMEMORY);
    silence->format = AV_SAMPLE_FMT_S16P;
    silence->nb_samples = m_codec->frame_size;
    if (av_channel_layout_copy(&silence->ch_layout, &m_codec->ch_layout) < 0 ||
        av_frame_get_buffer(silence.get(), 0) < 0) {
        return AbortStreaming(E_OUTOFMEMORY);
    }
    av_samples_set_silence(silence->extended_data, 0, silence->nb_samples, m_channels, AV_SAMPLE_FMT_S16P);
    // A frame at a time, coded as it fills: a long gap takes no more memory than a short one.
    while (count > 0) {
        const int part = static_cast<int>(std::min<std::int64_t>(count, silence->nb_samples));
        if (av_audio_fifo_write(m_queue.get(), reinterpret_cast<void**>(silence->extended_data), part) < part)
            return AbortStreaming(E_OUTOFMEMORY);
        m_queuedSamples += part;
        count -= part;
        while (av_audio_fifo_size(m_queue.get()) >= m_codec->frame_size) {
            if (const HRESULT hr = EncodeQueued(m_codec->frame_size); hr != S_OK) return hr;
        }
    }
    return S_OK;
}

HRESULT Mp3Encoder::Drain() {
    if (!m_codec) return S_OK;
    // What the resampler still holds, then the last, shorter frame, then the encoder's own.
    AvFramePtr rest(av_frame_alloc());
    if (!rest) return AbortStreaming(E_OUTOFMEMORY);
    rest->format = AV_SAMPLE_FMT_S16P;
    rest->nb_samples = swr_get_out_samples(m_resampler.get(), 0);
    if (rest->nb_samples > 0) {
        if (av_channel_layout_copy(&rest->ch_layout, &m_codec->ch_layout) < 0 ||
            av_frame_get_buffer(rest.get(), 0) < 0) {
            return AbortStreaming(E_OUTOFMEMORY);
        }
        const int made = swr_convert(m_resampler.get(), rest->extended_data, rest->nb_samples, nullptr, 0);
        if (made > 0 &&
            av_audio_fifo_write(m_queue.get(), reinterpret_cast<void**>(rest->extended_data), made) == made)
            m_queuedSamples += made;
    }
    while (av_audio_fifo_size(m_queue.get()) > 0) {
        const int count = std::min(av_audio_fifo_size(m_queue.get()), m_codec->frame_size);
        if (const HRESULT hr = EncodeQueued(count); hr != S_OK) return hr;
    }
    const HRESULT hr = Send(nullptr);
    m_codec.reset();  // drained: a new stream opens a new encoder
    return hr;
}

HRESULT Mp3Encoder::EncodeQueued(int count) {
    AvFramePtr frame(av_frame_alloc());
    if (!frame) return AbortStreaming(E_OUTOFMEMORY);
    frame->format = AV_SAMPLE_FMT_S16P;
    frame->nb_samples = count;
    frame->sample_rate = m_rate;
    if (av_channel_layout_copy(&frame->ch_layout, &m_codec->ch_layout) < 0 ||
        av_frame_get_buffer(frame.get(), 0) < 0) {
        return AbortStreaming(E_OUTOFMEMORY);
    }
    if (av_audio_fifo_read(m_queue.get(), reinterpret_cast<void**>(frame->extended_data), count) < count)
        return AbortStreaming(E_FAIL);
    frame->pts = TimeOfSample(m_encodedSamples);
    m_encodedSamples += count;
    return Send(frame.get());
}

HRESULT Mp3Encoder::Send(const AVFrame* frame) {
    const int sent = avcodec_send_frame(m_codec.get(), frame);
    if (sent < 0) return AbortStreaming(E_FAIL);
    for (;;) {
        const int received = avcodec_receive_packet(m_codec.get(), m_packet.get());
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return S_OK;
        if (received < 0) return AbortStreaming(E_FAIL);
        const HRESULT hr = Deliver(*m_packet);
        av_packet_unref(m_packet.get());
        if (hr != S_OK) return hr;
    }
}

HRESULT Mp3Encoder::Deliver(const AVPacket& packet) {
    if (packet.size <= 0) return S_OK;
    // One frame a packet, the first one the encoder's delay before the first sample coded: the
    // packet plays from the time of the sample it begins with, and never before the end of the
    // packet before it (after a step back in the input's times the sound goes on). Past the end of
    // the input there is only the padding of the last frame.
    const AVRational sampleTime{1, m_rate};
    const std::int64_t first = PacketStartSample(m_packets++);
    std::int64_t at = TimeOfSample(first);
    while (m_marks.size() > 1 && m_marks[1].sample <= first) m_marks.pop_front();
    if (m_nextPacketTime) at = std::max(at, *m_nextPacketTime);
    if (first >= m_queuedSamples) return S_OK;
    m_nextPacketTime = at + m_codec->frame_size;
    ComPtr<MediaSample> sample = ComPtr<MediaSample>::Adopt(MediaSample::Create(packet.size));
    if (!sample) return AbortStreaming(E_OUTOFMEMORY);
    BYTE* target = nullptr;
    sample->GetPointer(&target);
    std::memcpy(target, packet.data, static_cast<std::size_t>(packet.size));
    // Every frame plays a whole frame's samples, the last one too.
    REFERENCE_TIME start = ToReferenceTime(at, sampleTime);
    REFERENCE_TIME stop = ToReferenceTime(at + m_codec->frame_size, sampleTime);
    sample->SetTime(&start, &stop);
    sample->SetSyncPoint(TRUE);
    sample->SetActualDataLength(packet.size);
    return DeliverOutput(sample.Get());
}

void RegisterMp3Encoder() {
    RegisterClass(CLSID_Mp3Encoder, [] { return (new Mp3Encoder)->Identity(); });
}

}  // namespace media
