#include "media/filters/frame_scaler.h"

extern "C" {
#include <libswscale/swscale.h>
}

namespace media {

bool FrameScaler::Scale(const PicturePlanes& source, const RawVideoLayout& target, BYTE* buffer) {
    const Conversion wanted{source.format, source.width, source.height,
                            target.format, target.width, target.height};
    if (!m_context || !(wanted == m_conversion)) {
        // The full-range "J" formats go in as they are: libswscale derives their range from them.
        m_context.reset(sws_getContext(source.width, source.height, source.format, target.width,
                                       target.height, target.format, SWS_BILINEAR, nullptr, nullptr,
                                       nullptr));
        m_conversion = wanted;
        if (!m_context) return false;
    }
    std::uint8_t* planes[4];
    int strides[4];
    FillPlanes(target, buffer, planes, strides);
    return sws_scale(m_context.get(), source.data, source.linesize, 0, source.height, planes, strides) ==
           target.height;
}

void FrameScaler::Reset() {
    m_context.reset();
    m_conversion = {};
}

}  // namespace media
