#include "support/shown_picture.h"

#include <cmath>
#include <optional>

extern "C" {
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include "support/ffmpeg_handles.h"
#include "support/player_video_decoder.h"

namespace testsupport {
namespace {

RgbPicture ToRgb(const AVFrame& frame) {
    RgbPicture picture;
    SwsContext* scaler =
        sws_getContext(frame.width, frame.height, static_cast<AVPixelFormat>(frame.format), frame.width,
                       frame.height, AV_PIX_FMT_RGB24, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (scaler == nullptr) return picture;
    picture.width = frame.width;
    picture.height = frame.height;
    picture.rgb.resize(static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height) * 3);
    std::uint8_t* planes[4] = {picture.rgb.data(), nullptr, nullptr, nullptr};
    const int strides[4] = {frame.width * 3, 0, 0, 0};
    sws_scale(scaler, frame.data, frame.linesize, 0, frame.height, planes, strides);
    sws_freeContext(scaler);
    return picture;
}

}  // namespace

RgbPicture ShownPicture(const std::filesystem::path& file, int index) {
    AVFormatContext* opened = nullptr;
    if (avformat_open_input(&opened, file.c_str(), nullptr, nullptr) < 0) return {};
    const InputFormatContextPtr input(opened);
    if (avformat_find_stream_info(input.get(), nullptr) < 0) return {};
    const int stream = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (stream < 0) return {};
    PlayerVideoDecoder decoder(*input->streams[stream]);
    if (!decoder.Ok()) return {};

    std::optional<RgbPicture> found;
    int shown = 0;
    const auto take = [&](const AVFrame& frame) {
        if (!found && shown++ == index) found = ToRgb(frame);
    };
    const PacketPtr packet(av_packet_alloc());
    while (!found && packet && av_read_frame(input.get(), packet.get()) >= 0) {
        if (packet->stream_index == stream) decoder.Decode(packet.get(), take);
        av_packet_unref(packet.get());
    }
    if (!found) decoder.Decode(nullptr, take);
    return found.value_or(RgbPicture{});
}

double Psnr(const RgbPicture& a, const RgbPicture& b) {
    if (a.width != b.width || a.height != b.height || a.rgb.size() != b.rgb.size() || a.Empty()) return 0;
    double squares = 0;
    for (std::size_t i = 0; i < a.rgb.size(); ++i) {
        const double difference = static_cast<double>(a.rgb[i]) - static_cast<double>(b.rgb[i]);
        squares += difference * difference;
    }
    if (squares == 0) return 100;
    const double mean = squares / static_cast<double>(a.rgb.size());
    return 10 * std::log10(255.0 * 255.0 / mean);
}

}  // namespace testsupport
