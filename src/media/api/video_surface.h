#pragma once

// The seam between the video renderer and whatever shows its pictures. The media layer declares
// it; the window's preview area implements it, so the layer never needs a window system.
//
// An owner handle (OAHWND) given to IVideoWindow::put_Owner names a surface: it is the value of
// VideoSurfaceHandle(surface), and the renderer turns it back with VideoSurfaceFromHandle. The
// surface must outlive its use as an owner: whoever implements it clears the owner (put_Owner(0))
// or releases the graph before destroying it.

#include <cstdint>

#include "media/api/types.h"

using OAHWND = LONG_PTR;

struct IVideoSurface {
    virtual ~IVideoSurface() = default;

    // Called on a streaming thread when a picture's time has come. The picture is finished:
    // top-down RGB32 (B, G, R, unused byte per pixel), `stride` bytes per row, width × height
    // pixels; it is valid only during the call, so the surface copies what it keeps. The surface
    // shows the newest picture it was given in the rectangle set by SetVideoRectangle (scaled to
    // fit), keeps at most one picture waiting to be painted, and never blocks the caller on its
    // painting.
    virtual void PresentPicture(const std::uint8_t* pixels, int width, int height, int stride) = 0;

    // Where, in the owner's own coordinates, the video goes, and whether it shows at all.
    // Called from the thread that calls IVideoWindow.
    virtual void SetVideoRectangle(LONG left, LONG top, LONG width, LONG height) = 0;
    virtual void SetVideoVisible(bool visible) = 0;
};

inline OAHWND VideoSurfaceHandle(IVideoSurface* surface) {
    return reinterpret_cast<OAHWND>(surface);
}

inline IVideoSurface* VideoSurfaceFromHandle(OAHWND handle) {
    return reinterpret_cast<IVideoSurface*>(handle);
}
