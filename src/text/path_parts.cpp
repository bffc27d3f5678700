#include "text/path_parts.h"

std::string FolderPartOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string FolderOf(const std::string& path) {
    std::string folder = FolderPartOf(path);
    return folder.empty() ? std::string(".") : folder;
}

std::string NameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
