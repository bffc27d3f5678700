#include "media/filters/open_source_files.h"

#include <map>
#include <mutex>
#include <utility>

namespace media {
namespace {

std::mutex g_lock;

// How many live marks each file has.
std::map<std::pair<dev_t, ino_t>, int>& OpenFiles() {
    static std::map<std::pair<dev_t, ino_t>, int> files;
    return files;
}

}  // namespace

bool IsOpenAsSource(dev_t device, ino_t inode) {
    std::lock_guard lock(g_lock);
    return OpenFiles().contains({device, inode});
}

OpenSourceFileMark::OpenSourceFileMark(dev_t device, ino_t inode) : m_device(device), m_inode(inode) {
    std::lock_guard lock(g_lock);
    ++OpenFiles()[{device, inode}];
}

OpenSourceFileMark::~OpenSourceFileMark() {
    std::lock_guard lock(g_lock);
    auto& files = OpenFiles();
    const auto it = files.find({m_device, m_inode});
    if (it != files.end() && --it->second == 0) files.erase(it);
}

}  // namespace media
