#include "media/graph/filter_graph.h"

#include <algorithm>
#include <cstdio>

#include "media/api/class_registry.h"
#include "media/api/uuids.h"
#include "media/com/wide_text.h"
#include "media/graph/enumerators.h"
#include "media/graph/filter_registry.h"
#include "media/graph/graph_topology.h"
#include "media/graph/system_clock.h"
#include "media/registered_classes.h"

namespace media {

FilterGraph::FilterGraph() = default;

HRESULT FilterGraph::QueryInterface(REFIID riid, void** object) {
    if (riid == IVideoWindow::iid && !VideoWindow()) {
        if (object) *object = nullptr;
        return E_NOINTERFACE;
    }
    return Base::QueryInterface(riid, object);
}

FilterGraph::~FilterGraph() {
    m_state.Stop();
    for (auto& member : m_members) DisconnectAllPins(member.filter.Get());
    for (auto& member : m_members) member.filter->JoinFilterGraph(nullptr, nullptr);
    m_members.clear();
}

// ---- membership --------------------------------------------------------------------------------

bool FilterGraph::Contains(IBaseFilter* filter) const {
    return std::any_of(m_members.begin(), m_members.end(),
                       [&](const GraphMember& m) { return m.filter.Get() == filter; });
}

std::u16string FilterGraph::UniqueName(LPCWSTR requested) const {
    std::u16string base = requested && *requested ? std::u16string(requested) : std::u16string(u"Filter");
    base = base.substr(0, MAX_FILTER_NAME - 6);
    auto taken = [&](const std::u16string& n) {
        return std::any_of(m_members.begin(), m_members.end(),
                           [&](const GraphMember& m) { return m.name == n; });
    };
    if (!taken(base)) return base;
    for (int i = 1; i < 10000; ++i) {
        char digits[8];
        std::snprintf(digits, sizeof digits, " %04d", i);
        std::u16string candidate = base + ToUtf16(digits);
        if (!taken(candidate)) return candidate;
    }
    return base;
}

HRESULT FilterGraph::AddFilter(IBaseFilter* filter, LPCWSTR name) {
    if (filter == nullptr) return E_POINTER;
    if (Contains(filter)) return E_INVALIDARG;
    const std::u16string unique = UniqueName(name);
    const bool renamed = name == nullptr || unique != std::u16string_view(name);
    const HRESULT hr = filter->JoinFilterGraph(this, unique.c_str());
    if (FAILED(hr)) return hr;
    if (IReferenceClock* clock = m_state.Clock()) filter->SetSyncSource(clock);
    m_members.push_back({ComPtr<IBaseFilter>(filter), unique});
    return renamed && name != nullptr ? VFW_S_DUPLICATE_NAME : S_OK;
}

void FilterGraph::DisconnectAllPins(IBaseFilter* filter) {
    for (auto& pin : PinsOf(filter)) {
        if (ComPtr<IPin> peer = PeerOf(pin.Get())) {
            peer->Disconnect();
            pin->Disconnect();
        }
    }
}

HRESULT FilterGraph::RemoveFilter(IBaseFilter* filter) {
    auto it = std::find_if(m_members.begin(), m_members.end(),
                           [&](const GraphMember& m) { return m.filter.Get() == filter; });
    if (it == m_members.end()) return VFW_E_NOT_FOUND;
    ComPtr<IBaseFilter> keep = it->filter;
    if (m_state.State() != State_Stopped) keep->Stop();
    DisconnectAllPins(keep.Get());
    keep->JoinFilterGraph(nullptr, nullptr);
    m_members.erase(it);
    m_events.DropEventsNaming([&](IPin* pin) { return OwnerOf(pin).Get() == keep.Get(); });
    return S_OK;
}

HRESULT FilterGraph::EnumFilters(IEnumFilters** filters) {
    if (filters == nullptr) return E_POINTER;
    std::vector<IBaseFilter*> list;
    for (auto& m : m_members) list.push_back(m.filter.Get());
    *filters = CreateFilterEnumerator(list);
    return S_OK;
}

HRESULT FilterGraph::FindFilterByName(LPCWSTR name, IBaseFilter** filter) {
    if (name == nullptr || filter == nullptr) return E_POINTER;
    *filter = nullptr;
    for (auto& m : m_members) {
        if (m.name == std::u16string_view(name)) return ReturnInterface(m.filter.Get(), filter);
    }
    return VFW_E_NOT_FOUND;
}

HRESULT FilterGraph::ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* type) {
    if (output == nullptr || input == nullptr) return E_POINTER;
    if (m_state.State() != State_Stopped) return VFW_E_NOT_STOPPED;
    return output->Connect(input, type);
}

HRESULT FilterGraph::Reconnect(IPin*) {
    return E_NOTIMPL;
}

HRESULT FilterGraph::Disconnect(IPin* pin) {
    if (pin == nullptr) return E_POINTER;
    return pin->Disconnect();
}

HRESULT FilterGraph::SetDefaultSyncSource() {
    return SetSyncSource(nullptr);
}

// ---- building: intelligent connect and render ---------------------------------------------------

HRESULT FilterGraph::Connect(IPin* output, IPin* input) {
    return m_connect.Connect(output, input);
}

HRESULT FilterGraph::Render(IPin* output) {
    return m_connect.Render(output);
}

