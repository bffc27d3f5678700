// tessarel-convert run on a pseudo-terminal, as from a shell: the progress line updates in place,
// a stop signal finishes the file in hand and starts no other, and a run that fails keeps
// whatever had the output's name before.

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <pty.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "convert_run.h"
#include "support/read_back.h"
#include "support/samples_dir.h"

namespace fs = std::filesystem;
using testsupport::ReadBack;
using testsupport::SamplePath;

namespace clitest {
namespace {

// How the child runs: on a terminal of some width, with a file size limit (writes past it
// fail), on a small disk (the child sees a 256 KiB tmpfs at that folder, in a mount namespace of
// its own, and exits 125 when it cannot have one), or in a shell: `bash -c loop PROGRAM ARGUMENTS`.
struct TerminalSetting {
    unsigned short columns = 80;
    std::optional<rlim_t> fileSizeLimit;
    fs::path smallDisk;
    std::string loop;
};

// tessarel-convert ARGUMENTS as a child on a pseudo-terminal, which is its standard and error
// output.
class TerminalConvert {
public:
    explicit TerminalConvert(const std::vector<std::string>& arguments, const TerminalSetting& setting = {}) {
        const std::optional<rlim_t> fileSizeLimit = setting.fileSizeLimit;
        const std::string disk = setting.smallDisk.string();
        std::vector<std::string> words{ConvertProgram().string()};
        if (!setting.loop.empty()) words.insert(words.begin(), {"/bin/bash", "-c", setting.loop});
        words.insert(words.end(), arguments.begin(), arguments.end());
        const std::string program = words.front();
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        winsize size{};
        size.ws_row = 24;
        size.ws_col = setting.columns;
        m_pid = ::forkpty(&m_terminal, nullptr, nullptr, &size);
        if (m_pid == 0) {
            // Only async-signal-safe calls until exec.
            if (fileSizeLimit) {
                ::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{*fileSizeLimit, *fileSizeLimit};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            }
            if (!disk.empty() && (::unshare(CLONE_NEWNS) != 0 ||
                                  ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                                  ::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=256k") != 0))
                ::_exit(125);
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
    }
    ~TerminalConvert() {
        if (m_pid > 0 && !m_status) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_terminal >= 0) ::close(m_terminal);
    }
    TerminalConvert(const TerminalConvert&) = delete;
    TerminalConvert& operator=(const TerminalConvert&) = delete;

    [[nodiscard]] bool Started() const { return m_pid > 0; }

    // Reads the terminal until a progress line shows at least `percent`; false when it closed first.
    bool WaitForProgress(int percent) {
        static const std::regex shown(R"((\d+) % $)");
        char c = 0;
        std::smatch match;
        while (::read(m_terminal, &c, 1) == 1) {
            m_text += c;
            const std::string tail = m_text.substr(m_text.size() - std::min<std::size_t>(m_text.size(), 8));
            if (c == ' ' && std::regex_search(tail, match, shown) && std::stoi(match[1]) >= percent)
                return true;
        }
        return false;
    }

    void Signal(int signal) const { ::kill(m_pid, signal); }
    // What the user's keys send: "\x03" is Ctrl-C, a SIGINT to the terminal's foreground.
    void Type(const std::string& keys) const { (void)!::write(m_terminal, keys.data(), keys.size()); }

    // The exit status, or nullopt when the child did not end within the timeout (it is then
    // killed) or ended by a signal. What the terminal showed is in Text().
    std::optional<int> Wait(std::chrono::seconds timeout = std::chrono::seconds(120)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        int status = 0;
        char buffer[4096];
        for (;;) {
            const ssize_t got = ::read(m_terminal, buffer, sizeof buffer);
            if (got > 0) m_text.append(buffer, static_cast<std::size_t>(got));
            if (got <= 0 && ::waitpid(m_pid, &status, WNOHANG) != 0) break;
            if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
        }
        m_status = status;
        if (!WIFEXITED(status)) return std::nullopt;
        return WEXITSTATUS(status);
    }

    // The signal that ended the child, after Wait; 0 when it exited by itself.
    [[nodiscard]] int KilledBy() const {
        return m_status && WIFSIGNALED(*m_status) ? WTERMSIG(*m_status) : 0;
    }

    [[nodiscard]] const std::string& Text() const { return m_text; }

private:
    pid_t m_pid = -1;
    int m_terminal = -1;
    std::string m_text;
    std::optional<int> m_status;
};

std::vector<std::string> FolderNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// Forty seconds of video unless told otherwise, long enough to be caught in the middle; false when the
// ffmpeg command can't make it.
bool MakeLongInput(const fs::path& input, int seconds = 40) {
    const std::string length = std::to_string(seconds);
    const std::string command =
        "ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=" + length +
        " -f lavfi -i sine=duration=" + length + " -c:v mpeg4 -q:v 8 -c:a pcm_s16le '" + input.string() + "'";
    return std::system(command.c_str()) == 0;
}

class StopSignal : public ::testing::TestWithParam<int> {};

TEST_P(StopSignal, FinishesTheFileInHandStartsNoOtherAndEndsByTheSignal) {
    ScratchFolder folder("stop-" + std::to_string(GetParam()));
    const fs::path input = folder / "long.avi";
    // Long enough that a loaded machine still signals the job in the middle of its first file.
    if (!MakeLongInput(input, 120)) GTEST_SKIP() << "the ffmpeg command is needed to make the input";
    fs::copy_file(SamplePath("mpeg1_mp2.mpg"), folder / "next.mpg");

    TerminalConvert job({input.string(), (folder / "next.mpg").string()});
    ASSERT_TRUE(job.Started());
    ASSERT_TRUE(job.WaitForProgress(1)) << job.Text();
    // Twice, 10 ms apart, as Ctrl-C pressed twice: the second does not cut the finish short.
    job.Signal(GetParam());
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    job.Signal(GetParam());
    EXPECT_EQ(job.Wait(), std::nullopt) << job.Text();
    EXPECT_EQ(job.KilledBy(), GetParam()) << "a shell sees the signal, and stops its loop";

    const auto out = ReadBack(folder / "converted" / "long.avi");
    ASSERT_TRUE(out.Ok()) << out.error;
    EXPECT_TRUE(out.aviIndex.HasIndex()) << "the file was finished";
    EXPECT_GT(out.Video().packetCount, 0);
    EXPECT_LT(out.Video().packetCount, 3000) << "stopped in the middle";
    EXPECT_TRUE(out.HasAudio());
    EXPECT_EQ(FolderNames(folder / "converted"), std::vector<std::string>{"long.avi"})
        << "no second job, nothing hidden";
    // The line was rewritten in place with the job's pace, and is cleared for the messages.
    EXPECT_TRUE(std::regex_search(job.Text(),
                                  std::regex(R"(\r\[1/2\] long\.avi  [1-9]\d? %  \d+ fps  \d+:\d\d left)")))
        << job.Text();
    EXPECT_NE(job.Text().find("keeps what was converted"), std::string::npos) << job.Text();
}

INSTANTIATE_TEST_SUITE_P(TerminalRun, StopSignal, ::testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& signal) {
                             return std::string(sigabbrev_np(signal.param));
                         });

TEST(TerminalRun, CtrlCEndsAShellLoop) {
    ScratchFolder folder("loop");
    const fs::path input = folder / "long.avi";
    // Long enough that a loaded machine still signals the job in the middle of its first file.
    if (!MakeLongInput(input, 120)) GTEST_SKIP() << "the ffmpeg command is needed to make the input";
    fs::copy_file(SamplePath("mpeg1_mp2.mpg"), folder / "next.mpg");
    TerminalSetting shell;
    shell.loop = R"(for f in "$@"; do "$0" "$f"; done; echo the loop went on)";
    TerminalConvert loop({input.string(), (folder / "next.mpg").string()}, shell);
    ASSERT_TRUE(loop.Started());
    ASSERT_TRUE(loop.WaitForProgress(1)) << loop.Text();
    loop.Type("\x03");
    EXPECT_EQ(loop.Wait(), std::nullopt) << loop.Text();
    EXPECT_EQ(loop.KilledBy(), SIGINT);
    EXPECT_EQ(loop.Text().find("the loop went on"), std::string::npos) << loop.Text();
}

// A script's background job is started with SIGINT and SIGQUIT ignored, so that the terminal's
// Ctrl-C and Ctrl-\\ reach only the script (here one that waits on): the job converts to its end.
TEST(TerminalRun, ABackgroundJobOfAScriptConvertsOnThroughCtrlC) {
    ScratchFolder folder("background");
    const fs::path input = folder / "long.avi";
    if (!MakeLongInput(input)) GTEST_SKIP() << "the ffmpeg command is needed to make the input";
    TerminalSetting shell;
    shell.loop = R"(trap 'echo Ctrl-C' INT QUIT; "$0" "$@" & job=$!
        while kill -0 $job 2>/dev/null; do wait $job; done; wait $job; echo "the job ended with $?")";
    TerminalConvert script({input.string()}, shell);
    ASSERT_TRUE(script.Started());
    ASSERT_TRUE(script.WaitForProgress(1)) << script.Text();
    script.Type("\x03\x1c");
    EXPECT_EQ(script.Wait(), 0) << script.Text();
    EXPECT_NE(script.Text().find("the job ended with 0"), std::string::npos) << script.Text();
    const auto out = ReadBack(folder / "converted" / "long.avi");
    ASSERT_TRUE(out.Ok()) << out.error;
    EXPECT_EQ(out.Video().packetCount, 1000) << "converted to its end";
}

TEST(TerminalRun, AKilledRunLeavesNothingAndTheEarlierFileWhole) {
    ScratchFolder folder("killed");
    const fs::path input = folder / "long.avi";
    if (!MakeLongInput(input)) GTEST_SKIP() << "the ffmpeg command is needed to make the input";
    fs::create_directory(folder / "converted");
    std::ofstream(folder / "converted" / "long.avi") << "earlier";
    TerminalConvert job({"--overwrite", input.string()});
    ASSERT_TRUE(job.Started());
    ASSERT_TRUE(job.WaitForProgress(1)) << job.Text();
    job.Signal(SIGKILL);
    EXPECT_EQ(job.Wait(), std::nullopt) << job.Text();
    EXPECT_EQ(Contents(folder / "converted" / "long.avi"), "earlier");
    EXPECT_EQ(FolderNames(folder / "converted"), std::vector<std::string>{"long.avi"}) << "nothing hidden";
}

TEST(TerminalRun, TheProgressLineFitsANarrowTerminal) {
    ScratchFolder folder("narrow");
    const std::string name = "a rather long name of a recording, 一九九九年的夏天, part one of two.mpg";
    fs::copy_file(SamplePath("mpeg1_mp2.mpg"), folder / name);
    TerminalSetting narrow;
    narrow.columns = 60;
    TerminalConvert job({(folder / name).string()}, narrow);
    ASSERT_TRUE(job.Started());
    EXPECT_EQ(job.Wait(), 0) << job.Text();
    // Every state of the line, between carriage returns and line breaks, in columns: the CJK
    // characters take two, the mark of the cut one.
    const std::string text = std::regex_replace(job.Text(), std::regex("\x1b\\[K"), "");
    const std::string counted = std::regex_replace(text, std::regex("\xE2\x80\xA6"), ".");
    std::size_t columns = 0;
    for (const char c : counted) {
        const auto byte = static_cast<unsigned char>(c);
        columns = c == '\r' || c == '\n' ? 0 : columns + (byte < 0x80 ? 1 : byte >= 0xC0 ? 2 : 0);
        ASSERT_LT(columns, 60u) << text;
    }
    EXPECT_NE(text.find("\xE2\x80\xA6"), std::string::npos) << "the name is cut in the middle: " << text;
}

TEST(TerminalRun, AFullDiskFailsSaysWhyAndKeepsTheEarlierOutput) {
    ScratchFolder folder("full-disk");
    const fs::path output = folder / "out.avi";
    fs::copy_file(SamplePath("video_only.avi"), output);
    const std::string earlier = Contents(output);

    TerminalSetting limited;
    limited.fileSizeLimit = 64 * 1024;
    TerminalConvert job({"--overwrite", "-o", output.string(), SamplePath("mjpeg_pcm.avi").string()},
                        limited);
    ASSERT_TRUE(job.Started());
    EXPECT_EQ(job.Wait(), 1) << job.Text();
    EXPECT_NE(job.Text().find("failed part-way: File too large (AVI Mux)"), std::string::npos) << job.Text();
    EXPECT_TRUE(Contents(output) == earlier) << "the earlier output is untouched";
    EXPECT_EQ(FolderNames(folder.Path()), std::vector<std::string>{"out.avi"})
        << "nothing of the failed run is left";

    // The same on a disk that is really full: a small tmpfs.
    fs::create_directory(folder / "disk");
    TerminalSetting onSmallDisk;
    onSmallDisk.smallDisk = folder / "disk";
    TerminalConvert small(
        {"-o", (folder / "disk" / "out.avi").string(), SamplePath("mjpeg_pcm.avi").string()}, onSmallDisk);
    ASSERT_TRUE(small.Started());
    const std::optional<int> status = small.Wait();
    if (status == 125) GTEST_SKIP() << "mounting a tmpfs needs root";
    EXPECT_EQ(status, 1) << small.Text();
    EXPECT_NE(small.Text().find("failed part-way: No space left on device (AVI Mux)"), std::string::npos)
        << small.Text();
}

}  // namespace
}  // namespace clitest
