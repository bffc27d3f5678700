#pragma once

// The fixed-point arithmetic of the 4:2:0 <-> RGB24 conversion, shared by its portable and its
// SIMD code so that both give the same bytes.

namespace media::yuv420_rgb24 {

// Fixed-point fractions: 13 bits on the way to RGB (coefficients up to 2.02 must fit in 16 bits),
// 15 on the way back. Both are far finer than the half step that rounding forgives.
inline constexpr int kToRgbBits = 13;
inline constexpr int kToYuvBits = 15;
// Chroma comes from the sum of four pixels: two more bits to shift.
inline constexpr int kChromaBits = kToYuvBits + 2;

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

}  // namespace media::yuv420_rgb24
