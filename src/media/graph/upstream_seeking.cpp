#include "media/graph/upstream_seeking.h"

namespace media {

ComPtr<IMediaSeeking> UpstreamSeeking::Upstream() const {
    ComPtr<IMediaSeeking> seeking;
    if (IPin* peer = UpstreamPeer()) peer->QueryInterface(IMediaSeeking::iid, seeking.ReceiveVoid());
    return seeking;
}

#define TESSAREL_ASK_UPSTREAM(call)              \
    ComPtr<IMediaSeeking> upstream = Upstream(); \
    if (!upstream) return E_NOTIMPL;             \
    return upstream->call

HRESULT UpstreamSeeking::GetCapabilities(DWORD* capabilities) {
    TESSAREL_ASK_UPSTREAM(GetCapabilities(capabilities));
}
HRESULT UpstreamSeeking::CheckCapabilities(DWORD* capabilities) {
    TESSAREL_ASK_UPSTREAM(CheckCapabilities(capabilities));
}
HRESULT UpstreamSeeking::IsFormatSupported(const GUID* format) {
    TESSAREL_ASK_UPSTREAM(IsFormatSupported(format));
}
HRESULT UpstreamSeeking::QueryPreferredFormat(GUID* format) {
    TESSAREL_ASK_UPSTREAM(QueryPreferredFormat(format));
}
HRESULT UpstreamSeeking::GetTimeFormat(GUID* format) {
    TESSAREL_ASK_UPSTREAM(GetTimeFormat(format));
}
HRESULT UpstreamSeeking::IsUsingTimeFormat(const GUID* format) {
    TESSAREL_ASK_UPSTREAM(IsUsingTimeFormat(format));
}
HRESULT UpstreamSeeking::SetTimeFormat(const GUID* format) {
    TESSAREL_ASK_UPSTREAM(SetTimeFormat(format));
}
HRESULT UpstreamSeeking::GetDuration(LONGLONG* duration) {
    TESSAREL_ASK_UPSTREAM(GetDuration(duration));
}
HRESULT UpstreamSeeking::GetStopPosition(LONGLONG* stop) {
    TESSAREL_ASK_UPSTREAM(GetStopPosition(stop));
}
HRESULT UpstreamSeeking::GetCurrentPosition(LONGLONG* current) {
    TESSAREL_ASK_UPSTREAM(GetCurrentPosition(current));
}
HRESULT UpstreamSeeking::ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                           const GUID* sourceFormat) {
    TESSAREL_ASK_UPSTREAM(ConvertTimeFormat(target, targetFormat, source, sourceFormat));
}
HRESULT UpstreamSeeking::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) {
    TESSAREL_ASK_UPSTREAM(SetPositions(current, currentFlags, stop, stopFlags));
}
HRESULT UpstreamSeeking::GetPositions(LONGLONG* current, LONGLONG* stop) {
    TESSAREL_ASK_UPSTREAM(GetPositions(current, stop));
}
HRESULT UpstreamSeeking::GetAvailable(LONGLONG* earliest, LONGLONG* latest) {
    TESSAREL_ASK_UPSTREAM(GetAvailable(earliest, latest));
}
HRESULT UpstreamSeeking::SetRate(double rate) {
    TESSAREL_ASK_UPSTREAM(SetRate(rate));
}
HRESULT UpstreamSeeking::GetRate(double* rate) {
    TESSAREL_ASK_UPSTREAM(GetRate(rate));
}
HRESULT UpstreamSeeking::GetPreroll(LONGLONG* preroll) {
    TESSAREL_ASK_UPSTREAM(GetPreroll(preroll));
}

#undef TESSAREL_ASK_UPSTREAM

}  // namespace media
