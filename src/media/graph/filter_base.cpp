#include "media/graph/filter_base.h"

#include "media/com/wide_text.h"
#include "media/graph/enumerators.h"

namespace media {

FilterBase::FilterBase(const CLSID& clsid, ULONG miscFlags) : m_clsid(clsid), m_miscFlags(miscFlags) {}

HRESULT FilterBase::GetClassID(CLSID* clsid) {
    if (clsid == nullptr) return E_POINTER;
    *clsid = m_clsid;
    return S_OK;
}

HRESULT FilterBase::Stop() {
    std::lock_guard transition(m_transitionLock);
    if (m_state.load() == State_Stopped) return S_OK;
    m_state = State_Stopped;
    OnDeactivate();
    return S_OK;
}

HRESULT FilterBase::Pause() {
    std::lock_guard transition(m_transitionLock);
    return PauseLocked();
}

HRESULT FilterBase::PauseLocked() {
    const FILTER_STATE old = m_state.load();
    if (old == State_Paused) return S_OK;
    if (old == State_Stopped) {
        for (PinBase* pin : Pins()) {
            if (auto* input = dynamic_cast<InputPin*>(pin)) input->ForgetUpstreamFailure();
        }
        m_state = State_Paused;
        const HRESULT hr = OnActivate();
        if (FAILED(hr)) {
            m_state = State_Stopped;
            OnDeactivate();
            return hr;
        }
        return hr;
    }
    m_state = State_Paused;
    OnPauseFromRun();
    return S_OK;
}

HRESULT FilterBase::Run(REFERENCE_TIME start) {
    std::lock_guard transition(m_transitionLock);
    if (m_state.load() == State_Stopped) {
        const HRESULT hr = PauseLocked();
        if (FAILED(hr)) return hr;
    }
    if (m_state.load() == State_Running) return S_OK;
    m_state = State_Running;
    return OnRun(start);
}

HRESULT FilterBase::GetState(DWORD, FILTER_STATE* state) {
    if (state == nullptr) return E_POINTER;
    *state = m_state.load();
    return S_OK;
}

HRESULT FilterBase::SetSyncSource(IReferenceClock* clock) {
    std::lock_guard lock(m_objectLock);
    m_clock = ComPtr<IReferenceClock>(clock);
    return S_OK;
}

HRESULT FilterBase::GetSyncSource(IReferenceClock** clock) {
    std::lock_guard lock(m_objectLock);
    return ReturnInterface(m_clock.Get(), clock);
}

HRESULT FilterBase::EnumPins(IEnumPins** pins) {
    if (pins == nullptr) return E_POINTER;
    std::vector<IPin*> list;
    for (PinBase* p : Pins()) list.push_back(p);
    *pins = CreatePinEnumerator(list);
    return S_OK;
}

HRESULT FilterBase::FindPin(LPCWSTR id, IPin** pin) {
    if (id == nullptr || pin == nullptr) return E_POINTER;
    *pin = nullptr;
    for (PinBase* p : Pins()) {
        if (p->Name() == std::u16string_view(id)) return ReturnInterface<IPin>(p, pin);
    }
    return VFW_E_NOT_FOUND;
}

HRESULT FilterBase::QueryFilterInfo(FILTER_INFO* info) {
    if (info == nullptr) return E_POINTER;
    std::lock_guard lock(m_objectLock);
    CopyToFixed(m_name, info->achName, MAX_FILTER_NAME);
    info->pGraph = InterfaceRef<IFilterGraph>(m_graph.load()).Detach();
    return S_OK;
}

HRESULT FilterBase::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
    ComPtr<IMediaEventSink> sink;
    if (graph && FAILED(graph->QueryInterface(IMediaEventSink::iid, sink.ReceiveVoid()))) sink.Reset();
    std::lock_guard lock(m_objectLock);
    m_graph = graph;
    m_eventSink = sink.Get();
    m_name = name ? std::u16string(name) : std::u16string();
    return S_OK;
}

HRESULT FilterBase::QueryVendorInfo(LPWSTR*) { return E_NOTIMPL; }

void FilterBase::NotifyEvent(LONG code, LONG_PTR param1, LONG_PTR param2) {
    if (IMediaEventSink* sink = m_eventSink.load()) sink->Notify(code, param1, param2);
}

void FilterBase::PassStreamFailure(HRESULT hr) {
    for (PinBase* pin : Pins()) {
        if (auto* output = dynamic_cast<OutputPin*>(pin)) output->DeliverStreamFailure(hr);
    }
}

void FilterBase::AbortStream(HRESULT hr, IPin* failed) {
    PassStreamFailure(hr);
    NotifyEvent(EC_ERRORABORT, hr, reinterpret_cast<LONG_PTR>(failed));
}

}  // namespace media
