#include "media/ffmpeg/extradata.h"

#include <climits>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/mem.h>
}

namespace media {

bool CopyExtradata(std::span<const BYTE> bytes, std::uint8_t*& extradata, int& size) {
    if (bytes.empty() || bytes.size() > INT_MAX - AV_INPUT_BUFFER_PADDING_SIZE) return true;
    extradata = static_cast<std::uint8_t*>(av_mallocz(bytes.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    if (extradata == nullptr) return false;
    std::memcpy(extradata, bytes.data(), bytes.size());
    size = static_cast<int>(bytes.size());
    return true;
}

}  // namespace media
