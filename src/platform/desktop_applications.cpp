#include "platform/desktop_applications.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string_view>
#include <system_error>
#include <utility>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// One group of a key file: its keys and raw values.
using KeyGroup = std::map<std::string, std::string, std::less<>>;
using KeyFile = std::map<std::string, KeyGroup, std::less<>>;

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// Far more than any real desktop entry or list holds, translations and all.
constexpr std::uintmax_t kMaxKeyFileBytes = 4 * 1024 * 1024;

// A desktop entry or a mimeapps.list; empty when it can't be read. Only a regular file of a
// sane size is read: a pipe or a device under such a name would block or never end.
KeyFile ReadKeyFile(const fs::path& path) {
    KeyFile groups;
    std::error_code error;
    if (!fs::is_regular_file(path, error) || fs::file_size(path, error) > kMaxKeyFileBytes || error)
        return groups;
    std::ifstream in(path);
    std::string line;
    KeyGroup* group = nullptr;
    while (std::getline(in, line)) {
        const std::string_view text = Trimmed(line);
        if (text.empty() || text.front() == '#') continue;
        if (text.front() == '[' && text.back() == ']') {
            group = &groups[std::string(text.substr(1, text.size() - 2))];
            continue;
        }
        const auto equals = text.find('=');
        if (group == nullptr || equals == std::string_view::npos) continue;
        group->emplace(std::string(Trimmed(text.substr(0, equals))),
                       std::string(Trimmed(text.substr(equals + 1))));
    }
    return groups;
}

std::string Value(const KeyGroup& group, std::string_view key) {
    const auto found = group.find(key);
    return found == group.end() ? std::string() : found->second;
}

// A string value with the key file's escapes (\s \n \t \r \\) undone.
std::string Unescaped(std::string_view value) {
    std::string text;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            text += value[i];
            continue;
        }
        switch (value[++i]) {
            case 's':
                text += ' ';
                break;
            case 'n':
                text += '\n';
                break;
            case 't':
                text += '\t';
                break;
            case 'r':
                text += '\r';
                break;
            default:
                text += value[i];
                break;  // "\\" and "\;" stand for themselves
        }
    }
    return text;
}

std::vector<std::string> SplitList(std::string_view value) {
    std::vector<std::string> items;
    std::size_t start = 0;
    while (start < value.size()) {
        const auto end = std::min(value.find(';', start), value.size());
        if (end > start) items.emplace_back(Trimmed(value.substr(start, end - start)));
        start = end + 1;
    }
    return items;
}

