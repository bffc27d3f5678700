#include "media/filters/picture_fit.h"

#include <algorithm>
#include <cmath>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/mathematics.h>
}

#include "media/ffmpeg/codec_media_type.h"

namespace media {
namespace {

// The even length nearest to exact, from 2 up to the largest even length within limit.
int EvenSide(double exact, int limit) {
    const int even = 2 * static_cast<int>(std::lround(exact / 2.0));
    return std::clamp(even, 2, std::max(2, limit / 2 * 2));
}

}  // namespace

bool operator==(const PictureShape& a, const PictureShape& b) {
    return a.width == b.width && a.height == b.height && a.sampleAspect.num == b.sampleAspect.num &&
           a.sampleAspect.den == b.sampleAspect.den;
}

int ShownWidth(int width, int height, AVRational sampleAspect) {
    if (!IsAnamorphic(sampleAspect) || av_cmp_q(sampleAspect, AVRational{8, 1}) > 0 ||
        av_cmp_q(sampleAspect, AVRational{1, 8}) < 0) {
        return width;
    }
    const auto shown = static_cast<int>(av_rescale(width, sampleAspect.num, sampleAspect.den));
    const bool fits = shown > 0 && av_image_check_size(static_cast<unsigned>(shown),
                                                       static_cast<unsigned>(height), 0, nullptr) >= 0;
    return fits ? shown : width;
}

PictureShape FitWithin(const PictureShape& picture, int largestWidth, int largestHeight) {
    if (largestWidth <= 0 || largestHeight <= 0 || picture.width <= 0 || picture.height <= 0) return picture;
    const double shownWidth = ShownWidth(picture.width, picture.height, picture.sampleAspect);
    const double shownHeight = picture.height;
    // A picture whose stored width alone is too large (narrow pixels) is too large for a player
    // as well.
    if (shownWidth <= largestWidth && shownHeight <= largestHeight && picture.width <= largestWidth) {
        return picture;
    }
    const double scale = std::min({1.0, largestWidth / shownWidth, largestHeight / shownHeight});
    return {EvenSide(shownWidth * scale, largestWidth), EvenSide(shownHeight * scale, largestHeight), {1, 1}};
}

}  // namespace media
