// Damaged headers and sizes of the sample files, converted by tessarel-convert as a user would: no crash,
// no hang over 60 s, no input changed, and no failure reported as success (exit 0 with an output
// that holds no picture a player can show).
//
// CI runs a short campaign. A long one, by hand:
//   TESSAREL_FUZZ_CASES=5000 TESSAREL_FUZZ_SEED=2 build/tests/cli/cli_tests --gtest_filter='Fuzz*'
// Case N of seed S always damages the same file the same way; TESSAREL_FUZZ_FIRST=N starts there.

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "convert_run.h"
#include "header_mutator.h"
#include "support/read_back.h"
#include "support/samples_dir.h"

namespace clitest {
namespace {

// Small inputs of every container and common codec, with and without B-frames and edit lists; an
// interlaced DVD and a 60 fps phone clip, whose pictures the preset deinterlaces and thins.
constexpr std::array kSeedFiles = {"mpeg1_mp2.mpg", "mpeg2_ac3.mpg",  "mpeg4_mp3.avi",           "mjpeg_pcm.avi",
                                   "h264_aac.mov",  "pcm_be.mov",     "trimmed.mov",             "chart_pal8.avi",
                                   "vfr.mov",       "late_video.mov", "ntsc_interlaced_ac3.mpg", "phone_portrait_60fps.mp4"};

long EnvironmentNumber(const char* name, long fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtol(text, nullptr, 10) : fallback;
}

std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

struct Tally {
    std::mutex lock;
    int cases = 0;
    int succeeded = 0;
    int refused = 0;  // exited non-zero with a message: the right answer for most damage
    std::vector<std::string> crashes;
    std::vector<std::string> hangs;
    std::vector<std::string> changedInputs;
    std::vector<std::string> falseSuccesses;
};

// Runs one case: damage, convert, judge.
void RunCase(long seed, long index, const std::vector<std::vector<std::uint8_t>>& seeds,
             const std::filesystem::path& folder, Tally& tally) {
    std::seed_seq sequence{seed, index};
    std::mt19937 random(sequence);
    const std::size_t which = std::uniform_int_distribution<std::size_t>(0, seeds.size() - 1)(random);
    const Mutation mutation = MutateHeader(seeds[which], random);
    const std::string name = "case" + std::to_string(index);
    const std::filesystem::path input =
        folder / (name + std::filesystem::path(kSeedFiles[which]).extension().string());
    const std::filesystem::path output = folder / (name + ".avi");
    WriteFile(input, mutation.bytes);

    // Every other case as a DVD player wants it, so that damaged sizes and sound also reach the
    // scaler and the MP3 encoder.
    std::vector<std::string> arguments{"-o", output.string(), input.string()};
    if (index % 2 == 1) arguments.insert(arguments.begin(), {"--preset", "dvd-player", "--audio", "mp3"});
    const ConvertRun run = RunConvert(arguments);
    const std::string what = "case " + std::to_string(index) + " of seed " + std::to_string(seed) + ": " +
                             kSeedFiles[which] + ", " + mutation.description +
                             (index % 2 == 1 ? ", dvd-player" : "");
    const bool inputKept = ReadFile(input) == mutation.bytes;
    bool falseSuccess = false;
    if (run.Succeeded()) {
        const testsupport::MediaSummary out = testsupport::ReadBack(output);
        falseSuccess = !out.HasVideo() || out.Video().shownFrames <= 0;
    }

    std::lock_guard hold(tally.lock);
    ++tally.cases;
    if (run.timedOut) tally.hangs.push_back(what);
    if (run.Crashed()) tally.crashes.push_back(what + " (signal " + std::to_string(run.signal) + ")");
    if (!inputKept) tally.changedInputs.push_back(what);
    if (falseSuccess) tally.falseSuccesses.push_back(what);
    if (run.Succeeded() && !falseSuccess) ++tally.succeeded;
    if (!run.timedOut && run.exitCode > 0) ++tally.refused;
    std::error_code ignored;
    std::filesystem::remove(input, ignored);
    std::filesystem::remove(output, ignored);
}

std::string Listed(const std::vector<std::string>& cases) {
    std::ostringstream text;
    for (const std::string& c : cases) text << "\n  " << c;
    return text.str();
}

TEST(Fuzz, DamagedHeadersNeverCrashHangChangeTheInputOrPassForSuccess) {
    const long seed = EnvironmentNumber("TESSAREL_FUZZ_SEED", 1);
    const long first = EnvironmentNumber("TESSAREL_FUZZ_FIRST", 0);
    const long count = EnvironmentNumber("TESSAREL_FUZZ_CASES", 240);
    std::vector<std::vector<std::uint8_t>> seeds;
    for (const char* file : kSeedFiles) {
        seeds.push_back(ReadFile(testsupport::SamplePath(file)));
        ASSERT_FALSE(seeds.back().empty()) << file;
    }
    ScratchFolder folder("fuzz");
    Tally tally;
    std::atomic<long> next{first};
    // Two conversions at a time: one is mostly waiting on its own threads' hand-overs.
    std::vector<std::jthread> workers;
    for (int i = 0; i < 2; ++i) {
        workers.emplace_back([&] {
            for (long index = next++; index < first + count; index = next++)
                RunCase(seed, index, seeds, folder.Path(), tally);
        });
    }
    workers.clear();

    std::printf(
        "fuzz: %d cases of seed %ld: %d converted, %d refused, %zu crashes, %zu hangs, "
        "%zu inputs changed, %zu false successes\n",
        tally.cases, seed, tally.succeeded, tally.refused, tally.crashes.size(), tally.hangs.size(),
        tally.changedInputs.size(), tally.falseSuccesses.size());
    EXPECT_TRUE(tally.crashes.empty()) << "crashes:" << Listed(tally.crashes);
    EXPECT_TRUE(tally.hangs.empty()) << "hangs:" << Listed(tally.hangs);
    EXPECT_TRUE(tally.changedInputs.empty()) << "inputs changed:" << Listed(tally.changedInputs);
    EXPECT_TRUE(tally.falseSuccesses.empty())
        << "failures reported as success:" << Listed(tally.falseSuccesses);
}

}  // namespace
}  // namespace clitest
