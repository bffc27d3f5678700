#include "media/filters/splitter_output_pin.h"

#include "media/api/uuids.h"

namespace media {
namespace {

constexpr DWORD kCapabilities = AM_SEEKING_CanGetDuration | AM_SEEKING_CanGetCurrentPos |
                                AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards |
                                AM_SEEKING_CanSeekBackwards | AM_SEEKING_CanGetStopPos;

// A null format stands for the format in use, which is always media time.
bool IsMediaTime(const GUID* format) {
    return format == nullptr || *format == TIME_FORMAT_MEDIA_TIME;
}

}  // namespace

SplitterOutputPin::SplitterOutputPin(FilterBase& filter, std::u16string name, MediaType type,
                                     SplitterTimeline& timeline)
    : OutputPin(filter, std::move(name)), m_type(std::move(type)), m_timeline(timeline) {}

void* SplitterOutputPin::FindExtraInterface(REFIID riid) {
    if (riid == IMediaSeeking::iid) return static_cast<IMediaSeeking*>(this);
    return OutputPin::FindExtraInterface(riid);
}

HRESULT SplitterOutputPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
    if (type.majortype != m_type.majortype || type.subtype != m_type.subtype ||
        type.formattype != m_type.formattype) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    return S_OK;
}

HRESULT SplitterOutputPin::GetCapabilities(DWORD* capabilities) {
    if (capabilities == nullptr) return E_POINTER;
    *capabilities = kCapabilities;
    return S_OK;
}

HRESULT SplitterOutputPin::CheckCapabilities(DWORD* capabilities) {
    if (capabilities == nullptr) return E_POINTER;
    const DWORD asked = *capabilities;
    *capabilities &= kCapabilities;
    if (*capabilities == asked) return S_OK;
    return *capabilities != 0 ? S_FALSE : E_FAIL;
}

HRESULT SplitterOutputPin::IsFormatSupported(const GUID* format) {
    if (format == nullptr) return E_POINTER;
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
}

HRESULT SplitterOutputPin::QueryPreferredFormat(GUID* format) {
    return GetTimeFormat(format);
}

HRESULT SplitterOutputPin::GetTimeFormat(GUID* format) {
    if (format == nullptr) return E_POINTER;
    *format = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
}

HRESULT SplitterOutputPin::IsUsingTimeFormat(const GUID* format) {
    if (format == nullptr) return E_POINTER;
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
}

HRESULT SplitterOutputPin::SetTimeFormat(const GUID* format) {
    if (format == nullptr) return E_POINTER;
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : E_INVALIDARG;
}

HRESULT SplitterOutputPin::GetDuration(LONGLONG* duration) {
    if (duration == nullptr) return E_POINTER;
    *duration = m_timeline.Duration();
    return S_OK;
}

HRESULT SplitterOutputPin::GetStopPosition(LONGLONG* stop) {
    return GetDuration(stop);
}

HRESULT SplitterOutputPin::GetCurrentPosition(LONGLONG* current) {
    if (current == nullptr) return E_POINTER;
    *current = m_timeline.CurrentPosition();
    return S_OK;
}

HRESULT SplitterOutputPin::ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                             const GUID* sourceFormat) {
    if (target == nullptr) return E_POINTER;
    if (!IsMediaTime(targetFormat) || !IsMediaTime(sourceFormat)) return E_INVALIDARG;
    *target = source;
    return S_OK;
}

HRESULT SplitterOutputPin::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG*, DWORD stopFlags) {
    if ((stopFlags & AM_SEEKING_PositioningBitsMask) != AM_SEEKING_NoPositioning) return E_NOTIMPL;
    switch (currentFlags & AM_SEEKING_PositioningBitsMask) {
        case AM_SEEKING_NoPositioning:
            return S_OK;
        case AM_SEEKING_AbsolutePositioning:
            if (current == nullptr) return E_POINTER;
            return m_timeline.SeekTo(*current);
        case AM_SEEKING_RelativePositioning:
            if (current == nullptr) return E_POINTER;
            return m_timeline.SeekTo(m_timeline.CurrentPosition() + *current);
        default:
            return E_INVALIDARG;
    }
}

HRESULT SplitterOutputPin::GetPositions(LONGLONG* current, LONGLONG* stop) {
    if (current == nullptr && stop == nullptr) return E_POINTER;
    if (current) *current = m_timeline.CurrentPosition();
    if (stop) *stop = m_timeline.Duration();
    return S_OK;
}

HRESULT SplitterOutputPin::GetAvailable(LONGLONG* earliest, LONGLONG* latest) {
    if (earliest == nullptr && latest == nullptr) return E_POINTER;
    if (earliest) *earliest = 0;
    if (latest) *latest = m_timeline.Duration();
    return S_OK;
}

HRESULT SplitterOutputPin::SetRate(double rate) {
    return rate == 1.0 ? S_OK : E_NOTIMPL;
}

HRESULT SplitterOutputPin::GetRate(double* rate) {
    if (rate == nullptr) return E_POINTER;
    *rate = 1.0;
    return S_OK;
}

HRESULT SplitterOutputPin::GetPreroll(LONGLONG* preroll) {
    if (preroll == nullptr) return E_POINTER;
    *preroll = 0;
    return S_OK;
}

}  // namespace media
