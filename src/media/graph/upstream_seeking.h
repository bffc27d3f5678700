#pragma once

// IMediaSeeking answered by whatever feeds one input pin of the filter: what only the source
// knows (capabilities, duration, positions, repositioning) is asked of the seeking interface of
// that pin's peer, so that the question travels up to the splitter; the time format and rate are
// media time's, as everywhere upstream. Not connected, or a peer that cannot seek: E_NOTIMPL for
// those questions. A class that knows some answers better (a renderer knows the position it has
// shown) overrides those calls alone.

#include "media/api/interfaces.h"
#include "media/com/com_ptr.h"
#include "media/graph/media_time_seeking.h"

namespace media {

class UpstreamSeeking : public MediaTimeSeeking {
public:
    HRESULT GetCapabilities(DWORD* capabilities) override;
    HRESULT GetDuration(LONGLONG* duration) override;
    HRESULT GetStopPosition(LONGLONG* stop) override;
    HRESULT GetCurrentPosition(LONGLONG* current) override;
    HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) override;

protected:
    ~UpstreamSeeking() = default;

    // The pin connected to the input whose upstream answers; null while it is not connected.
    [[nodiscard]] virtual IPin* UpstreamPeer() const = 0;
    // The upstream seeking interface, or empty.
    [[nodiscard]] ComPtr<IMediaSeeking> Upstream() const;
};

}  // namespace media
