#include "media/filters/yuv420_rgb24.h"

#include <algorithm>
#include <array>

#if defined(__x86_64__)
#define TESSAREL_HAVE_SSSE3_CODE 1
#include <tmmintrin.h>
#endif

namespace media {
namespace {

// Fixed-point fractions: 13 bits on the way to RGB (coefficients up to 2.02 must fit in 16 bits),
// 15 on the way back. Both are far finer than the half step that rounding forgives.
constexpr int kToRgbBits = 13;
constexpr int kToYuvBits = 15;
// Chroma comes from the sum of four pixels: two more bits to shift.
constexpr int kChromaBits = kToYuvBits + 2;

constexpr int Fixed(double value, int bits) {
    const double scaled = value * static_cast<double>(1 << bits);
    return scaled >= 0 ? static_cast<int>(scaled + 0.5) : -static_cast<int>(-scaled + 0.5);
}

// B = y·(Y − yOffset) + bu·(U − 128), G = y·(Y − yOffset) − gu·(U − 128) − gv·(V − 128),
// R = y·(Y − yOffset) + rv·(V − 128).
struct ToRgbCoefficients {
    int yOffset;
    int y;
    int bu;
    int gu;
    int gv;
    int rv;
};

// Y = (yb·B + yg·G + yr·R + yBias) >> 15; U and V likewise from the sums of a 2×2 block, >> 17.
struct ToYuvCoefficients {
    int yb;
    int yg;
    int yr;
    int yBias;
    int ub;
    int ug;
    int ur;
    int vb;
    int vg;
    int vr;
};

// BT.601: Kr = 0.299, Kb = 0.114. Limited range spreads luma over 219 steps and chroma over 224.
constexpr double kKr = 0.299;
constexpr double kKb = 0.114;
constexpr double kKg = 1 - kKr - kKb;

constexpr ToRgbCoefficients ToRgb(double lumaScale, double chromaScale, int yOffset) {
    return {yOffset,
            Fixed(1 / lumaScale, kToRgbBits),
            Fixed(2 * (1 - kKb) / chromaScale, kToRgbBits),
            Fixed(2 * (1 - kKb) * kKb / kKg / chromaScale, kToRgbBits),
            Fixed(2 * (1 - kKr) * kKr / kKg / chromaScale, kToRgbBits),
            Fixed(2 * (1 - kKr) / chromaScale, kToRgbBits)};
}

constexpr ToYuvCoefficients ToYuv(double lumaScale, double chromaScale, int yOffset) {
    const int ub = Fixed(0.5 * chromaScale, kToYuvBits);
    const int ur = Fixed(-0.5 * kKr / (1 - kKb) * chromaScale, kToYuvBits);
    const int vr = Fixed(0.5 * chromaScale, kToYuvBits);
    const int vb = Fixed(-0.5 * kKb / (1 - kKr) * chromaScale, kToYuvBits);
    // Each chroma row sums to zero, so that grey stays exactly grey.
    return {Fixed(kKb * lumaScale, kToYuvBits),
            Fixed(kKg * lumaScale, kToYuvBits),
            Fixed(kKr * lumaScale, kToYuvBits),
            (yOffset << kToYuvBits) + (1 << (kToYuvBits - 1)),
            ub,
            -(ub + ur),
            ur,
            vb,
            -(vr + vb),
            vr};
}

constexpr double kLimitedLuma = 219.0 / 255.0;
constexpr double kLimitedChroma = 224.0 / 255.0;
constexpr ToRgbCoefficients kLimitedToRgb = ToRgb(kLimitedLuma, kLimitedChroma, 16);
constexpr ToRgbCoefficients kFullToRgb = ToRgb(1, 1, 0);
constexpr ToYuvCoefficients kLimitedToYuv = ToYuv(kLimitedLuma, kLimitedChroma, 16);
constexpr ToYuvCoefficients kFullToYuv = ToYuv(1, 1, 0);

constexpr int kToRgbRounding = 1 << (kToRgbBits - 1);
constexpr int kChromaBias = (128 << kChromaBits) + (1 << (kChromaBits - 1));

std::uint8_t ClampToByte(int value) {
    return static_cast<std::uint8_t>(std::clamp(value, 0, 255));
}

// --- Portable code: the reference that the SIMD code matches byte for byte ----------------------

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

#ifdef TESSAREL_HAVE_SSSE3_CODE
// --- SSSE3: 16 pixels at a time -----------------------------------------------------------------

using ByteShuffle = std::array<std::int8_t, 16>;
constexpr std::int8_t kZeroByte = -128;  // a shuffle index that gives 0

// Shuffles that take channel c of 16 packed pixels out of the k-th of their three 16-byte parts.
constexpr std::array<std::array<ByteShuffle, 3>, 3> UnpackShuffles() {
    std::array<std::array<ByteShuffle, 3>, 3> masks{};
    for (int c = 0; c < 3; ++c) {
        for (int k = 0; k < 3; ++k) {
            for (int p = 0; p < 16; ++p) {
                const int byte = 3 * p + c;
                masks[c][k][p] = static_cast<std::int8_t>(byte / 16 == k ? byte % 16 : kZeroByte);
            }
        }
    }
    return masks;
}

// Shuffles that place channel c's 16 bytes into the k-th 16-byte part of the packed pixels.
constexpr std::array<std::array<ByteShuffle, 3>, 3> PackShuffles() {
    std::array<std::array<ByteShuffle, 3>, 3> masks{};
    for (int c = 0; c < 3; ++c) {
        for (int k = 0; k < 3; ++k) {
            for (int j = 0; j < 16; ++j) {
                const int byte = 16 * k + j;
                masks[c][k][j] = static_cast<std::int8_t>(byte % 3 == c ? byte / 3 : kZeroByte);
            }
        }
    }
    return masks;
}

constexpr auto kUnpack = UnpackShuffles();
constexpr auto kPack = PackShuffles();

// The loops below run per pixel: their helpers must be inlined to be worth anything.
#define TESSAREL_SSSE3 __attribute__((target("ssse3")))
#define TESSAREL_SSSE3_INLINE __attribute__((target("ssse3"), always_inline)) inline

TESSAREL_SSSE3_INLINE __m128i LoadShuffle(const ByteShuffle& mask) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(mask.data()));
}

