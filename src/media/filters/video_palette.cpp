#include "media/filters/video_palette.h"

#include <cstring>

#include "media/api/uuids.h"

namespace media {
namespace {

constexpr std::size_t kRgbQuadSize = 4;

}  // namespace

MediaType TypeWithPalette(const AM_MEDIA_TYPE& streamType, const VideoPalette& palette) {
    MediaType type(streamType);
    VIDEOINFOHEADER header{};
    if (streamType.formattype == FORMAT_VideoInfo && streamType.cbFormat >= sizeof(VIDEOINFOHEADER) &&
        streamType.pbFormat != nullptr) {
        std::memcpy(&header, streamType.pbFormat, sizeof header);
    }
    header.bmiHeader.biClrUsed = static_cast<DWORD>(palette.size());
    header.bmiHeader.biSize = static_cast<DWORD>(sizeof(BITMAPINFOHEADER) + palette.size() * kRgbQuadSize);
    BYTE* block = type.AllocFormat(sizeof(VIDEOINFOHEADER) + palette.size() * kRgbQuadSize, FORMAT_VideoInfo);
    if (block == nullptr) return type;
    std::memcpy(block, &header, sizeof header);
    BYTE* quad = block + sizeof(VIDEOINFOHEADER);
    for (const std::uint32_t colour : palette) {
        // RGBQUAD: blue, green, red, then the byte libavcodec keeps alpha in.
        quad[0] = static_cast<BYTE>(colour);
        quad[1] = static_cast<BYTE>(colour >> 8);
        quad[2] = static_cast<BYTE>(colour >> 16);
        quad[3] = static_cast<BYTE>(colour >> 24);
        quad += kRgbQuadSize;
    }
    return type;
}

bool PaletteOf(const AM_MEDIA_TYPE& type, VideoPalette& palette) {
    if (type.formattype != FORMAT_VideoInfo || type.cbFormat < sizeof(VIDEOINFOHEADER) ||
        type.pbFormat == nullptr) {
        return false;
    }
    VIDEOINFOHEADER header{};
    std::memcpy(&header, type.pbFormat, sizeof header);
    const std::size_t colours = header.bmiHeader.biClrUsed;
    if (colours == 0 || colours > palette.size() ||
        type.cbFormat - sizeof(VIDEOINFOHEADER) < colours * kRgbQuadSize) {
        return false;
    }
    palette.fill(0xFF000000u);
    const BYTE* quad = type.pbFormat + sizeof(VIDEOINFOHEADER);
    for (std::size_t i = 0; i < colours; ++i, quad += kRgbQuadSize) {
        palette[i] = static_cast<std::uint32_t>(quad[0]) | (static_cast<std::uint32_t>(quad[1]) << 8) |
                     (static_cast<std::uint32_t>(quad[2]) << 16) |
                     (static_cast<std::uint32_t>(quad[3]) << 24);
    }
    return true;
}

}  // namespace media
