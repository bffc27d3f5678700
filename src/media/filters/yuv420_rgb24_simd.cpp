#include "media/filters/yuv420_rgb24_simd.h"

#if defined(__x86_64__)

#include <immintrin.h>

#include <array>

namespace media::yuv420_rgb24 {
namespace {

struct Features {
    bool ssse3 = false;
    bool avx2 = false;
};

// Asked once: the processor does not change under a running program.
const Features& ProcessorFeatures() {
    static const Features features = [] {
        __builtin_cpu_init();
        const bool ssse3 = __builtin_cpu_supports("ssse3") != 0;
        return Features{ssse3, ssse3 && __builtin_cpu_supports("avx2") != 0};
    }();
    return features;
}

// The loops below run per pixel: their helpers must be inlined to be worth anything.
#define TESSAREL_SSSE3 __attribute__((target("ssse3")))
#define TESSAREL_SSSE3_INLINE __attribute__((target("ssse3"), always_inline)) inline
#define TESSAREL_AVX2 __attribute__((target("avx2")))
#define TESSAREL_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

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


// --- AVX2: the arithmetic on 32 pixels at a time ------------------------------------------------
// Every AVX2 step used here works on each 128-bit half alone, so with pixels 0-15 in the low
// half and 16-31 in the high half each half computes what the SSSE3 code computes; the packing
// to and from B,G,R stays 128 bits wide.

TESSAREL_AVX2_INLINE __m256i CoefficientPair256(int first, int second) {
    return _mm256_set1_epi32(static_cast<int>((static_cast<unsigned>(second) << 16) |
                                              (static_cast<unsigned>(first) & 0xFFFFu)));
}

TESSAREL_AVX2_INLINE __m256i Widen256(__m256i bytes, int half) {
    const __m256i zero = _mm256_setzero_si256();
    return half == 0 ? _mm256_unpacklo_epi8(bytes, zero) : _mm256_unpackhi_epi8(bytes, zero);
}

TESSAREL_AVX2_INLINE __m256i WeightedPair256(__m256i first, __m256i second, __m256i coefficients, __m256i bias,
                                             int bits) {
    const __m256i low = _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(first, second), coefficients), bias);
    const __m256i high = _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(first, second), coefficients), bias);
    const __m128i count = _mm_cvtsi32_si128(bits);
    return _mm256_packs_epi32(_mm256_sra_epi32(low, count), _mm256_sra_epi32(high, count));
}

TESSAREL_AVX2_INLINE __m256i WeightedSum256(__m256i first, __m256i second, __m256i third, __m256i firstSecond,
                                            __m256i thirdAlone, __m256i bias, int bits) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i low = _mm256_add_epi32(
        _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(first, second), firstSecond),
                         _mm256_madd_epi16(_mm256_unpacklo_epi16(third, zero), thirdAlone)),
        bias);
    const __m256i high = _mm256_add_epi32(
        _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(first, second), firstSecond),
                         _mm256_madd_epi16(_mm256_unpackhi_epi16(third, zero), thirdAlone)),
        bias);
    const __m128i count = _mm_cvtsi32_si128(bits);
    return _mm256_packs_epi32(_mm256_sra_epi32(low, count), _mm256_sra_epi32(high, count));
}

// 16 chroma samples, each twice: for pixels 0-15 in the low half, 16-31 in the high half.
TESSAREL_AVX2_INLINE __m256i RepeatedChroma(const std::uint8_t* chroma) {
    const __m128i samples = _mm_loadu_si128(reinterpret_cast<const __m128i*>(chroma));
    return _mm256_set_m128i(_mm_unpackhi_epi8(samples, samples), _mm_unpacklo_epi8(samples, samples));
}

