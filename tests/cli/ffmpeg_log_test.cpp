// FFmpeg's own messages: none by default, its warnings with --verbose.

#include <gtest/gtest.h>

#include "convert_run.h"
#include "support/samples_dir.h"

namespace clitest {
namespace {

// FFmpeg prefixes its messages with the object that logs them: "[mpeg4 @ 0x55...] ...".
bool HasFfmpegMessage(const std::string& errors) {
    return errors.find(" @ 0x") != std::string::npos;
}

TEST(FfmpegLog, QuietByDefaultAndWarningsWithVerbose) {
    ScratchFolder folder("ffmpeg-log");
    // The noise in the middle of this file makes the MPEG-4 decoder complain.
    const std::string input = testsupport::SamplePath("corrupt_middle.avi").string();

    const ConvertRun quiet = RunConvert({"-o", (folder / "quiet.avi").string(), input});
    ASSERT_TRUE(quiet.Succeeded()) << quiet.errors;
    EXPECT_FALSE(HasFfmpegMessage(quiet.errors)) << quiet.errors;

    const ConvertRun verbose = RunConvert({"--verbose", "-o", (folder / "verbose.avi").string(), input});
    ASSERT_TRUE(verbose.Succeeded()) << verbose.errors;
    EXPECT_TRUE(HasFfmpegMessage(verbose.errors)) << verbose.errors;
}

}  // namespace
}  // namespace clitest
