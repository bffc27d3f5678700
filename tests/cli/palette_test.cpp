// An uncompressed 8-bit palette AVI, converted by tessarel-convert with the default compressor: the
// output shows the input's colours, not black frames.

#include <array>
#include <filesystem>

#include <gtest/gtest.h>

#include "convert_run.h"
#include "support/decoded_pictures.h"
#include "support/samples_dir.h"

namespace clitest {
namespace {

TEST(PaletteConversion, OutputKeepsThePalettesColours) {
    ScratchFolder folder("palette");
    const std::filesystem::path output = folder / "chart.avi";
    const ConvertRun run =
        RunConvert({"-o", output.string(), testsupport::SamplePath("chart_pal8.avi").string()});
    ASSERT_TRUE(run.Succeeded()) << run.errors;

    const testsupport::DecodedPictures picture = testsupport::DecodePictures(output, 0, 1);
    ASSERT_EQ(picture.rgb.size(), 1U) << picture.error;
    ASSERT_EQ(picture.width, 128);
    ASSERT_EQ(picture.height, 64);
    // The chart's blocks, left to right, top row first: red, green, blue, white, black, yellow,
    // cyan, magenta. Compression blurs their edges only; their middles keep their colours.
    constexpr std::array<std::array<int, 3>, 8> kChart = {{{255, 0, 0},
                                                           {0, 255, 0},
                                                           {0, 0, 255},
                                                           {255, 255, 255},
                                                           {0, 0, 0},
                                                           {255, 255, 0},
                                                           {0, 255, 255},
                                                           {255, 0, 255}}};
    for (int block = 0; block < 8; ++block) {
        const std::array<int, 3> colour = picture.At(0, block % 4 * 32 + 16, block / 4 * 32 + 16);
        for (int component = 0; component < 3; ++component) {
            EXPECT_NEAR(colour[component], kChart[block][component], 24)
                << "block " << block << " component " << component;
        }
    }
}

}  // namespace
}  // namespace clitest
