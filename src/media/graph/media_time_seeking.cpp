#include "media/graph/media_time_seeking.h"

#include "media/api/uuids.h"

namespace media {

bool MediaTimeSeeking::IsMediaTime(const GUID* format) {
    return format == nullptr || *format == TIME_FORMAT_MEDIA_TIME;
}

HRESULT MediaTimeSeeking::CheckCapabilities(DWORD* capabilities) {
    if (capabilities == nullptr) return E_POINTER;
    DWORD have = 0;
    const HRESULT hr = GetCapabilities(&have);
    if (FAILED(hr)) return hr;
    const DWORD asked = *capabilities;
    *capabilities &= have;
    if (*capabilities == asked) return S_OK;
    return *capabilities == 0 ? E_FAIL : S_FALSE;
}

HRESULT MediaTimeSeeking::IsFormatSupported(const GUID* format) {
    if (format == nullptr) return E_POINTER;
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
}

HRESULT MediaTimeSeeking::QueryPreferredFormat(GUID* format) {
    if (format == nullptr) return E_POINTER;
    *format = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
}

HRESULT MediaTimeSeeking::GetTimeFormat(GUID* format) {
    return QueryPreferredFormat(format);
}

HRESULT MediaTimeSeeking::IsUsingTimeFormat(const GUID* format) {
    return IsFormatSupported(format);
}

HRESULT MediaTimeSeeking::SetTimeFormat(const GUID* format) {
    if (format == nullptr) return E_POINTER;
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : E_INVALIDARG;
}

HRESULT MediaTimeSeeking::GetStopPosition(LONGLONG* stop) {
    return GetDuration(stop);
}

HRESULT MediaTimeSeeking::ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                            const GUID* sourceFormat) {
    if (target == nullptr) return E_POINTER;
    if (!IsMediaTime(targetFormat) || !IsMediaTime(sourceFormat)) return E_INVALIDARG;
    *target = source;
    return S_OK;
}

HRESULT MediaTimeSeeking::SetPositions(LONGLONG*, DWORD, LONGLONG*, DWORD) {
    return E_NOTIMPL;
}

HRESULT MediaTimeSeeking::GetPositions(LONGLONG* current, LONGLONG* stop) {
    HRESULT hr = S_OK;
    if (current) hr = GetCurrentPosition(current);
    if (SUCCEEDED(hr) && stop) hr = GetStopPosition(stop);
    return hr;
}

HRESULT MediaTimeSeeking::GetAvailable(LONGLONG* earliest, LONGLONG* latest) {
    if (earliest) *earliest = 0;
    if (latest) return GetDuration(latest);
    return S_OK;
}

HRESULT MediaTimeSeeking::SetRate(double rate) {
    return rate == 1.0 ? S_OK : E_NOTIMPL;
}

HRESULT MediaTimeSeeking::GetRate(double* rate) {
    if (rate == nullptr) return E_POINTER;
    *rate = 1.0;
    return S_OK;
}

HRESULT MediaTimeSeeking::GetPreroll(LONGLONG* preroll) {
    if (preroll == nullptr) return E_POINTER;
    *preroll = 0;
    return S_OK;
}

}  // namespace media
