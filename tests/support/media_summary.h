#pragma once

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavutil/avutil.h>
}

#include "support/avi_index.h"

namespace testsupport {

// One stream of a file as libavformat reads it back. Times are in seconds.
struct StreamSummary {
    int index = -1;
    AVMediaType type = AVMEDIA_TYPE_UNKNOWN;
    AVCodecID codecId = AV_CODEC_ID_NONE;
    std::string codecName;  // FFmpeg's short name: "mpeg4", "pcm_s16le", ...
    std::uint32_t codecTag = 0;
    std::string fourcc;  // codecTag as text ("XVID", "twos"), empty when the container stores none
    int width = 0;
    int height = 0;
    // Video only: the shape a player gives each pixel, width:height, as ffprobe reports it (the
    // container's, else the codec's); 0:1 when neither says.
    AVRational sampleAspect{0, 1};
    int sampleRate = 0;
    int channels = 0;

    // Packets a player keeps: read, and not marked as discarded (the part of the file an edit list
    // cuts away). For video stored one frame per packet, the frame count.
    std::int64_t packetCount = 0;
    // Packets marked as discarded: a player decodes them where later pictures need them, but never
    // shows or plays them. They count nowhere else in this summary.
    std::int64_t discardedPackets = 0;
    std::int64_t declaredFrames = 0;  // the container's own count (AVI dwLength), 0 when unknown

    // Video only: the pictures a player shows, found by decoding every packet with the container's
    // discard marks (skipped AVI frames repeat a picture and add none). -1 when no decoder opens.
    std::int64_t shownFrames = -1;
    std::vector<double> shownFrameTimes;  // their presentation times, in order

    // Earliest and latest timestamp (pts, else dts) of the kept packets; NaN when none carried one.
    double firstPts = std::numeric_limits<double>::quiet_NaN();
    double lastPts = std::numeric_limits<double>::quiet_NaN();

    std::vector<double> videoPts;          // video only: every kept packet's time, in presentation order
    std::vector<std::uint8_t> audioBytes;  // audio only: the kept packets' payloads, concatenated in order
    std::string audioMd5;                  // audio only: hex MD5 of audioBytes

    [[nodiscard]] bool IsVideo() const { return type == AVMEDIA_TYPE_VIDEO; }
    [[nodiscard]] bool IsAudio() const { return type == AVMEDIA_TYPE_AUDIO; }
};

// A whole file as libavformat reads it back, plus what its RIFF chunks say about an AVI index.
struct MediaSummary {
    std::string error;       // empty when the file was opened and read to its end
    std::string formatName;  // the demuxer's name: "avi", "mpeg", "mov,mp4,m4a,3gp,3g2,mj2"
    double durationSeconds = std::numeric_limits<double>::quiet_NaN();
    std::vector<StreamSummary> streams;  // in the file's stream order
    AviIndexInfo aviIndex;

    [[nodiscard]] bool Ok() const { return error.empty(); }

    [[nodiscard]] bool HasVideo() const { return CountOf(AVMEDIA_TYPE_VIDEO) > 0; }
    [[nodiscard]] bool HasAudio() const { return CountOf(AVMEDIA_TYPE_AUDIO) > 0; }

    // The first stream of a kind. Throws std::out_of_range when the file has none, which a test
    // reports as a failure; check HasVideo() / HasAudio() first where absence is expected.
    [[nodiscard]] const StreamSummary& Video() const { return FirstOf(AVMEDIA_TYPE_VIDEO, "video"); }
    [[nodiscard]] const StreamSummary& Audio() const { return FirstOf(AVMEDIA_TYPE_AUDIO, "audio"); }

    [[nodiscard]] int CountOf(AVMediaType type) const {
        int count = 0;
        for (const auto& stream : streams) count += stream.type == type ? 1 : 0;
        return count;
    }

private:
    [[nodiscard]] const StreamSummary& FirstOf(AVMediaType type, const char* kind) const {
        for (const auto& stream : streams) {
            if (stream.type == type) return stream;
        }
        throw std::out_of_range(std::string("no ") + kind + " stream");
    }
};

}  // namespace testsupport
