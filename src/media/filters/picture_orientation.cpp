#include "media/filters/picture_orientation.h"

#include <cstdlib>
#include <cstring>

extern "C" {
#include <libavutil/common.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

namespace media {
namespace {

// -1 or 1; 0 counts as 1, so that a degenerate matrix leaves an axis as it is.
int SignOf(std::int32_t value) {
    return value < 0 ? -1 : 1;
}

// Size in pixels of plane `plane` of a picture width x height; the chroma planes are subsampled.
int PlaneWidth(const AVPixFmtDescriptor& format, int plane, int width) {
    return plane == 1 || plane == 2 ? AV_CEIL_RSHIFT(width, format.log2_chroma_w) : width;
}
int PlaneHeight(const AVPixFmtDescriptor& format, int plane, int height) {
    return plane == 1 || plane == 2 ? AV_CEIL_RSHIFT(height, format.log2_chroma_h) : height;
}

// Bytes of one pixel of each plane; false when some plane's pixels are not whole bytes.
bool PixelBytes(AVPixelFormat format, int width, int bytes[4]) {
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
    int rows[4] = {};
    if (descriptor == nullptr || av_image_fill_linesizes(rows, format, width) < 0) return false;
    const int planes = av_pix_fmt_count_planes(format);
    for (int plane = 0; plane < 4; ++plane) {
        bytes[plane] = 0;
        if (plane >= planes) continue;
        const int pixels = PlaneWidth(*descriptor, plane, width);
        if (pixels <= 0 || rows[plane] <= 0 || rows[plane] % pixels != 0) return false;
        bytes[plane] = rows[plane] / pixels;
    }
    return true;
}

template <int kBytes>
void CopyPixels(std::uint8_t* target, const std::uint8_t* source, std::ptrdiff_t step, int count) {
    for (int i = 0; i < count; ++i, target += kBytes, source += step) std::memcpy(target, source, kBytes);
}

void CopyPixels(std::uint8_t* target, const std::uint8_t* source, std::ptrdiff_t step, int count, int bytes) {
    switch (bytes) {
        case 1:
            for (int i = 0; i < count; ++i, source += step) target[i] = *source;
            return;
        case 2:
            return CopyPixels<2>(target, source, step, count);
        case 3:
            return CopyPixels<3>(target, source, step, count);
        case 4:
            return CopyPixels<4>(target, source, step, count);
        default:
            for (int i = 0; i < count; ++i, target += bytes, source += step) {
                std::memcpy(target, source, static_cast<std::size_t>(bytes));
            }
    }
}

}  // namespace

PictureOrientation PictureOrientation::FromDisplayMatrix(const std::int32_t* matrix) {
    if (matrix == nullptr) return {};
    // Row vectors: a shown point is (a x + c y, b x + d y) of the stored (x, y). The nearest
    // quarter turn is an orthogonal matrix of signs, so its transpose maps shown to stored.
    const std::int64_t a = matrix[0];
    const std::int64_t b = matrix[1];
    const std::int64_t c = matrix[3];
    const std::int64_t d = matrix[4];
    if (std::llabs(a) + std::llabs(d) >= std::llabs(b) + std::llabs(c)) {
        return {SignOf(matrix[0]), 0, 0, SignOf(matrix[4])};
    }
    return {0, SignOf(matrix[1]), SignOf(matrix[3]), 0};
}

bool PictureOrientation::CanTurn(AVPixelFormat format, int width, int height) const {
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
    if (descriptor == nullptr || width <= 0 || height <= 0) return false;
    constexpr auto kNotPixels =
        AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_BAYER;
    if ((descriptor->flags & kNotPixels) != 0) return false;
    const bool subsampled = descriptor->log2_chroma_w != 0 || descriptor->log2_chroma_h != 0;
    // Packed 4:2:2 and the like share chroma between neighbours in one plane: no pixel stands alone.
    if (subsampled && (descriptor->flags & AV_PIX_FMT_FLAG_PLANAR) == 0) return false;
    if (SwapsSides() && descriptor->log2_chroma_w != descriptor->log2_chroma_h) return false;
    int bytes[4];
    return PixelBytes(format, width, bytes);
}

void PictureOrientation::Turn(const PicturePlanes& stored, std::uint8_t* const shown[4],
                              const int shownStride[4]) const {
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(stored.format);
    int bytes[4];
    if (descriptor == nullptr || !PixelBytes(stored.format, stored.width, bytes)) return;
    const int shownWidth = SwapsSides() ? stored.height : stored.width;
    const int shownHeight = SwapsSides() ? stored.width : stored.height;
    for (int plane = 0; plane < av_pix_fmt_count_planes(stored.format); ++plane) {
        const int width = PlaneWidth(*descriptor, plane, shownWidth);
        const int height = PlaneHeight(*descriptor, plane, shownHeight);
        const std::ptrdiff_t pixel = bytes[plane];
        const std::ptrdiff_t row = stored.linesize[plane];
        // The stored pixel of shown (0, 0), and how far one step along a shown row moves.
        const int x0 = (m_xx < 0 ? width - 1 : 0) + (m_xy < 0 ? height - 1 : 0);
        const int y0 = (m_yx < 0 ? width - 1 : 0) + (m_yy < 0 ? height - 1 : 0);
        const std::ptrdiff_t along = m_xx * pixel + m_yx * row;
        const std::ptrdiff_t down = m_xy * pixel + m_yy * row;
        const std::uint8_t* first = stored.data[plane] + y0 * row + x0 * pixel;
        for (int y = 0; y < height; ++y) {
            CopyPixels(shown[plane] + static_cast<std::ptrdiff_t>(y) * shownStride[plane], first + y * down,
                       along, width, bytes[plane]);
        }
    }
}

}  // namespace media
