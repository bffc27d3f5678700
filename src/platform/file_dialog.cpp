#include "platform/file_dialog.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <utility>

#include "text/path_parts.h"

namespace {

FileDialogHandler& InstalledHandler() {
    static FileDialogHandler handler;
    return handler;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

}  // namespace

bool MatchesFilter(const std::string& fileName, const std::string& filter) {
    // The patterns are every second part: "Name|patterns|Name|patterns||".
    std::string_view rest = filter;
    for (bool patterns = false; !rest.empty(); patterns = !patterns) {
        const auto bar = std::min(rest.find('|'), rest.size());
        std::string_view part = rest.substr(0, bar);
        rest.remove_prefix(std::min(bar + 1, rest.size()));
        while (patterns && !part.empty()) {
            const auto semicolon = std::min(part.find(';'), part.size());
            const std::string_view pattern = part.substr(0, semicolon);
            part.remove_prefix(std::min(semicolon + 1, part.size()));
            if (pattern == "*" || pattern == "*.*") return true;
            if (pattern.starts_with("*.") && fileName.size() >= pattern.size() - 1 &&
                EqualIgnoringCase(std::string_view(fileName).substr(fileName.size() - (pattern.size() - 1)),
                                  pattern.substr(1)))
                return true;
        }
    }
    return false;
}

FileDialogHandler SetFileDialogHandler(FileDialogHandler handler) {
    return std::exchange(InstalledHandler(), std::move(handler));
}

std::string ChosenPathText(const std::vector<std::string>& paths) {
    if (paths.empty()) return {};
    return paths.size() == 1 ? paths.front() : FolderPartOf(paths.front());
}

std::size_t ResultBufferBytes(const std::vector<std::string>& paths) {
    if (paths.empty()) return 0;
    if (paths.size() == 1) return paths.front().size() + 1;
    std::size_t bytes = FolderPartOf(paths.front()).size() + 1;
    for (const std::string& path : paths) bytes += NameOf(path).size() + 1;
    return bytes + 1;
}

FileDialog::FileDialog(FileDialogRequest request, std::size_t resultBufferSize)
    : m_request(std::move(request)), m_resultBufferSize(resultBufferSize) {}

bool FileDialog::DoModal() {
    const FileDialogHandler& handler = InstalledHandler();
    std::vector<std::string> chosen =
        handler ? handler(m_request) : platform::ShowDefaultFileDialog(m_request);
    m_paths.clear();
    if (chosen.empty() || ResultBufferBytes(chosen) > m_resultBufferSize) return false;
    m_paths = std::move(chosen);
    return true;
}

std::string FileDialog::GetPathName() const {
    return ChosenPathText(m_paths);
}
