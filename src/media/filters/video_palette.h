#pragma once

// The colour table of palette video on its way from the splitter to the decoder. libavformat hands
// it over as packet side data, with the first packet and again whenever it changes; in the graph
// it rides on the sample that first uses it, as that sample's media type: the stream's type with a
// VIDEOINFO format block whose colours (RGBQUADs) follow the bitmap header, biClrUsed of them.

#include <array>
#include <cstdint>

extern "C" {
#include <libavutil/pixfmt.h>
}

#include "media/api/media_type.h"

namespace media {

// A palette as libavcodec takes and gives it: 256 native-endian 0xAARRGGBB entries.
using VideoPalette = std::array<std::uint32_t, AVPALETTE_COUNT>;

// streamType (a video type with a VIDEOINFOHEADER) carrying palette in place of whatever followed
// its bitmap header. The codec parameters stay those of streamType.
[[nodiscard]] MediaType TypeWithPalette(const AM_MEDIA_TYPE& streamType, const VideoPalette& palette);
// The palette type carries, with the entries it does not give set to opaque black; false when it
// carries none.
[[nodiscard]] bool PaletteOf(const AM_MEDIA_TYPE& type, VideoPalette& palette);

}  // namespace media
