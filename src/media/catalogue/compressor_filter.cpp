#include "media/catalogue/compressor_filter.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "media/api/uuids.h"
#include "media/catalogue/compressor_catalogue.h"
#include "media/catalogue/compressor_defaults.h"
#include "media/catalogue/encoder_setup.h"
#include "media/catalogue/encoder_trial_cache.h"
#include "media/catalogue/frame_encoder.h"
#include "media/catalogue/picture_converter.h"
#include "media/catalogue/player_rate_control.h"
#include "media/com/com_ptr.h"
#include "media/com/wide_text.h"
#include "media/ffmpeg/media_sample.h"
#include "media/filters/transform_pins.h"
#include "media/graph/bounded_queue.h"
#include "media/graph/filter_base.h"
#include "media/graph/pass_through_output_pin.h"

namespace media {
namespace {

// Enough to keep the encoder busy while the decoder works on the next pictures, few enough that
// a queue of large pictures stays small. A full queue blocks the sender: that bounds memory.
// The sender converts each picture to the encoder's format before queueing it, so the conversion
// runs beside the encoder rather than in series with it.
constexpr std::size_t kQueueCapacity = 4;

class CompressorFilter final : public FilterBase,
                               public IAMVideoCompression,
                               public IVideoDataRate,
                               public IPlayerProfile,
                               private TransformPinOwner {
public:
    explicit CompressorFilter(const AVCodec& codec)
        : FilterBase(CLSID_VideoCompressor),
          m_codec(codec),
          m_playerCodec(PlayerEncoderFor(codec)),
          m_trials(codec),
          m_input(*this, *this),
          m_output(*this, *this, m_input) {
        if (m_playerCodec != nullptr) m_playerTrials = std::make_unique<EncoderTrialCache>(*m_playerCodec);
    }
    ~CompressorFilter() override { StopStreaming(); }

    HRESULT QueryInterface(REFIID riid, void** object) override {
        return FilterBase::QueryInterface(riid, object);
    }
    ULONG AddRef() override { return FilterBase::AddRef(); }
    ULONG Release() override { return FilterBase::Release(); }

    std::vector<PinBase*> Pins() override { return {&m_input, &m_output}; }

    // IAMVideoCompression and IVideoDataRate: the values are kept whatever the encoder supports
    // and used where it does (GetInfo says which). MT safe.
    HRESULT put_KeyFrameRate(LONG keyFrameRate) override;
    HRESULT get_KeyFrameRate(LONG* keyFrameRate) override;
    HRESULT put_PFramesPerKeyFrame(LONG) override { return E_NOTIMPL; }
    HRESULT get_PFramesPerKeyFrame(LONG*) override { return E_NOTIMPL; }
    HRESULT put_Quality(double quality) override;
    HRESULT get_Quality(double* quality) override;
    HRESULT put_WindowSize(LONGLONG) override { return E_NOTIMPL; }
    HRESULT get_WindowSize(LONGLONG*) override { return E_NOTIMPL; }
    HRESULT GetInfo(WCHAR* version, int* versionSize, WCHAR* description, int* descriptionSize,
                    LONG* defaultKeyFrameRate, LONG* defaultPFramesPerKey, double* defaultQuality,
                    LONG* capabilities) override;
    HRESULT OverrideKeyFrame(LONG) override { return E_NOTIMPL; }
    HRESULT OverrideFrameSize(LONG, LONG) override { return E_NOTIMPL; }
    HRESULT put_DataRate(LONGLONG bitsPerSecond) override;
    HRESULT get_DataRate(LONGLONG* bitsPerSecond) override;
    // IPlayerProfile: read when the input connects, which decides the encoder. MT safe.
    HRESULT put_PlayerProfile(LONG profile) override;
    HRESULT get_PlayerProfile(LONG* profile) override;

protected:
    void* FindExtraInterface(REFIID riid) override {
        if (riid == IAMVideoCompression::iid) return static_cast<IAMVideoCompression*>(this);
        if (riid == IVideoDataRate::iid) return static_cast<IVideoDataRate*>(this);
        if (riid == IPlayerProfile::iid) return static_cast<IPlayerProfile*>(this);
        return FilterBase::FindExtraInterface(riid);
    }

    HRESULT OnActivate() override;
    void OnDeactivate() override { StopStreaming(); }

private:
    // Negotiation; the application's thread, while stopped.
    HRESULT CheckInputType(const AM_MEDIA_TYPE& type) override {
        const RawVideoLayout layout = RawVideoLayoutOf(type);
        if (layout.format == AV_PIX_FMT_NONE) return VFW_E_TYPE_NOT_ACCEPTED;
        EncoderChoice choice;
        return SUCCEEDED(TrialsFor(m_player.load()).Try(layout, choice)) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT OnInputConnected() override {
        m_layout = RawVideoLayoutOf(m_input.ConnectionType());
        m_connectedPlayer = m_player.load();
        if (const HRESULT hr = TrialsFor(m_connectedPlayer).Try(m_layout, m_choice); FAILED(hr)) return hr;
        if (m_connectedPlayer != PlayerProfile_None) {
            AvCodecParametersPtr parameters(avcodec_parameters_alloc());
            if (!parameters || avcodec_parameters_copy(parameters.get(), m_choice.parameters.get()) < 0)
                return E_OUTOFMEMORY;
            parameters->codec_tag = kPlayerFourCC;
            m_choice.parameters =
                std::shared_ptr<const AVCodecParameters>(parameters.release(), AvCodecParametersDeleter{});
        }
        if (const HRESULT hr = PictureConverter::Create(m_layout, m_choice.picture, m_converter);
            FAILED(hr)) {
            return hr;
        }
        m_outputType = CompressedVideoType(m_choice, m_layout);
        return S_OK;
    }
    void OnInputDisconnected() override {
        m_connectedPlayer = PlayerProfile_None;
        m_outputType.reset();
        m_converter.reset();
        m_choice = EncoderChoice{};
        m_layout = RawVideoLayout{};
    }
    // The compressed type of the encoder the input was connected for.
    std::vector<MediaType> OutputTypes() override {
        if (!m_outputType) return {};
        return {*m_outputType};
    }
    HRESULT CheckTransform(const AM_MEDIA_TYPE&, const AM_MEDIA_TYPE& output) override {
        if (!m_outputType) return VFW_E_NOT_CONNECTED;
        const bool same = output.majortype == m_outputType->majortype &&
                          output.subtype == m_outputType->subtype &&
                          output.formattype == m_outputType->formattype;
        return same ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }

    // Streaming; upstream's thread. Receive queues the sample and returns; it blocks while the
    // queue is full.
    HRESULT ReceiveSample(IMediaSample* sample) override;
    HRESULT ReceiveEndOfStream() override { return Push(nullptr); }
    HRESULT ReceiveBeginFlush() override;
    HRESULT ReceiveEndFlush() override;
    // Not passed on: the multiplexer downstream writes the times samples carry, and a new segment
    // would overtake the pictures still queued.
    HRESULT ReceiveNewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }
    [[nodiscard]] bool ReceiveCanBlock() const override { return true; }

    struct QueuedItem {
        AvFramePtr picture;                   // converted for the encoder; null: the end of the stream
        std::optional<REFERENCE_TIME> start;  // the sample's start time, when it had one
        std::uint64_t flushCount;             // flushes that had begun when it was queued
    };

    // What the streaming thread knows of the encoder it holds.
    struct EncoderState {
        std::uint64_t flushCount = 0;  // the flush period it was opened in
        bool finished = false;         // it was drained at an end of stream
    };

    HRESULT Push(IMediaSample* sample);
    [[nodiscard]] HRESULT Convert(IMediaSample& sample, QueuedItem& item);
    void Stream(std::stop_token stop);
    void EndStream(const QueuedItem& item, EncoderState& encoder, const std::stop_token& stop);
    HRESULT DeliverPacket(const AVPacket& packet, AVRational timeBase);
    // A failure of the stream, unless the filter is stopping or flushing (then it is expected).
    void ReportFailure(HRESULT hr, std::uint64_t flushCount, const std::stop_token& stop);
    void StopStreaming();

    // The trials of the encoder that codes under profile.
    EncoderTrialCache& TrialsFor(LONG profile) {
        return profile != PlayerProfile_None && m_playerTrials ? *m_playerTrials : m_trials;
    }
    // The encoder the input was connected for.
    [[nodiscard]] const AVCodec& Encoder() const {
        return m_connectedPlayer != PlayerProfile_None && m_playerCodec != nullptr ? *m_playerCodec : m_codec;
    }

    FrameEncoder::PacketSink Sink() {
        return
            [this](const AVPacket& packet, AVRational timeBase) { return DeliverPacket(packet, timeBase); };
    }

    const AVCodec& m_codec;
    const AVCodec* m_playerCodec;  // what codes for the players; null when this codec cannot
    EncoderTrialCache m_trials;
    std::unique_ptr<EncoderTrialCache> m_playerTrials;
    TransformInputPin m_input;
    TransformOutputPin m_output;

    // What the user asked; read when the filter leaves Stopped into m_settings.
    std::atomic<double> m_quality{-1.0};
    std::atomic<LONG> m_keyFrameRate{-1};
    std::atomic<LONGLONG> m_dataRate{0};
    std::atomic<LONG> m_player{PlayerProfile_None};

    // Set while the input is connected, fixed while active.
    LONG m_connectedPlayer = PlayerProfile_None;
    CompressionSettings m_settings;
    RawVideoLayout m_layout;
    EncoderChoice m_choice;
    std::optional<MediaType> m_outputType;
    std::unique_ptr<PictureConverter> m_converter;  // the sender's while streaming

    BoundedQueue<QueuedItem> m_queue{kQueueCapacity};
    std::atomic<std::uint64_t> m_flushCount{0};
    // S_OK while streaming; S_FALSE once downstream wanted no more; a failure once it stopped on one.
    std::atomic<HRESULT> m_streamResult{S_OK};
    std::unique_ptr<FrameEncoder> m_encoder;  // the streaming thread's while it runs
    std::jthread m_worker;
};

HRESULT CompressorFilter::ReceiveSample(IMediaSample* sample) {
    if (sample == nullptr) return E_POINTER;
    // A picture shorter than the agreed type would make the conversion read past its end.
    if (sample->GetActualDataLength() < m_layout.imageSize) return E_INVALIDARG;
    return Push(sample);
}

HRESULT CompressorFilter::Push(IMediaSample* sample) {
    // Read before the flushing test: a flush that begins after it makes the item stale.
    const std::uint64_t flushCount = m_flushCount.load();
    if (!m_input.IsAccepting()) return VFW_E_WRONG_STATE;
    if (const HRESULT result = m_streamResult.load(); result != S_OK && sample != nullptr) return result;
    QueuedItem item{.picture = nullptr, .start = std::nullopt, .flushCount = flushCount};
    if (sample != nullptr) {
        if (const HRESULT hr = Convert(*sample, item); FAILED(hr)) return hr;
    }
    if (!m_queue.Push(std::move(item))) return VFW_E_WRONG_STATE;
    return S_OK;
}

HRESULT CompressorFilter::Convert(IMediaSample& sample, QueuedItem& item) {
    BYTE* image = nullptr;
    if (FAILED(sample.GetPointer(&image)) || image == nullptr) return E_POINTER;
    item.picture = m_converter->Convert(image);
    if (!item.picture) return E_OUTOFMEMORY;
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    if (SUCCEEDED(sample.GetTime(&start, &stop))) item.start = start;
    return S_OK;
}

HRESULT CompressorFilter::ReceiveBeginFlush() {
    m_input.InputPin::BeginFlush();
    m_flushCount.fetch_add(1);
    m_queue.Clear();
    m_output.DeliverBeginFlush();
    return S_OK;
}

HRESULT CompressorFilter::ReceiveEndFlush() {
    // Downstream hears of the end first: the input takes samples again only after it.
    m_streamResult = S_OK;
    m_output.DeliverEndFlush();
    return m_input.InputPin::EndFlush();
}

HRESULT CompressorFilter::OnActivate() {
    m_streamResult = S_OK;
    m_queue.Reset();
    if (!m_input.IsConnected()) return S_OK;
    m_settings = CompressionSettings{.quality = m_quality.load(),
                                     .keyFrameInterval = std::max<LONG>(m_keyFrameRate.load(), 0),
                                     .bitRate = m_dataRate.load(),
                                     .player = m_connectedPlayer};
    if (const HRESULT hr = FrameEncoder::Open(Encoder(), m_layout, m_choice.picture, m_encoder, m_settings);
        FAILED(hr)) {
        return hr;
    }
    m_worker = std::jthread([this](std::stop_token stop) { Stream(std::move(stop)); });
    return S_OK;
}

void CompressorFilter::StopStreaming() {
    if (m_worker.joinable()) m_worker.request_stop();
    m_queue.Close();  // wakes the streaming thread and any sender blocked on a full queue
    if (m_worker.joinable()) m_worker.join();
    m_queue.Clear();
    m_encoder.reset();
}

void CompressorFilter::Stream(std::stop_token stop) {
    EncoderState encoder{.flushCount = m_flushCount.load()};
    while (std::optional<QueuedItem> item = m_queue.Pop()) {
        if (stop.stop_requested()) break;
        if (item->flushCount != m_flushCount.load()) continue;  // flushed away
        if (!item->picture) {
            EndStream(*item, encoder, stop);
            continue;
        }
        if (m_streamResult.load() != S_OK) continue;
        if (item->flushCount != encoder.flushCount || encoder.finished) {
            // A new stream after a flush or an end: the encoder starts afresh.
            m_encoder.reset();
            if (const HRESULT hr =
                    FrameEncoder::Open(Encoder(), m_layout, m_choice.picture, m_encoder, m_settings);
                FAILED(hr)) {
                ReportFailure(hr, item->flushCount, stop);
                continue;
            }
            encoder = EncoderState{.flushCount = item->flushCount};
        }
        const HRESULT hr = m_encoder->Encode(*item->picture, item->start, Sink());
        if (hr == S_FALSE) {
            m_streamResult = S_FALSE;
        } else if (FAILED(hr)) {
            ReportFailure(hr, item->flushCount, stop);
        }
    }
}

void CompressorFilter::EndStream(const QueuedItem& item, EncoderState& encoder, const std::stop_token& stop) {
    const HRESULT state = m_streamResult.load();
    if (FAILED(state)) return;
    // Frames the encoder still holds are this stream's only when no flush came since it opened.
    if (state == S_OK && m_encoder && !encoder.finished && item.flushCount == encoder.flushCount) {
        const HRESULT hr = m_encoder->Finish(Sink());
        if (FAILED(hr)) {
            ReportFailure(hr, item.flushCount, stop);
            return;
        }
    }
    encoder.finished = true;
    m_output.DeliverEndOfStream();
}

HRESULT CompressorFilter::DeliverPacket(const AVPacket& packet, AVRational timeBase) {
    if (packet.size <= 0) return S_OK;
    ComPtr<IMediaSample> sample;
    if (packet.buf != nullptr && packet.data == packet.buf->data) {
        sample = ComPtr<IMediaSample>::Adopt(
            MediaSample::Wrap(packet.buf, packet.size));  // shares the packet's buffer
    } else if (MediaSample* copy = MediaSample::Create(packet.size)) {
        BYTE* target = nullptr;
        copy->GetPointer(&target);
        std::memcpy(target, packet.data, static_cast<std::size_t>(packet.size));
        sample = ComPtr<IMediaSample>::Adopt(copy);
    }
    if (!sample) return E_OUTOFMEMORY;
    const std::int64_t timestamp = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
    if (timestamp != AV_NOPTS_VALUE) {
        REFERENCE_TIME start = ToReferenceTime(timestamp, timeBase);
        REFERENCE_TIME stop =
            ToReferenceTime(timestamp + std::max<std::int64_t>(packet.duration, 1), timeBase);
        sample->SetTime(&start, &stop);
    }
    sample->SetSyncPoint((packet.flags & AV_PKT_FLAG_KEY) != 0 ? TRUE : FALSE);
    return m_output.Deliver(sample.Get());
}

void CompressorFilter::ReportFailure(HRESULT hr, std::uint64_t flushCount, const std::stop_token& stop) {
    if (stop.stop_requested() || flushCount != m_flushCount.load()) return;
    m_streamResult = hr;
    AbortStream(hr, &m_input);
}

// ---- IAMVideoCompression, IVideoDataRate --------------------------------------------------------

HRESULT CompressorFilter::put_KeyFrameRate(LONG keyFrameRate) {
    if (keyFrameRate < -1 || keyFrameRate == 0) return E_INVALIDARG;
    m_keyFrameRate = keyFrameRate;
    return S_OK;
}

HRESULT CompressorFilter::get_KeyFrameRate(LONG* keyFrameRate) {
    if (keyFrameRate == nullptr) return E_POINTER;
    *keyFrameRate = m_keyFrameRate.load();
    return S_OK;
}

HRESULT CompressorFilter::put_Quality(double quality) {
    if (quality != -1.0 && !(quality >= 0.0 && quality <= 1.0)) return E_INVALIDARG;
    m_quality = quality;
    return S_OK;
}

HRESULT CompressorFilter::get_Quality(double* quality) {
    if (quality == nullptr) return E_POINTER;
    *quality = m_quality.load();
    return S_OK;
}

HRESULT CompressorFilter::put_DataRate(LONGLONG bitsPerSecond) {
    if (bitsPerSecond < 0) return E_INVALIDARG;
    m_dataRate = bitsPerSecond;
    return S_OK;
}

HRESULT CompressorFilter::get_DataRate(LONGLONG* bitsPerSecond) {
    if (bitsPerSecond == nullptr) return E_POINTER;
    *bitsPerSecond = m_dataRate.load();
    return S_OK;
}

HRESULT CompressorFilter::put_PlayerProfile(LONG profile) {
    if (profile != PlayerProfile_None && RulesOf(profile) == nullptr) return E_INVALIDARG;
    if (profile != PlayerProfile_None && m_playerCodec == nullptr) return E_NOTIMPL;
    m_player = profile;
    return S_OK;
}

HRESULT CompressorFilter::get_PlayerProfile(LONG* profile) {
    if (profile == nullptr) return E_POINTER;
    *profile = m_player.load();
    return S_OK;
}

HRESULT CompressorFilter::GetInfo(WCHAR* version, int* versionSize, WCHAR* description, int* descriptionSize,
                                  LONG* defaultKeyFrameRate, LONG* defaultPFramesPerKey,
                                  double* defaultQuality, LONG* capabilities) {
    // Each text is copied as far as its buffer goes, always terminated.
    const auto copyText = [](const std::u16string& text, WCHAR* buffer, int* size) {
        if (size == nullptr) return;
        if (buffer != nullptr && *size >= static_cast<int>(sizeof(WCHAR))) {
            const std::size_t room = static_cast<std::size_t>(*size) / sizeof(WCHAR) - 1;
            const std::size_t count = std::min(room, text.size());
            std::copy_n(text.data(), count, buffer);
            buffer[count] = u'\0';
        }
        *size = static_cast<int>((text.size() + 1) * sizeof(WCHAR));
    };
    copyText(ToUtf16(m_codec.name), version, versionSize);
    copyText(ToUtf16(m_codec.long_name != nullptr ? m_codec.long_name : m_codec.name), description,
             descriptionSize);
    const CompressorDefaults& row = DefaultsFor(m_codec.name);
    if (defaultKeyFrameRate != nullptr)
        *defaultKeyFrameRate = row.keyFrameInterval > 0 ? row.keyFrameInterval : -1;
    if (defaultPFramesPerKey != nullptr) *defaultPFramesPerKey = -1;
    if (defaultQuality != nullptr) *defaultQuality = DefaultQuality(m_codec.name);
    if (capabilities != nullptr) *capabilities = CompressionCapabilities(m_codec.name);
    return S_OK;
}

}  // namespace

IBaseFilter* CreateCompressorFilter(std::string_view encoderName) {
    const AVCodec* codec = avcodec_find_encoder_by_name(std::string(encoderName).c_str());
    if (codec == nullptr || !IsInstalledCompressor(*codec)) return nullptr;
    return new CompressorFilter(*codec);
}

}  // namespace media