// Two 16-bit coefficients side by side, for _mm_madd_epi16 on (first, second) pairs.
TESSAREL_SSSE3_INLINE __m128i CoefficientPair(int first, int second) {
    return _mm_set1_epi32(static_cast<int>((static_cast<unsigned>(second) << 16) |
                                           (static_cast<unsigned>(first) & 0xFFFFu)));
}

struct Channels {
    __m128i b;
    __m128i g;
    __m128i r;
};

TESSAREL_SSSE3_INLINE Channels UnpackPixels(const std::uint8_t* packed) {
    const __m128i parts[3] = {_mm_loadu_si128(reinterpret_cast<const __m128i*>(packed)),
                              _mm_loadu_si128(reinterpret_cast<const __m128i*>(packed + 16)),
                              _mm_loadu_si128(reinterpret_cast<const __m128i*>(packed + 32))};
    __m128i channel[3];
    for (int c = 0; c < 3; ++c) {
        channel[c] = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(parts[0], LoadShuffle(kUnpack[c][0])),
                                               _mm_shuffle_epi8(parts[1], LoadShuffle(kUnpack[c][1]))),
                                  _mm_shuffle_epi8(parts[2], LoadShuffle(kUnpack[c][2])));
    }
    return {channel[0], channel[1], channel[2]};
}

TESSAREL_SSSE3_INLINE void PackPixels(const Channels& channels, std::uint8_t* packed) {
    for (int k = 0; k < 3; ++k) {
        const __m128i part =
            _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(channels.b, LoadShuffle(kPack[0][k])),
                                      _mm_shuffle_epi8(channels.g, LoadShuffle(kPack[1][k]))),
                         _mm_shuffle_epi8(channels.r, LoadShuffle(kPack[2][k])));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(packed + 16 * k), part);
    }
}

