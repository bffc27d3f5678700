#pragma once

// The filter graph manager: holds filters, connects pins (directly or through registered
// intermediate filters), builds playback graphs (RenderFile, Render), drives the state of every
// filter on a reference clock, collects their events and answers seeking questions from the
// sinks. Its methods are for one controlling thread (the application's); Notify is MT safe and is
// how streaming threads report.
//
// Clock. A graph that was never given a clock (SetSyncSource) takes one when it first leaves
// Stopped: the clock of a filter that offers one (the audio renderer), else the system clock.
// SetSyncSource(NULL) keeps it clock-free, so that it runs as fast as its filters work.
//
// Stream time is the clock's time minus the start given to Run; it starts at 0 with each run from
// Stopped and after each repositioning, and stands still while the graph is paused. Run waits (a
// bounded time) until every renderer holds its first sample, so that the first pictures are not
// already late when the clock starts.
//
// IVideoWindow is passed on to the graph's video renderer; a graph without one answers
// E_NOINTERFACE.

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "media/api/interfaces.h"
#include "media/com/com_object.h"
#include "media/com/com_ptr.h"

namespace media {

class FilterGraph final : public ComObject<IGraphBuilder, IMediaControl, IMediaSeeking, IMediaEvent,
                                           IMediaFilter, IMediaEventSink, IVideoWindow> {
    using Base = ComObject<IGraphBuilder, IMediaControl, IMediaSeeking, IMediaEvent, IMediaFilter,
                           IMediaEventSink, IVideoWindow>;

public:
    FilterGraph();
    ~FilterGraph() override;

    HRESULT QueryInterface(REFIID riid, void** object) override;

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
    // Connects output down to renderers, inserting decoders and splitters as needed. S_OK, a
    // partial-render code (VFW_S_VIDEO_NOT_RENDERED, VFW_S_AUDIO_NOT_RENDERED,
    // VFW_S_PARTIAL_RENDER) when some streams could not be rendered, or the failure of the last
    // attempt when none could; a failure leaves nothing of the attempt in the graph.
    HRESULT Render(IPin* output) override;
    // A source for file, then Render on its output. The play list is ignored. A failure leaves
    // nothing of the attempt in the graph.
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
    // Explicit, also with NULL: the graph then never picks a clock of its own.
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
    // Asks one sink per source. A new current position on a paused or running graph flushes the
    // streams and starts stream time again at 0; a running graph pauses for that, waits for its
    // renderers to hold the new position's first samples, and runs on.
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
    // IVideoWindow: the video renderer's.
    HRESULT put_Owner(LONG_PTR owner) override;
    HRESULT get_Owner(LONG_PTR* owner) override;
    HRESULT put_WindowStyle(LONG style) override;
    HRESULT get_WindowStyle(LONG* style) override;
    HRESULT SetWindowPosition(LONG left, LONG top, LONG width, LONG height) override;
    HRESULT GetWindowPosition(LONG* left, LONG* top, LONG* width, LONG* height) override;
    HRESULT put_Visible(LONG visible) override;
    HRESULT get_Visible(LONG* visible) override;

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
    // The same, one per source they are fed from.
    [[nodiscard]] std::vector<ComPtr<IMediaSeeking>> SeekingSinksOnePerSource() const;
    HRESULT ConnectThroughIntermediates(IPin* output, IPin* input, int depth);
    // Render's work: output to a renderer, or through an intermediate filter whose outputs are
    // rendered in turn.
    HRESULT RenderOutput(IPin* output, int depth);
    // A new filter of class clsid in the graph, or empty.
    [[nodiscard]] ComPtr<IBaseFilter> AddNewFilter(const CLSID& clsid, const std::u16string& name);
    [[nodiscard]] ComPtr<IVideoWindow> VideoWindow() const;
    void ChooseDefaultClock();
    // Waits up to timeoutMs (negative: no limit) for every filter to finish its change of state:
    // S_OK, or VFW_S_STATE_INTERMEDIATE.
    HRESULT WaitForFilters(LONG timeoutMs);
    // Before the clock starts: waits until every renderer holds its first sample, or gives up as
    // kPrerollWait and kPrerollGrace say.
    void WaitForPreroll();
    [[nodiscard]] REFERENCE_TIME StreamTimeNow() const;
    void DisconnectAllPins(IBaseFilter* filter);
    void ResetCompletion();
    void PostEvent(const Event& event);
    void StopFilters();

    std::vector<Member> m_members;
    FILTER_STATE m_state = State_Stopped;
    ComPtr<IReferenceClock> m_clock;
    bool m_clockSet = false;                // by SetSyncSource, or chosen on the first start
    REFERENCE_TIME m_runStart = 0;          // the start given to Run
    REFERENCE_TIME m_pausedStreamTime = 0;  // where a paused graph stands in stream time

    std::mutex m_eventLock;
    std::condition_variable m_eventPosted;
    std::deque<Event> m_events;
    std::optional<LONG> m_terminalEvent;  // completion or abort since the graph last started
    std::set<LONG_PTR> m_completedRenderers;
    std::size_t m_renderers = 0;
};

}  // namespace media
