#include "media/filters/decoder_filter.h"

#include <cstring>

#include "media/ffmpeg/codec_media_type.h"
#include "media/ffmpeg/codec_packet_loop.h"
#include "media/ffmpeg/extradata.h"

namespace media {
namespace {

constexpr AVRational kReferenceTimeBase = {1, static_cast<int>(kUnitsPerSecond)};

}  // namespace

DecoderFilter::DecoderFilter(const CLSID& clsid)
    : TransformFilter(clsid), m_packet(av_packet_alloc()), m_frame(av_frame_alloc()) {}

bool DecoderFilter::HasDecoderFor(const AM_MEDIA_TYPE& type) {
    const AVCodecID codec = CodecIdOf(type);
    return codec != AV_CODEC_ID_NONE && avcodec_find_decoder(codec) != nullptr;
}

HRESULT DecoderFilter::OnInputConnected() {
    const MediaType& type = InputType();
    const AVCodec* decoder = avcodec_find_decoder(CodecIdOf(type));
    if (decoder == nullptr) return VFW_E_TYPE_NOT_ACCEPTED;
    if (!m_packet || !m_frame) return E_OUTOFMEMORY;
    AvCodecContextPtr codec(avcodec_alloc_context3(decoder));
    if (!codec) return E_OUTOFMEMORY;
    const AVCodecParameters* parameters = CodecParametersOf(type);
    if (parameters != nullptr) {
        if (avcodec_parameters_to_context(codec.get(), parameters) < 0) return E_OUTOFMEMORY;
    } else if (!CopyExtradata(DescribeFromFormatBlock(type, *codec), codec->extradata,
                              codec->extradata_size)) {
        return E_OUTOFMEMORY;
    }
    codec->pkt_timebase = kReferenceTimeBase;  // sample times go in as packet timestamps unchanged
    ConfigureCodec(*codec);
    if (avcodec_open2(codec.get(), decoder, nullptr) < 0) return VFW_E_TYPE_NOT_ACCEPTED;
    if (const HRESULT hr = OnCodecOpened(*codec, parameters); FAILED(hr)) return hr;
    m_codec = std::move(codec);
    return S_OK;
}

void DecoderFilter::OnInputDisconnected() {
    m_codec.reset();
    OnCodecClosed();
}

HRESULT DecoderFilter::StartStreaming() {
    // A decoder drained at the end of the previous run takes packets again only after a flush.
    if (m_codec) avcodec_flush_buffers(m_codec.get());
    return S_OK;
}

void DecoderFilter::StopStreaming() {
    // Frames still held by the decoder would only be delivered into a stopped graph.
    if (m_codec) avcodec_flush_buffers(m_codec.get());
}

void DecoderFilter::Flush() {
    if (m_codec) avcodec_flush_buffers(m_codec.get());
}

HRESULT DecoderFilter::Transform(IMediaSample* sample) {
    if (!m_codec) return VFW_E_NOT_CONNECTED;
    BYTE* data = nullptr;
    const LONG length = sample->GetActualDataLength();
    // Nothing to decode. An empty packet would tell libavcodec that the stream ended.
    if (FAILED(sample->GetPointer(&data)) || data == nullptr || length <= 0) return S_OK;

    // A copy, because libavcodec reads a little past the end of every packet.
    av_packet_unref(m_packet.get());
    if (av_new_packet(m_packet.get(), length) < 0) return AbortStreaming(E_OUTOFMEMORY);
    std::memcpy(m_packet->data, data, static_cast<std::size_t>(length));
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    const HRESULT timed = sample->GetTime(&start, &stop);
    m_packet->pts = SUCCEEDED(timed) ? start : AV_NOPTS_VALUE;
    m_packet->duration = (timed == S_OK && stop > start) ? stop - start : 0;
    if (!DescribePacket(*sample, *m_packet)) return AbortStreaming(E_OUTOFMEMORY);
    const HRESULT hr = Decode(m_packet.get());
    av_packet_unref(m_packet.get());
    return hr;
}

HRESULT DecoderFilter::Drain() {
    if (!m_codec) return S_OK;
    const HRESULT hr = Decode(nullptr);
    return hr == S_OK ? OnDrained() : hr;
}

HRESULT DecoderFilter::Decode(const AVPacket* packet) {
    return SendPacketAndTakeFrames(
        *m_codec, *m_frame, packet, [this](AVFrame& frame) { return DeliverFrame(frame); },
        [this] { return AbortStreaming(E_OUTOFMEMORY); });
}

}  // namespace media
