#pragma once

// An output pin of the splitter: one elementary stream of the file, offered as exactly one media
// type, with a pin-level IMediaSeeking that answers for the whole file.

#include <string>
#include <vector>

#include "media/graph/media_time_seeking.h"
#include "media/graph/pin_base.h"

namespace media {

// What the output pins ask of their splitter about time. Positions are 100-ns units from the
// start of the file.
class SplitterTimeline {
public:
    // The file's duration, 0 when unknown. MT safe.
    [[nodiscard]] virtual REFERENCE_TIME Duration() = 0;
    // The start time of the last packet delivered, or the position of the last seek. MT safe.
    [[nodiscard]] virtual REFERENCE_TIME CurrentPosition() = 0;
    // Moves the reading position to the key frame at or before position. Application thread.
    virtual HRESULT SeekTo(REFERENCE_TIME position) = 0;

protected:
    ~SplitterTimeline() = default;
};

class SplitterOutputPin final : public OutputPin, public MediaTimeSeeking {
public:
    SplitterOutputPin(FilterBase& filter, std::u16string name, MediaType type, SplitterTimeline& timeline);

    HRESULT QueryInterface(REFIID riid, void** object) override {
        return OutputPin::QueryInterface(riid, object);
    }
    ULONG AddRef() override { return OutputPin::AddRef(); }
    ULONG Release() override { return OutputPin::Release(); }

    // Accepts the offered type: same major type, subtype and format type.
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    std::vector<MediaType> OfferedTypes() override { return {m_type}; }

    // Seeking in media time, for the whole file. Stop positions cannot be set; rate is 1.0.
    HRESULT GetCapabilities(DWORD* capabilities) override;
    HRESULT GetDuration(LONGLONG* duration) override;
    HRESULT GetCurrentPosition(LONGLONG* current) override;
    // Absolute or relative current positions; E_NOTIMPL when a stop position is asked for.
    HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) override;
    // E_POINTER when both pointers are null.
    HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) override;
    HRESULT GetAvailable(LONGLONG* earliest, LONGLONG* latest) override;

protected:
    void* FindExtraInterface(REFIID riid) override;

private:
    MediaType m_type;
    SplitterTimeline& m_timeline;
};

}  // namespace media