TESSAREL_AVX2 int RowToBgrAvx2(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v,
                               std::uint8_t* bgr, int width, const ToRgbCoefficients& k) {
    const __m256i yOffset = _mm256_set1_epi16(static_cast<short>(k.yOffset));
    const __m256i centre = _mm256_set1_epi16(128);
    const __m256i rounding = _mm256_set1_epi32(kToRgbRounding);
    const __m256i blue = CoefficientPair256(k.y, k.bu);
    const __m256i greenFromU = CoefficientPair256(k.y, -k.gu);
    const __m256i greenFromV = CoefficientPair256(-k.gv, 0);
    const __m256i red = CoefficientPair256(k.y, k.rv);
    int x = 0;
    for (; x + 32 <= width; x += 32) {
        const __m256i luma = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(y + x));
        const __m256i cu = RepeatedChroma(u + x / 2);
        const __m256i cv = RepeatedChroma(v + x / 2);
        __m256i out[3][2];
        for (int half = 0; half < 2; ++half) {
            const __m256i y16 = _mm256_sub_epi16(Widen256(luma, half), yOffset);
            const __m256i u16 = _mm256_sub_epi16(Widen256(cu, half), centre);
            const __m256i v16 = _mm256_sub_epi16(Widen256(cv, half), centre);
            out[0][half] = WeightedPair256(y16, u16, blue, rounding, kToRgbBits);
            out[1][half] = WeightedSum256(y16, u16, v16, greenFromU, greenFromV, rounding, kToRgbBits);
            out[2][half] = WeightedPair256(y16, v16, red, rounding, kToRgbBits);
        }
        const __m256i b = _mm256_packus_epi16(out[0][0], out[0][1]);
        const __m256i g = _mm256_packus_epi16(out[1][0], out[1][1]);
        const __m256i r = _mm256_packus_epi16(out[2][0], out[2][1]);
        PackPixels({_mm256_castsi256_si128(b), _mm256_castsi256_si128(g), _mm256_castsi256_si128(r)}, bgr + 3 * x);
        PackPixels({_mm256_extracti128_si256(b, 1), _mm256_extracti128_si256(g, 1), _mm256_extracti128_si256(r, 1)},
                   bgr + 3 * x + 48);
    }
    return x;
}

TESSAREL_AVX2_INLINE __m256i LumaOf256(__m256i b, __m256i g, __m256i r, __m256i bg, __m256i alone, __m256i bias) {
    const __m256i low = WeightedSum256(Widen256(b, 0), Widen256(g, 0), Widen256(r, 0), bg, alone, bias, kToYuvBits);
    const __m256i high = WeightedSum256(Widen256(b, 1), Widen256(g, 1), Widen256(r, 1), bg, alone, bias, kToYuvBits);
    return _mm256_packus_epi16(low, high);
}

// 32 pixels from packed rows as channels: pixels 0-15 in the low halves, 16-31 in the high.
TESSAREL_AVX2_INLINE void UnpackPixels256(const std::uint8_t* packed, __m256i& b, __m256i& g, __m256i& r) {
    const Channels low = UnpackPixels(packed);
    const Channels high = UnpackPixels(packed + 48);
    b = _mm256_set_m128i(high.b, low.b);
    g = _mm256_set_m128i(high.g, low.g);
    r = _mm256_set_m128i(high.r, low.r);
}

// The first eight bytes of each half of 16-bit values packed to bytes: 16 chroma samples in order.
TESSAREL_AVX2_INLINE __m128i ChromaBytes(__m256i words) {
    const __m256i bytes = _mm256_packus_epi16(words, words);
    return _mm_unpacklo_epi64(_mm256_castsi256_si128(bytes), _mm256_extracti128_si256(bytes, 1));
}

