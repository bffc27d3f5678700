#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

// The pictures of a file's first video stream as a player shows them (see PlayerVideoDecoder):
// decoded with libavformat and libavcodec alone, in presentation order (the decoder's output
// order), each converted to packed RGB24, top row first, and turned or mirrored as the stream's
// display matrix asks (the way the ffmpeg command does it). Pixels keep their stored shape.
struct DecodedPictures {
    std::string error;  // empty when the file opened and its video decoded to its end
    int width = 0;
    int height = 0;
    std::vector<std::vector<std::uint8_t>> rgb;  // width * height * 3 bytes each

    // R, G, B at column x of row y (row 0 at the top) of the given picture.
    [[nodiscard]] std::array<int, 3> At(std::size_t picture, int x, int y) const {
        const std::size_t at =
            (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
        return {rgb[picture][at], rgb[picture][at + 1], rgb[picture][at + 2]};
    }
};

// The pictures a player shows from the first-th (0: the first) on, count of them at most.
[[nodiscard]] DecodedPictures DecodePictures(const std::filesystem::path& file, int first = 0,
                                             int count = std::numeric_limits<int>::max());

// PSNR in dB of `actual` against the top-left part of `reference` of actual's size, over every
// picture the two have in common: 10 log10(255^2 / mean squared error). Infinity when they are
// identical; NaN when there is nothing to compare or actual is larger than reference.
[[nodiscard]] double Psnr(const DecodedPictures& actual, const DecodedPictures& reference);

}  // namespace testsupport
