#include "platform/file_attributes.h"

#include <string_view>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The last component of path, ignoring trailing slashes.
std::string_view LastComponent(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool IsHiddenName(std::string_view name) {
    return name.starts_with('.') && name != "." && name != "..";
}

}  // namespace

DWORD GetFileAttributesA(const char* path) {
    struct stat status {};
    if (path == nullptr || *path == '\0' || ::stat(path, &status) != 0) return INVALID_FILE_ATTRIBUTES;

    DWORD attributes = S_ISDIR(status.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : 0;
    if (IsHiddenName(LastComponent(path))) attributes |= FILE_ATTRIBUTE_HIDDEN;
    if (::access(path, W_OK) != 0) attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}
