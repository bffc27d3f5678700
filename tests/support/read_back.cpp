#include "support/read_back.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/md5.h>
}

#include "support/ffmpeg_handles.h"
#include "support/player_video_decoder.h"

namespace testsupport {
namespace {

constexpr std::int64_t kNoTimestamp = AV_NOPTS_VALUE;

std::string ErrorText(int error) {
    std::array<char, AV_ERROR_MAX_STRING_SIZE> text{};
    av_strerror(error, text.data(), text.size());
    return text.data();
}

std::string FourccText(std::uint32_t tag) {
    if (tag == 0) return {};
    std::array<char, AV_FOURCC_MAX_STRING_SIZE> text{};
    return av_fourcc_make_string(text.data(), tag);
}

std::string HexMd5(const std::vector<std::uint8_t>& bytes) {
    std::array<std::uint8_t, 16> digest{};
    av_md5_sum(digest.data(), bytes.data(), bytes.size());
    std::string hex;
    for (const auto byte : digest) {
        std::array<char, 3> pair{};
        std::snprintf(pair.data(), pair.size(), "%02x", static_cast<unsigned>(byte));
        hex += pair.data();
    }
    return hex;
}

StreamSummary Describe(const AVStream& stream) {
    const AVCodecParameters& parameters = *stream.codecpar;
    StreamSummary summary;
    summary.index = stream.index;
    summary.type = parameters.codec_type;
    summary.codecId = parameters.codec_id;
    summary.codecName = avcodec_get_name(parameters.codec_id);
    summary.codecTag = parameters.codec_tag;
    summary.fourcc = FourccText(parameters.codec_tag);
    summary.width = parameters.width;
    summary.height = parameters.height;
    const bool containerSays = stream.sample_aspect_ratio.num > 0 && stream.sample_aspect_ratio.den > 0;
    summary.sampleAspect = containerSays ? stream.sample_aspect_ratio : parameters.sample_aspect_ratio;
    summary.sampleRate = parameters.sample_rate;
    summary.channels = parameters.ch_layout.nb_channels;
    summary.declaredFrames = stream.nb_frames;
    return summary;
}

double Seconds(std::int64_t timestamp, AVRational timeBase) {
    return static_cast<double>(timestamp) * av_q2d(timeBase);
}

void Record(const AVPacket& packet, AVRational timeBase, StreamSummary& stream) {
    if ((packet.flags & AV_PKT_FLAG_DISCARD) != 0) {
        ++stream.discardedPackets;
        return;
    }
    ++stream.packetCount;
    const std::int64_t timestamp = packet.pts != kNoTimestamp ? packet.pts : packet.dts;
    if (timestamp != kNoTimestamp) {
        const double seconds = Seconds(timestamp, timeBase);
        // NaN compares false, so the first timestamp always replaces the NaN start values.
        if (!(seconds >= stream.firstPts)) stream.firstPts = seconds;
        if (!(seconds <= stream.lastPts)) stream.lastPts = seconds;
        if (stream.IsVideo()) stream.videoPts.push_back(seconds);
    }
    if (stream.IsAudio() && packet.size > 0) {
        stream.audioBytes.insert(stream.audioBytes.end(), packet.data, packet.data + packet.size);
    }
}

// Formats without a global header (MPEG program streams) may announce a stream only when its first
// packet arrives, after the summaries were made.
StreamSummary& SummaryFor(const AVFormatContext& input, int index, MediaSummary& summary) {
    for (auto next = static_cast<int>(summary.streams.size()); next <= index; ++next) {
        summary.streams.push_back(Describe(*input.streams[next]));
    }
    return summary.streams[static_cast<std::size_t>(index)];
}

// The video decoders of a file, one per video stream, counting the pictures a player shows.
class ShownFrames {
public:
    // Opens the decoder of every video stream known so far: a stream without a packet shows 0.
    void Open(const AVFormatContext& input, MediaSummary& summary) {
        for (StreamSummary& stream : summary.streams) DecoderFor(input, stream);
    }

