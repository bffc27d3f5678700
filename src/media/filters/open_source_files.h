#pragma once

// The files that file sources have open for reading, by device and inode, so that a writer can
// refuse to overwrite a file that a graph is still reading from. All functions are MT safe.

#include <sys/types.h>

namespace media {

// Whether a file source of this process has the file open.
[[nodiscard]] bool IsOpenAsSource(dev_t device, ino_t inode);

// Marks a file as open in a source for as long as the mark lives. Marks of the same file nest.
class OpenSourceFileMark {
public:
    OpenSourceFileMark(dev_t device, ino_t inode);
    ~OpenSourceFileMark();
    OpenSourceFileMark(const OpenSourceFileMark&) = delete;
    OpenSourceFileMark& operator=(const OpenSourceFileMark&) = delete;

private:
    dev_t m_device;
    ino_t m_inode;
};

}  // namespace media
