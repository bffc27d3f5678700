#pragma once

// The size a picture takes under a largest picture (IPictureLimit): scaled down to fit as a
// player shows it, never up.

extern "C" {
#include <libavutil/rational.h>
}

namespace media {

// A picture's stored size and the shape of its pixels (0:1 when square or unknown).
struct PictureShape {
    int width = 0;
    int height = 0;
    AVRational sampleAspect{0, 1};
};

[[nodiscard]] bool operator==(const PictureShape& a, const PictureShape& b);

// The width a player gives a picture of width x height pixels of sampleAspect: widened or
// narrowed to square pixels, the height staying. A pixel more than 8 times wider than high, or
// the other way round, is a damaged header and counts as square.
[[nodiscard]] int ShownWidth(int width, int height, AVRational sampleAspect);

// picture as it comes out under a largest picture of largestWidth x largestHeight (either at 0:
// no limit). Within the limit as shown (its sample aspect applied) and stored, it stays as it is.
// Otherwise it is the shown picture scaled by one factor to fit, with square pixels and each side
// rounded to the nearest even length (4:2:0 compressors code only whole chroma samples), at least
// 2 and otherwise never past the limit.
[[nodiscard]] PictureShape FitWithin(const PictureShape& picture, int largestWidth, int largestHeight);

}  // namespace media
