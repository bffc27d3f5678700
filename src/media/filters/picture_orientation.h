#pragma once

// Turning and mirroring stored pictures the way a container's display matrix asks (a phone
// stores its pictures as the sensor sees them and says, in the track's matrix, how to turn them
// upright). Only quarter turns and mirrors: a matrix that turns by some other angle is taken at
// the nearest quarter turn, as players show it.

#include <cstdint>

extern "C" {
#include <libavutil/pixfmt.h>
}

#include "media/filters/frame_scaler.h"

namespace media {

// Where each shown pixel comes from: the stored pixel (x, y) for the shown pixel (X, Y) is
// x = m_xx X + m_xy Y, y = m_yx X + m_yy Y, counted from whichever corner makes them lie inside
// the picture. Each factor is -1, 0 or 1.
class PictureOrientation {
public:
    // Shown as stored.
    PictureOrientation() = default;
    // From a display matrix (libavutil/display.h: 16.16 fixed point, row vectors); null or a
    // degenerate matrix shows the pictures as stored.
    [[nodiscard]] static PictureOrientation FromDisplayMatrix(const std::int32_t* matrix);

    [[nodiscard]] bool IsUpright() const { return m_xx == 1 && m_yy == 1; }
    // Whether the shown picture's width is the stored picture's height (a quarter turn).
    [[nodiscard]] bool SwapsSides() const { return m_xx == 0; }

    // Whether pictures of format, width x height stored, can be turned in place of the format: every
    // plane's pixels are whole bytes, and a quarter turn needs chroma subsampled alike both ways.
    [[nodiscard]] bool CanTurn(AVPixelFormat format, int width, int height) const;
    // Writes stored, turned, into shown: planes of stored's format at the shown size (strides may
    // be negative). CanTurn must hold for stored.
    void Turn(const PicturePlanes& stored, std::uint8_t* const shown[4], const int shownStride[4]) const;

private:
    PictureOrientation(int xx, int xy, int yx, int yy) : m_xx(xx), m_xy(xy), m_yx(yx), m_yy(yy) {}

    int m_xx = 1;
    int m_xy = 0;
    int m_yx = 0;
    int m_yy = 1;
};

}  // namespace media
