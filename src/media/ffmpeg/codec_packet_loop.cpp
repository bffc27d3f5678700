#include "media/ffmpeg/codec_packet_loop.h"

namespace media {
namespace {

constexpr int kMaxFailedFramesInARow = 64;

HRESULT TakeReadyFrames(AVCodecContext& codec, AVFrame& frame,
                        const std::function<HRESULT(AVFrame&)>& deliver,
                        const std::function<HRESULT()>& outOfMemory) {
    int failedInARow = 0;
    while (failedInARow < kMaxFailedFramesInARow) {
        const int received = avcodec_receive_frame(&codec, &frame);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return S_OK;
        if (received == AVERROR(ENOMEM)) return outOfMemory();
        if (received < 0) {
            ++failedInARow;  // a frame that did not decode: skipped
            continue;
        }
        failedInARow = 0;
        const HRESULT hr = deliver(frame);
        av_frame_unref(&frame);
        if (hr != S_OK) return hr;
    }
    return S_OK;
}

}  // namespace

HRESULT SendPacketAndTakeFrames(AVCodecContext& codec, AVFrame& frame, const AVPacket* packet,
                                const std::function<HRESULT(AVFrame&)>& deliver,
                                const std::function<HRESULT()>& outOfMemory) {
    int sent = avcodec_send_packet(&codec, packet);
    if (sent == AVERROR(EAGAIN)) {
        // The decoder holds finished frames; take them, then it has room for the packet.
        const HRESULT hr = TakeReadyFrames(codec, frame, deliver, outOfMemory);
        if (hr != S_OK) return hr;
        sent = avcodec_send_packet(&codec, packet);
    }
    if (sent == AVERROR(ENOMEM)) return outOfMemory();
    // Any other failure is this packet's: corrupt data is skipped and decoding goes on.
    return TakeReadyFrames(codec, frame, deliver, outOfMemory);
}

}  // namespace media
