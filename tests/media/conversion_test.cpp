// Whole conversions through the real media layer, read back with libavformat alone.

#include <chrono>
#include <cstdlib>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <tuple>

#include <gtest/gtest.h>

#include "conversion_graph.h"
#include "media/com/wide_text.h"
#include "support/decoded_pictures.h"
#include "support/read_back.h"
#include "support/samples_dir.h"

namespace fs = std::filesystem;
using testsupport::ReadBack;
using testsupport::SamplePath;

namespace {

class ConversionTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("tessarel-conversion-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        m_xvid = tools::AutomaticCompressorIndex(tools::CompressorNames());
        ASSERT_GE(m_xvid, 0) << "the Xvid compressor must be installed";
    }
    void TearDown() override { fs::remove_all(m_dir); }

    // Runs a built graph to its end; returns the event code (0 when it did not end in time).
    static LONG RunToEnd(tools::ConversionGraph& job, int timeoutMs = 60000) {
        if (FAILED(job.control->Run())) return -1;
        LONG code = 0;
        for (int waited = 0; code == 0 && waited < timeoutMs; waited += 100) job.events->WaitForCompletion(100, &code);
        job.control->Stop();
        return code;
    }

    LONG Convert(const std::string& sample, const fs::path& output, bool keepAudio, bool* hadAudio = nullptr) {
        tools::ConversionGraph job;
        std::string error;
        const HRESULT hr =
            tools::BuildConversionGraph(SamplePath(sample).string(), output.string(), m_xvid, keepAudio, job, error);
        EXPECT_EQ(hr, S_OK) << sample << ": " << error;
        if (FAILED(hr)) return -1;
        if (hadAudio) *hadAudio = job.hasAudio;
        return RunToEnd(job);
    }

    fs::path m_dir;
    int m_xvid = -1;
};

struct ValidSample {
    const char* name;
    bool hasAudio;
};

class ValidSampleConversion : public ConversionTest, public ::testing::WithParamInterface<ValidSample> {};

