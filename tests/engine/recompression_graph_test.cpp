// Whole jobs through the recompression graph on the sample media. Outputs are read back with
// libavformat alone; every message is recorded.

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "engine/compression_presets.h"
#include "media/catalogue/compressor_catalogue.h"
#include "recompression_fixture.h"
#include "support/decoded_pictures.h"
#include "support/read_back.h"
#include "support/samples_dir.h"

namespace fs = std::filesystem;
using testsupport::ReadBack;
using testsupport::SamplePath;

namespace {

using RecompressionGraphTest = RecompressionTest;

std::string FileBytes(const fs::path& file) {
    std::string bytes(fs::file_size(file), '\0');
    std::ifstream(file, std::ios::binary).read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

// ---- whole conversions -------------------------------------------------------------------------

class SampleConversion : public RecompressionGraphTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(SampleConversion, ReencodesTheVideoAndCarriesTheAudioUnchanged) {
    const fs::path input = SamplePath(GetParam());
    const fs::path output = m_dir / "out.avi";
    ASSERT_EQ(Convert(input, output), EC_COMPLETE);
    EXPECT_NEAR(m_lastPercent, 100, 5) << "progress ends near 100 %";

    const auto in = ReadBack(input);
    const auto out = ReadBack(output);
    ASSERT_TRUE(out.Ok()) << out.error;
    EXPECT_EQ(out.formatName, "avi");
    const auto& videoIn = in.Video();
    const auto& videoOut = out.Video();
    EXPECT_EQ(videoOut.codecId, AV_CODEC_ID_MPEG4);
    EXPECT_EQ(videoOut.fourcc, "XVID");
    EXPECT_EQ(videoOut.width, videoIn.width);
    EXPECT_EQ(videoOut.height, videoIn.height);
    EXPECT_NEAR(static_cast<double>(videoOut.packetCount), static_cast<double>(videoIn.packetCount), 1.0);
    EXPECT_TRUE(out.aviIndex.HasIndex());
    // The file's time zero is its earliest stream start. AVI frames sit on a frame grid (half a
    // frame of rounding), and AAC priming before zero makes the audio start up to 23 ms later.
    const double start = std::min(videoIn.firstPts, in.HasAudio() ? in.Audio().firstPts : videoIn.firstPts);
    EXPECT_NEAR(videoOut.lastPts, videoIn.lastPts - start, 0.041) << "the last frame keeps its time";
    // Every frame keeps its time too where the rate is constant. Packets of MPEG program streams
    // often carry no presentation time, so frame i is placed from the first and last frames.
    ASSERT_EQ(videoOut.videoPts.size(), videoIn.videoPts.size());
    if (std::string(GetParam()) != "vfr.mov") {
        const double first = videoIn.videoPts.front();
        const double frameTime =
            (videoIn.videoPts.back() - first) / static_cast<double>(videoIn.videoPts.size() - 1);
        for (std::size_t i = 0; i < videoOut.videoPts.size(); i += 7) {
            EXPECT_NEAR(videoOut.videoPts[i], first - start + static_cast<double>(i) * frameTime, 0.03)
                << "frame " << i;
        }
    }

    ASSERT_EQ(out.HasAudio(), in.HasAudio());
    if (!in.HasAudio()) return;
    const auto& audioIn = in.Audio();
    const auto& audioOut = out.Audio();
    EXPECT_EQ(audioOut.sampleRate, audioIn.sampleRate);
    EXPECT_EQ(audioOut.channels, audioIn.channels);
    if (audioIn.codecId == AV_CODEC_ID_PCM_S16BE) {
        // Big-endian PCM arrives as the same samples in little-endian order.
        ASSERT_EQ(audioOut.audioBytes.size(), audioIn.audioBytes.size());
        for (std::size_t i = 0; i + 1 < audioIn.audioBytes.size(); i += 2) {
            ASSERT_EQ(audioOut.audioBytes[i], audioIn.audioBytes[i + 1]) << "byte " << i;
        }
    } else {
        EXPECT_EQ(audioOut.codecId, audioIn.codecId);
        EXPECT_EQ(audioOut.audioMd5, audioIn.audioMd5) << "the audio is carried byte for byte";
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleConversion,
                         ::testing::Values("mpeg1_mp2.mpg", "mpeg2_ac3.mpg", "mpeg4_mp3.avi", "mjpeg_pcm.avi",
                                           "h264_aac.mov", "pcm_be.mov", "video_only.avi", "vfr.mov"),
                         [](const ::testing::TestParamInfo<const char*>& sample) {
                             std::string name = sample.param;
                             for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

// ---- audio a player takes ------------------------------------------------------------------------

struct AudioCase {
    const char* sample;
    AudioChoice audio;
    bool becomesMp3;
    std::uint16_t formatTag;        // the wFormatTag a player reads from the file's bytes
    const char* preset = nullptr;   // a preset's whole choice instead of the audio alone
};

class AudioForPlayers : public RecompressionGraphTest, public ::testing::WithParamInterface<AudioCase> {};

// The little-endian field of `bytes` bytes at `at` in the file's head.
std::uint32_t FieldAt(const std::string& head, std::size_t at, int bytes) {
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(head.at(at + i));
    return value;
}

TEST_P(AudioForPlayers, IsCodedAsMp3OnlyWhereAsked) {
    const fs::path input = SamplePath(GetParam().sample);
    const fs::path output = m_dir / "out.avi";
    m_choice.audio = GetParam().audio;
    if (GetParam().preset != nullptr) m_choice = FindCompressionPreset(GetParam().preset)->choice;
    ASSERT_EQ(Convert(input, output), EC_COMPLETE);
    const auto in = ReadBack(input);
    const auto out = ReadBack(output);
    ASSERT_TRUE(out.Ok() && out.HasAudio()) << out.error;
    const auto& audioIn = in.Audio();
    const auto& audioOut = out.Audio();
    EXPECT_EQ(out.aviIndex.audioFormatTags, std::vector<std::uint16_t>{GetParam().formatTag});
    if (!GetParam().becomesMp3) {
        EXPECT_EQ(audioOut.channels, audioIn.channels);
        EXPECT_EQ(audioOut.codecId, audioIn.codecId);
        EXPECT_EQ(audioOut.audioMd5, audioIn.audioMd5) << "the audio is carried byte for byte";
        return;
    }
    EXPECT_EQ(audioOut.codecId, AV_CODEC_ID_MP3);
    EXPECT_EQ(audioOut.sampleRate, audioIn.sampleRate);
    EXPECT_EQ(audioOut.channels, std::min(audioIn.channels, 2));
    // Where the sound starts and how long it plays, each within one MP3 frame of the input's.
    const double frame = 1152.0 / audioIn.sampleRate;
    const double start = std::min(in.Video().firstPts, audioIn.firstPts);
    EXPECT_NEAR(audioOut.firstPts, audioIn.firstPts - start, frame);
    const double inputLength =
        audioIn.codecId == AV_CODEC_ID_PCM_S16LE
            ? static_cast<double>(audioIn.audioBytes.size()) / (2.0 * audioIn.channels * audioIn.sampleRate)
            : static_cast<double>(audioIn.packetCount) *
                  (audioIn.codecId == AV_CODEC_ID_AAC ? 1024.0 : 1152.0) / audioIn.sampleRate;
    EXPECT_NEAR(audioOut.firstPts + static_cast<double>(audioOut.packetCount) * frame,
                audioIn.firstPts - start + inputLength, frame);

    // The header of constant-rate MP3: a byte stream at 24,000 bytes a second in the stream header
    // (dwScale, dwRate, dwSampleSize) and in the format block (nAvgBytesPerSec, nBlockAlign of 1,
    // then the MPEGLAYER3WAVEFORMAT fields: wID 1, one frame per block).
    std::ifstream file(output, std::ios::binary);
    std::string head(8192, '\0');
    file.read(head.data(), static_cast<std::streamsize>(head.size()));
    const std::size_t strh = head.find("auds");  // the audio stream header's body
    const std::size_t strf = head.find("strf", strh);
    ASSERT_NE(strf, std::string::npos);
    EXPECT_EQ(FieldAt(head, strh + 20, 4), 1u) << "dwScale";
    EXPECT_EQ(FieldAt(head, strh + 24, 4), 24000u) << "dwRate";
    EXPECT_EQ(FieldAt(head, strh + 44, 4), 1u) << "dwSampleSize";
    ASSERT_EQ(FieldAt(head, strf + 4, 4), 30u) << "the format block's size";
    EXPECT_EQ(FieldAt(head, strf + 8, 2), 0x55u);
    EXPECT_EQ(FieldAt(head, strf + 8 + 8, 4), 24000u) << "nAvgBytesPerSec";
    EXPECT_EQ(FieldAt(head, strf + 8 + 12, 2), 1u) << "nBlockAlign";
    EXPECT_EQ(FieldAt(head, strf + 8 + 16, 2), 12u) << "cbSize";
    EXPECT_EQ(FieldAt(head, strf + 8 + 18, 2), 1u) << "wID";
    EXPECT_EQ(FieldAt(head, strf + 8 + 26, 2), 1u) << "nFramesPerBlock";
}

INSTANTIATE_TEST_SUITE_P(Samples, AudioForPlayers,
                         ::testing::Values(AudioCase{"h264_aac.mov", AudioChoice::Mp3, true, 0x55},
                                           AudioCase{"h264_aac.mov", AudioChoice::Mp3WhenNeeded, true, 0x55},
                                           AudioCase{"mpeg2_ac3.mpg", AudioChoice::Mp3WhenNeeded, false, 0x2000},
                                           AudioCase{"mpeg1_mp2.mpg", AudioChoice::Mp3WhenNeeded, false, 0x50},
                                           AudioCase{"mpeg1_mp2.mpg", AudioChoice::Mp3, true, 0x55},
                                           AudioCase{"mjpeg_pcm.avi", AudioChoice::Mp3, true, 0x55},
                                           // The players' own rule: only MP3 and AC-3 stay.
                                           AudioCase{"mjpeg_pcm.avi", AudioChoice::Mp3OrAc3, true, 0x55},
                                           AudioCase{"pal_16x9_mp2.mpg", {}, true, 0x55, "dvd-player"},
                                           // AC-3 5.1 under its own tag, never WAVE_FORMAT_EXTENSIBLE.
                                           AudioCase{"hd1080p50_ac3_51.ts", AudioChoice::Keep, false, 0x2000},
                                           AudioCase{"hd1080p50_ac3_51.ts", {}, false, 0x2000, "hd-player"},
                                           AudioCase{"marker_dts.ts", AudioChoice::Keep, false, 0x2001}));

TEST_F(RecompressionGraphTest, WithoutKeepAudioTheOutputHasNoAudio) {
    const fs::path output = m_dir / "silent.avi";
    ASSERT_EQ(Convert(SamplePath("mjpeg_pcm.avi"), output, false), EC_COMPLETE);
    const auto out = ReadBack(output);
    ASSERT_TRUE(out.Ok()) << out.error;
    EXPECT_TRUE(out.HasVideo());
    EXPECT_FALSE(out.HasAudio());
}

TEST_F(RecompressionGraphTest, ALateVideoStartKeepsItsOffsetAgainstTheAudio) {
    const fs::path output = m_dir / "late.avi";
    ASSERT_EQ(Convert(SamplePath("late_video.mov"), output), EC_COMPLETE);
    const auto out = ReadBack(output);
    ASSERT_TRUE(out.Ok()) << out.error;
    EXPECT_NEAR(out.Video().firstPts, 0.5, 0.041);
    EXPECT_NEAR(out.Audio().firstPts, 0.0, 0.021);
}

TEST_F(RecompressionGraphTest, AnOddFrameSizeLosesItsLastColumnAndRowToXvidAndNothingToTheOtherMpeg4Encoder) {
    // Xvid codes even frame sizes only: it codes 320x240 of the 321x241 pictures.
    const fs::path input = SamplePath("odd_size.avi");
    const auto in = ReadBack(input);
    for (const auto& [compressor, width, height] :
         {std::tuple{m_xvid, 320, 240}, std::tuple{CompressorNamed("MPEG-4 part 2"), 321, 241}}) {
        ASSERT_GE(compressor, 0);
        const fs::path output = m_dir / ("odd" + std::to_string(compressor) + ".avi");
        ASSERT_EQ(ConvertWith(compressor, input, output), EC_COMPLETE);
        const auto out = ReadBack(output);
        ASSERT_TRUE(out.Ok()) << out.error;
        EXPECT_EQ(out.Video().width, width);
        EXPECT_EQ(out.Video().height, height);
        EXPECT_EQ(out.Video().packetCount, in.Video().packetCount);
        EXPECT_EQ(out.Audio().audioMd5, in.Audio().audioMd5);
        const double psnr =
            testsupport::Psnr(testsupport::DecodePictures(output), testsupport::DecodePictures(input));
        // The sample's hard colour edges lose much to 4:2:0; a shifted or garbled picture loses more.
        EXPECT_GT(psnr, 20.0) << compressor;
    }
}

// ---- the largest picture --------------------------------------------------------------------

TEST_F(RecompressionGraphTest, APictureLargerThanTheLargestIsScaledDownToFitAsAPlayerShowsIt) {
    // Turned upright and widened to its display aspect first, then fitted with square pixels and
    // even sides; the pictures are those the ffmpeg command scales to the same size. Each row:
    // sample, largest picture, the size that comes out, the display aspect.
    for (const auto& [sample, largest, width, height, aspect] :
         {std::tuple{"wide_1080p.mov", PictureLimit{720, 576}, 720, 406, 16.0 / 9},    // 720 x 405, to even
          std::tuple{"dvd_pal_16x9.mpg", PictureLimit{720, 576}, 720, 406, 16.0 / 9},  // shown 1024 x 576
          std::tuple{"rotate90.mov", PictureLimit{160, 160}, 90, 160, 9.0 / 16},       // stored 320 x 180
          std::tuple{"chart_rgb555.avi", PictureLimit{64, 64}, 64, 32, 2.0},  // by the colour converter
          std::tuple{"mpeg1_mp2.mpg", PictureLimit{320, 200}, 266, 200, 4.0 / 3},  // rows of 798 bytes
          std::tuple{"catalogue_even.avi", PictureLimit{88, 88}, 88, 72, 176.0 / 144}}) {  // RGB24 as stored
        m_choice.largest = largest;
        const fs::path input = SamplePath(sample);
        const fs::path output = m_dir / (std::string(sample) + ".avi");
        ASSERT_EQ(Convert(input, output), EC_COMPLETE) << sample;
        const auto in = ReadBack(input);
        const auto out = ReadBack(output);
        ASSERT_TRUE(out.Ok()) << out.error;
        const auto& video = out.Video();
        EXPECT_EQ(std::pair(video.width, video.height), std::pair(width, height)) << sample;
        EXPECT_TRUE(video.sampleAspect.num == 0 || video.sampleAspect.num == video.sampleAspect.den)
            << sample;
        EXPECT_NEAR(video.width / (video.height * aspect), 1.0, 0.01) << sample;
        EXPECT_NEAR(static_cast<double>(video.packetCount), static_cast<double>(in.Video().packetCount), 1.0);
        if (in.HasAudio()) {
            EXPECT_EQ(out.Audio().audioMd5, in.Audio().audioMd5) << sample;
        }

        const fs::path reference = m_dir / (std::string(sample) + ".reference.avi");
        const std::string command = "ffmpeg -hide_banner -loglevel error -y -i '" + input.string() +
                                    "' -vf scale=" + std::to_string(width) + ":" + std::to_string(height) +
                                    " -c:v ffv1 -an '" + reference.string() + "'";
        if (std::system(command.c_str()) != 0)
            GTEST_SKIP() << "the ffmpeg command is needed for the reference";
        const double psnr =
            testsupport::Psnr(testsupport::DecodePictures(output), testsupport::DecodePictures(reference));
        EXPECT_GT(psnr, 24.0) << sample;
    }
}

TEST_F(RecompressionGraphTest, APictureWithinTheLargestConvertsExactlyAsWithoutOne) {
    // The limit counts the picture as shown: the quarter-turned one is 180 wide, not 320.
    for (const auto& [sample, largest] : {std::pair{"h264_aac.mov", PictureLimit{320, 240}},
                                          std::pair{"rotate90.mov", PictureLimit{180, 320}}}) {
        m_choice.largest = {};
        ASSERT_EQ(Convert(SamplePath(sample), m_dir / "free.avi"), EC_COMPLETE);
        m_choice.largest = largest;
        ASSERT_EQ(Convert(SamplePath(sample), m_dir / "limited.avi"), EC_COMPLETE);
        EXPECT_EQ(FileBytes(m_dir / "limited.avi"), FileBytes(m_dir / "free.avi")) << sample;
    }
}

TEST_F(RecompressionGraphTest, XvidCodesAtTheSameQuantizerAsTheFfmpegCommand) {
    // The constant quantizer of 4 has to reach every picture: a graph that loses it still makes
    // a valid file, only a much larger or worse one.
    const fs::path reference = m_dir / "reference.avi";
    const std::string command = "ffmpeg -hide_banner -loglevel error -y -i '" +
                                SamplePath("mpeg1_mp2.mpg").string() +
                                "' -c:v libxvid -q:v 4 -g 250 -bf 0 -an '" + reference.string() + "'";
    if (std::system(command.c_str()) != 0) GTEST_SKIP() << "the ffmpeg command is needed for the reference";
    const fs::path output = m_dir / "ours.avi";
    ASSERT_EQ(Convert(SamplePath("mpeg1_mp2.mpg"), output, false), EC_COMPLETE);
    const double ratio =
        static_cast<double>(fs::file_size(output)) / static_cast<double>(fs::file_size(reference));
    EXPECT_GT(ratio, 0.7);
    EXPECT_LT(ratio, 1.3);
}

TEST_F(RecompressionGraphTest, AnInGamutPictureReachesXvidAsTheFfmpegCommandGivesIt) {
    // Pictures pass through RGB24 between the decoder and the compressor. For colours RGB holds,
    // that trip gives back the decoded picture, so Xvid codes what the ffmpeg command gives it:
    // the same size and the same quality, within a little.
    const fs::path input = SamplePath("in_gamut.mpg");
    const fs::path reference = m_dir / "reference.avi";
    const std::string command = "ffmpeg -hide_banner -loglevel error -y -i '" + input.string() +
                                "' -c:v libxvid -q:v 4 -g 250 -bf 0 -an '" + reference.string() + "'";
    if (std::system(command.c_str()) != 0) GTEST_SKIP() << "the ffmpeg command is needed for the reference";
    const fs::path output = m_dir / "ours.avi";
    ASSERT_EQ(Convert(input, output, false), EC_COMPLETE);

    const testsupport::DecodedPictures source = testsupport::DecodePictures(input);
    const double ours = testsupport::Psnr(testsupport::DecodePictures(output), source);
    const double theirs = testsupport::Psnr(testsupport::DecodePictures(reference), source);
    EXPECT_GT(ours, theirs - 0.3) << "ours " << ours << " dB, the ffmpeg command's " << theirs << " dB";
    const double ratio =
        static_cast<double>(fs::file_size(output)) / static_cast<double>(fs::file_size(reference));
    EXPECT_NEAR(ratio, 1.0, 0.03);
}

TEST_F(RecompressionGraphTest, ProgressRunsFromTheInputsDurationToTheTimeWritten) {
    const fs::path input = SamplePath("mpeg4_mp3.avi");
    ASSERT_EQ(Build(input, m_dir / "progress.avi"), S_OK);
    EXPECT_NEAR(static_cast<double>(m_graph.duration) / 1e7, ReadBack(input).durationSeconds, 0.1);
    LONG code = 0;
    ASSERT_EQ(m_graph.events->WaitForCompletion(60000, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    LONGLONG position = 0;
    EXPECT_EQ(m_graph.seeking->GetCurrentPosition(&position), S_OK);
    EXPECT_NEAR(static_cast<double>(position), static_cast<double>(m_graph.duration), 0.1e7);
}

TEST_F(RecompressionGraphTest, TheBoundCompressorStaysWithTheCaller) {
    ASSERT_EQ(Build(SamplePath("video_only.avi"), m_dir / "out.avi"), S_OK);
    EXPECT_TRUE(m_compressor) << "bound for the job and kept afterwards";
    EXPECT_EQ(WaitStopAndTearDown(), EC_COMPLETE);
    EXPECT_TRUE(m_compressor);
}

TEST_F(RecompressionGraphTest, AnUnknownDurationCountsAsTwentySecondsWithAWarning) {
    // A raw MPEG-4 elementary stream has no duration that libavformat could tell.
    const fs::path input = m_dir / "raw.m4v";
    const std::string command =
        "ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=2 "
        "-c:v mpeg4 -f m4v '" +
        input.string() + "'";
    if (std::system(command.c_str()) != 0) GTEST_SKIP() << "the ffmpeg command is needed to make the input";

    ASSERT_EQ(Build(input, m_dir / "warned.avi"), S_OK);
    EXPECT_EQ(m_graph.duration, 200'000'000);
    EXPECT_EQ(m_messages.Messages(),
              std::vector<std::string>{"無法取得來源檔案的持續.\r\n\r\n再壓縮應可正常作業, 但是\r\n"
                                       "進度列可能無法確實地跟蹤壓縮進度."});
    EXPECT_EQ(WaitStopAndTearDown(), EC_COMPLETE);
    EXPECT_NEAR(m_lastPercent, 10, 1) << "two seconds measured against twenty";
    EXPECT_EQ(ReadBack(m_dir / "warned.avi").Video().packetCount, 50);

    m_messages.Clear();
    ASSERT_EQ(Build(input, m_dir / "quiet.avi", true, true), S_OK);
    EXPECT_EQ(m_graph.duration, 200'000'000);
    EXPECT_TRUE(m_messages.Messages().empty()) << "warnings ignored";
    EXPECT_EQ(WaitStopAndTearDown(), EC_COMPLETE);
}

// The writer's file beside it (".<name>.<tag>") takes 8 bytes more, which the system's limit
// must leave room for.
TEST_F(RecompressionGraphTest, AnOutputPathOf4087BytesIsAccepted) {
    std::string folder = m_dir.string();
    while (folder.size() + 250 < 4087 - 10) folder += "/" + std::string(200, 'd');
    fs::create_directories(folder);
    folder += "/";
    const fs::path output = folder + std::string(4087 - folder.size() - 4, 'a') + ".avi";
    ASSERT_EQ(output.string().size(), 4087u);
    ASSERT_EQ(Convert(SamplePath("video_only.avi"), output), EC_COMPLETE);
    EXPECT_TRUE(ReadBack(output).Ok());
}

TEST_F(RecompressionGraphTest, BrokenButReadableInputsEndAndLeaveAReadableFile) {
    for (const char* name : {"truncated.mpg", "corrupt_middle.avi"}) {
        const fs::path output = m_dir / (std::string(name) + ".avi");
        ASSERT_EQ(Build(SamplePath(name), output), S_OK) << name;
        EXPECT_NE(WaitStopAndTearDown(), 0) << name << " must end";
        const auto out = ReadBack(output);
        EXPECT_TRUE(out.Ok()) << name << ": " << out.error;
        EXPECT_TRUE(out.HasVideo()) << name;
    }
    EXPECT_TRUE(m_messages.Messages().empty());
}

// ---- failures ----------------------------------------------------------------------------------

TEST_F(RecompressionGraphTest, AMissingInputOrAPlainFolderFailsAtTheInputCheck) {
    const std::string missing = "指定的輸入檔案不存在.\r\n\r\n請提供一個有效的媒介檔案名稱.";
    ExpectFailureWith(Build(m_dir / "missing.mpg", m_dir / "out.avi"), missing);
    m_messages.Clear();
    fs::create_directories(m_dir / "folder.mpg");
    ExpectFailureWith(Build(m_dir / "folder.mpg", m_dir / "out.avi"), missing);
    EXPECT_FALSE(fs::exists(m_dir / "out.avi")) << "nothing was built";
}

TEST_F(RecompressionGraphTest, AFolderWithMoreAttributesFailsToLoadAsASource) {
    fs::create_directories(m_dir / ".hidden.mpg");  // directory and hidden
    ExpectFailureWith(Build(m_dir / ".hidden.mpg", m_dir / "out.avi"), "無法載入檔案的來源濾鏡");
}

TEST_F(RecompressionGraphTest, AnOutputPathOver4095BytesIsRefusedBeforeAnythingIsBuilt) {
    const std::string folder = m_dir.string() + "/";
    const fs::path output = folder + std::string(4096 - folder.size() - 4, 'a') + ".avi";
    ASSERT_EQ(output.string().size(), 4096u);
    ExpectFailureWith(Build(SamplePath("mpeg1_mp2.mpg"), output), "檔案名稱太長.");
    std::error_code tooLong;
    EXPECT_FALSE(fs::exists(output, tooLong));

    // Bytes count, not characters: 1,366 three-byte characters are 4,099 bytes.
    m_messages.Clear();
    std::string chinese;
    for (int i = 0; i < 1366; ++i) chinese += "檔";
    ExpectFailureWith(Build(SamplePath("mpeg1_mp2.mpg"), "/" + chinese), "檔案名稱太長.");
}

TEST_F(RecompressionGraphTest, AnOutputFolderThatDoesNotExistFailsAtTheWriter) {
    ExpectFailureWith(Build(SamplePath("mpeg1_mp2.mpg"), m_dir / "nope" / "out.avi"),
                      "無法設定 MUX 和檔案寫入");
}

TEST_F(RecompressionGraphTest, NoCompressorAtTheIndexFailsWhenItIsAdded) {
    const std::string message =
        "無法加入選取的壓縮到圖形.\r\n\r\n輸入檔案可能不相容於選取的編碼.\r\n"
        "某些編碼 (例如 Windows Media 編碼或已啟用 DRM 編碼)\r\n無法在無適當授權下使用.";
    for (LONG index : {-1, 100000}) {
        m_messages.Clear();
        ExpectFailureWith(BuildWith(index, SamplePath("mpeg1_mp2.mpg"), m_dir / "out.avi"), message);
        EXPECT_FALSE(m_compressor) << index;
    }
}

TEST_F(RecompressionGraphTest, ACompressorThatRefusesTheFrameSizeFailsAtItsConnection) {
    const std::string message =
        "無法連接視訊到選取的壓縮.\r\n\r\n輸入檔案可能不相容於\r\n選取的編碼.  不是所有編碼都相容.";
    // H.261 takes 176x144 and 352x288 pictures only.
    const LONG h261 = CompressorNamed("H.261");
    if (h261 < 0) GTEST_SKIP() << "no H.261 compressor installed";
    ExpectFailureWith(BuildWith(h261, SamplePath("mpeg1_mp2.mpg"), m_dir / "out.avi"), message);
}

TEST_F(RecompressionGraphTest, InputsWithoutVideoFailAtTheVideoChain) {
    for (const char* name : {"audio_only.mpg", "not_media.avi", "empty.mpg"}) {
        m_messages.Clear();
        const HRESULT hr = Build(SamplePath(name), m_dir / "out.avi");
        EXPECT_LT(hr, 0) << name;
        ASSERT_EQ(m_messages.Messages().size(), 1u) << name;
        EXPECT_EQ(m_messages.Messages()[0], "無法連接視訊鏈") << name;
        m_compressor.Reset();
        EXPECT_EQ(media::LiveObjectCount(), 0) << name;
    }
}

TEST_F(RecompressionGraphTest, UnreadableNamesDoNotShiftTheCompressorOfAJob) {
    // Entry 1 in the list is the H.261 compressor, because the entry before it cannot be named;
    // binding the unnamed Motion JPEG one instead would let the connection succeed.
    if (CompressorNamed("H.261") < 0) GTEST_SKIP() << "no H.261 compressor installed";
    media::SetCompressorCatalogueForTesting(
        {{.friendlyName = "Xvid", .encoderName = "libxvid"},
         {.friendlyName = "MJPEG", .encoderName = "mjpeg", .nameUnreadable = true},
         {.friendlyName = "H.261", .encoderName = "h261"}});
    const HRESULT hr = BuildWith(1, SamplePath("mpeg1_mp2.mpg"), m_dir / "out.avi");
    media::ResetCompressorCatalogueForTesting();
    ExpectFailureWith(
        hr, "無法連接視訊到選取的壓縮.\r\n\r\n輸入檔案可能不相容於\r\n選取的編碼.  不是所有編碼都相容.");
}

}  // namespace
