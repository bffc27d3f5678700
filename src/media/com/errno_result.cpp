#include "media/com/errno_result.h"

#include <cerrno>

namespace media {

HRESULT ResultFromErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
        case EACCES:
        case EPERM:
        case EROFS:
        case ETXTBSY:
            return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
        case EISDIR:
            return HRESULT_FROM_WIN32(ERROR_DIRECTORY);
        case ENAMETOOLONG:
            return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
        case ENOSPC:
            return HRESULT_FROM_WIN32(ERROR_DISK_FULL);
        case EDQUOT:
            return HRESULT_FROM_WIN32(ERROR_DISK_QUOTA_EXCEEDED);
        case EFBIG:
            return HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
        case ENOMEM:
            return E_OUTOFMEMORY;
        default:
            return HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
    }
}

}  // namespace media
