#pragma once

// The filter graph manager: holds filters and answers for the whole graph. Its interfaces are for
// one controlling thread (the application's); Notify is MT safe and is how streaming threads
// report. The work is its collaborators': IntelligentConnect connects and renders, GraphState
// drives the filters' state on a reference clock, GraphSeeking answers seeking questions from the
// sinks, and GraphEventQueue collects the events. The graph itself keeps the membership and passes
// IVideoWindow on to its video renderer; a graph without one answers E_NOINTERFACE.

#include <string>

#include "media/api/com_object.h"
#include "media/api/interfaces.h"
#include "media/com/com_ptr.h"
#include "media/graph/graph_event_queue.h"
#include "media/graph/graph_members.h"
#include "media/graph/graph_seeking.h"
#include "media/graph/graph_state.h"
#include "media/graph/intelligent_connect.h"
#include "media/graph/media_time_seeking.h"

namespace media {

class FilterGraph final : public ComObject<IGraphBuilder, IMediaControl, MediaTimeSeeking, IMediaEvent,
                                           IMediaFilter, IMediaEventSink, IVideoWindow> {
    using Base = ComObject<IGraphBuilder, IMediaControl, MediaTimeSeeking, IMediaEvent, IMediaFilter,
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
    // IMediaSeeking, answered by the sinks (see GraphSeeking); the rest is media time's.
    HRESULT GetCapabilities(DWORD* capabilities) override;
    HRESULT GetDuration(LONGLONG* duration) override;
    HRESULT GetStopPosition(LONGLONG* stop) override;
    HRESULT GetCurrentPosition(LONGLONG* current) override;
    // Asks one sink per source. A new current position on a paused or running graph flushes the
    // streams and starts stream time again at 0; a running graph pauses for that, waits for its
    // renderers to hold the new position's first samples, and runs on.
    HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) override;
    // IMediaEvent
    HRESULT GetEventHandle(LONG_PTR* handle) override;
    HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeoutMs) override;
    HRESULT WaitForCompletion(LONG timeoutMs, LONG* code) override;
    HRESULT CancelDefaultHandling(LONG) override { return S_OK; }
    HRESULT RestoreDefaultHandling(LONG) override { return S_OK; }
    HRESULT FreeEventParams(LONG code, LONG_PTR param1, LONG_PTR param2) override;
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
    [[nodiscard]] bool Contains(IBaseFilter* filter) const;
    [[nodiscard]] std::u16string UniqueName(LPCWSTR requested) const;
    [[nodiscard]] ComPtr<IVideoWindow> VideoWindow() const;
    void DisconnectAllPins(IBaseFilter* filter);

    GraphMembers m_members;
    GraphEventQueue m_events;
    GraphState m_state{m_members, m_events};
    GraphSeeking m_seeking{m_members, m_state};
    IntelligentConnect m_connect{*this, m_state};
};

}  // namespace media
