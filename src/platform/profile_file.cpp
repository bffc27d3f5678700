#include "platform/profile_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string_view>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/profile_text.h"

namespace {

std::string ConfigurationFolder() {
    // The base directory specification says to ignore a relative $XDG_CONFIG_HOME.
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    if (configHome && configHome[0] == '/') return configHome;
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        const passwd* user = ::getpwuid(::getuid());
        home = user ? user->pw_dir : "/";
    }
    return std::string(home) + "/.config";
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

bool HasLineBreak(const char* text) {
    return text && std::strpbrk(text, "\r\n") != nullptr;
}

// A file that is read-only, or that this user may not write, is kept as it is: renaming over it
// would replace it all the same. A link is followed to the file it names.
std::optional<std::string> FileToReplace(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return errno == ENOENT ? std::optional(path) : std::nullopt;
    if ((status.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0) return std::nullopt;
    std::error_code error;
    const std::filesystem::path target = std::filesystem::canonical(path, error);
    return error ? std::nullopt : std::optional(target.string());
}

// Writes text beside path and renames it over path.
bool ReplaceFile(const std::string& path, const std::string& text) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path target(path);
    if (target.has_parent_path()) fs::create_directories(target.parent_path(), error);
    if (error) return false;

    std::string temporary = path + ".XXXXXX";
    const int descriptor = ::mkstemp(temporary.data());
    if (descriptor < 0) return false;
    bool written = true;
    for (std::size_t done = 0; written && done < text.size();) {
        const ssize_t n = ::write(descriptor, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        written = n > 0;
        if (written) done += static_cast<std::size_t>(n);
    }
    // mkstemp makes the file private: keep the old file's mode, or that of an ordinary file.
    struct stat old {};
    const mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    written = written && ::fchmod(descriptor, mode) == 0 && ::fsync(descriptor) == 0;
    written = ::close(descriptor) == 0 && written;
    if (written && std::rename(temporary.c_str(), path.c_str()) == 0) return true;
    std::remove(temporary.c_str());
    return false;
}

}  // namespace

namespace platform {

std::string ProfileFilePath(const char* fileName) {
    const std::string_view name = fileName ? fileName : "";
    if (name.find('/') != std::string_view::npos) return std::string(name);
    return ConfigurationFolder() + "/" + std::string(name);
}

}  // namespace platform

DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue, char* returned,
                               DWORD size, const char* fileName) {
    if (returned == nullptr || size == 0) return 0;
    std::string value = defaultValue ? defaultValue : "";
    if (section && key && fileName) {
        if (const auto text = ReadWholeFile(platform::ProfileFilePath(fileName))) {
            if (auto found = platform::FindProfileValue(*text, section, key)) value = std::move(*found);
        }
    }
    const std::size_t copied = std::min<std::size_t>(value.size(), size - 1);
    std::memcpy(returned, value.data(), copied);
    returned[copied] = '\0';
    return static_cast<DWORD>(copied);
}

BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                const char* fileName) {
    if (section == nullptr || fileName == nullptr || *fileName == '\0') return 0;
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) return 0;
    const std::string path = platform::ProfileFilePath(fileName);
    const std::optional<std::string> file = FileToReplace(path);
    if (!file) return 0;
    const std::string text = ReadWholeFile(*file).value_or(std::string());
    return ReplaceFile(*file, platform::WithProfileValue(text, section, key, value)) ? 1 : 0;
}
