#include "media/filters/yuv420_rgb24.h"

#include <algorithm>

#include "media/filters/yuv420_rgb24_arithmetic.h"
#include "media/filters/yuv420_rgb24_simd.h"

namespace media {
namespace {

using namespace yuv420_rgb24;

std::uint8_t ClampToByte(int value) {
    return static_cast<std::uint8_t>(std::clamp(value, 0, 255));
}

// The portable rows: the reference that the SIMD rows match byte for byte.
void RowToBgr(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v, std::uint8_t* bgr,
              int from, int width, const ToRgbCoefficients& k) {
    for (int x = from; x < width; ++x) {
        const int cu = u[x / 2] - 128;
        const int cv = v[x / 2] - 128;
        const int luma = (y[x] - k.yOffset) * k.y + kToRgbRounding;
        bgr[3 * x + 0] = ClampToByte((luma + k.bu * cu) >> kToRgbBits);
        bgr[3 * x + 1] = ClampToByte((luma - k.gu * cu - k.gv * cv) >> kToRgbBits);
        bgr[3 * x + 2] = ClampToByte((luma + k.rv * cv) >> kToRgbBits);
    }
}

// Rows a and b (the same row when the picture ends on an odd row) to luma rows ya and yb (yb null
// then) and one chroma row.
void RowPairToYuv(const std::uint8_t* a, const std::uint8_t* b, std::uint8_t* ya, std::uint8_t* yb,
                  std::uint8_t* u, std::uint8_t* v, int from, int width, const ToYuvCoefficients& k) {
    const auto luma = [&k](const std::uint8_t* pixel) {
        return ClampToByte((k.yb * pixel[0] + k.yg * pixel[1] + k.yr * pixel[2] + k.yBias) >> kToYuvBits);
    };
    for (int x = from; x < width; x += 2) {
        // A block cut off by the right edge repeats its last column: the mean of what is there.
        const int right = std::min(x + 1, width - 1);
        const std::uint8_t* block[4] = {a + 3 * x, a + 3 * right, b + 3 * x, b + 3 * right};
        int sums[3] = {};
        for (const std::uint8_t* pixel : block) {
            for (int c = 0; c < 3; ++c) sums[c] += pixel[c];
        }
        ya[x] = luma(a + 3 * x);
        if (right != x) ya[right] = luma(a + 3 * right);
        if (yb != nullptr) {
            yb[x] = luma(b + 3 * x);
            if (right != x) yb[right] = luma(b + 3 * right);
        }
        u[x / 2] = ClampToByte((k.ub * sums[0] + k.ug * sums[1] + k.ur * sums[2] + kChromaBias) >> kChromaBits);
        v[x / 2] = ClampToByte((k.vb * sums[0] + k.vg * sums[1] + k.vr * sums[2] + kChromaBias) >> kChromaBits);
    }
}

bool UseSimd(ConversionCode code) {
    return code == ConversionCode::Fastest && HaveSimd();
}

bool IsFullRange(AVPixelFormat format) {
    return format == AV_PIX_FMT_YUVJ420P;
}

}  // namespace

bool IsYuv420(AVPixelFormat format) {
    return format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P;
}

void Yuv420ToBgr24(const Yuv420Source& source, AVPixelFormat format, int width, int height, std::uint8_t* rows,
                   std::ptrdiff_t stride, ConversionCode code) {
    const ToRgbCoefficients& k = IsFullRange(format) ? kFullToRgb : kLimitedToRgb;
    const bool simd = UseSimd(code);
    for (int row = 0; row < height; ++row) {
        const std::uint8_t* y = source.data[0] + row * source.stride[0];
        const std::uint8_t* u = source.data[1] + (row / 2) * source.stride[1];
        const std::uint8_t* v = source.data[2] + (row / 2) * source.stride[2];
        std::uint8_t* bgr = rows + row * stride;
        const int done = simd ? RowToBgrSimd(y, u, v, bgr, width, k) : 0;
        RowToBgr(y, u, v, bgr, done, width, k);
    }
}

void Bgr24ToYuv420(const std::uint8_t* rows, std::ptrdiff_t stride, int width, int height,
                   const Yuv420Planes& target, AVPixelFormat format, ConversionCode code) {
    const ToYuvCoefficients& k = IsFullRange(format) ? kFullToYuv : kLimitedToYuv;
    const bool simd = UseSimd(code);
    for (int row = 0; row < height; row += 2) {
        const bool pair = row + 1 < height;
        const std::uint8_t* a = rows + row * stride;
        const std::uint8_t* b = pair ? a + stride : a;  // a lone last row stands for both
        std::uint8_t* ya = target.data[0] + row * target.stride[0];
        std::uint8_t* yb = pair ? ya + target.stride[0] : nullptr;
        std::uint8_t* u = target.data[1] + (row / 2) * target.stride[1];
        std::uint8_t* v = target.data[2] + (row / 2) * target.stride[2];
        const int done = simd ? RowPairToYuvSimd(a, b, ya, yb, u, v, width, k) : 0;
        RowPairToYuv(a, b, ya, yb, u, v, done, width, k);
    }
}

}  // namespace media