// The low (half 0) or high (half 1) eight bytes of bytes as 16-bit values.
TESSAREL_SSSE3_INLINE __m128i Widen(__m128i bytes, int half) {
    const __m128i zero = _mm_setzero_si128();
    return half == 0 ? _mm_unpacklo_epi8(bytes, zero) : _mm_unpackhi_epi8(bytes, zero);
}

// (first · c1 + second · c2 + bias) >> bits for eight 16-bit values of each; coefficients holds (c1, c2).
TESSAREL_SSSE3_INLINE __m128i WeightedPair(__m128i first, __m128i second, __m128i coefficients, __m128i bias,
                                           int bits) {
    const __m128i low = _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(first, second), coefficients), bias);
    const __m128i high = _mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(first, second), coefficients), bias);
    const __m128i count = _mm_cvtsi32_si128(bits);
    return _mm_packs_epi32(_mm_sra_epi32(low, count), _mm_sra_epi32(high, count));
}

// (first · c1 + second · c2 + third · c3 + bias) >> bits for eight 16-bit values of each, where
// firstSecond holds (c1, c2) and thirdAlone (c3, 0).
TESSAREL_SSSE3_INLINE __m128i WeightedSum(__m128i first, __m128i second, __m128i third, __m128i firstSecond,
                                          __m128i thirdAlone, __m128i bias, int bits) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i low =
        _mm_add_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(first, second), firstSecond),
                                    _mm_madd_epi16(_mm_unpacklo_epi16(third, zero), thirdAlone)),
                      bias);
    const __m128i high =
        _mm_add_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(first, second), firstSecond),
                                    _mm_madd_epi16(_mm_unpackhi_epi16(third, zero), thirdAlone)),
                      bias);
    const __m128i count = _mm_cvtsi32_si128(bits);
    return _mm_packs_epi32(_mm_sra_epi32(low, count), _mm_sra_epi32(high, count));
}

// Returns how many pixels it converted: a multiple of 16.
TESSAREL_SSSE3 int RowToBgrSsse3(const std::uint8_t* y, const std::uint8_t* u,
                                                   const std::uint8_t* v, std::uint8_t* bgr, int width,
                                                   const ToRgbCoefficients& k) {
    const __m128i yOffset = _mm_set1_epi16(static_cast<short>(k.yOffset));
    const __m128i centre = _mm_set1_epi16(128);
    const __m128i rounding = _mm_set1_epi32(kToRgbRounding);
    const __m128i blue = CoefficientPair(k.y, k.bu);
    const __m128i greenFromU = CoefficientPair(k.y, -k.gu);
    const __m128i greenFromV = CoefficientPair(-k.gv, 0);
    const __m128i red = CoefficientPair(k.y, k.rv);
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m128i luma = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y + x));
        __m128i cu = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(u + x / 2));
        __m128i cv = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(v + x / 2));
        cu = _mm_unpacklo_epi8(cu, cu);  // each chroma sample for its two pixels
        cv = _mm_unpacklo_epi8(cv, cv);
        __m128i out[3][2];
        for (int half = 0; half < 2; ++half) {
            const __m128i y16 = _mm_sub_epi16(Widen(luma, half), yOffset);
            const __m128i u16 = _mm_sub_epi16(Widen(cu, half), centre);
            const __m128i v16 = _mm_sub_epi16(Widen(cv, half), centre);
            out[0][half] = WeightedPair(y16, u16, blue, rounding, kToRgbBits);
            out[1][half] = WeightedSum(y16, u16, v16, greenFromU, greenFromV, rounding, kToRgbBits);
            out[2][half] = WeightedPair(y16, v16, red, rounding, kToRgbBits);
        }
        const Channels channels{_mm_packus_epi16(out[0][0], out[0][1]), _mm_packus_epi16(out[1][0], out[1][1]),
                                _mm_packus_epi16(out[2][0], out[2][1])};
        PackPixels(channels, bgr + 3 * x);
    }
    return x;
}

