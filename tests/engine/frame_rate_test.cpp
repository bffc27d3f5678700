// Frame rates a compressor cannot code, from well-formed files and from damaged headers: the
// conversion maps them to rates the encoder codes, or refuses at the connection, and never
// crashes, hangs, touches its input or reports a file without pictures as done.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "recompression_fixture.h"
#include "support/decoded_pictures.h"
#include "support/read_back.h"
#include "support/samples_dir.h"

namespace fs = std::filesystem;
using testsupport::DecodePictures;
using testsupport::ReadBack;
using testsupport::SamplePath;

namespace {

using Bytes = std::vector<char>;

Bytes ReadFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& file, const Bytes& bytes) {
    std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void PutLe32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

void PutBe32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * (3 - i)));
}

// Offsets of every occurrence of tag in bytes.
std::vector<std::size_t> Find(const Bytes& bytes, std::string_view tag) {
    std::vector<std::size_t> found;
    for (auto at = std::search(bytes.begin(), bytes.end(), tag.begin(), tag.end()); at != bytes.end();
         at = std::search(at + 1, bytes.end(), tag.begin(), tag.end())) {
        found.push_back(static_cast<std::size_t>(at - bytes.begin()));
    }
    return found;
}

// An AVI whose video stream header says each frame lasts scale / rate seconds.
Bytes AviWithFrameRate(const Bytes& avi, std::uint32_t scale, std::uint32_t rate) {
    Bytes bytes = avi;
    for (std::size_t strh : Find(bytes, "strh")) {
        // The chunk's data follows its tag and size: fccType, fccHandler, dwFlags, wPriority,
        // wLanguage, dwInitialFrames, then dwScale and dwRate.
        if (strh + 8 + 28 > bytes.size() || std::string_view(&bytes[strh + 8], 4) != "vids") continue;
        PutLe32(bytes, strh + 8 + 20, scale);
        PutLe32(bytes, strh + 8 + 24, rate);
    }
    return bytes;
}

// A QuickTime file whose every track counts time in timescale units per second.
Bytes MovWithTimescale(const Bytes& mov, std::uint32_t timescale) {
    Bytes bytes = mov;
    // Version 0 'mdhd': version and flags, creation and modification times, then the time scale.
    for (std::size_t mdhd : Find(bytes, "mdhd")) PutBe32(bytes, mdhd + 4 + 12, timescale);
    return bytes;
}

class FrameRateTest : public RecompressionTest {
protected:
    enum class Outcome { Refused, Aborted, Converted, FalseSuccess, Hung };

    // Converts input with the default compressor and judges the output as a player would.
    Outcome Convert(const fs::path& input, const fs::path& output) {
        fs::remove(output);
        m_messages.Clear();
        if (FAILED(Build(input, output))) {
            m_compressor.Reset();
            return Outcome::Refused;
        }
        const LONG code = WaitStopAndTearDown();
        if (code == 0) return Outcome::Hung;
        if (code != EC_COMPLETE) return Outcome::Aborted;
        return DecodePictures(output).rgb.empty() ? Outcome::FalseSuccess : Outcome::Converted;
    }
};

TEST_F(FrameRateTest, FramesOf66000SecondsAreCodedWithTheirTimes) {
    const fs::path input = m_dir / "slow.avi";
    WriteFile(input, AviWithFrameRate(ReadFile(SamplePath("video_only.avi")), 66000, 1));
    const fs::path output = m_dir / "out.avi";
    ASSERT_EQ(Convert(input, output), Outcome::Converted);
    const auto in = ReadBack(input);
    const auto out = ReadBack(output);
    ASSERT_TRUE(out.Ok()) << out.error;
    EXPECT_EQ(out.Video().fourcc, "XVID");
    EXPECT_EQ(out.Video().packetCount, in.Video().packetCount);
    ASSERT_GE(out.Video().videoPts.size(), 3u);
    EXPECT_DOUBLE_EQ(out.Video().videoPts[1] - out.Video().videoPts[0], 66000.0);
    EXPECT_DOUBLE_EQ(out.Video().videoPts[2] - out.Video().videoPts[1], 66000.0);
    EXPECT_EQ(DecodePictures(output).rgb.size(), static_cast<std::size_t>(in.Video().packetCount));
}

// Every pair of extreme frame-rate fields, and extreme QuickTime time scales. A crash ends the
// test program; the other faults are counted and must all be zero.
TEST_F(FrameRateTest, DamagedFrameRateFieldsNeverCrashHangOrFakeSuccess) {
    const std::uint32_t values[] = {0, 1, 2, 1001, 65535, 65536, 66000, 1'000'000, 0x7FFF'FFFF, 0xFFFF'FFFF};
    const Bytes avi = ReadFile(SamplePath("catalogue_even.avi"));
    const Bytes mov = ReadFile(SamplePath("h264_aac.mov"));
    std::vector<std::pair<std::string, Bytes>> cases;
    for (std::uint32_t scale : values) {
        for (std::uint32_t rate : values) {
            cases.emplace_back("avi " + std::to_string(scale) + "/" + std::to_string(rate),
                               AviWithFrameRate(avi, scale, rate));
        }
    }
    for (std::uint32_t timescale : values) {
        cases.emplace_back("mov timescale " + std::to_string(timescale), MovWithTimescale(mov, timescale));
    }
    int counts[5] = {};
    const fs::path output = m_dir / "out.avi";
    for (const auto& [name, bytes] : cases) {
        const fs::path input = m_dir / (name.starts_with("avi") ? "in.avi" : "in.mov");
        WriteFile(input, bytes);
        const Outcome outcome = Convert(input, output);
        ++counts[static_cast<int>(outcome)];
        EXPECT_NE(outcome, Outcome::Hung) << name;
        EXPECT_NE(outcome, Outcome::FalseSuccess) << name;
        EXPECT_EQ(ReadFile(input), bytes) << name << ": the input changed";
    }
    RecordProperty("refused", counts[0]);
    RecordProperty("aborted", counts[1]);
    RecordProperty("converted", counts[2]);
    std::cout << cases.size() << " frame-rate cases: " << counts[0] << " refused, " << counts[1]
              << " aborted, " << counts[2] << " converted, " << counts[3] << " false successes, " << counts[4]
              << " hung\n";
}

}  // namespace
