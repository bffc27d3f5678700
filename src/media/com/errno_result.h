#pragma once

// What a failed system call means to a caller of the media layer, in the result codes the rest
// of the layer uses.

#include "media/api/types.h"

namespace media {

// HRESULT_FROM_WIN32 codes for the usual file-system errors (ERROR_PATH_NOT_FOUND,
// ERROR_ACCESS_DENIED, ERROR_DISK_FULL, ERROR_FILE_TOO_LARGE, ...), E_OUTOFMEMORY for ENOMEM, and
// ERROR_WRITE_FAULT for anything else.
[[nodiscard]] HRESULT ResultFromErrno(int error);

}  // namespace media