TESSAREL_SSSE3_INLINE __m128i LumaOf(const Channels& pixels, __m128i bg, __m128i r, __m128i bias) {
    const __m128i low =
        WeightedSum(Widen(pixels.b, 0), Widen(pixels.g, 0), Widen(pixels.r, 0), bg, r, bias, kToYuvBits);
    const __m128i high =
        WeightedSum(Widen(pixels.b, 1), Widen(pixels.g, 1), Widen(pixels.r, 1), bg, r, bias, kToYuvBits);
    return _mm_packus_epi16(low, high);
}

// Returns how many pixels of each row it converted: a multiple of 16.
TESSAREL_SSSE3 int RowPairToYuvSsse3(const std::uint8_t* a, const std::uint8_t* b,
                                                       std::uint8_t* ya, std::uint8_t* yb, std::uint8_t* u,
                                                       std::uint8_t* v, int width, const ToYuvCoefficients& k) {
    const __m128i ones = _mm_set1_epi8(1);
    const __m128i yBias = _mm_set1_epi32(k.yBias);
    const __m128i chromaBias = _mm_set1_epi32(kChromaBias);
    const __m128i lumaBg = CoefficientPair(k.yb, k.yg);
    const __m128i lumaR = CoefficientPair(k.yr, 0);
    const __m128i uBg = CoefficientPair(k.ub, k.ug);
    const __m128i uR = CoefficientPair(k.ur, 0);
    const __m128i vBg = CoefficientPair(k.vb, k.vg);
    const __m128i vR = CoefficientPair(k.vr, 0);

    int x = 0;
    for (; x + 16 <= width; x += 16) {
        const Channels top = UnpackPixels(a + 3 * x);
        const Channels bottom = UnpackPixels(b + 3 * x);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(ya + x), LumaOf(top, lumaBg, lumaR, yBias));
        if (yb != nullptr) _mm_storeu_si128(reinterpret_cast<__m128i*>(yb + x), LumaOf(bottom, lumaBg, lumaR, yBias));
        // Sums of each 2×2 block: neighbours added by the multiply-add, then the two rows.
        const __m128i sumB = _mm_add_epi16(_mm_maddubs_epi16(top.b, ones), _mm_maddubs_epi16(bottom.b, ones));
        const __m128i sumG = _mm_add_epi16(_mm_maddubs_epi16(top.g, ones), _mm_maddubs_epi16(bottom.g, ones));
        const __m128i sumR = _mm_add_epi16(_mm_maddubs_epi16(top.r, ones), _mm_maddubs_epi16(bottom.r, ones));
        const __m128i cu = WeightedSum(sumB, sumG, sumR, uBg, uR, chromaBias, kChromaBits);
        const __m128i cv = WeightedSum(sumB, sumG, sumR, vBg, vR, chromaBias, kChromaBits);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(u + x / 2), _mm_packus_epi16(cu, cu));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(v + x / 2), _mm_packus_epi16(cv, cv));
    }
    return x;
}

bool HaveSsse3() {
    static const bool have = __builtin_cpu_supports("ssse3");
    return have;
}
#endif  // TESSAREL_HAVE_SSSE3_CODE

bool UseSimd(ConversionCode code) {
#ifdef TESSAREL_HAVE_SSSE3_CODE
    return code == ConversionCode::Fastest && HaveSsse3();
#else
    (void)code;
    return false;
#endif
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
        int done = 0;
#ifdef TESSAREL_HAVE_SSSE3_CODE
        if (simd) done = RowToBgrSsse3(y, u, v, bgr, width, k);
#endif
        RowToBgr(y, u, v, bgr, done, width, k);
    }
    (void)simd;
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
        int done = 0;
#ifdef TESSAREL_HAVE_SSSE3_CODE
        if (simd) done = RowPairToYuvSsse3(a, b, ya, yb, u, v, width, k);
#endif
        RowPairToYuv(a, b, ya, yb, u, v, done, width, k);
    }
    (void)simd;
}

}  // namespace media
