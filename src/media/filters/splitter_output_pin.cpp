#include "media/filters/splitter_output_pin.h"

#include "media/api/uuids.h"

namespace media {
namespace {

constexpr DWORD kCapabilities = AM_SEEKING_CanGetDuration | AM_SEEKING_CanGetCurrentPos |
                                AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards |
                                AM_SEEKING_CanSeekBackwards | AM_SEEKING_CanGetStopPos;

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

HRESULT SplitterOutputPin::GetDuration(LONGLONG* duration) {
    if (duration == nullptr) return E_POINTER;
    *duration = m_timeline.Duration();
    return S_OK;
}

HRESULT SplitterOutputPin::GetCurrentPosition(LONGLONG* current) {
    if (current == nullptr) return E_POINTER;
    *current = m_timeline.CurrentPosition();
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
    return MediaTimeSeeking::GetPositions(current, stop);
}

HRESULT SplitterOutputPin::GetAvailable(LONGLONG* earliest, LONGLONG* latest) {
    if (earliest == nullptr && latest == nullptr) return E_POINTER;
    return MediaTimeSeeking::GetAvailable(earliest, latest);
}

}  // namespace media
