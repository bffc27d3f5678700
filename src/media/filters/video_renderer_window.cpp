#include "media/filters/video_renderer.h"

// The video renderer's IVideoWindow: where on its owner, the video surface, pictures are shown.

namespace media {

HRESULT VideoRenderer::put_Owner(LONG_PTR owner) {
    std::lock_guard surface(m_surfaceLock);
    m_owner = owner;
    if (IVideoSurface* target = VideoSurfaceFromHandle(owner)) {
        const bool placed = m_width > 0 && m_height > 0;
        target->SetVideoRectangle(m_left, m_top, placed ? m_width : m_shaper.Shown().width,
                                  placed ? m_height : m_shaper.Shown().height);
        target->SetVideoVisible(m_visible);
    }
    return S_OK;
}

HRESULT VideoRenderer::get_Owner(LONG_PTR* owner) {
    if (owner == nullptr) return E_POINTER;
    std::lock_guard surface(m_surfaceLock);
    *owner = m_owner;
    return S_OK;
}

HRESULT VideoRenderer::put_WindowStyle(LONG style) {
    std::lock_guard surface(m_surfaceLock);
    m_style = style;
    return S_OK;
}

HRESULT VideoRenderer::get_WindowStyle(LONG* style) {
    if (style == nullptr) return E_POINTER;
    std::lock_guard surface(m_surfaceLock);
    *style = m_style;
    return S_OK;
}

HRESULT VideoRenderer::SetWindowPosition(LONG left, LONG top, LONG width, LONG height) {
    if (!Input().IsConnected()) return VFW_E_NOT_CONNECTED;
    if (width < 0 || height < 0) return E_INVALIDARG;
    std::lock_guard surface(m_surfaceLock);
    m_left = left;
    m_top = top;
    m_width = width;
    m_height = height;
    if (IVideoSurface* target = VideoSurfaceFromHandle(m_owner))
        target->SetVideoRectangle(left, top, width, height);
    return S_OK;
}

HRESULT VideoRenderer::GetWindowPosition(LONG* left, LONG* top, LONG* width, LONG* height) {
    if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) return E_POINTER;
    std::lock_guard surface(m_surfaceLock);
    *left = m_left;
    *top = m_top;
    *width = m_width;
    *height = m_height;
    return S_OK;
}

HRESULT VideoRenderer::put_Visible(LONG visible) {
    if (visible != OATRUE && visible != OAFALSE) return E_INVALIDARG;
    std::lock_guard surface(m_surfaceLock);
    m_visible = visible == OATRUE;
    if (IVideoSurface* target = VideoSurfaceFromHandle(m_owner)) target->SetVideoVisible(m_visible);
    return S_OK;
}

HRESULT VideoRenderer::get_Visible(LONG* visible) {
    if (visible == nullptr) return E_POINTER;
    std::lock_guard surface(m_surfaceLock);
    *visible = m_visible ? OATRUE : OAFALSE;
    return S_OK;
}

}  // namespace media
