#include "media/filters/staged_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

#include <random>

#include "media/com/errno_result.h"
#include "media/filters/open_source_files.h"
#include "text/path_parts.h"

namespace media {
namespace {

// The staged name is ".<final name>.<tag>"; a final name is cut so that this stays within the
// 255 bytes a name may have.
constexpr std::size_t kTagLength = 6;
constexpr std::size_t kMaxNameLength = 255;
constexpr std::size_t kMaxKeptName = kMaxNameLength - kTagLength - 2;
constexpr int kNameAttempts = 100;

std::string RandomTag() {
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device entropy;
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    std::string tag;
    for (std::size_t i = 0; i < kTagLength; ++i) tag += kLetters[pick(entropy)];
    return tag;
}

// The hidden name beside finalPath, less its random tag: ".<final name>.".
std::string HiddenPrefix(const std::string& finalPath) {
    return FolderOf(finalPath) + "/." + NameOf(finalPath).substr(0, kMaxKeptName) + ".";
}

// Creates a new file named prefix and a random tag, for writing.
HRESULT CreateHidden(const std::string& prefix, mode_t mode, int& descriptor, std::string& path) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string candidate = prefix + RandomTag();
        descriptor = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode);
        if (descriptor >= 0) {
            path = std::move(candidate);
            return S_OK;
        }
        if (errno != EEXIST) return ResultFromErrno(errno);
    }
    return HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
}

// The name through which an unnamed file can be linked into a folder by anyone who may write it.
std::string ProcessLinkOf(int descriptor) {
    return "/proc/self/fd/" + std::to_string(descriptor);
}

// Opens a file without a name in folder: nothing of it outlives the process, whatever ends it,
// until LinkUnnamed names it. kNoUnnamedFiles when the file system (or the kernel) has no such
// files, or when it could not be named later (no /proc); the negated errno otherwise.
constexpr int kNoUnnamedFiles = -1'000'000;
int OpenUnnamed(const std::string& folder, mode_t mode) {
    const int descriptor = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC | O_NOCTTY, mode);
    if (descriptor < 0) {
        const int error = errno;
        // Kernels that do not know the flag see a folder opened for writing (EISDIR).
        if (error == EOPNOTSUPP || error == EISDIR || error == EINVAL || error == ENOSYS)
            return kNoUnnamedFiles;
        return -error;
    }
    if (::access(ProcessLinkOf(descriptor).c_str(), F_OK) != 0) {
        ::close(descriptor);
        return kNoUnnamedFiles;
    }
    return descriptor;
}

// Gives the unnamed file behind descriptor a new hidden name beginning with prefix.
HRESULT LinkUnnamed(int descriptor, const std::string& prefix, std::string& path) {
    const std::string source = ProcessLinkOf(descriptor);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string candidate = prefix + RandomTag();
        if (::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            path = std::move(candidate);
            return S_OK;
        }
        if (errno != EEXIST) return ResultFromErrno(errno);
    }
    return HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
}

// Renames from to to in one step. Keep never replaces what has that name: a file system that
// cannot say so in the rename gets a hard link and the removal of the old name, which is as safe.
HRESULT MoveIntoPlace(const std::string& from, const std::string& to, StagedFile::Existing existing) {
    if (existing == StagedFile::Existing::Replace)
        return ::rename(from.c_str(), to.c_str()) == 0 ? S_OK : ResultFromErrno(errno);
    int error = ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0 ? 0 : errno;
    if (error == EINVAL || error == ENOSYS || error == EOPNOTSUPP) {
        error = ::link(from.c_str(), to.c_str()) == 0 ? 0 : errno;
        if (error == 0) ::unlink(from.c_str());
    }
    if (error == 0) return S_OK;
    return error == EEXIST ? HRESULT_FROM_WIN32(ERROR_FILE_EXISTS) : ResultFromErrno(error);
}

}  // namespace

StagedFile::~StagedFile() {
    Discard();
}

HRESULT StagedFile::Create(const std::string& finalPath, Existing policy) {
    if (m_descriptor >= 0 || finalPath.empty()) return E_UNEXPECTED;
    // Anything at all under the name, a dangling link among them, is kept.
    struct stat named {};
    if (policy == Existing::Keep && ::lstat(finalPath.c_str(), &named) == 0)
        return HRESULT_FROM_WIN32(ERROR_FILE_EXISTS);
    // What the final name holds now decides whether it may be replaced, and the permissions of
    // what replaces it. A link is followed: a link to an input is refused like the input.
    struct stat existing {};
    const bool replacing = ::stat(finalPath.c_str(), &existing) == 0;
    if (!replacing && errno != ENOENT) return ResultFromErrno(errno);
    if (replacing) {
        if (S_ISDIR(existing.st_mode)) return HRESULT_FROM_WIN32(ERROR_DIRECTORY);
        if (!S_ISREG(existing.st_mode)) return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
        if (IsOpenAsSource(existing.st_dev, existing.st_ino))
            return HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION);
        // A file the user may not write is not replaced behind their back either.
        if (::access(finalPath.c_str(), W_OK) != 0) return ResultFromErrno(errno);
    }

    // A new file gets the usual permissions less the umask; a replacement those of the file it
    // replaces.
    const mode_t mode = replacing ? 0600 : 0644;
    int descriptor = OpenUnnamed(FolderOf(finalPath), mode);
    std::string staged;
    if (descriptor < 0) {
        if (descriptor != kNoUnnamedFiles) return ResultFromErrno(-descriptor);
        const HRESULT hr = CreateHidden(HiddenPrefix(finalPath), mode, descriptor, staged);
        if (FAILED(hr)) return hr;
    }
    if (replacing) (void)::fchmod(descriptor, existing.st_mode & 0777);
    m_finalPath = finalPath;
    m_stagedPath = std::move(staged);
    m_existing = policy;
    m_descriptor = descriptor;
    return S_OK;
}

HRESULT StagedFile::Publish() {
    if (m_descriptor < 0) return E_UNEXPECTED;
    HRESULT hr = S_OK;
    if (m_stagedPath.empty()) {
        // The unnamed file gets a hidden name for the instant between its link and its move into
        // place: a link cannot replace, and the move then decides as for a named one.
        hr = LinkUnnamed(m_descriptor, HiddenPrefix(m_finalPath), m_stagedPath);
    }
    // A failed close can mean lost data (on network file systems): such a file is not published.
    const int closed = ::close(m_descriptor) == 0 || errno == EINTR ? 0 : errno;
    m_descriptor = -1;
    if (SUCCEEDED(hr) && closed != 0) hr = ResultFromErrno(closed);
    if (SUCCEEDED(hr)) hr = MoveIntoPlace(m_stagedPath, m_finalPath, m_existing);
    if (FAILED(hr) && !m_stagedPath.empty()) ::unlink(m_stagedPath.c_str());
    m_stagedPath.clear();
    return hr;
}

void StagedFile::Discard() {
    if (m_descriptor < 0) return;
    ::close(m_descriptor);
    m_descriptor = -1;
    if (!m_stagedPath.empty()) ::unlink(m_stagedPath.c_str());
    m_stagedPath.clear();
}

}  // namespace media
