#pragma once

// An FFmpeg error code as a result of ours.

extern "C" {
#include <libavutil/error.h>
}

#include "media/api/types.h"

namespace media {

// E_OUTOFMEMORY for AVERROR(ENOMEM), which no caller can do anything about but report; otherwise
// `failure`, the caller's own code for what did not work.
[[nodiscard]] inline HRESULT ResultFromAvError(int error, HRESULT failure) {
    return error == AVERROR(ENOMEM) ? E_OUTOFMEMORY : failure;
}

}  // namespace media
