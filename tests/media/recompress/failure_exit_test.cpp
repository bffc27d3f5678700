// Inputs that cannot give a playable output: recompress says so and exits non-zero, never 0.

#include <filesystem>

#include <gtest/gtest.h>

#include "recompress_run.h"
#include "support/read_back.h"
#include "support/samples_dir.h"

namespace recompresstest {
namespace {

TEST(FailureExit, AnInputWithoutOneDecodablePictureFails) {
    ScratchFolder folder("no-picture");
    const RecompressRun run =
        RunRecompress({testsupport::SamplePath("no_picture.avi").string(), (folder / "out.avi").string()});
    EXPECT_FALSE(run.timedOut);
    EXPECT_FALSE(run.Crashed()) << "signal " << run.signal;
    EXPECT_EQ(run.exitCode, 1) << run.errors;
}

TEST(FailureExit, AudioThatNoReaderOpensIsRefusedAtItsConnection) {
    ScratchFolder folder("many-channels");
    const std::string input = testsupport::SamplePath("many_channels.avi").string();
    const RecompressRun run = RunRecompress({input, (folder / "out.avi").string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.errors.find("無法連接要 mux 的音訊"), std::string::npos) << run.errors;

    // Without the audio the same input converts.
    const std::filesystem::path videoOnly = folder / "video_only.avi";
    const RecompressRun silent = RunRecompress({"--no-audio", input, videoOnly.string()});
    ASSERT_TRUE(silent.Succeeded()) << silent.errors;
    const testsupport::MediaSummary out = testsupport::ReadBack(videoOnly);
    EXPECT_EQ(out.CountOf(AVMEDIA_TYPE_AUDIO), 0);
    ASSERT_TRUE(out.HasVideo());
    EXPECT_EQ(out.Video().shownFrames, 75);
}

}  // namespace
}  // namespace recompresstest
