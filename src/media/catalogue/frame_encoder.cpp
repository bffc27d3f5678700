#include "media/catalogue/frame_encoder.h"

extern "C" {
#include <libavutil/mathematics.h>
}

#include "media/catalogue/encoder_setup.h"
#include "media/ffmpeg/av_error.h"

namespace media {

HRESULT FrameEncoder::Open(const AVCodec& codec, const RawVideoLayout& input, const CodedPicture& picture,
                           std::unique_ptr<FrameEncoder>& encoder, const CompressionSettings& settings) {
    encoder.reset();
    AvCodecContextPtr context;
    if (const HRESULT hr = OpenEncoder(codec, input, picture, context, settings); FAILED(hr)) return hr;
    AvPacketPtr packet(av_packet_alloc());
    if (!packet) return E_OUTOFMEMORY;
    encoder.reset(new FrameEncoder(std::move(context), std::move(packet), input));
    return S_OK;
}

FrameEncoder::FrameEncoder(AvCodecContextPtr context, AvPacketPtr packet, const RawVideoLayout& input)
    : m_context(std::move(context)), m_packet(std::move(packet)), m_frameTimeBase(FrameTimeBase(input)) {}

std::int64_t FrameEncoder::NextTimestamp(std::optional<REFERENCE_TIME> start) {
    std::int64_t timestamp = m_lastTimestamp ? *m_lastTimestamp + 1 : 0;
    if (start) {
        const auto rounding = static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX);
        const std::int64_t nearest = av_rescale_q_rnd(
            *start, AVRational{1, static_cast<int>(kUnitsPerSecond)}, m_frameTimeBase, rounding);
        // Two inputs that round to one frame still need two frames: the later one moves up.
        if (!m_lastTimestamp || nearest > *m_lastTimestamp) timestamp = nearest;
    }
    m_lastTimestamp = timestamp;
    return timestamp;
}

HRESULT FrameEncoder::Encode(AVFrame& frame, std::optional<REFERENCE_TIME> start, const PacketSink& sink) {
    frame.pts = NextTimestamp(start);
    // Encoders with a constant quantizer (libxvid, the MPEG family) read it from each picture,
    // not from the context: without it libxvid picks its own, much coarser-grained, rate.
    frame.quality = m_context->global_quality;
    return Send(&frame, sink);
}

HRESULT FrameEncoder::Finish(const PacketSink& sink) {
    return Send(nullptr, sink);
}

HRESULT FrameEncoder::Send(const AVFrame* frame, const PacketSink& sink) {
    const int sent = avcodec_send_frame(m_context.get(), frame);
    if (sent < 0) return ResultFromAvError(sent, E_FAIL);
    for (;;) {
        const int received = avcodec_receive_packet(m_context.get(), m_packet.get());
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return S_OK;
        if (received < 0) return ResultFromAvError(received, E_FAIL);
        // Packets count frames as the pictures did: in ticks of the frame time, one per frame.
        const HRESULT hr = sink(*m_packet, m_frameTimeBase);
        av_packet_unref(m_packet.get());
        if (hr != S_OK) return hr;
    }
}

}  // namespace media