TEST_P(ValidSampleConversion, KeepsSizeFramesTimingAndAudioBytes) {
    const ValidSample sample = GetParam();
    const fs::path output = m_dir / "out.avi";
    bool hadAudio = false;
    ASSERT_EQ(Convert(sample.name, output, true, &hadAudio), EC_COMPLETE);
    EXPECT_EQ(hadAudio, sample.hasAudio);

    const auto in = ReadBack(SamplePath(sample.name));
    const auto out = ReadBack(output);
    ASSERT_TRUE(out.Ok()) << out.error;
    EXPECT_EQ(out.formatName, "avi");
    EXPECT_TRUE(out.aviIndex.hasIdx1 || out.aviIndex.hasOpenDmlIndex);
    const auto& vin = in.Video();
    const auto& vout = out.Video();
    EXPECT_EQ(vout.codecId, AV_CODEC_ID_MPEG4);
    EXPECT_EQ(vout.fourcc, "XVID");
    EXPECT_EQ(vout.width, vin.width);
    EXPECT_EQ(vout.height, vin.height);
    EXPECT_NEAR(static_cast<double>(vout.packetCount), static_cast<double>(vin.packetCount), 1.0);
    // Frame times follow the input's, measured from the start of the file.
    ASSERT_FALSE(vin.videoPts.empty());
    ASSERT_EQ(vout.videoPts.size(), vin.videoPts.size());
    // The file's time zero is its earliest stream start. AVI frames sit on a frame grid (half a
    // frame of rounding), and AAC priming before zero makes the audio start up to 23 ms later.
    // These samples have a constant frame rate; packets of MPEG program streams often carry no
    // presentation time, so frame i is placed from the first and last frames' times.
    const double firstFrame = vin.videoPts.front();
    const double inStart = std::min(firstFrame, in.HasAudio() ? in.Audio().firstPts : firstFrame);
    const double frameTime = (vin.videoPts.back() - firstFrame) / static_cast<double>(vin.videoPts.size() - 1);
    for (std::size_t i = 0; i < vout.videoPts.size(); i += 7) {
        EXPECT_NEAR(vout.videoPts[i], firstFrame - inStart + static_cast<double>(i) * frameTime, 0.03) << "frame " << i;
    }
    ASSERT_EQ(out.HasAudio(), sample.hasAudio);
    if (sample.hasAudio) {
        const auto& ain = in.Audio();
        const auto& aout = out.Audio();
        EXPECT_EQ(aout.sampleRate, ain.sampleRate);
        EXPECT_EQ(aout.channels, ain.channels);
        if (ain.codecId == AV_CODEC_ID_PCM_S16BE) {
            // Big-endian PCM arrives as little-endian PCM with the same samples.
            EXPECT_EQ(aout.codecId, AV_CODEC_ID_PCM_S16LE);
            ASSERT_EQ(aout.audioBytes.size(), ain.audioBytes.size());
            bool same = true;
            for (std::size_t i = 0; i + 1 < ain.audioBytes.size() && same; i += 2) {
                same = aout.audioBytes[i] == ain.audioBytes[i + 1] && aout.audioBytes[i + 1] == ain.audioBytes[i];
            }
            EXPECT_TRUE(same) << "samples changed";
        } else {
            EXPECT_EQ(aout.codecId, ain.codecId);
            EXPECT_EQ(aout.audioMd5, ain.audioMd5) << "audio payload must be carried byte for byte";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, ValidSampleConversion,
                         ::testing::Values(ValidSample{"mpeg1_mp2.mpg", true}, ValidSample{"mpeg2_ac3.mpg", true},
                                           ValidSample{"mpeg4_mp3.avi", true}, ValidSample{"mjpeg_pcm.avi", true},
                                           ValidSample{"h264_aac.mov", true}, ValidSample{"pcm_be.mov", true},
                                           ValidSample{"video_only.avi", false}),
                         [](const auto& param) {
                             std::string n = param.param.name;
                             for (char& c : n) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return n;
                         });

int CompressorNamed(const std::string& name) {
    const auto names = tools::CompressorNames();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == name) return static_cast<int>(i);
    }
    return -1;
}

TEST_F(ConversionTest, AnOddFrameSizeLosesItsLastColumnAndRowToXvidAndNothingToTheOtherMpeg4Encoder) {
    // Xvid codes even frame sizes only: it codes 320x240 of the 321x241 pictures.
    for (const auto& [compressor, width, height] :
         {std::tuple{m_xvid, 320, 240}, std::tuple{CompressorNamed("MPEG-4 part 2"), 321, 241}}) {
        ASSERT_GE(compressor, 0);
        tools::ConversionGraph job;
        std::string error;
        const fs::path output = m_dir / ("odd" + std::to_string(compressor) + ".avi");
        ASSERT_EQ(tools::BuildConversionGraph(SamplePath("odd_size.avi").string(), output.string(), compressor, true,
                                              job, error),
                  S_OK)
            << error;
        ASSERT_EQ(RunToEnd(job), EC_COMPLETE);
        job = {};
        const auto in = ReadBack(SamplePath("odd_size.avi"));
        const auto out = ReadBack(output);
        ASSERT_TRUE(out.Ok()) << out.error;
        EXPECT_EQ(out.Video().width, width);
        EXPECT_EQ(out.Video().height, height);
        EXPECT_EQ(out.Video().packetCount, in.Video().packetCount);
        EXPECT_EQ(out.Audio().audioMd5, in.Audio().audioMd5);
        const double psnr = testsupport::Psnr(testsupport::DecodePictures(output),
                                               testsupport::DecodePictures(SamplePath("odd_size.avi")));
        // The sample's hard colour edges lose much to 4:2:0; a shifted or garbled picture loses more.
        EXPECT_GT(psnr, 20.0) << compressor;
    }
}