TESSAREL_AVX2 int RowPairToYuvAvx2(const std::uint8_t* a, const std::uint8_t* b, std::uint8_t* ya,
                                   std::uint8_t* yb, std::uint8_t* u, std::uint8_t* v, int width,
                                   const ToYuvCoefficients& k) {
    const __m256i ones = _mm256_set1_epi8(1);
    const __m256i yBias = _mm256_set1_epi32(k.yBias);
    const __m256i chromaBias = _mm256_set1_epi32(kChromaBias);
    const __m256i lumaBg = CoefficientPair256(k.yb, k.yg);
    const __m256i lumaR = CoefficientPair256(k.yr, 0);
    const __m256i uBg = CoefficientPair256(k.ub, k.ug);
    const __m256i uR = CoefficientPair256(k.ur, 0);
    const __m256i vBg = CoefficientPair256(k.vb, k.vg);
    const __m256i vR = CoefficientPair256(k.vr, 0);
    int x = 0;
    for (; x + 32 <= width; x += 32) {
        __m256i topB, topG, topR, bottomB, bottomG, bottomR;
        UnpackPixels256(a + 3 * x, topB, topG, topR);
        UnpackPixels256(b + 3 * x, bottomB, bottomG, bottomR);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(ya + x), LumaOf256(topB, topG, topR, lumaBg, lumaR, yBias));
        if (yb != nullptr) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(yb + x),
                                LumaOf256(bottomB, bottomG, bottomR, lumaBg, lumaR, yBias));
        }
        const __m256i sumB = _mm256_add_epi16(_mm256_maddubs_epi16(topB, ones), _mm256_maddubs_epi16(bottomB, ones));
        const __m256i sumG = _mm256_add_epi16(_mm256_maddubs_epi16(topG, ones), _mm256_maddubs_epi16(bottomG, ones));
        const __m256i sumR = _mm256_add_epi16(_mm256_maddubs_epi16(topR, ones), _mm256_maddubs_epi16(bottomR, ones));
        const __m256i cu = WeightedSum256(sumB, sumG, sumR, uBg, uR, chromaBias, kChromaBits);
        const __m256i cv = WeightedSum256(sumB, sumG, sumR, vBg, vR, chromaBias, kChromaBits);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(u + x / 2), ChromaBytes(cu));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(v + x / 2), ChromaBytes(cv));
    }
    return x;
}

}  // namespace

int RowToBgrSimd(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v, std::uint8_t* bgr, int width,
                 const ToRgbCoefficients& k) {
    int done = 0;
    if (ProcessorFeatures().avx2) done = RowToBgrAvx2(y, u, v, bgr, width, k);
    if (ProcessorFeatures().ssse3) done += RowToBgrSsse3(y + done, u + done / 2, v + done / 2, bgr + 3 * done, width - done, k);
    return done;
}

int RowPairToYuvSimd(const std::uint8_t* a, const std::uint8_t* b, std::uint8_t* ya, std::uint8_t* yb,
                     std::uint8_t* u, std::uint8_t* v, int width, const ToYuvCoefficients& k) {
    int done = 0;
    if (ProcessorFeatures().avx2) done = RowPairToYuvAvx2(a, b, ya, yb, u, v, width, k);
    if (ProcessorFeatures().ssse3) {
        done += RowPairToYuvSsse3(a + 3 * done, b + 3 * done, ya + done, yb != nullptr ? yb + done : nullptr,
                                  u + done / 2, v + done / 2, width - done, k);
    }
    return done;
}

bool HaveSimd() {
    return ProcessorFeatures().ssse3;
}

}  // namespace media::yuv420_rgb24

#else  // not x86-64

namespace media::yuv420_rgb24 {

bool HaveSimd() {
    return false;
}

int RowToBgrSimd(const std::uint8_t*, const std::uint8_t*, const std::uint8_t*, std::uint8_t*, int,
                 const ToRgbCoefficients&) {
    return 0;
}

int RowPairToYuvSimd(const std::uint8_t*, const std::uint8_t*, std::uint8_t*, std::uint8_t*, std::uint8_t*,
                     std::uint8_t*, int, const ToYuvCoefficients&) {
    return 0;
}

}  // namespace media::yuv420_rgb24

#endif
