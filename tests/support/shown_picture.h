#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace testsupport {

// A picture as RGB, 8 bits per component, rows top-down.
struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  // R, G, B of each pixel

    [[nodiscard]] bool Empty() const { return rgb.empty(); }
    // R, G, B at column x of row y (row 0 at the top).
    [[nodiscard]] std::array<int, 3> At(int x, int y) const {
        const std::size_t at =
            (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
        return {rgb[at], rgb[at + 1], rgb[at + 2]};
    }
};

// The index-th picture a player shows of the first video stream of file (0: the first), decoded by
// libavcodec with the container's discard marks and converted to RGB by libswscale. Empty when the
// file shows fewer pictures.
[[nodiscard]] RgbPicture ShownPicture(const std::filesystem::path& file, int index = 0);

// Peak signal-to-noise ratio of b against a over all components, in dB; 0 when the sizes differ,
// 100 for identical pictures.
[[nodiscard]] double Psnr(const RgbPicture& a, const RgbPicture& b);

}  // namespace testsupport
