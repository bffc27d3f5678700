// The conversion job over and over, as a long session uses it: started, stopped at a random
// moment and torn down; and run into a full disk. No cycle may hang, leave an object alive or
// leave anything but a whole file behind. The engine's tests run in the sanitizer builds too, so
// this is where those builds see the job's threads start and stop at every point of a run.

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "engine/conversion_job.h"
#include "recompression_fixture.h"
#include "support/read_back.h"
#include "support/samples_dir.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using testsupport::SamplePath;

using JobSoakTest = RecompressionTest;

// Long enough for any job here to end by itself; a wait that reaches it has hung.
constexpr auto kHang = std::chrono::seconds(60);

TEST_F(JobSoakTest, StartsStoppedAtRandomMomentsLeaveWholeFilesOrNone) {
    constexpr unsigned kSeed = 25;  // fixed, so that a failing cycle can be run again
    std::mt19937 random(kSeed);
    std::uniform_int_distribution<int> runMs(0, 300);
    const fs::path inputs[] = {SamplePath("mpeg1_mp2.mpg"), SamplePath("mpeg4_mp3.avi"),
                               SamplePath("h264_aac.mov")};
    const fs::path output = m_dir / "out.avi";
    for (int cycle = 0; cycle < 20; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle) + " of seed " + std::to_string(kSeed));
        ConversionJob job;
        ASSERT_EQ(job.Start(inputs[cycle % 3].string(), output.string(), m_xvid, true, false, m_compressor),
                  S_OK);
        const Clock::time_point stopAt = Clock::now() + std::chrono::milliseconds(runMs(random));
        (void)job.WaitForEnd([&] { return Clock::now() < stopAt; }, [](int) {});
        EXPECT_TRUE(SUCCEEDED(job.Stop()));
        job.TearDown();
        m_compressor.Reset();
        ASSERT_EQ(media::LiveObjectCount(), 0);
        if (fs::exists(output)) {
            EXPECT_TRUE(testsupport::ReadBack(output).Ok());
        }
        EXPECT_LE(FolderNames().size(), 1u) << "nothing beside the output";
    }
}

TEST_F(JobSoakTest, RunsIntoAFullDiskLeaveOnlyWhatWasThere) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a file system takes root";
    const fs::path disk = m_dir / "disk";
    fs::create_directory(disk);
    if (::mount("tessarel-soak", disk.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "no tmpfs: " << std::strerror(errno);
    struct Unmount {
        const fs::path& path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{disk};
    // 64 KiB are left, far less than any output needs.
    std::ofstream(disk / "filler", std::ios::binary) << std::string(960 * 1024, 'x');

    for (int run = 0; run < 5; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        ConversionJob job;
        ASSERT_EQ(job.Start(SamplePath("mjpeg_pcm.avi").string(), (disk / "out.avi").string(), m_xvid, true,
                            false, m_compressor),
                  S_OK);
        const Clock::time_point hang = Clock::now() + kHang;
        EXPECT_EQ(job.WaitForEnd([&] { return Clock::now() < hang; }, [](int) {}), EC_ERRORABORT);
        (void)job.Stop();
        job.TearDown();
        m_compressor.Reset();
        ASSERT_EQ(media::LiveObjectCount(), 0);
        std::size_t names = 0;
        for (const auto& entry : fs::directory_iterator(disk)) {
            EXPECT_EQ(entry.path().filename(), "filler");
            ++names;
        }
        EXPECT_EQ(names, 1u);
    }
}

}  // namespace
