#pragma once

// An output pin whose seeking interface passes every call to whatever feeds one of its filter's
// input pins, so that a question about duration or position travels up to the splitter.

#include "media/graph/pin_base.h"

namespace media {

class PassThroughOutputPin : public OutputPin, public IMediaSeeking {
public:
    PassThroughOutputPin(FilterBase& filter, std::u16string name, InputPin& upstreamOf);

    HRESULT QueryInterface(REFIID riid, void** object) override { return OutputPin::QueryInterface(riid, object); }
    ULONG AddRef() override { return OutputPin::AddRef(); }
    ULONG Release() override { return OutputPin::Release(); }

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
    void* FindExtraInterface(REFIID riid) override;

private:
    // The upstream seeking interface, or empty when the input is not connected or the peer
    // cannot seek.
    ComPtr<IMediaSeeking> Upstream() const;

    InputPin& m_upstreamOf;
};

}  // namespace media
