// A QuickTime file trimmed by an edit list, converted by tessarel-convert: the output holds what a player
// shows of the input, not the footage the edit cuts away.

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "convert_run.h"
#include "support/decoded_pictures.h"
#include "support/read_back.h"
#include "support/samples_dir.h"

namespace clitest {
namespace {

using testsupport::ReadBack;
using testsupport::SamplePath;
using testsupport::DecodePictures;

TEST(EditListConversion, OutputHoldsWhatAPlayerShows) {
    ScratchFolder folder("edit-list");
    const std::filesystem::path input = SamplePath("trimmed.mov");
    const std::filesystem::path output = folder / "trimmed.avi";
    const ConvertRun run = RunConvert({"-o", output.string(), input.string()});
    ASSERT_TRUE(run.Succeeded()) << run.errors;

    const testsupport::MediaSummary in = ReadBack(input);
    const testsupport::MediaSummary out = ReadBack(output);
    ASSERT_TRUE(out.Ok()) << out.error;
    ASSERT_TRUE(out.HasVideo() && out.HasAudio());

    // Pictures: as many as a player shows, from time 0, and the same ones at both ends.
    ASSERT_EQ(in.Video().shownFrames, 117) << "the sample is not trimmed as it should be";
    EXPECT_EQ(out.Video().shownFrames, in.Video().shownFrames);
    ASSERT_FALSE(out.Video().shownFrameTimes.empty());
    EXPECT_NEAR(out.Video().shownFrameTimes.front(), 0.0, 1e-6);
    EXPECT_GT(testsupport::Psnr(DecodePictures(output, 0, 1), DecodePictures(input, 0, 1)), 30.0) << "first picture";
    EXPECT_GT(testsupport::Psnr(DecodePictures(output, 116, 1), DecodePictures(input, 116, 1)), 30.0)
        << "last picture";

    // Audio: copied in whole packets, starting within 40 ms of the video (a player starts both at
    // the edit), and holding everything a player plays but at most the packet that straddles the
    // edit. The packets are about the same size, so twice the average bounds one.
    const testsupport::StreamSummary& audioIn = in.Audio();
    const testsupport::StreamSummary& audioOut = out.Audio();
    EXPECT_GT(audioIn.discardedPackets, 0);
    EXPECT_NEAR(audioOut.firstPts, 0.0, 0.040);
    ASSERT_LE(audioOut.audioBytes.size(), audioIn.audioBytes.size());
    const std::size_t missing = audioIn.audioBytes.size() - audioOut.audioBytes.size();
    EXPECT_LE(missing, 2 * audioIn.audioBytes.size() / static_cast<std::size_t>(audioIn.packetCount));
    EXPECT_TRUE(std::equal(audioOut.audioBytes.begin(), audioOut.audioBytes.end(),
                           audioIn.audioBytes.begin() + static_cast<std::ptrdiff_t>(missing)))
        << "the audio is carried byte for byte";
}

}  // namespace
}  // namespace clitest
