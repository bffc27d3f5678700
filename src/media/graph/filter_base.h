#pragma once

// The common part of every filter: identity, graph membership, pins and the state machine.
//
// State transitions and their duties (each hook runs on the thread that changes the state, the
// application's, with m_transitionLock held and m_objectLock not held):
//   Stopped -> Paused   OnActivate: allocate, open files, start streaming threads.
//   Paused  -> Running  OnRun: note the start time (threads already stream).
//   Running -> Paused   OnPauseFromRun.
//   any     -> Stopped  The state value turns Stopped first, so that samples that arrive from
//                       then on are refused and a streaming thread blocked on this filter
//                       returns; then OnDeactivate stops and joins every streaming thread
//                       before returning, and finishes files.
//
// Locks of a filter, in the order they may be taken:
//   m_transitionLock  serialises the state transitions above. Taken only by the threads that
//                     change state (the application's); no streaming thread ever takes it, so it
//                     may be held while a transition joins a streaming thread.
//   m_objectLock      short: guards the pin list (subclasses take it around changes of their pin
//                     set and in Pins), the clock, and the graph membership. Any thread may take
//                     it, a streaming thread too (a sample grabber's callback may enumerate pins
//                     or ask for the clock), so it is never held while a thread is joined.
//   streaming locks   each filter's own (TransformFilter's m_streamLock, a queue's lock): taken
//                     by its streaming thread and by a flush, never around a join.
// The state value itself is atomic and read without a lock.

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "media/api/com_object.h"
#include "media/api/interfaces.h"
#include "media/com/com_ptr.h"
#include "media/graph/pin_base.h"

namespace media {

class FilterBase : public ComObject<IBaseFilter, IAMFilterMiscFlags> {
public:
    FilterBase(const CLSID& clsid, ULONG miscFlags = 0);

    HRESULT GetClassID(CLSID* clsid) override;
    HRESULT Stop() override;
    HRESULT Pause() override;
    HRESULT Run(REFERENCE_TIME start) override;
    HRESULT GetState(DWORD timeoutMs, FILTER_STATE* state) override;
    HRESULT SetSyncSource(IReferenceClock* clock) override;
    HRESULT GetSyncSource(IReferenceClock** clock) override;
    HRESULT EnumPins(IEnumPins** pins) override;
    HRESULT FindPin(LPCWSTR id, IPin** pin) override;
    HRESULT QueryFilterInfo(FILTER_INFO* info) override;
    HRESULT JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
    HRESULT QueryVendorInfo(LPWSTR* vendorInfo) override;
    ULONG GetMiscFlags() override { return m_miscFlags; }

    // The filter's pins in enumeration order. No references are added.
    virtual std::vector<PinBase*> Pins() = 0;

    [[nodiscard]] FILTER_STATE State() const { return m_state.load(); }
    [[nodiscard]] bool IsActive() const { return m_state.load() != State_Stopped; }
    // The graph the filter is in, or null. No reference is added.
    [[nodiscard]] IFilterGraph* Graph() const { return m_graph.load(); }
    // Reports an event to the graph. MT safe.
    void NotifyEvent(LONG code, LONG_PTR param1 = 0, LONG_PTR param2 = 0);
    // The stream failed upstream of one of this filter's inputs: by default every output pin
    // passes it on. Streaming threads; MT safe.
    virtual void PassStreamFailure(HRESULT hr);

protected:
    // Streaming failed here with hr, in the stream through `failed` (or in no particular one):
    // downstream learns it first (PassStreamFailure), then the graph (EC_ERRORABORT naming
    // `failed`). Streaming threads; MT safe.
    void AbortStream(HRESULT hr, IPin* failed);

    virtual HRESULT OnActivate() { return S_OK; }
    virtual HRESULT OnRun(REFERENCE_TIME) { return S_OK; }
    virtual void OnPauseFromRun() {}
    virtual void OnDeactivate() {}

    // See the lock rules above. Recursive: a subclass's change of its pin set may call Pins.
    std::recursive_mutex m_objectLock;

private:
    // Stopped -> Paused; m_transitionLock held.
    HRESULT PauseLocked();

    const CLSID m_clsid;
    const ULONG m_miscFlags;
    std::mutex m_transitionLock;
    std::atomic<FILTER_STATE> m_state{State_Stopped};
    // Written under m_objectLock, read by any thread. The graph's, not counted: the graph
    // outlives membership.
    std::atomic<IFilterGraph*> m_graph{nullptr};
    std::atomic<IMediaEventSink*> m_eventSink{nullptr};
    std::u16string m_name;            // guarded by m_objectLock
    ComPtr<IReferenceClock> m_clock;  // guarded by m_objectLock
};

}  // namespace media