HRESULT FilterGraph::RenderFile(LPCWSTR file, LPCWSTR) {
    return m_connect.RenderFile(file);
}

HRESULT FilterGraph::AddSourceFilter(LPCWSTR file, LPCWSTR filterName, IBaseFilter** filter) {
    return m_connect.AddSourceFilter(file, filterName, filter);
}

// ---- state -------------------------------------------------------------------------------------

HRESULT FilterGraph::Run() {
    return m_state.Run();
}

HRESULT FilterGraph::Pause() {
    return m_state.Pause();
}

HRESULT FilterGraph::Stop() {
    m_state.Stop();
    return S_OK;
}

HRESULT FilterGraph::GetState(LONG timeoutMs, OAFilterState* state) {
    if (state == nullptr) return E_POINTER;
    *state = m_state.State();
    return *state == State_Paused ? m_state.WaitForFilters(timeoutMs) : S_OK;
}

HRESULT FilterGraph::StopWhenReady() {
    return Stop();
}

HRESULT FilterGraph::GetClassID(CLSID* clsid) {
    if (clsid == nullptr) return E_POINTER;
    *clsid = CLSID_FilterGraph;
    return S_OK;
}

HRESULT FilterGraph::Run(REFERENCE_TIME) {
    return Run();
}

HRESULT FilterGraph::GetState(DWORD, FILTER_STATE* state) {
    if (state == nullptr) return E_POINTER;
    *state = m_state.State();
    return S_OK;
}

HRESULT FilterGraph::SetSyncSource(IReferenceClock* clock) {
    m_state.SetSyncSource(clock);
    return S_OK;
}

HRESULT FilterGraph::GetSyncSource(IReferenceClock** clock) {
    return ReturnInterface(m_state.Clock(), clock);
}

// ---- seeking -----------------------------------------------------------------------------------

HRESULT FilterGraph::GetCapabilities(DWORD* capabilities) {
    return m_seeking.GetCapabilities(capabilities);
}

HRESULT FilterGraph::GetDuration(LONGLONG* duration) {
    return m_seeking.GetDuration(duration);
}

HRESULT FilterGraph::GetStopPosition(LONGLONG* stop) {
    return m_seeking.GetStopPosition(stop);
}

HRESULT FilterGraph::GetCurrentPosition(LONGLONG* current) {
    return m_seeking.GetCurrentPosition(current);
}

HRESULT FilterGraph::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) {
    return m_seeking.SetPositions(current, currentFlags, stop, stopFlags);
}

// ---- events ------------------------------------------------------------------------------------

HRESULT FilterGraph::GetEventHandle(LONG_PTR*) {
    return E_NOTIMPL;
}

HRESULT FilterGraph::GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeoutMs) {
    return m_events.GetEvent(code, param1, param2, timeoutMs);
}

HRESULT FilterGraph::WaitForCompletion(LONG timeoutMs, LONG* code) {
    return m_events.WaitForCompletion(timeoutMs, code, m_state.State() == State_Stopped);
}

HRESULT FilterGraph::FreeEventParams(LONG code, LONG_PTR param1, LONG_PTR param2) {
    GraphEventQueue::FreeParams(code, param1, param2);
    return S_OK;
}

HRESULT FilterGraph::Notify(LONG code, LONG_PTR param1, LONG_PTR param2) {
    return m_events.Notify(code, param1, param2);
}

// ---- video window ------------------------------------------------------------------------------

ComPtr<IVideoWindow> FilterGraph::VideoWindow() const {
    for (auto& m : m_members) {
        if (ComPtr<IVideoWindow> window = m.filter.As<IVideoWindow>()) return window;
    }
    return {};
}

#define TESSAREL_VIDEO_WINDOW(call)              \
    ComPtr<IVideoWindow> window = VideoWindow(); \
    if (!window) return E_NOINTERFACE;           \
    return window->call

HRESULT FilterGraph::put_Owner(LONG_PTR owner) {
    TESSAREL_VIDEO_WINDOW(put_Owner(owner));
}
HRESULT FilterGraph::get_Owner(LONG_PTR* owner) {
    TESSAREL_VIDEO_WINDOW(get_Owner(owner));
}
HRESULT FilterGraph::put_WindowStyle(LONG style) {
    TESSAREL_VIDEO_WINDOW(put_WindowStyle(style));
}
HRESULT FilterGraph::get_WindowStyle(LONG* style) {
    TESSAREL_VIDEO_WINDOW(get_WindowStyle(style));
}
HRESULT FilterGraph::SetWindowPosition(LONG left, LONG top, LONG width, LONG height) {
    TESSAREL_VIDEO_WINDOW(SetWindowPosition(left, top, width, height));
}
HRESULT FilterGraph::GetWindowPosition(LONG* left, LONG* top, LONG* width, LONG* height) {
    TESSAREL_VIDEO_WINDOW(GetWindowPosition(left, top, width, height));
}
HRESULT FilterGraph::put_Visible(LONG visible) {
    TESSAREL_VIDEO_WINDOW(put_Visible(visible));
}
HRESULT FilterGraph::get_Visible(LONG* visible) {
    TESSAREL_VIDEO_WINDOW(get_Visible(visible));
}

#undef TESSAREL_VIDEO_WINDOW

void RegisterFilterGraph() {
    RegisterClass(CLSID_FilterGraph, [] { return static_cast<IGraphBuilder*>(new FilterGraph); });
}

}  // namespace media
