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

    const std::string prefix = FolderOf(finalPath) + "/." + NameOf(finalPath).substr(0, kMaxKeptName) + ".";
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string staged = prefix + RandomTag();
        // A new file gets the usual permissions less the umask; a replacement those of the file
        // it replaces.
        const int descriptor = ::open(staged.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY,
                                      replacing ? 0600 : 0644);
        if (descriptor < 0) {
            if (errno == EEXIST) continue;
            return ResultFromErrno(errno);
        }
        if (replacing) (void)::fchmod(descriptor, existing.st_mode & 0777);
        m_finalPath = finalPath;
        m_stagedPath = std::move(staged);
        m_existing = policy;
        m_descriptor = descriptor;
        return S_OK;
    }
    return HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
}

HRESULT StagedFile::Publish() {
    if (m_descriptor < 0) return E_UNEXPECTED;
    // A failed close can mean lost data (on network file systems): such a file is not published.
    HRESULT hr = ::close(m_descriptor) == 0 || errno == EINTR ? S_OK : ResultFromErrno(errno);
    m_descriptor = -1;
    if (SUCCEEDED(hr)) hr = MoveIntoPlace(m_stagedPath, m_finalPath, m_existing);
    if (FAILED(hr)) ::unlink(m_stagedPath.c_str());
    m_stagedPath.clear();
    return hr;
}

void StagedFile::Discard() {
    if (m_descriptor < 0) return;
    ::close(m_descriptor);
    m_descriptor = -1;
    ::unlink(m_stagedPath.c_str());
    m_stagedPath.clear();
}

}  // namespace media
