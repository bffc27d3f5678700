// Reads every sample back and checks it is what tests/fixtures/README.md promises. A sample that
// drifts from its description (an ffmpeg upgrade changing a default, an edit to make_samples.sh)
// fails here, not as a puzzling failure in some media test that relies on it.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <gtest/gtest.h>

#include "support/read_back.h"
#include "support/samples_dir.h"

namespace testsupport {
namespace {

constexpr int kFullFrames = 75;  // 3 s at 25 fps

struct Promise {
    const char* file;
    const char* format;
    AVCodecID video;  // AV_CODEC_ID_NONE: no video stream
    int width;
    int height;
    int frames;
    AVCodecID audio;  // AV_CODEC_ID_NONE: no audio stream
    int sampleRate;
    int channels;
};

void PrintTo(const Promise& promise, std::ostream* out) {
    *out << promise.file;
}

// libmp3lame is optional in FFmpeg builds; make_samples.sh falls back to MP2 without it.
AVCodecID Mp3OrFallback() {
    return avcodec_find_encoder_by_name("libmp3lame") ? AV_CODEC_ID_MP3 : AV_CODEC_ID_MP2;
}

constexpr const char* kMov = "mov,mp4,m4a,3gp,3g2,mj2";

const Promise kPromises[] = {
    {"mpeg1_mp2.mpg", "mpeg", AV_CODEC_ID_MPEG1VIDEO, 320, 240, kFullFrames, AV_CODEC_ID_MP2, 44100, 2},
    {"mpeg2_ac3.mpg", "mpeg", AV_CODEC_ID_MPEG2VIDEO, 352, 288, kFullFrames, AV_CODEC_ID_AC3, 48000, 2},
    {"mpeg4_mp3.avi", "avi", AV_CODEC_ID_MPEG4, 320, 240, kFullFrames, Mp3OrFallback(), 44100, 2},
    {"mjpeg_pcm.avi", "avi", AV_CODEC_ID_MJPEG, 320, 240, kFullFrames, AV_CODEC_ID_PCM_S16LE, 48000, 2},
    {"h264_aac.mov", kMov, AV_CODEC_ID_H264, 320, 240, kFullFrames, AV_CODEC_ID_AAC, 44100, 2},
    {"pcm_be.mov", kMov, AV_CODEC_ID_MJPEG, 320, 240, kFullFrames, AV_CODEC_ID_PCM_S16BE, 48000, 2},
    {"video_only.avi", "avi", AV_CODEC_ID_MPEG4, 320, 240, kFullFrames, AV_CODEC_ID_NONE, 0, 0},
    {"audio_only.mpg", "mpeg", AV_CODEC_ID_NONE, 0, 0, 0, AV_CODEC_ID_MP2, 48000, 2},
    {"vfr.mov", kMov, AV_CODEC_ID_MPEG4, 320, 240, 50, AV_CODEC_ID_PCM_S16LE, 48000, 2},
    {"odd_size.avi", "avi", AV_CODEC_ID_MJPEG, 321, 241, kFullFrames, AV_CODEC_ID_PCM_S16LE, 22050, 1},
    {"late_video.mov", kMov, AV_CODEC_ID_MPEG4, 320, 240, 62, AV_CODEC_ID_PCM_S16LE, 48000, 2},
    {"marker_ac3.mpg", "mpeg", AV_CODEC_ID_MPEG2VIDEO, 352, 288, 250, AV_CODEC_ID_AC3, 48000, 2},
    {"marker_mp2.ts", "mpegts", AV_CODEC_ID_MPEG2VIDEO, 352, 288, 250, AV_CODEC_ID_MP2, 48000, 2},
    {"marker_aac.mov", kMov, AV_CODEC_ID_MPEG4, 352, 288, 250, AV_CODEC_ID_AAC, 48000, 2},
    {"marker_dts.ts", "mpegts", AV_CODEC_ID_MPEG2VIDEO, 352, 288, 250, AV_CODEC_ID_DTS, 48000, 2},
    {"trimmed.mov", kMov, AV_CODEC_ID_H264, 320, 240, 117, AV_CODEC_ID_AAC, 44100, 2},
};

class ValidSample : public ::testing::TestWithParam<Promise> {};

TEST_P(ValidSample, ReadsBackAsPromised) {
    const Promise& promise = GetParam();
    const MediaSummary summary = ReadBack(SamplePath(promise.file));
    ASSERT_TRUE(summary.Ok()) << summary.error;
    EXPECT_EQ(summary.formatName, promise.format);

    const bool wantsVideo = promise.video != AV_CODEC_ID_NONE;
    ASSERT_EQ(summary.CountOf(AVMEDIA_TYPE_VIDEO), wantsVideo ? 1 : 0);
    if (wantsVideo) {
        const StreamSummary& video = summary.Video();
        EXPECT_EQ(video.codecId, promise.video) << video.codecName;
        EXPECT_EQ(video.width, promise.width);
        EXPECT_EQ(video.height, promise.height);
        EXPECT_EQ(video.packetCount, promise.frames);
        EXPECT_EQ(video.videoPts.size(), static_cast<std::size_t>(promise.frames));
        EXPECT_EQ(video.shownFrames, promise.frames) << "pictures a player shows";
        // An AVI header counting more frames than there are chunks means skipped frames.
        if (summary.aviIndex.isAvi) {
            EXPECT_EQ(video.declaredFrames, promise.frames);
        }
    }

    const bool wantsAudio = promise.audio != AV_CODEC_ID_NONE;
    ASSERT_EQ(summary.CountOf(AVMEDIA_TYPE_AUDIO), wantsAudio ? 1 : 0);
    if (wantsAudio) {
        const StreamSummary& audio = summary.Audio();
        EXPECT_EQ(audio.codecId, promise.audio) << audio.codecName;
        EXPECT_EQ(audio.sampleRate, promise.sampleRate);
        EXPECT_EQ(audio.channels, promise.channels);
        EXPECT_FALSE(audio.audioBytes.empty());
        EXPECT_EQ(audio.audioMd5.size(), 32U);
        EXPECT_TRUE(audio.videoPts.empty());
    }

    EXPECT_EQ(summary.aviIndex.isAvi, std::string(promise.format) == "avi");
}

INSTANTIATE_TEST_SUITE_P(Samples, ValidSample, ::testing::ValuesIn(kPromises),
                         [](const ::testing::TestParamInfo<Promise>& sample) {
                             std::string name = sample.param.file;
                             std::replace(name.begin(), name.end(), '.', '_');
                             return name;
                         });

double LargestStep(const std::vector<double>& times) {
    double largest = 0;
    for (std::size_t i = 1; i < times.size(); ++i) largest = std::max(largest, times[i] - times[i - 1]);
    return largest;
}

TEST(SampleTiming, ConstantRateVideoIsEvenlySpacedFromZero) {
    const MediaSummary summary = ReadBack(SamplePath("mpeg4_mp3.avi"));
    ASSERT_TRUE(summary.Ok()) << summary.error;
    const auto& times = summary.Video().videoPts;
    ASSERT_EQ(times.size(), static_cast<std::size_t>(kFullFrames));
    EXPECT_DOUBLE_EQ(times.front(), 0.0);
    EXPECT_NEAR(times.back(), 2.96, 1e-9);
    EXPECT_NEAR(LargestStep(times), 0.04, 1e-9);
}

TEST(SampleTiming, VariableRateVideoHasAOneSecondGapWhileAudioRunsOn) {
    const MediaSummary summary = ReadBack(SamplePath("vfr.mov"));
    ASSERT_TRUE(summary.Ok()) << summary.error;
    const auto& times = summary.Video().videoPts;
    ASSERT_EQ(times.size(), 50U);
    EXPECT_NEAR(times[24], 0.96, 1e-6);
    EXPECT_NEAR(times[25], 2.00, 1e-6);
    EXPECT_NEAR(LargestStep(times), 1.04, 1e-6);

    // 3 s of 16-bit stereo at 48 kHz, straight through the gap.
    const StreamSummary& audio = summary.Audio();
    EXPECT_EQ(audio.audioBytes.size(), 3U * 48000 * 2 * 2);
    EXPECT_NEAR(audio.firstPts, 0.0, 1e-6);
}

TEST(SampleTiming, LateVideoStartsHalfASecondAfterTheAudio) {
    const MediaSummary summary = ReadBack(SamplePath("late_video.mov"));
    ASSERT_TRUE(summary.Ok()) << summary.error;
    EXPECT_NEAR(summary.Video().firstPts, 0.5, 1e-6);
    EXPECT_NEAR(summary.Audio().firstPts, 0.0, 1e-6);
}

TEST(SampleTiming, TrimmedFileKeepsTheCutPicturesAsDiscardedPacketsAndShowsFromZero) {
    const MediaSummary summary = ReadBack(SamplePath("trimmed.mov"));
    ASSERT_TRUE(summary.Ok()) << summary.error;
    // 1.3 s cut from the key frame at 0 onwards: 33 pictures decoded but never shown.
    EXPECT_EQ(summary.Video().discardedPackets, 33);
    ASSERT_FALSE(summary.Video().shownFrameTimes.empty());
    EXPECT_NEAR(summary.Video().shownFrameTimes.front(), 0.0, 1e-6);
    EXPECT_NEAR(summary.Video().shownFrameTimes.back(), 4.64, 1e-6);
    // The audio before the cut is discarded too; what is kept starts within a packet of 0.
    EXPECT_GT(summary.Audio().discardedPackets, 40);
    EXPECT_NEAR(summary.Audio().firstPts, 0.0, 1024.0 / 44100);
}

// Both files carry the same 48 kHz stereo tone, once as s16le and once as s16be: swapping every
// sample's bytes of one must give the other exactly. Catches lost, repeated or reordered packets.
TEST(SampleAudio, BigEndianPcmIsTheLittleEndianToneByteSwapped) {
    const MediaSummary little = ReadBack(SamplePath("mjpeg_pcm.avi"));
    const MediaSummary big = ReadBack(SamplePath("pcm_be.mov"));
    ASSERT_TRUE(little.Ok()) << little.error;
    ASSERT_TRUE(big.Ok()) << big.error;
    std::vector<std::uint8_t> swapped = big.Audio().audioBytes;
    ASSERT_EQ(swapped.size() % 2, 0U);
    for (std::size_t i = 0; i + 1 < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
    EXPECT_EQ(swapped.size(), little.Audio().audioBytes.size());
    EXPECT_TRUE(swapped == little.Audio().audioBytes);
    EXPECT_NE(big.Audio().audioMd5, little.Audio().audioMd5);
}

TEST(BrokenSample, EmptyAndTextFilesDoNotOpen) {
    for (const char* name : {"empty.mpg", "not_media.avi"}) {
        const MediaSummary summary = ReadBack(SamplePath(name));
        EXPECT_FALSE(summary.Ok()) << name;
        EXPECT_TRUE(summary.streams.empty()) << name;
        EXPECT_FALSE(summary.aviIndex.isAvi) << name;
    }
}

TEST(BrokenSample, TruncatedStreamOpensButEndsEarly) {
    const MediaSummary summary = ReadBack(SamplePath("truncated.mpg"));
    ASSERT_TRUE(summary.Ok()) << summary.error;
    ASSERT_TRUE(summary.HasVideo());
    ASSERT_TRUE(summary.HasAudio());
    EXPECT_GT(summary.Video().packetCount, 0);
    EXPECT_LT(summary.Video().packetCount, kFullFrames);
}

TEST(BrokenSample, CorruptMiddleKeepsHeadersAndIndex) {
    const MediaSummary good = ReadBack(SamplePath("mpeg4_mp3.avi"));
    const MediaSummary corrupt = ReadBack(SamplePath("corrupt_middle.avi"));
    ASSERT_TRUE(corrupt.HasVideo() && corrupt.HasAudio()) << corrupt.error;
    EXPECT_TRUE(corrupt.aviIndex.hasIdx1);
    EXPECT_EQ(std::filesystem::file_size(SamplePath("corrupt_middle.avi")),
              std::filesystem::file_size(SamplePath("mpeg4_mp3.avi")));
    // The noise spoils chunks in the middle, so the reader recovers fewer packets than there are.
    const auto packets = [](const MediaSummary& summary) {
        return summary.Video().packetCount + summary.Audio().packetCount;
    };
    EXPECT_LT(packets(corrupt), packets(good));
}

TEST(BrokenSample, NoPictureHasEveryVideoPacketButNoPictureThatDecodes) {
    const MediaSummary summary = ReadBack(SamplePath("no_picture.avi"));
    ASSERT_TRUE(summary.HasVideo() && summary.HasAudio()) << summary.error;
    EXPECT_EQ(summary.Video().packetCount, kFullFrames);
    EXPECT_EQ(summary.Video().shownFrames, 0);
    EXPECT_EQ(summary.Audio().audioMd5, ReadBack(SamplePath("mpeg4_mp3.avi")).Audio().audioMd5);
}

}  // namespace
}  // namespace testsupport