bool IsExecutable(const std::string& program) {
    if (program.find('/') != std::string::npos) return ::access(program.c_str(), X_OK) == 0;
    const char* path = std::getenv("PATH");
    std::string_view rest(path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin");
    while (!rest.empty()) {
        const auto colon = std::min(rest.find(':'), rest.size());
        const std::string candidate = std::string(rest.substr(0, colon)) + "/" + program;
        if (colon > 0 && ::access(candidate.c_str(), X_OK) == 0) return true;
        rest.remove_prefix(std::min(colon + 1, rest.size()));
    }
    return false;
}

// The installed application with desktop id, looked up in the data folders in order. An
// entry that is hidden, not an application, or whose TryExec program is missing is not
// installed, and hides entries of the same id further down.
std::optional<DesktopApplication> InstalledApplication(const std::string& desktopId,
                                                       const XdgDirectories& directories) {
    // An id names a file in an applications folder (subfolders are written with '-'): one
    // with a '/' would lead anywhere, an absolute one out of the folder altogether.
    if (desktopId.empty() || desktopId.find('/') != std::string::npos) return std::nullopt;
    for (const std::string& data : directories.data) {
        const fs::path file = fs::path(data) / "applications" / desktopId;
        std::error_code error;
        if (!fs::is_regular_file(file, error)) continue;
        const KeyFile entry = ReadKeyFile(file);
        const auto group = entry.find("Desktop Entry");
        if (group == entry.end()) return std::nullopt;
        const KeyGroup& keys = group->second;
        const std::string tryExec = Unescaped(Value(keys, "TryExec"));
        if (Value(keys, "Type") != "Application" || Value(keys, "Hidden") == "true" ||
            Value(keys, "Exec").empty() || (!tryExec.empty() && !IsExecutable(tryExec)))
            return std::nullopt;
        return DesktopApplication{file.string(), Unescaped(Value(keys, "Name")),
                                  Unescaped(Value(keys, "Icon")), Unescaped(Value(keys, "Exec"))};
    }
    return std::nullopt;
}

// The mimeapps.list files in the order they count: for each config folder, then each
// data folder's applications folder, the current desktops' own lists before the common one.
std::vector<KeyFile> AssociationLists(const XdgDirectories& directories) {
    std::vector<fs::path> folders(directories.config.begin(), directories.config.end());
    for (const std::string& data : directories.data) folders.push_back(fs::path(data) / "applications");
    std::vector<KeyFile> lists;
    for (const fs::path& folder : folders) {
        for (const std::string& desktop : directories.desktops)
            lists.push_back(ReadKeyFile(folder / (desktop + "-mimeapps.list")));
        lists.push_back(ReadKeyFile(folder / "mimeapps.list"));
    }
    return lists;
}

std::optional<DesktopApplication> FirstNamedIn(const std::vector<KeyFile>& lists, std::string_view section,
                                               const std::vector<std::string>& mimeTypes,
                                               const XdgDirectories& directories) {
    for (const std::string& type : mimeTypes) {
        for (const KeyFile& list : lists) {
            const auto group = list.find(section);
            if (group == list.end()) continue;
            for (const std::string& id : SplitList(Value(group->second, type)))
                if (auto application = InstalledApplication(id, directories)) return application;
        }
    }
    return std::nullopt;
}

// Any installed application whose entry lists one of mimeTypes, the first by folder order and
// then by desktop id, so the answer never depends on the order of a folder listing.
std::optional<DesktopApplication> AnyListing(const std::vector<std::string>& mimeTypes,
                                             const XdgDirectories& directories) {
    std::set<std::string> seen;
    for (const std::string& type : mimeTypes) {
        for (const std::string& data : directories.data) {
            const fs::path folder = fs::path(data) / "applications";
            std::error_code error;
            std::vector<std::string> ids;
            for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
                if (it->path().extension() == ".desktop") ids.push_back(it->path().filename().string());
            std::sort(ids.begin(), ids.end());
            for (const std::string& id : ids) {
                const KeyFile entry = ReadKeyFile(folder / id);
                const auto group = entry.find("Desktop Entry");
                if (group == entry.end()) continue;
                const std::vector<std::string> listed = SplitList(Value(group->second, "MimeType"));
                if (std::find(listed.begin(), listed.end(), type) == listed.end()) continue;
                if (!seen.insert(id).second) continue;
                if (auto application = InstalledApplication(id, directories)) return application;
            }
        }
    }
    return std::nullopt;
}

std::vector<std::string> EnvironmentList(const char* name, std::string_view fallback, char separator) {
    const char* value = std::getenv(name);
    std::string_view rest = value != nullptr && *value != '\0' ? std::string_view(value) : fallback;
    std::vector<std::string> items;
    while (!rest.empty()) {
        const auto end = std::min(rest.find(separator), rest.size());
        if (end > 0) items.emplace_back(rest.substr(0, end));
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    return items;
}

// The Exec line split into arguments by the desktop entry's quoting rules; false when a quote
// is left open.
bool SplitExec(std::string_view exec, std::vector<std::string>& arguments) {
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (quoted) {
            if (c == '"') {
                quoted = false;
            } else if (c == '\\' && i + 1 < exec.size()) {
                current += exec[++i];
            } else {
                current += c;
            }
        } else if (c == '"') {
            quoted = inArgument = true;
        } else if (c == ' ' || c == '\t') {
            if (inArgument) arguments.push_back(std::exchange(current, {}));
            inArgument = false;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (quoted) return false;
    if (inArgument) arguments.push_back(current);
    return true;
}

}  // namespace

XdgDirectories XdgDirectories::FromEnvironment() {
    const char* home = std::getenv("HOME");
    const std::string homeFolder = home != nullptr ? home : "";
    XdgDirectories directories;
    directories.config = EnvironmentList("XDG_CONFIG_HOME", homeFolder + "/.config", '\0');
    for (std::string& folder : EnvironmentList("XDG_CONFIG_DIRS", "/etc/xdg", ':'))
        directories.config.push_back(std::move(folder));
    directories.data = EnvironmentList("XDG_DATA_HOME", homeFolder + "/.local/share", '\0');
    for (std::string& folder : EnvironmentList("XDG_DATA_DIRS", "/usr/local/share:/usr/share", ':'))
        directories.data.push_back(std::move(folder));
    for (std::string desktop : EnvironmentList("XDG_CURRENT_DESKTOP", "", ':')) {
        std::transform(desktop.begin(), desktop.end(), desktop.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        directories.desktops.push_back(std::move(desktop));
    }
    return directories;
}

std::optional<DesktopApplication> DefaultApplicationFor(const std::vector<std::string>& mimeTypes,
                                                        const XdgDirectories& directories) {
    const std::vector<KeyFile> lists = AssociationLists(directories);
    if (auto application = FirstNamedIn(lists, "Default Applications", mimeTypes, directories))
        return application;
    if (auto application = FirstNamedIn(lists, "Added Associations", mimeTypes, directories))
        return application;
    return AnyListing(mimeTypes, directories);
}

std::vector<std::string> CommandLineFor(const DesktopApplication& application, const std::string& file) {
    std::vector<std::string> words;
    if (!SplitExec(application.exec, words) || words.empty()) return {};

    std::vector<std::string> arguments;
    bool fileGiven = false;
    for (const std::string& word : words) {
        if (word == "%i") {
            if (!application.icon.empty()) arguments.insert(arguments.end(), {"--icon", application.icon});
            continue;
        }
        // A word that is a code alone, and expands to nothing, is left out.
        const bool codeAlone = word.size() == 2 && word[0] == '%' && word[1] != '%';
        std::string argument;
        bool fileHere = false;
        for (std::size_t i = 0; i < word.size(); ++i) {
            if (word[i] != '%' || i + 1 == word.size()) {
                argument += word[i];
                continue;
            }
            switch (word[++i]) {
                case '%':
                    argument += '%';
                    break;
                case 'f':
                case 'F':
                case 'u':
                case 'U':
                    if (!fileGiven) argument += file;
                    fileHere = !fileGiven;
                    fileGiven = true;
                    break;
                case 'c':
                    argument += application.name;
                    break;
                case 'k':
                    argument += application.desktopFile;
                    break;
                default:
                    break;  // deprecated and unknown codes are removed
            }
        }
        if (codeAlone && argument.empty()) continue;
        // The program comes from the entry, never from the file: a broken entry would start the
        // video itself.
        if (arguments.empty() && fileHere) return {};
        arguments.push_back(argument);
    }
    if (arguments.empty()) return {};
    if (!fileGiven) arguments.push_back(file);
    return arguments;
}
