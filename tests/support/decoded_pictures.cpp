#include "support/decoded_pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

extern "C" {
#include <libavutil/display.h>
#include <libswscale/swscale.h>
}

#include "support/ffmpeg_handles.h"
#include "support/player_video_decoder.h"

namespace testsupport {
namespace {

struct ScalerDeleter {
    void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};

// How the ffmpeg command shows a stream with a display matrix: the picture transposed (rows
// become columns), then mirrored left-right and top-bottom, as its transpose, hflip and vflip
// filters do.
struct Turn {
    bool transpose = false;
    bool hflip = false;
    bool vflip = false;
};

Turn TurnOf(const AVStream& stream) {
    const auto* matrix = reinterpret_cast<const std::int32_t*>(
        av_stream_get_side_data(&stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr));
    if (matrix == nullptr) return {};
    double clockwise = -av_display_rotation_get(matrix);
    clockwise -= 360 * std::floor(clockwise / 360 + 0.9 / 360);
    if (std::fabs(clockwise - 90) < 1)
        return matrix[3] > 0 ? Turn{true, false, false} : Turn{true, true, false};
    if (std::fabs(clockwise - 180) < 1) return {false, matrix[0] < 0, matrix[4] < 0};
    if (std::fabs(clockwise - 270) < 1)
        return matrix[3] < 0 ? Turn{true, true, true} : Turn{true, false, true};
    return {false, false, matrix[4] < 0};
}

// Packed RGB24 of width x height turned as `turn` says; the size is that of the shown picture.
std::vector<std::uint8_t> Turned(const std::vector<std::uint8_t>& rgb, int& width, int& height, Turn turn) {
    const int shownWidth = turn.transpose ? height : width;
    const int shownHeight = turn.transpose ? width : height;
    std::vector<std::uint8_t> shown(rgb.size());
    for (int y = 0; y < shownHeight; ++y) {
        for (int x = 0; x < shownWidth; ++x) {
            const int column = turn.hflip ? shownWidth - 1 - x : x;
            const int row = turn.vflip ? shownHeight - 1 - y : y;
            const int storedX = turn.transpose ? row : column;
            const int storedY = turn.transpose ? column : row;
            const std::size_t from = (static_cast<std::size_t>(storedY) * width + storedX) * 3;
            const std::size_t to = (static_cast<std::size_t>(y) * shownWidth + x) * 3;
            std::copy_n(rgb.begin() + static_cast<std::ptrdiff_t>(from), 3,
                        shown.begin() + static_cast<std::ptrdiff_t>(to));
        }
    }
    width = shownWidth;
    height = shownHeight;
    return shown;
}

// Converts each picture to packed RGB24, turns it upright and keeps it; false once a picture
// can't be kept.
class RgbPictures {
public:
    RgbPictures(DecodedPictures& out, Turn turn) : m_out(out), m_turn(turn) {}

    bool Take(const AVFrame& frame) {
        if (m_storedWidth == 0) {
            m_storedWidth = frame.width;
            m_storedHeight = frame.height;
        }
        if (frame.width != m_storedWidth || frame.height != m_storedHeight) {
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
        m_out.width = frame.width;
        m_out.height = frame.height;
        const bool upright = !m_turn.transpose && !m_turn.hflip && !m_turn.vflip;
        m_out.rgb.push_back(upright ? std::move(rgb) : Turned(rgb, m_out.width, m_out.height, m_turn));
        return true;
    }

private:
    DecodedPictures& m_out;
    Turn m_turn;
    int m_storedWidth = 0;
    int m_storedHeight = 0;
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
    RgbPictures pictures(result, TurnOf(*format->streams[stream]));
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
