#include "media/graph/pass_through_output_pin.h"

namespace media {

PassThroughOutputPin::PassThroughOutputPin(FilterBase& filter, std::u16string name, InputPin& upstreamOf)
    : OutputPin(filter, std::move(name)), m_upstreamOf(upstreamOf) {}

void* PassThroughOutputPin::FindExtraInterface(REFIID riid) {
    if (riid == IMediaSeeking::iid) return static_cast<IMediaSeeking*>(this);
    return OutputPin::FindExtraInterface(riid);
}

ComPtr<IMediaSeeking> PassThroughOutputPin::Upstream() const {
    ComPtr<IMediaSeeking> seeking;
    if (IPin* peer = m_upstreamOf.Peer()) peer->QueryInterface(IMediaSeeking::iid, seeking.ReceiveVoid());
    return seeking;
}

#define TESSAREL_FORWARD_SEEKING(call)        \
    ComPtr<IMediaSeeking> upstream = Upstream(); \
    if (!upstream) return E_NOTIMPL;          \
    return upstream->call

HRESULT PassThroughOutputPin::GetCapabilities(DWORD* capabilities) {
    TESSAREL_FORWARD_SEEKING(GetCapabilities(capabilities));
}
HRESULT PassThroughOutputPin::CheckCapabilities(DWORD* capabilities) {
    TESSAREL_FORWARD_SEEKING(CheckCapabilities(capabilities));
}
HRESULT PassThroughOutputPin::IsFormatSupported(const GUID* format) {
    TESSAREL_FORWARD_SEEKING(IsFormatSupported(format));
}
HRESULT PassThroughOutputPin::QueryPreferredFormat(GUID* format) {
    TESSAREL_FORWARD_SEEKING(QueryPreferredFormat(format));
}
HRESULT PassThroughOutputPin::GetTimeFormat(GUID* format) { TESSAREL_FORWARD_SEEKING(GetTimeFormat(format)); }
HRESULT PassThroughOutputPin::IsUsingTimeFormat(const GUID* format) {
    TESSAREL_FORWARD_SEEKING(IsUsingTimeFormat(format));
}
HRESULT PassThroughOutputPin::SetTimeFormat(const GUID* format) { TESSAREL_FORWARD_SEEKING(SetTimeFormat(format)); }
HRESULT PassThroughOutputPin::GetDuration(LONGLONG* duration) { TESSAREL_FORWARD_SEEKING(GetDuration(duration)); }
HRESULT PassThroughOutputPin::GetStopPosition(LONGLONG* stop) { TESSAREL_FORWARD_SEEKING(GetStopPosition(stop)); }
HRESULT PassThroughOutputPin::GetCurrentPosition(LONGLONG* current) {
    TESSAREL_FORWARD_SEEKING(GetCurrentPosition(current));
}
HRESULT PassThroughOutputPin::ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                                const GUID* sourceFormat) {
    TESSAREL_FORWARD_SEEKING(ConvertTimeFormat(target, targetFormat, source, sourceFormat));
}
HRESULT PassThroughOutputPin::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) {
    TESSAREL_FORWARD_SEEKING(SetPositions(current, currentFlags, stop, stopFlags));
}
HRESULT PassThroughOutputPin::GetPositions(LONGLONG* current, LONGLONG* stop) {
    TESSAREL_FORWARD_SEEKING(GetPositions(current, stop));
}
HRESULT PassThroughOutputPin::GetAvailable(LONGLONG* earliest, LONGLONG* latest) {
    TESSAREL_FORWARD_SEEKING(GetAvailable(earliest, latest));
}
HRESULT PassThroughOutputPin::SetRate(double rate) { TESSAREL_FORWARD_SEEKING(SetRate(rate)); }
HRESULT PassThroughOutputPin::GetRate(double* rate) { TESSAREL_FORWARD_SEEKING(GetRate(rate)); }
HRESULT PassThroughOutputPin::GetPreroll(LONGLONG* preroll) { TESSAREL_FORWARD_SEEKING(GetPreroll(preroll)); }

#undef TESSAREL_FORWARD_SEEKING

}  // namespace media
