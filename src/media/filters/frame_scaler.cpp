#include "media/filters/frame_scaler.h"

#include <cstdlib>
#include <cstring>

#include "media/filters/yuv420_rgb24.h"

extern "C" {
#include <libswscale/swscale.h>
}

namespace media {
namespace {

// libswscale writes packed RGB rows in blocks of pixels, running past the end of a row whose
// width is not a multiple of the block. Top-down, the next row overwrites that; bottom-up, the
// overrun lands on the first pixel of the row above, already written, which then shows a column
// of another row's colours. Such pictures are scaled top-down into rows with room to spare, then
// copied.
constexpr int kRowBlockPixels = 16;
constexpr int kRowSpare = 64;

}  // namespace

PicturePlanes PlanesIn(const RawVideoLayout& layout, BYTE* buffer) {
    PicturePlanes picture;
    std::uint8_t* planes[4];
    FillPlanes(layout, buffer, planes, picture.linesize);
    for (int i = 0; i < 4; ++i) picture.data[i] = planes[i];
    picture.format = layout.format;
    picture.width = layout.width;
    picture.height = layout.height;
    return picture;
}

bool FrameScaler::Scale(const PicturePlanes& source, const RawVideoLayout& target, BYTE* buffer) {
    std::uint8_t* planes[4];
    int strides[4];
    FillPlanes(target, buffer, planes, strides);
    // Decoded 4:2:0 on its way to the RGB24 that compressors are fed: converted so that the
    // compressor's side gets the same picture back.
    if (IsYuv420(source.format) && target.format == AV_PIX_FMT_BGR24 && source.width == target.width &&
        source.height == target.height) {
        const Yuv420Source yuv{{source.data[0], source.data[1], source.data[2]},
                               {source.linesize[0], source.linesize[1], source.linesize[2]}};
        Yuv420ToBgr24(yuv, source.format, source.width, source.height, planes[0], strides[0]);
        return true;
    }
    const Conversion wanted{source.format, source.width, source.height,
                            target.format, target.width, target.height};
    if (!m_context || !(wanted == m_conversion)) {
        // The full-range "J" formats go in as they are: libswscale derives their range from them.
        // Bicubic filtering is widened by libswscale with the factor, so that fine detail of a
        // picture made smaller averages out instead of aliasing; area averaging would be cheaper
        // but softer, and the filter costs little next to decoding the large picture.
        const bool shrinks = target.width < source.width || target.height < source.height;
        const int filter = shrinks && m_shrinking == Shrinking::Smooth ? SWS_BICUBIC : SWS_BILINEAR;
        m_context.reset(sws_getContext(source.width, source.height, source.format, target.width,
                                       target.height, target.format, filter, nullptr, nullptr, nullptr));
        m_conversion = wanted;
        if (!m_context) return false;
    }
    if (strides[0] >= 0 || planes[1] != nullptr || target.width % kRowBlockPixels == 0)
        return sws_scale(m_context.get(), source.data, source.linesize, 0, source.height, planes, strides) ==
               target.height;
    const int rowBytes = -strides[0];
    const int spacedRow = rowBytes + kRowSpare;
    m_rows.resize(static_cast<std::size_t>(spacedRow) * static_cast<std::size_t>(target.height));
    std::uint8_t* rows[4] = {m_rows.data(), nullptr, nullptr, nullptr};
    int rowStrides[4] = {spacedRow, 0, 0, 0};
    if (sws_scale(m_context.get(), source.data, source.linesize, 0, source.height, rows, rowStrides) !=
        target.height)
        return false;
    for (int y = 0; y < target.height; ++y)
        std::memcpy(planes[0] + static_cast<std::ptrdiff_t>(y) * strides[0],
                    m_rows.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(spacedRow),
                    static_cast<std::size_t>(rowBytes));
    return true;
}

void FrameScaler::Reset() {
    m_context.reset();
    m_conversion = {};
}

}  // namespace media
