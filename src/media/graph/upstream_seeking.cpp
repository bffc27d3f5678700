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
HRESULT UpstreamSeeking::GetDuration(LONGLONG* duration) {
    TESSAREL_ASK_UPSTREAM(GetDuration(duration));
}
HRESULT UpstreamSeeking::GetStopPosition(LONGLONG* stop) {
    TESSAREL_ASK_UPSTREAM(GetStopPosition(stop));
}
HRESULT UpstreamSeeking::GetCurrentPosition(LONGLONG* current) {
    TESSAREL_ASK_UPSTREAM(GetCurrentPosition(current));
}
HRESULT UpstreamSeeking::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                                      DWORD stopFlags) {
    TESSAREL_ASK_UPSTREAM(SetPositions(current, currentFlags, stop, stopFlags));
}

#undef TESSAREL_ASK_UPSTREAM

}  // namespace media
