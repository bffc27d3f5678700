#include "media/catalogue/encoder_round_trip.h"

#include <cstring>
#include <vector>

extern "C" {
#include <libavutil/imgutils.h>
}

#include "media/ffmpeg/av_error.h"
#include "media/ffmpeg/av_ptr.h"

namespace media {
namespace {

AvFramePtr BlackPicture(const AVCodecContext& encoder) {
    AvFramePtr frame(av_frame_alloc());
    if (!frame) return frame;
    frame->format = encoder.pix_fmt;
    frame->width = encoder.width;
    frame->height = encoder.height;
    if (av_frame_get_buffer(frame.get(), 0) < 0) return nullptr;
    const std::ptrdiff_t linesizes[4] = {frame->linesize[0], frame->linesize[1], frame->linesize[2],
                                         frame->linesize[3]};
    if (av_image_fill_black(frame->data, linesizes, encoder.pix_fmt, encoder.color_range, encoder.width,
                            encoder.height) < 0) {
        for (int plane = 0; plane < 4 && frame->buf[plane] != nullptr; ++plane) {
            std::memset(frame->buf[plane]->data, 0, frame->buf[plane]->size);
        }
    }
    frame->pts = 0;
    frame->quality = encoder.global_quality;
    return frame;
}

// Every packet the encoder gives for one picture, in coding order.
HRESULT EncodeOne(AVCodecContext& encoder, std::vector<AvPacketPtr>& packets) {
    AvFramePtr picture = BlackPicture(encoder);
    if (!picture) return E_OUTOFMEMORY;
    if (const int sent = avcodec_send_frame(&encoder, picture.get()); sent < 0)
        return ResultFromAvError(sent, VFW_E_TYPE_NOT_ACCEPTED);
    if (const int sent = avcodec_send_frame(&encoder, nullptr); sent < 0)
        return ResultFromAvError(sent, VFW_E_TYPE_NOT_ACCEPTED);
    for (;;) {
        AvPacketPtr packet(av_packet_alloc());
        if (!packet) return E_OUTOFMEMORY;
        const int received = avcodec_receive_packet(&encoder, packet.get());
        if (received == AVERROR_EOF) break;
        if (received < 0) return ResultFromAvError(received, VFW_E_TYPE_NOT_ACCEPTED);
        packets.push_back(std::move(packet));
    }
    return packets.empty() ? VFW_E_TYPE_NOT_ACCEPTED : S_OK;
}

AvCodecContextPtr OpenDecoder(const AVCodecContext& encoder, DWORD fourcc) {
    const AVCodec* codec = avcodec_find_decoder(encoder.codec_id);
    if (codec == nullptr) return nullptr;
    AvCodecParametersPtr parameters(avcodec_parameters_alloc());
    AvCodecContextPtr decoder(avcodec_alloc_context3(codec));
    if (!parameters || !decoder || avcodec_parameters_from_context(parameters.get(), &encoder) < 0)
        return nullptr;
    parameters->codec_tag = fourcc;
    if (avcodec_parameters_to_context(decoder.get(), parameters.get()) < 0) return nullptr;
    decoder->thread_count = 1;
    if (avcodec_open2(decoder.get(), codec, nullptr) < 0) return nullptr;
    return decoder;
}

}  // namespace

HRESULT CheckRoundTrip(AVCodecContext& encoder, DWORD fourcc) {
    std::vector<AvPacketPtr> packets;
    if (const HRESULT hr = EncodeOne(encoder, packets); FAILED(hr)) return hr;
    if (avcodec_find_decoder(encoder.codec_id) == nullptr) return S_OK;
    AvCodecContextPtr decoder = OpenDecoder(encoder, fourcc);
    AvFramePtr frame(av_frame_alloc());
    if (!decoder || !frame) return VFW_E_TYPE_NOT_ACCEPTED;
    bool decoded = false;
    const auto take = [&] {
        while (avcodec_receive_frame(decoder.get(), frame.get()) == 0) {
            decoded = decoded || (frame->width == encoder.width && frame->height == encoder.height);
            av_frame_unref(frame.get());
        }
    };
    for (const AvPacketPtr& packet : packets) {
        // A decoder that refuses a packet may still have read enough; only a picture counts.
        avcodec_send_packet(decoder.get(), packet.get());
        take();
    }
    avcodec_send_packet(decoder.get(), nullptr);
    take();
    return decoded ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

}  // namespace media
