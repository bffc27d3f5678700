#pragma once

// The SIMD rows of the 4:2:0 <-> RGB24 conversion: AVX2 or SSSE3 on x86-64, as the processor has,
// byte for byte what the portable rows give. Elsewhere there are none, and the portable rows
// convert everything.

#include <cstdint>

#include "media/filters/yuv420_rgb24_arithmetic.h"

namespace media::yuv420_rgb24 {

// Whether this processor runs the rows below.
[[nodiscard]] bool HaveSimd();

// One row of width pixels to packed B,G,R, from its luma row and its chroma rows. Returns how many
// leading pixels it converted (a multiple of 16); the caller converts the rest.
int RowToBgrSimd(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v, std::uint8_t* bgr, int width,
                 const ToRgbCoefficients& k);

// Packed rows a and b (the same row for a lone last row) to luma rows ya and yb (null for a lone
// row) and one row of each chroma. Returns how many leading pixels of each row it converted (a
// multiple of 16).
int RowPairToYuvSimd(const std::uint8_t* a, const std::uint8_t* b, std::uint8_t* ya, std::uint8_t* yb,
                     std::uint8_t* u, std::uint8_t* v, int width, const ToYuvCoefficients& k);

}  // namespace media::yuv420_rgb24
