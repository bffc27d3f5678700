#pragma once

// Runs the real `tessarel-convert` as a user would, in a process of its own, and reports how it
// ended. Nothing goes through a shell: the arguments reach the program exactly as given.

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace clitest {

struct ConvertRun {
    bool timedOut = false;  // killed after the time limit
    int exitCode = -1;      // when it exited by itself
    int signal = 0;         // when a signal ended it (a crash)
    std::string errors;     // everything it wrote to its error output
    std::string output;     // everything it wrote to its standard output (not a terminal)
    double seconds = 0;

    [[nodiscard]] bool Succeeded() const { return !timedOut && signal == 0 && exitCode == 0; }
    [[nodiscard]] bool Crashed() const { return signal != 0 && !timedOut; }
};

// The tessarel-convert program of this build.
[[nodiscard]] std::filesystem::path ConvertProgram();

// Runs tessarel-convert with arguments; kills it (SIGKILL) once limit has passed. Each of
// variables ("NAME=VALUE") replaces that variable of this process's environment.
[[nodiscard]] ConvertRun RunConvert(const std::vector<std::string>& arguments,
                                          std::chrono::seconds limit = std::chrono::seconds(60),
                                          const std::vector<std::string>& variables = {});

// A fresh, empty folder for one test's files, removed with everything in it on destruction.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& name);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    [[nodiscard]] std::filesystem::path operator/(const std::string& name) const { return m_path / name; }
    [[nodiscard]] const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// The bytes of file, empty when it can't be read.
[[nodiscard]] std::string Contents(const std::filesystem::path& file);

}  // namespace clitest
