#include "media/filters/sample_grabber.h"

#include <cstring>

#include "media/api/class_registry.h"
#include "media/api/uuids.h"
#include "media/ffmpeg/codec_media_type.h"
#include "media/registered_classes.h"

namespace media {
namespace {

constexpr LONG kCallSampleCB = 0;
constexpr LONG kCallBufferCB = 1;

bool SameFormatBlock(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b) {
    if (a.cbFormat != b.cbFormat) return false;
    if (a.cbFormat == 0) return true;
    return a.pbFormat != nullptr && b.pbFormat != nullptr &&
           std::memcmp(a.pbFormat, b.pbFormat, a.cbFormat) == 0;
}

double StartSeconds(IMediaSample& sample) {
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    if (FAILED(sample.GetTime(&start, &stop))) return 0.0;
    return static_cast<double>(start) / static_cast<double>(kUnitsPerSecond);
}

}  // namespace

SampleGrabber::SampleGrabber() : TransformFilter(CLSID_SampleGrabber) {}

void* SampleGrabber::FindExtraInterface(REFIID riid) {
    if (riid == ISampleGrabber::iid) return static_cast<ISampleGrabber*>(this);
    return TransformFilter::FindExtraInterface(riid);
}

// --- ISampleGrabber ---

HRESULT SampleGrabber::SetOneShot(BOOL oneShot) {
    std::lock_guard lock(m_settingsLock);
    m_oneShot = oneShot != FALSE;
    return S_OK;
}

HRESULT SampleGrabber::SetMediaType(const AM_MEDIA_TYPE* type) {
    if (type == nullptr) return E_POINTER;
    // Only the GUIDs gate the input; a format block given with them is not compared.
    MediaType accepted;
    accepted.majortype = type->majortype;
    accepted.subtype = type->subtype;
    accepted.formattype = type->formattype;
    std::lock_guard lock(m_settingsLock);
    m_acceptedType = std::move(accepted);
    return S_OK;
}

HRESULT SampleGrabber::GetConnectedMediaType(AM_MEDIA_TYPE* type) {
    if (type == nullptr) return E_POINTER;
    if (!Input().IsConnected()) return VFW_E_NOT_CONNECTED;
    return CopyMediaType(type, &InputType());
}

HRESULT SampleGrabber::SetBufferSamples(BOOL buffer) {
    std::lock_guard lock(m_settingsLock);
    m_bufferSamples = buffer != FALSE;
    if (!m_bufferSamples) {
        m_lastSample = {};
        m_haveSample = false;
    }
    return S_OK;
}

HRESULT SampleGrabber::GetCurrentBuffer(LONG* size, LONG* buffer) {
    if (size == nullptr) return E_POINTER;
    std::lock_guard lock(m_settingsLock);
    if (!m_bufferSamples) return E_INVALIDARG;
    if (!m_haveSample) return VFW_E_WRONG_STATE;
    const auto needed = static_cast<LONG>(m_lastSample.size());
    if (buffer == nullptr) {
        *size = needed;
        return S_OK;
    }
    if (*size < needed) return E_OUTOFMEMORY;
    std::memcpy(buffer, m_lastSample.data(), m_lastSample.size());
    *size = needed;
    return S_OK;
}

HRESULT SampleGrabber::GetCurrentSample(IMediaSample** sample) {
    if (sample != nullptr) *sample = nullptr;
    return E_NOTIMPL;
}

HRESULT SampleGrabber::SetCallback(ISampleGrabberCB* callback, LONG whichMethod) {
    if (whichMethod != kCallSampleCB && whichMethod != kCallBufferCB) return E_INVALIDARG;
    std::lock_guard lock(m_settingsLock);
    m_callback = ComPtr<ISampleGrabberCB>(callback);
    m_callbackMethod = whichMethod;
    return S_OK;
}

// --- negotiation ---

HRESULT SampleGrabber::CheckInputType(const AM_MEDIA_TYPE& type) {
    std::lock_guard lock(m_settingsLock);
    return MatchesPartialType(type, &m_acceptedType) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

std::vector<MediaType> SampleGrabber::OutputTypes() {
    std::vector<MediaType> types;
    types.emplace_back(InputType());
    return types;
}

HRESULT SampleGrabber::CheckTransform(const AM_MEDIA_TYPE& input, const AM_MEDIA_TYPE& output) {
    // Samples pass unchanged, so the output carries exactly what the input does.
    const bool same = input.majortype == output.majortype && input.subtype == output.subtype &&
                      input.formattype == output.formattype && SameFormatBlock(input, output);
    return same ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

// --- streaming ---

HRESULT SampleGrabber::StartStreaming() {
    m_shotTaken = false;
    return S_OK;
}

HRESULT SampleGrabber::Transform(IMediaSample* sample) {
    bool oneShot = false;
    {
        std::lock_guard lock(m_settingsLock);
        oneShot = m_oneShot;
    }
    if (oneShot && m_shotTaken) return S_FALSE;

    BufferSample(*sample);
    CallBack(*sample);
    const HRESULT hr = DeliverOutput(sample);
    if (!oneShot || FAILED(hr)) return hr;

    // One sample was all that was asked for: the stream ends here, and the sender is told to stop.
    m_shotTaken = true;
    DeliverEndOfStreamOnce();
    return S_FALSE;
}

void SampleGrabber::BufferSample(IMediaSample& sample) {
    BYTE* data = nullptr;
    const LONG length = sample.GetActualDataLength();
    if (FAILED(sample.GetPointer(&data)) || data == nullptr || length < 0) return;
    std::lock_guard lock(m_settingsLock);
    if (!m_bufferSamples) return;
    m_lastSample.assign(data, data + length);
    m_haveSample = true;
}

void SampleGrabber::CallBack(IMediaSample& sample) {
    ComPtr<ISampleGrabberCB> callback;
    LONG method = kCallSampleCB;
    {
        std::lock_guard lock(m_settingsLock);
        callback = m_callback;
        method = m_callbackMethod;
    }
    if (!callback) return;
    const double time = StartSeconds(sample);
    if (method == kCallSampleCB) {
        callback->SampleCB(time, &sample);
        return;
    }
    // BufferCB gets a copy: whatever the callback does to it never reaches downstream.
    BYTE* data = nullptr;
    const LONG length = sample.GetActualDataLength();
    if (FAILED(sample.GetPointer(&data)) || data == nullptr || length < 0) return;
    m_callbackCopy.assign(data, data + length);
    callback->BufferCB(time, m_callbackCopy.data(), length);
}

void RegisterSampleGrabber() {
    RegisterClass(CLSID_SampleGrabber, [] { return (new SampleGrabber)->Identity(); });
}

}  // namespace media
