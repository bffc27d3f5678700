#include "support/decoded_pictures.h"

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

extern "C" {
#include <libswscale/swscale.h>
}

#include "support/ffmpeg_handles.h"
#include "support/player_video_decoder.h"

namespace testsupport {
namespace {

struct ScalerDeleter {
    void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};

// Converts each picture to packed RGB24 and keeps it; false once a picture can't be kept.
class RgbPictures {
public:
    explicit RgbPictures(DecodedPictures& out) : m_out(out) {}

    bool Take(const AVFrame& frame) {
        if (m_out.rgb.empty()) {
            m_out.width = frame.width;
            m_out.height = frame.height;
        }
        if (frame.width != m_out.width || frame.height != m_out.height) {
            m_out.error = "the picture size changes";
            return false;
        }
        m_scaler.reset(sws_getCachedContext(
            m_scaler.release(), frame.width, frame.height, static_cast<AVPixelFormat>(frame.format),
            frame.width, frame.height, AV_PIX_FMT_RGB24, SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT,
            nullptr, nullptr, nullptr));
        if (!m_scaler) {
            m_out.error = "no conversion to RGB24";
            return false;
        }
        std::vector<std::uint8_t> rgb(static_cast<std::size_t>(frame.width) * frame.height * 3);
        std::uint8_t* planes[4] = {rgb.data(), nullptr, nullptr, nullptr};
        int strides[4] = {frame.width * 3, 0, 0, 0};
        sws_scale(m_scaler.get(), frame.data, frame.linesize, 0, frame.height, planes, strides);
        m_out.rgb.push_back(std::move(rgb));
        return true;
    }

private:
    DecodedPictures& m_out;
    std::unique_ptr<SwsContext, ScalerDeleter> m_scaler;
};

}  // namespace

DecodedPictures DecodePictures(const std::filesystem::path& file, int first, int count) {
    DecodedPictures result;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, file.c_str(), nullptr, nullptr) < 0) {
        result.error = "cannot open";
        return result;
    }
    InputFormatContextPtr format(raw);
    if (avformat_find_stream_info(format.get(), nullptr) < 0) {
        result.error = "no stream information";
        return result;
    }
    const int stream = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (stream < 0) {
        result.error = "no video stream";
        return result;
    }
    PlayerVideoDecoder decoder(*format->streams[stream]);
    if (!decoder.Ok()) {
        result.error = "the decoder does not open";
        return result;
    }
    RgbPictures pictures(result);
    bool kept = true;
    int shown = 0;
    const auto wanted = [&] { return kept && static_cast<int>(result.rgb.size()) < count; };
    auto keep = [&](const AVFrame& frame) {
        if (wanted() && shown++ >= first) kept = pictures.Take(frame);
    };
    PacketPtr packet(av_packet_alloc());
    while (wanted() && av_read_frame(format.get(), packet.get()) >= 0) {
        if (packet->stream_index == stream) decoder.Decode(packet.get(), keep);
        av_packet_unref(packet.get());
    }
    if (wanted()) decoder.Decode(nullptr, keep);
    return result;
}

double Psnr(const DecodedPictures& actual, const DecodedPictures& reference) {
    const std::size_t pictures = std::min(actual.rgb.size(), reference.rgb.size());
    if (pictures == 0 || actual.width > reference.width || actual.height > reference.height) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    double squares = 0;
    std::size_t samples = 0;
    for (std::size_t p = 0; p < pictures; ++p) {
        for (int row = 0; row < actual.height; ++row) {
            const std::uint8_t* a = actual.rgb[p].data() + static_cast<std::size_t>(row) * actual.width * 3;
            const std::uint8_t* r =
                reference.rgb[p].data() + static_cast<std::size_t>(row) * reference.width * 3;
            for (int i = 0; i < actual.width * 3; ++i) {
                const double d = static_cast<double>(a[i]) - static_cast<double>(r[i]);
                squares += d * d;
            }
            samples += static_cast<std::size_t>(actual.width) * 3;
        }
    }
    if (squares == 0) return std::numeric_limits<double>::infinity();
    return 10.0 * std::log10(255.0 * 255.0 * static_cast<double>(samples) / squares);
}

}  // namespace testsupport
