#include "engine/video_frame_counter.h"

HRESULT VideoFrameCounter::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (riid != ISampleGrabberCB::iid && riid != IUnknown::iid) {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    *object = static_cast<ISampleGrabberCB*>(this);
    AddRef();
    return S_OK;
}

ULONG VideoFrameCounter::AddRef() {
    return m_references.fetch_add(1, std::memory_order_relaxed) + 1;
}

ULONG VideoFrameCounter::Release() {
    const ULONG left = m_references.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
}

HRESULT VideoFrameCounter::SampleCB(double, IMediaSample*) {
    m_frames.fetch_add(1, std::memory_order_relaxed);
    return S_OK;
}

HRESULT VideoFrameCounter::BufferCB(double, BYTE*, LONG) {
    m_frames.fetch_add(1, std::memory_order_relaxed);
    return S_OK;
}
