#pragma once

// Converts one picture between uncompressed layouts with libswscale, keeping the conversion
// context while the source and target stay the same. (sws_getCachedContext would rebuild it for
// every picture of a full-range "J" format, which libswscale rewrites internally.)

extern "C" {
#include <libavutil/pixfmt.h>
}

#include <cstdint>
#include <vector>

#include "media/ffmpeg/av_ptr.h"
#include "media/ffmpeg/codec_media_type.h"

namespace media {

// A picture in memory: plane pointers and strides (negative strides run bottom-up).
struct PicturePlanes {
    const std::uint8_t* data[4] = {};
    int linesize[4] = {};
    AVPixelFormat format = AV_PIX_FMT_NONE;
    int width = 0;
    int height = 0;
};

// The picture that buffer holds, laid out as layout.
[[nodiscard]] PicturePlanes PlanesIn(const RawVideoLayout& layout, BYTE* buffer);

class FrameScaler {
public:
    // How a picture is made smaller: Fast (bilinear) where it is only shown, Smooth (bicubic,
    // widened with the factor) where it is kept in a file.
    enum class Shrinking { Fast, Smooth };

    explicit FrameScaler(Shrinking shrinking = Shrinking::Fast) : m_shrinking(shrinking) {}

    // Scales source into buffer, which holds one frame laid out as target. False when libswscale
    // cannot convert between the two. Streaming thread only.
    [[nodiscard]] bool Scale(const PicturePlanes& source, const RawVideoLayout& target, BYTE* buffer);
    void Reset();

private:
    struct Conversion {
        AVPixelFormat from = AV_PIX_FMT_NONE;
        int fromWidth = 0;
        int fromHeight = 0;
        AVPixelFormat to = AV_PIX_FMT_NONE;
        int toWidth = 0;
        int toHeight = 0;
        bool operator==(const Conversion&) const = default;
    };

    const Shrinking m_shrinking;
    SwsContextPtr m_context;
    Conversion m_conversion;  // what m_context was made for
    std::vector<std::uint8_t> m_rows;  // bottom-up pictures of awkward widths, top-down first
};

}  // namespace media
