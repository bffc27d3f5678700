#pragma once

// The filter graph manager: holds filters, connects pins (directly or through registered
// intermediate filters), drives the state of every filter, collects their events and answers
// seeking questions from the sinks. Its methods are for one controlling thread (the
// application's); Notify is MT safe and is how streaming threads report.

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "media/com/com_object.h"
#include "media/com/com_ptr.h"
#include "media/graph/interfaces.h"

namespace media {

class FilterGraph final
    : public ComObject<IGraphBuilder, IMediaControl, IMediaSeeking, IMediaEvent, IMediaFilter, IMediaEventSink> {
public:
    FilterGraph();
    ~FilterGraph() override;

    // IFilterGraph
    HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) override;
    HRESULT RemoveFilter(IBaseFilter* filter) override;
    HRESULT EnumFilters(IEnumFilters** filters) override;
    HRESULT FindFilterByName(LPCWSTR name, IBaseFilter** filter) override;
    HRESULT ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* type) override;
    HRESULT Reconnect(IPin* pin) override;
    HRESULT Disconnect(IPin* pin) override;
    HRESULT SetDefaultSyncSource() override;
    // IGraphBuilder
    HRESULT Connect(IPin* output, IPin* input) override;
    HRESULT Render(IPin* output) override;
    HRESULT RenderFile(LPCWSTR file, LPCWSTR playList) override;
    HRESULT AddSourceFilter(LPCWSTR file, LPCWSTR filterName, IBaseFilter** filter) override;
    HRESULT SetLogFile(LONG_PTR) override { return S_OK; }
    HRESULT Abort() override { return S_OK; }
    HRESULT ShouldOperationContinue() override { return S_OK; }
    // IMediaControl (Stop and Pause also serve IMediaFilter)
    HRESULT Run() override;
    HRESULT Pause() override;
    HRESULT Stop() override;
    HRESULT GetState(LONG timeoutMs, OAFilterState* state) override;
    HRESULT StopWhenReady() override;
    // IMediaFilter
    HRESULT GetClassID(CLSID* clsid) override;
    HRESULT Run(REFERENCE_TIME start) override;
    HRESULT GetState(DWORD timeoutMs, FILTER_STATE* state) override;
    HRESULT SetSyncSource(IReferenceClock* clock) override;
    HRESULT GetSyncSource(IReferenceClock** clock) override;
    // IMediaSeeking
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
    // IMediaEvent
    HRESULT GetEventHandle(LONG_PTR* handle) override;
    HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeoutMs) override;
    HRESULT WaitForCompletion(LONG timeoutMs, LONG* code) override;
    HRESULT CancelDefaultHandling(LONG) override { return S_OK; }
    HRESULT RestoreDefaultHandling(LONG) override { return S_OK; }
    HRESULT FreeEventParams(LONG, LONG_PTR, LONG_PTR) override { return S_OK; }
    // IMediaEventSink (MT safe)
    HRESULT Notify(LONG code, LONG_PTR param1, LONG_PTR param2) override;

private:
    struct Member {
        ComPtr<IBaseFilter> filter;
        std::u16string name;
    };
    struct Event {
        LONG code;
        LONG_PTR param1;
        LONG_PTR param2;
    };

    [[nodiscard]] bool Contains(IBaseFilter* filter) const;
    [[nodiscard]] std::u16string UniqueName(LPCWSTR requested) const;
    // Filters ordered from the sources down to the sinks.
    [[nodiscard]] std::vector<IBaseFilter*> SourcesFirst() const;
    // The filter-level seeking interfaces of the graph's sinks.
    [[nodiscard]] std::vector<ComPtr<IMediaSeeking>> SeekingSinks() const;
    HRESULT ConnectThroughIntermediates(IPin* output, IPin* input, int depth);
    void DisconnectAllPins(IBaseFilter* filter);
    void ResetCompletion();
    void PostEvent(const Event& event);
    void StopFilters();

    std::vector<Member> m_members;
    FILTER_STATE m_state = State_Stopped;
    ComPtr<IReferenceClock> m_clock;

    std::mutex m_eventLock;
    std::condition_variable m_eventPosted;
    std::deque<Event> m_events;
    std::optional<LONG> m_terminalEvent;   // completion or abort since the graph last started
    std::set<LONG_PTR> m_completedRenderers;
    std::size_t m_renderers = 0;
};

}  // namespace media
