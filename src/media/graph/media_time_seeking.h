#pragma once

// IMediaSeeking in media time (100-ns units), the one time format this layer speaks, written
// once for the graph, the AVI multiplexer, the splitter's output pins and whatever asks upstream
// (UpstreamSeeking: renderers, transform outputs). A subclass says what it can do, how long the
// media is and where it stands; everything else has an answer here that it overrides only where
// it knows better.
//
// Defaults: the stop position is the duration; nothing can be repositioned (E_NOTIMPL); the
// available range is 0 to the duration; the rate is 1.0 and nothing else; no preroll. Every
// method that takes a pointer it must write answers E_POINTER for null. MT safe as far as the
// subclass's three answers are.

#include "media/api/interfaces.h"

namespace media {

class MediaTimeSeeking : public IMediaSeeking {
public:
    // Subclasses say these.
    HRESULT GetCapabilities(DWORD* capabilities) override = 0;
    HRESULT GetDuration(LONGLONG* duration) override = 0;
    HRESULT GetCurrentPosition(LONGLONG* current) override = 0;

    // The capabilities asked for that GetCapabilities has: S_OK with all, S_FALSE with some,
    // E_FAIL with none; a failure of GetCapabilities is returned as it is.
    HRESULT CheckCapabilities(DWORD* capabilities) override;
    // Media time: S_OK; any other format: S_FALSE (IsFormatSupported, IsUsingTimeFormat) or
    // E_INVALIDARG (SetTimeFormat).
    HRESULT IsFormatSupported(const GUID* format) override;
    HRESULT QueryPreferredFormat(GUID* format) override;
    HRESULT GetTimeFormat(GUID* format) override;
    HRESULT IsUsingTimeFormat(const GUID* format) override;
    HRESULT SetTimeFormat(const GUID* format) override;
    HRESULT GetStopPosition(LONGLONG* stop) override;
    // Media time to media time; a null format stands for the one in use. Else E_INVALIDARG.
    HRESULT ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                              const GUID* sourceFormat) override;
    HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) override;
    // Either pointer may be null to leave that position out.
    HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) override;
    // Either pointer may be null to leave that end out.
    HRESULT GetAvailable(LONGLONG* earliest, LONGLONG* latest) override;
    HRESULT SetRate(double rate) override;
    HRESULT GetRate(double* rate) override;
    HRESULT GetPreroll(LONGLONG* preroll) override;

protected:
    ~MediaTimeSeeking() = default;

    // Whether format names media time; null stands for the format in use, which always is.
    [[nodiscard]] static bool IsMediaTime(const GUID* format);
};

}  // namespace media
