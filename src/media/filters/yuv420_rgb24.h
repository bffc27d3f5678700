#pragma once

// Converts between 8-bit 4:2:0 YUV (BT.601, limited or full range) and packed 24-bit B,G,R, so
// that a picture that goes to RGB24 and back comes out as it went in. On the way to RGB each
// chroma sample covers its 2×2 block; on the way back each block's mean is taken, and every value
// is rounded once. A decoded picture passes through RGB24 before it is compressed, and
// libswscale's fast paths filter the chroma both ways and round coarsely: that round trip cost
// about 2 dB of PSNR, while this one rounds back to the same values wherever RGB can hold the
// colour. AVX2 or SSSE3 where the processor has them, plain C++ otherwise; all give the same bytes.

#include <cstddef>
#include <cstdint>

extern "C" {
#include <libavutil/pixfmt.h>
}

namespace media {

// Three planes of 8-bit 4:2:0: luma at full size, chroma at half size rounded up. Strides in bytes.
template <typename Byte>
struct Yuv420PlanesOf {
    Byte* data[3] = {};
    std::ptrdiff_t stride[3] = {};
};
using Yuv420Source = Yuv420PlanesOf<const std::uint8_t>;
using Yuv420Planes = Yuv420PlanesOf<std::uint8_t>;

// Packed B,G,R rows are given by their top row and the stride from one row to the next: negative
// when they run bottom-up, as in a DIB.

enum class ConversionCode { Fastest, Portable };

// Whether format is 8-bit 4:2:0 that the functions below convert (yuv420p, or yuvj420p at full range).
[[nodiscard]] bool IsYuv420(AVPixelFormat format);

// The width × height picture in source (format as IsYuv420 takes) into target.
void Yuv420ToBgr24(const Yuv420Source& source, AVPixelFormat format, int width, int height, std::uint8_t* rows,
                   std::ptrdiff_t stride, ConversionCode code = ConversionCode::Fastest);

// The top-left width × height of the picture in rows into target (format as IsYuv420 takes). A
// chroma sample at the right or bottom edge of an odd size is the mean of the pixels it covers.
void Bgr24ToYuv420(const std::uint8_t* rows, std::ptrdiff_t stride, int width, int height,
                   const Yuv420Planes& target, AVPixelFormat format, ConversionCode code = ConversionCode::Fastest);

}  // namespace media
