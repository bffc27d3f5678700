#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

// The pictures of a file's first video stream as a player shows them (see PlayerVideoDecoder):
// decoded with libavformat and libavcodec alone, in presentation order (the decoder's output
// order), each converted to packed RGB24, top row first.
struct DecodedPictures {
    std::string error;  // empty when the file opened and its video decoded to its end
    int width = 0;
    int height = 0;
    std::vector<std::vector<std::uint8_t>> rgb;  // width * height * 3 bytes each
};

[[nodiscard]] DecodedPictures DecodePictures(const std::filesystem::path& file);

// PSNR in dB of `actual` against the top-left part of `reference` of actual's size, over every
// picture the two have in common: 10 log10(255^2 / mean squared error). Infinity when they are
// identical; NaN when there is nothing to compare or actual is larger than reference.
[[nodiscard]] double Psnr(const DecodedPictures& actual, const DecodedPictures& reference);

}  // namespace testsupport
