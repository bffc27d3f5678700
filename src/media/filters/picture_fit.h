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

// picture as it comes out under a largest picture of largestWidth x largestHeight (either at 0:
// no limit). Within the limit as shown (its sample aspect applied) and stored, it stays as it is.
// Otherwise it is the shown picture scaled by one factor to fit, with square pixels and each side
// rounded to the nearest even length (4:2:0 compressors code only whole chroma samples), never
// past the limit.
[[nodiscard]] PictureShape FitWithin(const PictureShape& picture, int largestWidth, int largestHeight);

}  // namespace media
