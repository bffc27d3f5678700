// Every compressor of the catalogue, through the whole conversion graph, at an even and an odd
// frame size: each either refuses at its connection or writes a file whose pictures a player
// decodes, at the input's size (or the largest size of a multiple the encoder needs), with the
// input's frame count, a FourCC its decoder reads, and a quality near the Xvid compressor's.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "media/catalogue/compressor_catalogue.h"
#include "recompression_fixture.h"
#include "support/decoded_pictures.h"
#include "support/read_back.h"
#include "support/samples_dir.h"

namespace fs = std::filesystem;
using testsupport::DecodedPictures;
using testsupport::DecodePictures;
using testsupport::Psnr;
using testsupport::ReadBack;
using testsupport::SamplePath;

namespace {

// Encoders that code only pictures of fixed sizes (DV: 720x480 and 720x576), and refuse these;
// H.261 and H.263 code QCIF (176x144), which the unaligned picture has no part of.
const std::set<std::string> kRefuseTheseSizes{"dvvideo"};
const std::set<std::string> kRefuseUnaligned{"dvvideo", "h261", "h263"};

// Encoders whose formats cannot come near the Xvid compressor's quality: 5-bit RGB or luma, and
// 4:1:1 or 4:1:0 chroma. They still have to keep the picture recognisable.
const std::set<std::string> kCoarseFormats{"cljr", "msvideo1", "svq1", "y41p"};
// How far below the Xvid compressor's PSNR on the same picture an entry may be.
constexpr double kPsnrBelowXvid = 3.0;
constexpr double kLeastCoarsePsnr = 18.0;
// swscale's 4:2:0 chroma of a picture of odd size costs about 6 dB on this picture (the ffmpeg
// command loses as much), while Xvid codes the even part of it; odd sizes get a floor of their own.
constexpr double kLeastOddPsnr = 25.0;
// The largest size multiple an encoder may need: at most this many columns or rows less.
constexpr int kMostDropped = 15;

// The message of a compressor that refuses the picture at its connection.
constexpr const char* kRefusedAtConnection =
    "無法連接視訊到選取的壓縮.\r\n\r\n輸入檔案可能不相容於\r\n選取的編碼.  不是所有編碼都相容.";

class CatalogueWalk : public RecompressionTest, public ::testing::WithParamInterface<const char*> {
protected:
    // Converts sample with the compressor at index, without audio; false when the graph refused
    // to build.
    bool Convert(const fs::path& sample, int index, const fs::path& output, LONG& code) {
        m_messages.Clear();
        if (FAILED(BuildWith(index, sample, output, false))) {
            EXPECT_EQ(m_messages.Messages(), std::vector<std::string>{kRefusedAtConnection});
            m_compressor.Reset();
            return false;
        }
        code = WaitStopAndTearDown();
        return true;
    }
};

TEST_P(CatalogueWalk, EveryCompressorRefusesOrWritesAFileThatPlays) {
    const fs::path sample = SamplePath(GetParam());
    const DecodedPictures input = DecodePictures(sample);
    ASSERT_TRUE(input.error.empty()) << input.error;
    ASSERT_FALSE(input.rgb.empty());

    const std::vector<media::CompressorEntry> catalogue = media::InstalledCompressors();
    const auto xvid = std::find_if(catalogue.begin(), catalogue.end(), [](const media::CompressorEntry& e) {
        return e.encoderName == "libxvid";
    });
    ASSERT_NE(xvid, catalogue.end());
    const fs::path xvidOutput = m_dir / "reference.avi";
    LONG xvidCode = 0;
    ASSERT_TRUE(Convert(sample, static_cast<int>(xvid - catalogue.begin()), xvidOutput, xvidCode));
    const bool odd = input.width % 2 != 0;
    const double xvidPsnr = Psnr(DecodePictures(xvidOutput), input);
    ASSERT_GT(xvidPsnr, 28.0);
    const double leastPsnr = odd ? kLeastOddPsnr : xvidPsnr - kPsnrBelowXvid;

    const auto& refused =
        std::string(GetParam()).find("unaligned") != std::string::npos ? kRefuseUnaligned : kRefuseTheseSizes;
    std::ostringstream table;
    for (int index = 0; index < static_cast<int>(catalogue.size()); ++index) {
        const std::string& encoder = catalogue[index].encoderName;
        SCOPED_TRACE(encoder + " on " + GetParam());
        const fs::path output = m_dir / (encoder + ".avi");
        LONG code = 0;
        if (!Convert(sample, index, output, code)) {
            EXPECT_TRUE(refused.contains(encoder)) << "refused at the connection";
            EXPECT_FALSE(fs::exists(output) && fs::file_size(output) > 0 && ReadBack(output).HasVideo());
            table << encoder << "\trefused\n";
            continue;
        }
        EXPECT_FALSE(refused.contains(encoder)) << "took a size it cannot code";
        EXPECT_EQ(code, EC_COMPLETE);

        const auto summary = ReadBack(output);
        ASSERT_TRUE(summary.Ok()) << summary.error;
        ASSERT_TRUE(summary.HasVideo());
        EXPECT_EQ(summary.Video().fourcc.size(), 4u);
        const DecodedPictures coded = DecodePictures(output);
        ASSERT_TRUE(coded.error.empty()) << coded.error;
        EXPECT_EQ(coded.rgb.size(), input.rgb.size()) << "pictures a player shows";
        EXPECT_LE(coded.width, input.width);
        EXPECT_LE(coded.height, input.height);
        EXPECT_GT(coded.width, input.width - kMostDropped - 1);
        EXPECT_GT(coded.height, input.height - kMostDropped - 1);
        const double psnr = Psnr(coded, input);
        EXPECT_GE(psnr, kCoarseFormats.contains(encoder) ? kLeastCoarsePsnr : leastPsnr);
        table << encoder << "\t" << summary.Video().fourcc << "\t" << coded.width << "x" << coded.height
              << "\t" << psnr << " dB\n";
        fs::remove(output);
    }
    RecordProperty("catalogue", table.str());
    std::cout << table.str();
}

INSTANTIATE_TEST_SUITE_P(Sizes, CatalogueWalk,
                         ::testing::Values("catalogue_even.avi", "catalogue_odd.avi",
                                           "catalogue_unaligned.avi"),
                         [](const auto& sample) {
                             const std::string name = sample.param;
                             if (name.find("even") != std::string::npos) return "Even";
                             return name.find("odd") != std::string::npos ? "Odd" : "Unaligned";
                         });

}  // namespace
