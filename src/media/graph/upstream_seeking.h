#pragma once

// IMediaSeeking answered by whatever feeds one input pin of the filter: every call passes to the
// seeking interface of that pin's peer, so that a question about duration or position travels up
// to the splitter. Not connected, or a peer that cannot seek: E_NOTIMPL. A class that knows some
// answers better (a renderer knows the position it has shown) overrides those calls alone.

#include "media/api/interfaces.h"
#include "media/com/com_ptr.h"

namespace media {

class UpstreamSeeking : public IMediaSeeking {
public:
    HRESULT GetCapabilities(DWORD* capabilities) override;
    HRESULT CheckCapabilities(DWORD* capabilities) override;
    HRESULT IsFormatSupported(const GUID* format) override;
    HRESULT QueryPreferredFormat(GUID* format) override;
    HRESULT GetTimeFormat(GUID* format) override;
    HRESULT IsUsingTimeFormat(const GUID* format) override;
    HRESULT SetTimeFormat(const GUID* format) override;
    HRESULT GetDuration(LONGLONG* duration) override;
    HRESULT GetStopPosition(LONGLONG* stop) override;
    HRESULT GetCurrentPosition(LONGLONG* current) override;
    HRESULT ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                              const GUID* sourceFormat) override;
    HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) override;
    HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) override;
    HRESULT GetAvailable(LONGLONG* earliest, LONGLONG* latest) override;
    HRESULT SetRate(double rate) override;
    HRESULT GetRate(double* rate) override;
    HRESULT GetPreroll(LONGLONG* preroll) override;

protected:
    ~UpstreamSeeking() = default;

    // The pin connected to the input whose upstream answers; null while it is not connected.
    [[nodiscard]] virtual IPin* UpstreamPeer() const = 0;
    // The upstream seeking interface, or empty.
    [[nodiscard]] ComPtr<IMediaSeeking> Upstream() const;
};

}  // namespace media
