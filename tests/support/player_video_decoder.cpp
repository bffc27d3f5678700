#include "support/player_video_decoder.h"

namespace testsupport {

PlayerVideoDecoder::PlayerVideoDecoder(const AVStream& stream) {
    const AVCodec* decoder = avcodec_find_decoder(stream.codecpar->codec_id);
    if (decoder == nullptr) return;
    AVCodecContext* codec = avcodec_alloc_context3(decoder);
    m_frame = av_frame_alloc();
    if (codec == nullptr || m_frame == nullptr || avcodec_parameters_to_context(codec, stream.codecpar) < 0) {
        avcodec_free_context(&codec);
        return;
    }
    codec->pkt_timebase = stream.time_base;
    if (avcodec_open2(codec, decoder, nullptr) < 0) {
        avcodec_free_context(&codec);
        return;
    }
    m_codec = codec;
}

PlayerVideoDecoder::~PlayerVideoDecoder() {
    avcodec_free_context(&m_codec);
    av_frame_free(&m_frame);
}

void PlayerVideoDecoder::Decode(const AVPacket* packet, const std::function<void(const AVFrame&)>& shown) {
    if (m_codec == nullptr || m_ended) return;
    if (packet != nullptr && packet->size <= 0) return;
    m_ended = packet == nullptr;
    // A packet that does not decode is skipped, as players skip it.
    if (avcodec_send_packet(m_codec, packet) == AVERROR(EAGAIN)) {
        TakePictures(shown);
        avcodec_send_packet(m_codec, packet);
    }
    TakePictures(shown);
}

void PlayerVideoDecoder::TakePictures(const std::function<void(const AVFrame&)>& shown) {
    // A failed picture is skipped; a decoder that keeps failing gives up on this call's pictures.
    for (int failures = 0; failures < 64;) {
        const int received = avcodec_receive_frame(m_codec, m_frame);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return;
        if (received < 0) {
            ++failures;
            continue;
        }
        m_frame->pts = m_frame->best_effort_timestamp;
        shown(*m_frame);
        av_frame_unref(m_frame);
    }
}

}  // namespace testsupport