    // Decodes packet if it belongs to a video stream, opening that stream's decoder on first use
    // (formats without a global header announce streams with their first packet).
    void Decode(const AVFormatContext& input, const AVPacket& packet, StreamSummary& stream) {
        if (PlayerVideoDecoder* decoder = DecoderFor(input, stream)) {
            Count(*input.streams[packet.stream_index], &packet, *decoder, stream);
        }
    }

    // Takes the pictures the decoders still hold.
    void Finish(const AVFormatContext& input, MediaSummary& summary) {
        for (std::size_t index = 0; index < m_decoders.size(); ++index) {
            if (m_decoders[index])
                Count(*input.streams[index], nullptr, *m_decoders[index], summary.streams[index]);
        }
        for (auto& stream : summary.streams)
            std::sort(stream.shownFrameTimes.begin(), stream.shownFrameTimes.end());
    }

private:
    PlayerVideoDecoder* DecoderFor(const AVFormatContext& input, StreamSummary& stream) {
        if (!stream.IsVideo()) return nullptr;
        const auto index = static_cast<std::size_t>(stream.index);
        if (index >= m_decoders.size()) m_decoders.resize(index + 1);
        if (!m_decoders[index]) {
            m_decoders[index] = std::make_unique<PlayerVideoDecoder>(*input.streams[index]);
            if (m_decoders[index]->Ok()) stream.shownFrames = 0;
        }
        return m_decoders[index].get();
    }

    static void Count(const AVStream& avStream, const AVPacket* packet, PlayerVideoDecoder& decoder,
                      StreamSummary& stream) {
        decoder.Decode(packet, [&](const AVFrame& frame) {
            ++stream.shownFrames;
            if (frame.pts != kNoTimestamp)
                stream.shownFrameTimes.push_back(Seconds(frame.pts, avStream.time_base));
        });
    }

    std::vector<std::unique_ptr<PlayerVideoDecoder>> m_decoders;
};

}  // namespace

MediaSummary ReadBack(const std::filesystem::path& file) {
    MediaSummary summary;
    summary.aviIndex = ScanAviIndex(file);

    AVFormatContext* opened = nullptr;
    if (const int error = avformat_open_input(&opened, file.c_str(), nullptr, nullptr); error < 0) {
        summary.error = "cannot open " + file.string() + ": " + ErrorText(error);
        return summary;
    }
    const InputFormatContextPtr input(opened);
    if (const int error = avformat_find_stream_info(input.get(), nullptr); error < 0) {
        summary.error = "cannot find stream parameters in " + file.string() + ": " + ErrorText(error);
        return summary;
    }

    summary.formatName = input->iformat->name;
    if (input->duration != kNoTimestamp) {
        summary.durationSeconds = static_cast<double>(input->duration) / AV_TIME_BASE;
    }
    for (unsigned i = 0; i < input->nb_streams; ++i) summary.streams.push_back(Describe(*input->streams[i]));

    const PacketPtr packet(av_packet_alloc());
    if (!packet) {
        summary.error = "out of memory";
        return summary;
    }
    ShownFrames shown;
    shown.Open(*input, summary);
    int result = 0;
    while ((result = av_read_frame(input.get(), packet.get())) >= 0) {
        const AVStream& stream = *input->streams[packet->stream_index];
        StreamSummary& streamSummary = SummaryFor(*input, packet->stream_index, summary);
        Record(*packet, stream.time_base, streamSummary);
        shown.Decode(*input, *packet, streamSummary);
        av_packet_unref(packet.get());
    }
    if (result != AVERROR_EOF) summary.error = "read error in " + file.string() + ": " + ErrorText(result);
    shown.Finish(*input, summary);

    for (auto& stream : summary.streams) {
        // Decode order differs from presentation order once there are B-frames.
        std::sort(stream.videoPts.begin(), stream.videoPts.end());
        if (stream.IsAudio()) stream.audioMd5 = HexMd5(stream.audioBytes);
    }
    return summary;
}

}  // namespace testsupport
