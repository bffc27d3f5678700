#pragma once

// The pictures a video surface is handed: top-down RGB32 at the display aspect. Pixels that are
// not square are widened or narrowed to square ones, the height staying; a pixel more than 8
// times wider than high, or the other way round, is a damaged header and is shown square.

#include <cstdint>
#include <vector>

#include "media/api/interfaces.h"
#include "media/ffmpeg/codec_media_type.h"
#include "media/filters/frame_scaler.h"

namespace media {

class PictureShaper {
public:
    // The input's layout, and so the shown one. Application thread, renderer stopped.
    void SetInput(const RawVideoLayout& input);
    // No input.
    void Clear();
    // Top-down RGB32 of the shown size.
    [[nodiscard]] const RawVideoLayout& Shown() const { return m_shown; }

    // The pixels to show for sample: its own when they are already what is shown, else a
    // converted copy that stays valid until the next call. Null when the sample is shorter than
    // a picture or the conversion failed. The showing thread only.
    [[nodiscard]] const std::uint8_t* Shape(IMediaSample& sample);
    // Forgets the conversion's state; the next picture sets it up anew.
    void Reset() { m_scaler.Reset(); }

private:
    RawVideoLayout m_input;
    RawVideoLayout m_shown;
    FrameScaler m_scaler;
    std::vector<std::uint8_t> m_converted;
};

}  // namespace media
