#pragma once

// A file written without a name in the folder of its final name, and given that name only once it
// is whole. While it is being written, whatever already has the final name stays as it was; a file
// that is discarded, or whose process dies however it dies, leaves nothing behind. Where the file
// system has no unnamed files, the file is written under a hidden name beside the final one
// instead, which only a process that is killed can leave behind. Two staged files for the same name never
// share bytes: the last one published wins, whole, unless they keep what is there; then the first one wins
// and the other is refused.

#include <string>

#include "media/api/types.h"

namespace media {

class StagedFile {
public:
    StagedFile() = default;
    // Discards the file unless it was published.
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // What publishing does to a file that has the final name: replace it, or keep it and refuse.
    enum class Existing { Replace, Keep };

    // Creates an empty file in the folder of finalPath (bytes, as the system takes them), unnamed,
    // or else hidden and named after it. What has the final name already must be a regular file this process
    // may write and that no source of this process is reading; the new file takes its
    // permissions. Refusals come as HRESULT_FROM_WIN32 codes: ERROR_DIRECTORY,
    // ERROR_ACCESS_DENIED (not a regular file, or read-only), ERROR_SHARING_VIOLATION (open as a
    // source), ERROR_FILE_EXISTS (anything has the name and existing is Keep), or the code of
    // the failed system call. Only while nothing is staged.
    [[nodiscard]] HRESULT Create(const std::string& finalPath, Existing existing = Existing::Replace);

    // The descriptor to write through, -1 while nothing is staged.
    [[nodiscard]] int Descriptor() const { return m_descriptor; }

    // Closes the file and gives it its final name in one step. On failure the staged file
    // is removed and the final name keeps what it had. With Existing::Keep, a file that took the
    // final name since Create stays, and this gives ERROR_FILE_EXISTS.
    [[nodiscard]] HRESULT Publish();
    // Closes and removes the file. Nothing happens while nothing is staged.
    void Discard();

private:
    std::string m_finalPath;
    std::string m_stagedPath;
    Existing m_existing = Existing::Replace;
    int m_descriptor = -1;
};

}  // namespace media
