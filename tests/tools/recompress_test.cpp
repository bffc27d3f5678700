// recompress run as a child process on real files: a stop signal finishes the output and says so
// in the exit status, and a failing run keeps whatever had the output's name before.

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/read_back.h"
#include "support/samples_dir.h"

namespace fs = std::filesystem;
using testsupport::ReadBack;
using testsupport::SamplePath;

namespace {

std::string Contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// recompress INPUT OUTPUT as a child whose output (the percentages) comes through a pipe. With a
// file size limit, writes past it fail as on a full disk.
class Recompress {
public:
    Recompress(const fs::path& input, const fs::path& output, std::optional<rlim_t> fileSizeLimit = {}) {
        int pipeEnds[2] = {-1, -1};
        if (::pipe2(pipeEnds, O_CLOEXEC) != 0) return;
        const std::string program = TESSAREL_RECOMPRESS;
        const std::string inputText = input.string();
        const std::string outputText = output.string();
        m_pid = ::fork();
        if (m_pid == 0) {
            // Only async-signal-safe calls until exec.
            ::dup2(pipeEnds[1], STDOUT_FILENO);
            if (fileSizeLimit) {
                ::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{*fileSizeLimit, *fileSizeLimit};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            }
            ::execl(program.c_str(), program.c_str(), inputText.c_str(), outputText.c_str(), nullptr);
            ::_exit(127);
        }
        ::close(pipeEnds[1]);
        m_output = pipeEnds[0];
    }
    ~Recompress() {
        if (m_pid > 0 && !m_status) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_output >= 0) ::close(m_output);
    }
    Recompress(const Recompress&) = delete;
    Recompress& operator=(const Recompress&) = delete;

    [[nodiscard]] bool Started() const { return m_pid > 0; }

    // Reads the progress until it shows at least `percent`; false when the output ended first.
    bool WaitForProgress(int percent) {
        std::string text;
        char c = 0;
        while (::read(m_output, &c, 1) == 1) {
            if (c != '%') {
                text += c;
                continue;
            }
            const auto start = text.find_last_of("\r\n");
            if (std::atoi(text.c_str() + (start == std::string::npos ? 0 : start + 1)) >= percent)
                return true;
        }
        return false;
    }

    void Signal(int signal) const { ::kill(m_pid, signal); }

    // The exit status, or nullopt when the child did not end within the timeout (it is then
    // killed) or ended by a signal.
    std::optional<int> Wait(std::chrono::seconds timeout = std::chrono::seconds(120)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        int status = 0;
        while (::waitpid(m_pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        m_status = status;
        if (!WIFEXITED(status)) return std::nullopt;
        return WEXITSTATUS(status);
    }

private:
    pid_t m_pid = -1;
    int m_output = -1;
    std::optional<int> m_status;
};

class RecompressTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : test) c = c == '/' ? '-' : c;
        m_dir =
            fs::temp_directory_path() / ("tessarel-recompress-" + std::to_string(::getpid()) + "-" + test);
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    [[nodiscard]] std::vector<std::string> FolderNames() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_dir)) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path m_dir;
};

class StopSignal : public RecompressTest, public ::testing::WithParamInterface<int> {};

TEST_P(StopSignal, FinishesWhatWasConvertedAndExitsWith128PlusTheSignal) {
    // Forty seconds of video, long enough to be caught in the middle on any machine.
    const fs::path input = m_dir / "long.avi";
    const std::string command =
        "ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=40 "
        "-f lavfi -i sine=duration=40 -c:v mpeg4 -q:v 8 -c:a pcm_s16le '" +
        input.string() + "'";
    if (std::system(command.c_str()) != 0) GTEST_SKIP() << "the ffmpeg command is needed to make the input";
    const fs::path output = m_dir / "out.avi";

    Recompress job(input, output);
    ASSERT_TRUE(job.Started());
    ASSERT_TRUE(job.WaitForProgress(1));
    job.Signal(GetParam());
    EXPECT_EQ(job.Wait(), 128 + GetParam());

    const auto out = ReadBack(output);
    ASSERT_TRUE(out.Ok()) << out.error;
    EXPECT_TRUE(out.aviIndex.HasIndex()) << "the file was finished";
    EXPECT_GT(out.Video().packetCount, 0);
    EXPECT_LT(out.Video().packetCount, 1000) << "stopped in the middle";
    EXPECT_TRUE(out.HasAudio());
    EXPECT_EQ(FolderNames(), (std::vector<std::string>{"long.avi", "out.avi"}));
}

INSTANTIATE_TEST_SUITE_P(Recompress, StopSignal, ::testing::Values(SIGINT, SIGTERM),
                         [](const ::testing::TestParamInfo<int>& signal) {
                             return signal.param == SIGINT ? std::string("Interrupt")
                                                           : std::string("Terminate");
                         });

TEST_F(RecompressTest, AFullDiskFailsAndKeepsTheEarlierOutput) {
    const fs::path output = m_dir / "out.avi";
    fs::copy_file(SamplePath("video_only.avi"), output);
    const std::string earlier = Contents(output);

    Recompress job(SamplePath("mjpeg_pcm.avi"), output, 64 * 1024);
    ASSERT_TRUE(job.Started());
    EXPECT_EQ(job.Wait(), 1);
    EXPECT_TRUE(Contents(output) == earlier) << "the earlier output is untouched";
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"out.avi"}) << "nothing of the failed run is left";
}

}  // namespace
