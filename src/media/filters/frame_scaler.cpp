#include "media/filters/frame_scaler.h"

extern "C" {
#include <libswscale/swscale.h>
}

namespace media {

bool FrameScaler::Scale(const PicturePlanes& source, const RawVideoLayout& target, BYTE* buffer) {
    // The full-range "J" formats go in as they are: libswscale derives their range from them.
    SwsContext* context = sws_getCachedContext(m_context.release(), source.width, source.height, source.format,
                                               target.width, target.height, target.format, SWS_BILINEAR, nullptr,
                                               nullptr, nullptr);
    m_context.reset(context);
    if (context == nullptr) return false;
    std::uint8_t* planes[4];
    int strides[4];
    FillPlanes(target, buffer, planes, strides);
    return sws_scale(context, source.data, source.linesize, 0, source.height, planes, strides) == target.height;
}

void FrameScaler::Reset() { m_context.reset(); }

}  // namespace media
