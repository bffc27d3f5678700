#pragma once

// The video renderer's window and its account of the pictures it showed.
// Unless said otherwise, an interface pointer returned through an out-parameter carries a new
// reference that the caller owns (transfer full), and one passed in is borrowed.

#include "media/api/unknown.h"

// The video renderer's placement of its pictures inside an owner (a video surface, see
// video_surface.h). A graph answers E_NOINTERFACE when it holds no video renderer.
inline constexpr LONG WS_CHILD = 0x40000000;
inline constexpr LONG OATRUE = -1;
inline constexpr LONG OAFALSE = 0;

struct IVideoWindow : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x56A868B4, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
    // The owner is an OAHWND from VideoSurfaceHandle; 0 detaches the renderer from any surface.
    virtual HRESULT put_Owner(LONG_PTR owner) = 0;
    virtual HRESULT get_Owner(LONG_PTR* owner) = 0;
    virtual HRESULT put_WindowStyle(LONG style) = 0;
    virtual HRESULT get_WindowStyle(LONG* style) = 0;
    // Fails with VFW_E_NOT_CONNECTED before the renderer is connected, E_INVALIDARG for a
    // negative size.
    virtual HRESULT SetWindowPosition(LONG left, LONG top, LONG width, LONG height) = 0;
    virtual HRESULT GetWindowPosition(LONG* left, LONG* top, LONG* width, LONG* height) = 0;
    virtual HRESULT put_Visible(LONG visible) = 0;  // OATRUE or OAFALSE
    virtual HRESULT get_Visible(LONG* visible) = 0;
};

// The video renderer's account of its pictures since it last left Stopped. Frame counts are
// pictures; times are milliseconds. MT safe.
struct IQualProp : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x1BD0ECB0, 0xF8E2, 0x11CE, {0xAA, 0xC6, 0x00, 0x20, 0xAF, 0x0B, 0x99, 0xA3}};
    // Pictures that came too late for their time and were never shown.
    virtual HRESULT get_FramesDroppedInRenderer(int* frames) = 0;
    // Pictures handed to the video surface (pre-roll pictures included).
    virtual HRESULT get_FramesDrawn(int* frames) = 0;
    // Pictures per second × 100 while running.
    virtual HRESULT get_AvgFrameRate(int* rate) = 0;
    // Standard deviation of the interval between shown pictures.
    virtual HRESULT get_Jitter(int* jitter) = 0;
    // Mean and standard deviation of (presentation time − the picture's time) over shown pictures.
    virtual HRESULT get_AvgSyncOffset(int* offset) = 0;
    virtual HRESULT get_DevSyncOffset(int* deviation) = 0;
};
