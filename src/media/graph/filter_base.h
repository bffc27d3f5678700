#pragma once

// The common part of every filter: identity, graph membership, pins and the state machine.
//
// State transitions and their duties (each hook runs on the thread that changes the state, the
// application's, with the filter's state lock held):
//   Stopped -> Paused   OnActivate: allocate, open files, start streaming threads.
//   Paused  -> Running  OnRun: note the start time (threads already stream).
//   Running -> Paused   OnPauseFromRun.
//   any     -> Stopped  OnDeactivate: stop and join every streaming thread before returning,
//                       finish files. Samples that arrive afterwards are refused.

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "media/api/interfaces.h"
#include "media/com/com_object.h"
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
    [[nodiscard]] IFilterGraph* Graph() const { return m_graph; }
    // Reports an event to the graph. MT safe.
    void NotifyEvent(LONG code, LONG_PTR param1 = 0, LONG_PTR param2 = 0);

protected:
    virtual HRESULT OnActivate() { return S_OK; }
    virtual HRESULT OnRun(REFERENCE_TIME) { return S_OK; }
    virtual void OnPauseFromRun() {}
    virtual void OnDeactivate() {}

    // Held by the state transitions; subclasses may take it for changes of their pin set.
    std::recursive_mutex m_stateLock;

private:
    const CLSID m_clsid;
    const ULONG m_miscFlags;
    std::atomic<FILTER_STATE> m_state{State_Stopped};
    IFilterGraph* m_graph = nullptr;
    IMediaEventSink* m_eventSink = nullptr;  // the graph's, not counted: the graph outlives membership
    std::u16string m_name;
    ComPtr<IReferenceClock> m_clock;
};

}  // namespace media
