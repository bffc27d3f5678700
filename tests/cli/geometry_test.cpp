// Phone clips with a turning track matrix and DVD pictures with non-square pixels, converted by
// tessarel-convert: the output shows what a player shows of the input, at the same shape.

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/rational.h>
}

#include "convert_run.h"
#include "support/decoded_pictures.h"
#include "support/read_back.h"
#include "support/samples_dir.h"

namespace clitest {
namespace {

struct Shown {
    const char* sample;
    int width;  // of the shown picture
    int height;
    AVRational displayAspect;
};

TEST(GeometryConversion, OutputsShowThePicturesUprightAndAtTheirShape) {
    ScratchFolder folder("geometry");
    for (const Shown& c :
         {Shown{"rotate90.mov", 180, 320, {9, 16}}, Shown{"rotate180.mov", 320, 180, {16, 9}},
          Shown{"rotate270.mov", 180, 320, {9, 16}}, Shown{"mirrored.mov", 320, 180, {16, 9}},
          Shown{"dvd_ntsc_16x9.mpg", 720, 480, {16, 9}}, Shown{"dvd_ntsc_4x3.mpg", 720, 480, {4, 3}},
          Shown{"dvd_pal_16x9.mpg", 720, 576, {16, 9}}, Shown{"dvd_pal_4x3.mpg", 720, 576, {4, 3}}}) {
        SCOPED_TRACE(c.sample);
        const std::filesystem::path input = testsupport::SamplePath(c.sample);
        const std::filesystem::path output = folder / (std::string(c.sample) + ".avi");
        const ConvertRun run = RunConvert({"-o", output.string(), input.string()});
        ASSERT_TRUE(run.Succeeded()) << run.errors;

        const testsupport::MediaSummary in = testsupport::ReadBack(input);
        const testsupport::MediaSummary out = testsupport::ReadBack(output);
        ASSERT_TRUE(out.Ok()) << out.error;
        EXPECT_EQ(out.Video().width, c.width);
        EXPECT_EQ(out.Video().height, c.height);
        const AVRational sample = out.Video().sampleAspect;
        ASSERT_GT(sample.num, 0) << "the output says nothing of its pixels' shape";
        EXPECT_EQ(av_cmp_q(av_mul_q(sample, AVRational{c.width, c.height}), c.displayAspect), 0)
            << "pixels of " << sample.num << ":" << sample.den;
        EXPECT_EQ(out.HasAudio(), in.HasAudio());
        if (in.HasAudio()) {
            EXPECT_EQ(out.Audio().audioMd5, in.Audio().audioMd5);
        }

        const testsupport::DecodedPictures shown = testsupport::DecodePictures(input);
        ASSERT_EQ(shown.width, c.width) << "the sample is not shown as it should be";
        ASSERT_EQ(shown.height, c.height);
        EXPECT_GT(testsupport::Psnr(testsupport::DecodePictures(output), shown), 35.0);
    }
}

}  // namespace
}  // namespace clitest
