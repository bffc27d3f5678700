// Inputs that cannot give a playable output: tessarel-convert says so and exits non-zero, never 0.

#include <filesystem>

#include <gtest/gtest.h>

#include "convert_run.h"
#include "support/read_back.h"
#include "support/samples_dir.h"

namespace clitest {
namespace {

TEST(FailureExit, AnInputWithoutOneDecodablePictureFails) {
    ScratchFolder folder("no-picture");
    const ConvertRun run =
        RunConvert({"-o", (folder / "out.avi").string(), testsupport::SamplePath("no_picture.avi").string()});
    EXPECT_FALSE(run.timedOut);
    EXPECT_FALSE(run.Crashed()) << "signal " << run.signal;
    EXPECT_EQ(run.exitCode, 1) << run.errors;
    EXPECT_NE(run.errors.find("failed part-way: not one picture could be decoded (AVI Mux, stream Video 0)"),
              std::string::npos)
        << run.errors;
}

TEST(FailureExit, AudioThatNoReaderOpensIsRefusedAtItsConnection) {
    ScratchFolder folder("many-channels");
    const std::string input = testsupport::SamplePath("many_channels.avi").string();
    const ConvertRun run = RunConvert({"-o", (folder / "out.avi").string(), input});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.errors.find("無法連接要 mux 的音訊"), std::string::npos) << run.errors;

    // Without the audio the same input converts.
    const std::filesystem::path videoOnly = folder / "video_only.avi";
    const ConvertRun silent = RunConvert({"--no-audio", "-o", videoOnly.string(), input});
    ASSERT_TRUE(silent.Succeeded()) << silent.errors;
    const testsupport::MediaSummary out = testsupport::ReadBack(videoOnly);
    EXPECT_EQ(out.CountOf(AVMEDIA_TYPE_AUDIO), 0);
    ASSERT_TRUE(out.HasVideo());
    EXPECT_EQ(out.Video().shownFrames, 75);
}

}  // namespace
}  // namespace clitest
