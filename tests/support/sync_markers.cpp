#include "support/sync_markers.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <numeric>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "support/ffmpeg_handles.h"
#include "support/player_video_decoder.h"

namespace testsupport {
namespace {

constexpr double kGreyLuma = 70;          // black is 16, the marker's grey about 126
constexpr double kBeepLevel = 0.1;        // of full scale; the beep is 0.5
constexpr double kQuietBeforeBeep = 0.2;  // seconds of silence that make the next sound a new beep

struct CodecDeleter {
    void operator()(AVCodecContext* codec) const { avcodec_free_context(&codec); }
};
struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};

// The grey flash fills the whole picture: its middle row tells.
double MeanLuma(const AVFrame& frame) {
    const std::uint8_t* row =
        frame.data[0] + static_cast<std::ptrdiff_t>(frame.height / 2) * frame.linesize[0];
    return frame.width > 0 ? std::accumulate(row, row + frame.width, 0.0) / frame.width : 0;
}

// The first channel's level at sample i, as a fraction of full scale (both carry the beep).
double Level(const AVFrame& frame, int i) {
    if (frame.format == AV_SAMPLE_FMT_FLTP) return std::abs(reinterpret_cast<const float*>(frame.data[0])[i]);
    if (frame.format == AV_SAMPLE_FMT_S16P)
        return std::abs(reinterpret_cast<const std::int16_t*>(frame.data[0])[i] / 32768.0);
    if (frame.format == AV_SAMPLE_FMT_S16)  // PCM: the channels interleaved
        return std::abs(
            reinterpret_cast<const std::int16_t*>(frame.data[0])[i * frame.ch_layout.nb_channels] / 32768.0);
    return 0;
}

class SoundScanner {
public:
    explicit SoundScanner(const AVStream& stream) : m_rate(stream.codecpar->sample_rate) {
        const AVCodec* decoder = avcodec_find_decoder(stream.codecpar->codec_id);
        if (decoder == nullptr) return;
        std::unique_ptr<AVCodecContext, CodecDeleter> codec(avcodec_alloc_context3(decoder));
        if (!codec || avcodec_parameters_to_context(codec.get(), stream.codecpar) < 0 ||
            avcodec_open2(codec.get(), decoder, nullptr) < 0)
            return;
        m_codec = std::move(codec);
        m_frame.reset(av_frame_alloc());
    }
    [[nodiscard]] bool Ok() const { return m_codec && m_frame; }

    // The sound plays on from its first packet's time, sample after sample.
    void Decode(const AVPacket* packet, double packetTime, std::vector<double>& beeps) {
        if (m_position < 0) m_position = packetTime;
        if (avcodec_send_packet(m_codec.get(), packet) < 0) return;
        while (avcodec_receive_frame(m_codec.get(), m_frame.get()) >= 0) {
            const int rate = m_frame->sample_rate > 0 ? m_frame->sample_rate : m_rate;
            for (int i = 0; i < m_frame->nb_samples; ++i) {
                const double at = m_position + static_cast<double>(i) / rate;
                if (Level(*m_frame, i) < kBeepLevel) continue;
                if (at - m_lastLoud > kQuietBeforeBeep) beeps.push_back(at);
                m_lastLoud = at;
            }
            m_position += static_cast<double>(m_frame->nb_samples) / rate;
            av_frame_unref(m_frame.get());
        }
    }

private:
    int m_rate;
    std::unique_ptr<AVCodecContext, CodecDeleter> m_codec;
    std::unique_ptr<AVFrame, FrameDeleter> m_frame;
    double m_position = -1;
    double m_lastLoud = -std::numeric_limits<double>::infinity();
};

}  // namespace

double SyncMarkers::WorstOffset() const {
    if (flashes.size() != beeps.size()) return std::numeric_limits<double>::infinity();
    double worst = 0;
    for (std::size_t i = 0; i < flashes.size(); ++i) worst = std::max(worst, std::abs(beeps[i] - flashes[i]));
    return worst;
}

SyncMarkers FindSyncMarkers(const std::filesystem::path& file) {
    SyncMarkers markers;
    AVFormatContext* opened = nullptr;
    if (avformat_open_input(&opened, file.c_str(), nullptr, nullptr) < 0) {
        markers.error = "cannot open " + file.string();
        return markers;
    }
    InputFormatContextPtr input(opened);
    if (avformat_find_stream_info(input.get(), nullptr) < 0) markers.error = "no stream info";
    const int video = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const int audio = av_find_best_stream(input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (video < 0 || audio < 0) {
        markers.error = "no video or no audio";
        return markers;
    }
    const AVStream& videoStream = *input->streams[video];
    const AVStream& audioStream = *input->streams[audio];
    PlayerVideoDecoder pictures(videoStream);
    SoundScanner sound(audioStream);
    if (!pictures.Ok() || !sound.Ok()) {
        markers.error = "no decoder";
        return markers;
    }
    const AVRational frameRate = av_guess_frame_rate(input.get(), input->streams[video], nullptr);
    const double frameTime = frameRate.num > 0 ? av_q2d(av_inv_q(frameRate)) : 0.04;
    bool grey = false;
    const auto shown = [&](const AVFrame& frame) {
        const double at = static_cast<double>(frame.pts) * av_q2d(videoStream.time_base);
        const bool nowGrey = MeanLuma(frame) > kGreyLuma;
        if (markers.pictureEnd == 0) markers.pictureStart = at;
        if (nowGrey && !grey) markers.flashes.push_back(at);
        grey = nowGrey;
        markers.pictureEnd = std::max(markers.pictureEnd, at + frameTime);
    };
    PacketPtr packet(av_packet_alloc());
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        if (packet->stream_index == video) {
            pictures.Decode(packet.get(), shown);
        } else if (packet->stream_index == audio && packet->size > 0) {
            const std::int64_t stamp = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            sound.Decode(packet.get(), stamp != AV_NOPTS_VALUE ? stamp * av_q2d(audioStream.time_base) : 0,
                         markers.beeps);
        }
        av_packet_unref(packet.get());
    }
    pictures.Decode(nullptr, shown);
    sound.Decode(nullptr, 0, markers.beeps);
    std::sort(markers.flashes.begin(), markers.flashes.end());
    return markers;
}

}  // namespace testsupport