TEST_F(ConversionTest, XvidCodesAtTheSameQuantizerAsTheFfmpegCommand) {
    // The constant quantizer of 4 has to reach every picture: a graph that loses it still makes
    // a valid file, only a much larger or worse one.
    const fs::path reference = m_dir / "reference.avi";
    const std::string command = "ffmpeg -hide_banner -loglevel error -y -i '" + SamplePath("mpeg1_mp2.mpg").string() +
                                "' -c:v libxvid -q:v 4 -g 250 -bf 0 -an '" + reference.string() + "'";
    if (std::system(command.c_str()) != 0) GTEST_SKIP() << "the ffmpeg command is needed for the reference";
    const fs::path output = m_dir / "ours.avi";
    ASSERT_EQ(Convert("mpeg1_mp2.mpg", output, false), EC_COMPLETE);
    const double ratio = static_cast<double>(fs::file_size(output)) / static_cast<double>(fs::file_size(reference));
    EXPECT_GT(ratio, 0.7);
    EXPECT_LT(ratio, 1.3);
}

TEST_F(ConversionTest, WithoutAudioTheOutputHasVideoOnly) {
    const fs::path output = m_dir / "silent.avi";
    bool hadAudio = true;
    ASSERT_EQ(Convert("mpeg1_mp2.mpg", output, false, &hadAudio), EC_COMPLETE);
    EXPECT_FALSE(hadAudio);
    const auto out = ReadBack(output);
    ASSERT_TRUE(out.Ok()) << out.error;
    EXPECT_TRUE(out.HasVideo());
    EXPECT_FALSE(out.HasAudio());
}

TEST_F(ConversionTest, AGapInVariableFrameRateVideoStaysAGap) {
    const fs::path output = m_dir / "vfr.avi";
    ASSERT_EQ(Convert("vfr.mov", output, true), EC_COMPLETE);
    const auto in = ReadBack(SamplePath("vfr.mov"));
    const auto out = ReadBack(output);
    ASSERT_TRUE(out.Ok()) << out.error;
    const auto& pts = out.Video().videoPts;
    ASSERT_EQ(pts.size(), in.Video().videoPts.size());
    EXPECT_NEAR(pts.back(), in.Video().videoPts.back() - in.Video().firstPts, 0.021) << "no drift after the gap";
    // Audio runs the full length beside it.
    EXPECT_NEAR(out.Audio().lastPts, in.Audio().lastPts - in.Audio().firstPts, 0.05);
}

TEST_F(ConversionTest, ALateVideoStartKeepsItsOffsetAgainstTheAudio) {
    if (!fs::exists(SamplePath("late_video.mov"))) GTEST_SKIP() << "sample not made";
    const fs::path output = m_dir / "late.avi";
    ASSERT_EQ(Convert("late_video.mov", output, true), EC_COMPLETE);
    const auto out = ReadBack(output);
    ASSERT_TRUE(out.Ok()) << out.error;
    EXPECT_NEAR(out.Video().firstPts, 0.5, 0.041);
    EXPECT_NEAR(out.Audio().firstPts, 0.0, 0.021);
}

TEST_F(ConversionTest, InputsThatAreNotVideoFailToBuild) {
    for (const char* name : {"audio_only.mpg", "empty.mpg", "not_media.avi"}) {
        tools::ConversionGraph job;
        std::string error;
        const HRESULT hr = tools::BuildConversionGraph(SamplePath(name).string(), (m_dir / "x.avi").string(), m_xvid,
                                                       true, job, error);
        EXPECT_LT(hr, 0) << name;
    }
}

TEST_F(ConversionTest, MissingInputsAndFoldersFailAtTheSource) {
    fs::create_directories(m_dir / "folder.mpg");
    for (const fs::path& input : {m_dir / "missing.mpg", m_dir / "no-such-dir" / "a.mpg", m_dir / "folder.mpg"}) {
        tools::ConversionGraph job;
        std::string error;
        EXPECT_LT(tools::BuildConversionGraph(input.string(), (m_dir / "x.avi").string(), m_xvid, true, job, error), 0)
            << input;
        EXPECT_EQ(error, "cannot open the input file") << input;
    }
}

