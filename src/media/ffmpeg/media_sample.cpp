#include "media/ffmpeg/media_sample.h"

namespace media {

MediaSample* MediaSample::Create(int size, AVBufferPool* pool) {
    if (size < 0) return nullptr;
    AVBufferRef* buffer = pool ? av_buffer_pool_get(pool) : av_buffer_alloc(static_cast<size_t>(size));
    if (buffer == nullptr) return nullptr;
    if (buffer->size < static_cast<size_t>(size)) {
        av_buffer_unref(&buffer);
        return nullptr;
    }
    return new MediaSample(buffer, size);
}

MediaSample* MediaSample::Wrap(AVBufferRef* buffer, int size) {
    AVBufferRef* ref = av_buffer_ref(buffer);
    if (ref == nullptr) return nullptr;
    return new MediaSample(ref, size);
}

MediaSample::MediaSample(AVBufferRef* buffer, int size) : m_buffer(buffer), m_size(size), m_length(size) {}

MediaSample::~MediaSample() {
    av_buffer_unref(&m_buffer);
    DeleteMediaType(m_type);
}

HRESULT MediaSample::GetPointer(BYTE** buffer) {
    if (buffer == nullptr) return E_POINTER;
    *buffer = m_buffer->data;
    return S_OK;
}

LONG MediaSample::GetSize() { return m_size; }

HRESULT MediaSample::GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) {
    if (start == nullptr || stop == nullptr) return E_POINTER;
    if (!m_start) return VFW_E_SAMPLE_TIME_NOT_SET;
    *start = *m_start;
    if (!m_stop) {
        *stop = *m_start + 1;
        return VFW_S_NO_STOP_TIME;
    }
    *stop = *m_stop;
    return S_OK;
}

HRESULT MediaSample::SetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) {
    m_start = start ? std::optional(*start) : std::nullopt;
    m_stop = (start && stop) ? std::optional(*stop) : std::nullopt;
    return S_OK;
}

HRESULT MediaSample::SetSyncPoint(BOOL sync) {
    m_syncPoint = sync != FALSE;
    return S_OK;
}

HRESULT MediaSample::SetPreroll(BOOL preroll) {
    m_preroll = preroll != FALSE;
    return S_OK;
}

HRESULT MediaSample::SetActualDataLength(LONG length) {
    if (length < 0 || length > m_size) return VFW_E_BUFFER_OVERFLOW;
    m_length = length;
    return S_OK;
}

HRESULT MediaSample::GetMediaType(AM_MEDIA_TYPE** type) {
    if (type == nullptr) return E_POINTER;
    *type = nullptr;
    if (m_type == nullptr) return S_FALSE;
    *type = CreateMediaType(m_type);
    return *type ? S_OK : E_OUTOFMEMORY;
}

HRESULT MediaSample::SetMediaType(AM_MEDIA_TYPE* type) {
    DeleteMediaType(m_type);
    m_type = type ? CreateMediaType(type) : nullptr;
    return (type && !m_type) ? E_OUTOFMEMORY : S_OK;
}

HRESULT MediaSample::SetDiscontinuity(BOOL discontinuity) {
    m_discontinuity = discontinuity != FALSE;
    return S_OK;
}

HRESULT MediaSample::GetMediaTime(LONGLONG* start, LONGLONG* end) {
    if (start == nullptr || end == nullptr) return E_POINTER;
    if (!m_mediaStart) return VFW_E_MEDIA_TIME_NOT_SET;
    *start = *m_mediaStart;
    *end = m_mediaEnd.value_or(*m_mediaStart);
    return S_OK;
}

HRESULT MediaSample::SetMediaTime(LONGLONG* start, LONGLONG* end) {
    m_mediaStart = start ? std::optional(*start) : std::nullopt;
    m_mediaEnd = (start && end) ? std::optional(*end) : std::nullopt;
    return S_OK;
}

}  // namespace media
