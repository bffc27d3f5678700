// The index scan on real AVI files, on AVI files cut short as a crashed writer leaves them, and on
// a hand-built OpenDML layout, since making a real file past 1 GiB is too slow for a unit test.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/avi_index.h"
#include "support/samples_dir.h"

namespace testsupport {
namespace {

std::filesystem::path TempFile(const std::string& name) {
    return std::filesystem::temp_directory_path() /
           (::testing::UnitTest::GetInstance()->current_test_info()->name() + ("_" + name));
}

void CopyPrefix(const std::filesystem::path& from, const std::filesystem::path& to, std::uintmax_t bytes) {
    std::ifstream in(from, std::ios::binary);
    std::vector<char> data(bytes);
    in.read(data.data(), static_cast<std::streamsize>(data.size()));
    std::ofstream(to, std::ios::binary).write(data.data(), in.gcount());
}

// Builds RIFF chunks the way a writer lays them out: id, little-endian size, body, even padding.
class Riff {
public:
    static std::string Chunk(const std::string& id, const std::string& body) {
        std::string chunk = id + U32(static_cast<std::uint32_t>(body.size())) + body;
        if (body.size() % 2 != 0) chunk += '\0';
        return chunk;
    }
    static std::string List(const std::string& type, const std::string& body) {
        return Chunk("LIST", type + body);
    }
    static std::string U32(std::uint32_t value) {
        std::string bytes;
        for (int i = 0; i < 4; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFFU);
        return bytes;
    }
    // wLongsPerEntry 4, sub type 0, AVI_INDEX_OF_INDEXES, then entries in use and the chunk id.
    static std::string SuperIndex(std::uint32_t entriesInUse) {
        return Chunk("indx", std::string("\x04\x00\x00\x00", 4) + U32(entriesInUse) + "00dc" +
                                 std::string(12 + 16 * 4, '\0'));
    }
};

void Write(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

TEST(AviIndex, FinishedAviFilesHaveIdx1) {
    for (const char* name : {"mpeg4_mp3.avi", "mjpeg_pcm.avi", "video_only.avi", "odd_size.avi"}) {
        const AviIndexInfo info = ScanAviIndex(SamplePath(name));
        EXPECT_TRUE(info.isAvi) << name;
        EXPECT_EQ(info.riffChunks, 1) << name;
        EXPECT_TRUE(info.hasIdx1) << name;
        // The writer reserves an empty super index in small files; it must not count.
        EXPECT_FALSE(info.hasOpenDmlIndex) << name;
    }
}

TEST(AviIndex, OtherFormatsAreNotAvi) {
    for (const char* name : {"h264_aac.mov", "mpeg1_mp2.mpg", "missing_file.avi"}) {
        const AviIndexInfo info = ScanAviIndex(SamplePath(name));
        EXPECT_FALSE(info.isAvi) << name;
        EXPECT_FALSE(info.HasIndex()) << name;
    }
}

TEST(AviIndex, FileCutBeforeItsIndexHasNone) {
    const auto sample = SamplePath("mjpeg_pcm.avi");
    const auto cut = TempFile("cut.avi");
    CopyPrefix(sample, cut, std::filesystem::file_size(sample) * 9 / 10);
    const AviIndexInfo info = ScanAviIndex(cut);
    EXPECT_TRUE(info.isAvi);
    EXPECT_FALSE(info.HasIndex());
    std::filesystem::remove(cut);
}

TEST(AviIndex, UnfinishedRiffSizeStillFindsTheHeaders) {
    const std::string headers = Riff::List("hdrl", Riff::List("strl", Riff::SuperIndex(1)));
    const std::string riff = std::string("RIFF") + Riff::U32(0) + "AVI " + headers;
    const auto file = TempFile("unfinished.avi");
    Write(file, riff);
    const AviIndexInfo info = ScanAviIndex(file);
    EXPECT_TRUE(info.isAvi);
    EXPECT_TRUE(info.hasOpenDmlIndex);
    std::filesystem::remove(file);
}

TEST(AviIndex, OpenDmlFileIsFoundThroughItsSuperIndex) {
    // An odd-sized chunk before the header list checks that padding is skipped.
    const std::string headers =
        Riff::Chunk("JUNK", "odd") +
        Riff::List("hdrl",
                   Riff::Chunk("avih", std::string(56, '\0')) +
                       Riff::List("strl", Riff::Chunk("strh", std::string(56, '\0')) + Riff::SuperIndex(2)));
    const std::string first = Riff::Chunk("RIFF", "AVI " + headers + Riff::List("movi", "00dc"));
    const std::string second = Riff::Chunk("RIFF", "AVIX" + Riff::List("movi", "00dc"));
    const auto file = TempFile("odml.avi");
    Write(file, first + second);

    const AviIndexInfo info = ScanAviIndex(file);
    EXPECT_TRUE(info.isAvi);
    EXPECT_EQ(info.riffChunks, 2);
    EXPECT_FALSE(info.hasIdx1);
    EXPECT_TRUE(info.hasOpenDmlIndex);
    EXPECT_TRUE(info.HasIndex());
    std::filesystem::remove(file);
}

}  // namespace
}  // namespace testsupport