TEST_F(ConversionTest, AnOutputFolderThatDoesNotExistFailsBeforeRunning) {
    tools::ConversionGraph job;
    std::string error;
    EXPECT_LT(tools::BuildConversionGraph(SamplePath("mpeg1_mp2.mpg").string(), (m_dir / "nope" / "x.avi").string(),
                                          m_xvid, true, job, error),
              0);
    EXPECT_EQ(error, "cannot set up the AVI multiplexer and file writer");
}

TEST_F(ConversionTest, TheInputIsNeverOverwritten) {
    const fs::path input = m_dir / "same.avi";
    fs::copy_file(SamplePath("mjpeg_pcm.avi"), input);
    const auto before = fs::file_size(input);
    tools::ConversionGraph job;
    std::string error;
    const HRESULT hr = tools::BuildConversionGraph(input.string(), input.string(), m_xvid, true, job, error);
    if (SUCCEEDED(hr)) {
        EXPECT_LT(job.control->Run(), 0) << "writing over the input must be refused";
    }
    job = {};
    EXPECT_EQ(fs::file_size(input), before);
    EXPECT_TRUE(ReadBack(input).Ok());
}

TEST_F(ConversionTest, BrokenInputsEndWithAnEventAndAReadableFile) {
    for (const char* name : {"truncated.mpg", "corrupt_middle.avi"}) {
        const fs::path output = m_dir / (std::string(name) + ".avi");
        const LONG code = Convert(name, output, true);
        EXPECT_TRUE(code == EC_COMPLETE || code == EC_ERRORABORT) << name << " ended with " << code;
        const auto out = ReadBack(output);
        EXPECT_TRUE(out.Ok()) << name << ": " << out.error;
        EXPECT_GT(out.Video().packetCount, 0) << name;
    }
}

TEST_F(ConversionTest, StoppedAtAnyMomentLeavesAValidIndexedFile) {
    for (int delayMs : {0, 30, 120}) {
        const fs::path output = m_dir / ("stopped" + std::to_string(delayMs) + ".avi");
        tools::ConversionGraph job;
        std::string error;
        ASSERT_EQ(tools::BuildConversionGraph(SamplePath("mpeg2_ac3.mpg").string(), output.string(), m_xvid, true, job,
                                              error),
                  S_OK)
            << error;
        ASSERT_EQ(job.control->Run(), S_OK);
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        ASSERT_EQ(job.control->Stop(), S_OK);
        job = {};
        const auto out = ReadBack(output);
        EXPECT_TRUE(out.Ok()) << delayMs << ": " << out.error;
        // A stop before the first frame leaves a valid file with nothing to index.
        std::int64_t packets = 0;
        for (const auto& stream : out.streams) packets += stream.packetCount;
        if (packets > 0) {
            EXPECT_TRUE(out.aviIndex.HasIndex()) << delayMs;
        }
    }
}

TEST_F(ConversionTest, SeekingReportsTheInputDurationAndTheTimeWritten) {
    tools::ConversionGraph job;
    std::string error;
    ASSERT_EQ(tools::BuildConversionGraph(SamplePath("mpeg4_mp3.avi").string(), (m_dir / "s.avi").string(), m_xvid,
                                          true, job, error),
              S_OK)
        << error;
    DWORD caps = 0;
    EXPECT_EQ(job.seeking->GetCapabilities(&caps), S_OK);
    LONGLONG duration = 0;
    ASSERT_EQ(job.seeking->GetDuration(&duration), S_OK);
    EXPECT_NEAR(static_cast<double>(duration) / 1e7, ReadBack(SamplePath("mpeg4_mp3.avi")).durationSeconds, 0.1);
    ASSERT_EQ(RunToEnd(job), EC_COMPLETE);
    LONGLONG position = 0;
    EXPECT_EQ(job.seeking->GetCurrentPosition(&position), S_OK);
    EXPECT_NEAR(static_cast<double>(position), static_cast<double>(duration), 0.1e7);
}

}  // namespace
