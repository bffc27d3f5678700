#include "convert_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

extern char** environ;

namespace clitest {
namespace {

using Clock = std::chrono::steady_clock;

// Reads what is available on fd into text; false once the other end is closed.
bool Drain(int fd, std::string& text) {
    std::array<char, 4096> buffer{};
    const ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got > 0) {
        text.append(buffer.data(), static_cast<std::size_t>(got));
        return true;
    }
    return got < 0 && errno == EINTR;
}

}  // namespace

std::filesystem::path ConvertProgram() {
    return TESSAREL_CONVERT;
}

ConvertRun RunConvert(const std::vector<std::string>& arguments, std::chrono::seconds limit,
                      const std::vector<std::string>& variables) {
    // The texts as written, whatever the tester's own locale, unless the test names one; a later
    // value of a variable wins.
    std::map<std::string, std::string> replacing;  // "NAME=" to "NAME=VALUE"
    for (const std::string& variable : {std::string("LC_ALL=C.UTF-8"), std::string("LANGUAGE=")})
        replacing[variable.substr(0, variable.find('=') + 1)] = variable;
    for (const std::string& variable : variables)
        replacing[variable.substr(0, variable.find('=') + 1)] = variable;
    std::vector<char*> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view name(*entry, std::string_view(*entry).find('=') + 1);
        if (!replacing.contains(std::string(name))) environment.push_back(*entry);
    }
    for (auto& [name, variable] : replacing) environment.push_back(variable.data());
    environment.push_back(nullptr);
    ConvertRun run;
    const std::string program = ConvertProgram().string();
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    int errorPipe[2];
    int outputPipe[2];
    if (::pipe2(errorPipe, O_CLOEXEC) != 0) {
        run.errors = "pipe failed";
        return run;
    }
    if (::pipe2(outputPipe, O_CLOEXEC) != 0) {
        ::close(errorPipe[0]);
        ::close(errorPipe[1]);
        run.errors = "pipe failed";
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outputPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errorPipe[1], STDERR_FILENO);
    const Clock::time_point started = Clock::now();
    pid_t child = -1;
    const int spawned =
        ::posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environment.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(errorPipe[1]);
    ::close(outputPipe[1]);
    if (spawned != 0) {
        ::close(errorPipe[0]);
        ::close(outputPipe[0]);
        run.errors = "cannot start " + program;
        return run;
    }

    std::array<pollfd, 2> ends{pollfd{errorPipe[0], POLLIN, 0}, pollfd{outputPipe[0], POLLIN, 0}};
    std::array<std::string*, 2> texts{&run.errors, &run.output};
    while (ends[0].fd >= 0 || ends[1].fd >= 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(started + limit - Clock::now());
        if (left.count() <= 0) {
            run.timedOut = true;
            ::kill(child, SIGKILL);
            break;
        }
        if (::poll(ends.data(), ends.size(), static_cast<int>(left.count())) <= 0) continue;
        for (std::size_t i = 0; i < ends.size(); ++i) {
            if (ends[i].fd < 0 || ends[i].revents == 0) continue;
            if (Drain(ends[i].fd, *texts[i])) continue;
            ::close(ends[i].fd);
            ends[i].fd = -1;  // poll skips a negative descriptor
        }
    }
    for (const pollfd& end : ends)
        if (end.fd >= 0) ::close(end.fd);
    int status = 0;
    // The error output closes when the program ends, but a child of its own could keep it open:
    // wait for the program itself within what is left of the limit.
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (!run.timedOut && Clock::now() > started + limit) {
            run.timedOut = true;
            ::kill(child, SIGKILL);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    run.seconds = std::chrono::duration<double>(Clock::now() - started).count();
    if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
    return run;
}

ScratchFolder::ScratchFolder(const std::string& name)
    : m_path(std::filesystem::temp_directory_path() /
             ("tessarel-" + name + "-" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string Contents(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace clitest
