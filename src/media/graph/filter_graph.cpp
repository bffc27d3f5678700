#include "media/graph/filter_graph.h"

#include <algorithm>
#include <chrono>
#include <map>

#include "media/api/class_registry.h"
#include "media/api/uuids.h"
#include "media/com/wide_text.h"
#include "media/graph/enumerators.h"
#include "media/graph/filter_registry.h"
#include "media/graph/system_clock.h"
#include "media/registered_classes.h"

namespace media {
namespace {

// Pins of a filter, with new references, in enumeration order.
std::vector<ComPtr<IPin>> PinsOf(IBaseFilter* filter) {
    std::vector<ComPtr<IPin>> pins;
    ComPtr<IEnumPins> e;
    if (FAILED(filter->EnumPins(e.Receive())) || !e) return pins;
    IPin* pin = nullptr;
    ULONG fetched = 0;
    while (e->Next(1, &pin, &fetched) == S_OK && fetched == 1) pins.push_back(ComPtr<IPin>::Adopt(pin));
    return pins;
}

PIN_DIRECTION DirectionOf(IPin* pin) {
    PIN_DIRECTION d = PINDIR_INPUT;
    pin->QueryDirection(&d);
    return d;
}

// The filter's first pin of a direction, or empty.
ComPtr<IPin> FirstPin(IBaseFilter* filter, PIN_DIRECTION direction) {
    for (auto& pin : PinsOf(filter)) {
        if (DirectionOf(pin.Get()) == direction) return pin;
    }
    return {};
}

ComPtr<IBaseFilter> OwnerOf(IPin* pin) {
    PIN_INFO info{};
    if (FAILED(pin->QueryPinInfo(&info))) return {};
    return ComPtr<IBaseFilter>::Adopt(info.pFilter);
}

ComPtr<IPin> PeerOf(IPin* pin) {
    ComPtr<IPin> peer;
    pin->ConnectedTo(peer.Receive());
    return peer;
}

std::vector<MediaType> TypesOffered(IPin* pin) {
    std::vector<MediaType> types;
    ComPtr<IEnumMediaTypes> e;
    if (FAILED(pin->EnumMediaTypes(e.Receive())) || !e) return types;
    AM_MEDIA_TYPE* type = nullptr;
    ULONG fetched = 0;
    while (e->Next(1, &type, &fetched) == S_OK && fetched == 1) {
        types.emplace_back(*type);
        DeleteMediaType(type);
    }
    return types;
}

bool IsRenderer(IBaseFilter* filter) {
    ComPtr<IAMFilterMiscFlags> flags;
    if (FAILED(filter->QueryInterface(IAMFilterMiscFlags::iid, flags.ReceiveVoid())) || !flags) return false;
    return (flags->GetMiscFlags() & AM_FILTER_MISC_FLAGS_IS_RENDERER) != 0;
}

bool HoldsSamplesForClock(IBaseFilter* filter) {
    ComPtr<IAMFilterMiscFlags> flags;
    if (FAILED(filter->QueryInterface(IAMFilterMiscFlags::iid, flags.ReceiveVoid())) || !flags) return false;
    return (flags->GetMiscFlags() & AM_FILTER_MISC_FLAGS_HOLDS_SAMPLES_FOR_CLOCK) != 0;
}

// The filter at the upstream end of filter's first connected input, following first inputs.
IBaseFilter* SourceOf(IBaseFilter* filter) {
    for (int step = 0; step < 64; ++step) {
        ComPtr<IPin> upstream;
        for (auto& pin : PinsOf(filter)) {
            if (DirectionOf(pin.Get()) == PINDIR_INPUT && (upstream = PeerOf(pin.Get()))) break;
        }
        if (!upstream) return filter;  // a source, or a filter cut off from its source
        ComPtr<IBaseFilter> owner = OwnerOf(upstream.Get());
        if (!owner) return filter;
        filter = owner.Get();  // the graph holds it
    }
    return filter;
}

constexpr int kMaxIntermediateDepth = 4;
// How long Run waits for renderers to hold their first samples before it starts the clock anyway.
constexpr std::chrono::milliseconds kPrerollWait{3000};
// Once one renderer holds its first sample, how much longer the others get. A stream that starts
// later in the file than another (sound that begins a second after the picture) cannot reach its
// renderer while the ready one holds the splitter's thread, so waiting longer for it only freezes
// the caller; the first picture of the slowest decoder comes well within this.
constexpr std::chrono::milliseconds kPrerollGrace{500};
// The longest single wait on one renderer before all of them are looked at again.
constexpr DWORD kPrerollSliceMs = 10;
// Stream time 0 is put this far after Run, so that the first samples are not late before the
// filters have even been told to run.
constexpr REFERENCE_TIME kStartLead = 200'000;  // 20 ms

// Which kinds of stream a render left out.
struct Unrendered {
    bool video = false;
    bool audio = false;
    bool other = false;

    void Add(HRESULT partial) {
        video = video || partial == VFW_S_VIDEO_NOT_RENDERED || partial == VFW_S_PARTIAL_RENDER;
        audio = audio || partial == VFW_S_AUDIO_NOT_RENDERED || partial == VFW_S_PARTIAL_RENDER;
    }
    void AddStream(const std::vector<MediaType>& types) {
        const GUID major = types.empty() ? GUID_NULL : types.front().majortype;
        if (major == MEDIATYPE_Video) {
            video = true;
        } else if (major == MEDIATYPE_Audio) {
            audio = true;
        } else {
            other = true;
        }
    }
    [[nodiscard]] HRESULT Code() const {
        if (other || (video && audio)) return VFW_S_PARTIAL_RENDER;
        if (video) return VFW_S_VIDEO_NOT_RENDERED;
        if (audio) return VFW_S_AUDIO_NOT_RENDERED;
        return S_OK;
    }
};

}  // namespace

FilterGraph::FilterGraph() = default;

HRESULT FilterGraph::QueryInterface(REFIID riid, void** object) {
    if (riid == IVideoWindow::iid && !VideoWindow()) {
        if (object) *object = nullptr;
        return E_NOINTERFACE;
    }
    return Base::QueryInterface(riid, object);
}

FilterGraph::~FilterGraph() {
    StopFilters();
    for (auto& member : m_members) DisconnectAllPins(member.filter.Get());
    for (auto& member : m_members) member.filter->JoinFilterGraph(nullptr, nullptr);
    m_members.clear();
}

bool FilterGraph::Contains(IBaseFilter* filter) const {
    return std::any_of(m_members.begin(), m_members.end(),
                       [&](const Member& m) { return m.filter.Get() == filter; });
}

std::u16string FilterGraph::UniqueName(LPCWSTR requested) const {
    std::u16string base = requested && *requested ? std::u16string(requested) : std::u16string(u"Filter");
    base = base.substr(0, MAX_FILTER_NAME - 6);
    auto taken = [&](const std::u16string& n) {
        return std::any_of(m_members.begin(), m_members.end(), [&](const Member& m) { return m.name == n; });
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
    if (m_clock) filter->SetSyncSource(m_clock.Get());
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
                           [&](const Member& m) { return m.filter.Get() == filter; });
    if (it == m_members.end()) return VFW_E_NOT_FOUND;
    ComPtr<IBaseFilter> keep = it->filter;
    if (m_state != State_Stopped) keep->Stop();
    DisconnectAllPins(keep.Get());
    keep->JoinFilterGraph(nullptr, nullptr);
    m_members.erase(it);
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
    if (m_state != State_Stopped) return VFW_E_NOT_STOPPED;
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

HRESULT FilterGraph::Connect(IPin* output, IPin* input) {
    if (output == nullptr || input == nullptr) return E_POINTER;
    if (DirectionOf(output) != PINDIR_OUTPUT || DirectionOf(input) != PINDIR_INPUT)
        return VFW_E_INVALID_DIRECTION;
    if (PeerOf(output) || PeerOf(input)) return VFW_E_ALREADY_CONNECTED;
    if (m_state != State_Stopped) return VFW_E_NOT_STOPPED;
    if (SUCCEEDED(output->Connect(input, nullptr))) return S_OK;
    return ConnectThroughIntermediates(output, input, 0);
}

HRESULT FilterGraph::ConnectThroughIntermediates(IPin* output, IPin* input, int depth) {
    if (depth >= kMaxIntermediateDepth) return VFW_E_CANNOT_CONNECT;
    const std::vector<MediaType> offered = TypesOffered(output);
    if (offered.empty()) return VFW_E_CANNOT_CONNECT;
    CLSID upstreamClass = GUID_NULL;
    if (ComPtr<IBaseFilter> owner = OwnerOf(output)) owner->GetClassID(&upstreamClass);

    for (const RegisteredFilter& entry : IntermediateFiltersByMerit()) {
        if (entry.clsid == upstreamClass) continue;  // never chain a filter onto itself
        const bool mayAccept = std::any_of(offered.begin(), offered.end(),
                                           [&](const MediaType& t) { return entry.mayAcceptInput(t); });
        if (!mayAccept) continue;
        ComPtr<IBaseFilter> filter;
        if (FAILED(CoCreateInstance(entry.clsid, nullptr, CLSCTX_INPROC_SERVER, IBaseFilter::iid,
                                    filter.ReceiveVoid())) ||
            !filter) {
            continue;
        }
        if (FAILED(AddFilter(filter.Get(), entry.name.c_str()))) continue;
        ComPtr<IPin> filterInput = FirstPin(filter.Get(), PINDIR_INPUT);
        if (filterInput && SUCCEEDED(output->Connect(filterInput.Get(), nullptr))) {
            for (auto& pin : PinsOf(filter.Get())) {
                if (DirectionOf(pin.Get()) != PINDIR_OUTPUT || PeerOf(pin.Get())) continue;
                if (SUCCEEDED(pin->Connect(input, nullptr))) return S_OK;
                if (SUCCEEDED(ConnectThroughIntermediates(pin.Get(), input, depth + 1))) return S_OK;
            }
        }
        RemoveFilter(filter.Get());
    }
    return VFW_E_CANNOT_CONNECT;
}

ComPtr<IBaseFilter> FilterGraph::AddNewFilter(const CLSID& clsid, const std::u16string& name) {
    ComPtr<IBaseFilter> filter;
    if (FAILED(
            CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IBaseFilter::iid, filter.ReceiveVoid())) ||
        !filter) {
        return {};
    }
    if (FAILED(AddFilter(filter.Get(), name.c_str()))) return {};
    return filter;
}

HRESULT FilterGraph::Render(IPin* output) {
    if (output == nullptr) return E_POINTER;
    if (DirectionOf(output) != PINDIR_OUTPUT) return VFW_E_INVALID_DIRECTION;
    if (PeerOf(output)) return VFW_E_ALREADY_CONNECTED;
    if (m_state != State_Stopped) return VFW_E_NOT_STOPPED;
    return RenderOutput(output, 0);
}

HRESULT FilterGraph::RenderOutput(IPin* output, int depth) {
    const std::vector<MediaType> offered = TypesOffered(output);
    if (offered.empty()) return VFW_E_CANNOT_RENDER;
    const auto offers = [&](const RegisteredFilter& entry) {
        return std::any_of(offered.begin(), offered.end(),
                           [&](const MediaType& t) { return entry.mayAcceptInput(t); });
    };
    HRESULT lastFailure = VFW_E_CANNOT_RENDER;

    // A renderer for the stream, with whatever decoders intelligent connect puts in front of it.
    for (const RegisteredFilter& entry : RenderersByMerit()) {
        if (!offers(entry)) continue;
        ComPtr<IBaseFilter> renderer = AddNewFilter(entry.clsid, entry.name);
        if (!renderer) continue;
        const ComPtr<IPin> input = FirstPin(renderer.Get(), PINDIR_INPUT);
        const HRESULT hr = input ? Connect(output, input.Get()) : VFW_E_NOT_FOUND;
        if (SUCCEEDED(hr)) return S_OK;
        RemoveFilter(renderer.Get());
        lastFailure = hr;
    }
    if (depth >= kMaxIntermediateDepth) return lastFailure;

    // Otherwise a filter that takes the stream as it is (a splitter), whose outputs are rendered.
    CLSID upstreamClass = GUID_NULL;
    if (ComPtr<IBaseFilter> owner = OwnerOf(output)) owner->GetClassID(&upstreamClass);
    for (const RegisteredFilter& entry : IntermediateFiltersByMerit()) {
        if (entry.clsid == upstreamClass || !offers(entry)) continue;
        ComPtr<IBaseFilter> filter = AddNewFilter(entry.clsid, entry.name);
        if (!filter) continue;
        const ComPtr<IPin> input = FirstPin(filter.Get(), PINDIR_INPUT);
        const HRESULT hr = input ? output->Connect(input.Get(), nullptr) : VFW_E_NOT_FOUND;
        if (FAILED(hr)) {
            RemoveFilter(filter.Get());
            lastFailure = hr;
            continue;
        }
        int rendered = 0;
        Unrendered left;
        for (auto& pin : PinsOf(filter.Get())) {  // a splitter's outputs exist once its input is connected
            if (DirectionOf(pin.Get()) != PINDIR_OUTPUT || PeerOf(pin.Get())) continue;
            const HRESULT streamResult = RenderOutput(pin.Get(), depth + 1);
            if (SUCCEEDED(streamResult)) {
                ++rendered;
                left.Add(streamResult);
            } else {
                left.AddStream(TypesOffered(pin.Get()));
                lastFailure = streamResult;
            }
        }
        if (rendered > 0) return left.Code();
        RemoveFilter(filter.Get());
    }
    return lastFailure;
}

HRESULT FilterGraph::RenderFile(LPCWSTR file, LPCWSTR) {
    if (file == nullptr) return E_POINTER;
    if (m_state != State_Stopped) return VFW_E_NOT_STOPPED;
    ComPtr<IBaseFilter> source;
    HRESULT hr = AddSourceFilter(file, file, source.Receive());
    if (FAILED(hr)) return hr;
    const ComPtr<IPin> output = FirstPin(source.Get(), PINDIR_OUTPUT);
    hr = output ? RenderOutput(output.Get(), 0) : VFW_E_CANNOT_RENDER;
    if (FAILED(hr)) RemoveFilter(source.Get());
    return hr;
}

HRESULT FilterGraph::AddSourceFilter(LPCWSTR file, LPCWSTR filterName, IBaseFilter** filter) {
    if (file == nullptr || filter == nullptr) return E_POINTER;
    *filter = nullptr;
    ComPtr<IBaseFilter> source;
    HRESULT hr = CoCreateInstance(CLSID_AsyncReader, nullptr, CLSCTX_INPROC_SERVER, IBaseFilter::iid,
                                  source.ReceiveVoid());
    if (FAILED(hr)) return hr;
    ComPtr<IFileSourceFilter> loader = source.As<IFileSourceFilter>();
    if (!loader) return E_NOINTERFACE;
    hr = loader->Load(file, nullptr);
    if (FAILED(hr)) return hr;
    hr = AddFilter(source.Get(), filterName ? filterName : file);
    if (FAILED(hr)) return hr;
    *filter = source.Detach();
    return S_OK;
}

std::vector<IBaseFilter*> FilterGraph::SourcesFirst() const {
    std::map<IBaseFilter*, std::vector<IBaseFilter*>> downstream;
    std::map<IBaseFilter*, int> incoming;
    for (auto& m : m_members) incoming[m.filter.Get()] = 0;
    for (auto& m : m_members) {
        for (auto& pin : PinsOf(m.filter.Get())) {
            if (DirectionOf(pin.Get()) != PINDIR_OUTPUT) continue;
            ComPtr<IPin> peer = PeerOf(pin.Get());
            if (!peer) continue;
            ComPtr<IBaseFilter> next = OwnerOf(peer.Get());
            if (!next || !incoming.contains(next.Get())) continue;
            downstream[m.filter.Get()].push_back(next.Get());
            ++incoming[next.Get()];
        }
    }
    std::vector<IBaseFilter*> order;
    std::vector<IBaseFilter*> ready;
    for (auto& m : m_members) {
        if (incoming[m.filter.Get()] == 0) ready.push_back(m.filter.Get());
    }
    while (!ready.empty()) {
        IBaseFilter* f = ready.front();
        ready.erase(ready.begin());
        order.push_back(f);
        for (IBaseFilter* next : downstream[f]) {
            if (--incoming[next] == 0) ready.push_back(next);
        }
    }
    for (auto& m : m_members) {  // anything left sits on a cycle: keep it, in graph order
        if (std::find(order.begin(), order.end(), m.filter.Get()) == order.end())
            order.push_back(m.filter.Get());
    }
    return order;
}

void FilterGraph::ResetCompletion() {
    std::lock_guard lock(m_eventLock);
    m_terminalEvent.reset();
    m_completedRenderers.clear();
    m_renderers = static_cast<std::size_t>(std::count_if(
        m_members.begin(), m_members.end(), [](const Member& m) { return IsRenderer(m.filter.Get()); }));
}

void FilterGraph::ChooseDefaultClock() {
    m_clockSet = true;
    ComPtr<IReferenceClock> clock;
    for (auto& m : m_members) {
        if (SUCCEEDED(m.filter->QueryInterface(IReferenceClock::iid, clock.ReceiveVoid())) && clock) break;
    }
    if (!clock) clock = ComPtr<IReferenceClock>::Adopt(new SystemClock);
    m_clock = clock;
    for (auto& m : m_members) m.filter->SetSyncSource(m_clock.Get());
}

REFERENCE_TIME FilterGraph::StreamTimeNow() const {
    if (!m_clock || m_state != State_Running) return m_pausedStreamTime;
    REFERENCE_TIME now = 0;
    m_clock->GetTime(&now);
    return now - m_runStart;
}

HRESULT FilterGraph::WaitForFilters(LONG timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max<LONG>(timeoutMs, 0));
    HRESULT result = S_OK;
    for (auto& m : m_members) {
        DWORD wait = 0xFFFFFFFF;  // no limit
        if (timeoutMs >= 0) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            wait = static_cast<DWORD>(std::max<long long>(left, 0));
        }
        FILTER_STATE state = State_Stopped;
        if (m.filter->GetState(wait, &state) == VFW_S_STATE_INTERMEDIATE) result = VFW_S_STATE_INTERMEDIATE;
    }
    return result;
}

void FilterGraph::WaitForPreroll() {
    using Clock = std::chrono::steady_clock;
    std::vector<IBaseFilter*> renderers;
    for (auto& m : m_members) {
        if (HoldsSamplesForClock(m.filter.Get())) renderers.push_back(m.filter.Get());
    }
    Clock::time_point deadline = Clock::now() + kPrerollWait;
    bool graceGiven = false;
    for (;;) {
        FILTER_STATE state = State_Stopped;
        auto notReady = [&](IBaseFilter* r) { return r->GetState(0, &state) == VFW_S_STATE_INTERMEDIATE; };
        const auto waiting = std::find_if(renderers.begin(), renderers.end(), notReady);
        if (waiting == renderers.end()) return;
        const Clock::time_point now = Clock::now();
        if (!graceGiven && !std::all_of(renderers.begin(), renderers.end(), notReady)) {
            deadline = std::min(deadline, now + kPrerollGrace);
            graceGiven = true;
        }
        if (now >= deadline) return;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
        (void)(*waiting)->GetState(std::min<DWORD>(kPrerollSliceMs, static_cast<DWORD>(left)), &state);
    }
}

HRESULT FilterGraph::Pause() {
    if (m_state == State_Paused) return S_OK;
    if (m_state == State_Stopped) {
        ResetCompletion();
        if (!m_clockSet) ChooseDefaultClock();
        m_pausedStreamTime = 0;
    } else {
        m_pausedStreamTime = StreamTimeNow();
    }
    std::vector<IBaseFilter*> order = SourcesFirst();
    std::reverse(order.begin(), order.end());  // sinks first, so each is ready before data reaches it
    for (IBaseFilter* f : order) {
        const HRESULT hr = f->Pause();
        if (FAILED(hr)) {
            StopFilters();
            return hr;
        }
    }
    const bool startsStreaming = m_state == State_Stopped;
    m_state = State_Paused;
    if (startsStreaming && m_renderers == 0) Notify(EC_COMPLETE, S_OK, 0);
    return S_OK;
}

HRESULT FilterGraph::Run() {
    if (m_state == State_Running) return S_OK;
    if (m_state == State_Stopped) {
        const HRESULT hr = Pause();
        if (FAILED(hr)) return hr;
    }
    REFERENCE_TIME start = 0;
    if (m_clock) {
        WaitForPreroll();  // a renderer that is still not ready catches up
        m_clock->GetTime(&start);
        start += kStartLead - m_pausedStreamTime;
    }
    m_runStart = start;
    std::vector<IBaseFilter*> order = SourcesFirst();
    std::reverse(order.begin(), order.end());
    for (IBaseFilter* f : order) {
        const HRESULT hr = f->Run(start);
        if (FAILED(hr)) {
            StopFilters();
            return hr;
        }
    }
    m_state = State_Running;
    return S_OK;
}

void FilterGraph::StopFilters() {
    // Renderers that hold samples for their time first: a delivery blocked on one of them returns
    // only when it stops. Then sources first: each filter joins its own threads, and whatever it
    // is still delivering to downstream is still running and drains it.
    for (auto& m : m_members) {
        if (HoldsSamplesForClock(m.filter.Get())) m.filter->Stop();
    }
    for (IBaseFilter* f : SourcesFirst()) f->Stop();
    m_state = State_Stopped;
    m_pausedStreamTime = 0;
}

HRESULT FilterGraph::Stop() {
    StopFilters();
    return S_OK;
}

HRESULT FilterGraph::GetState(LONG timeoutMs, OAFilterState* state) {
    if (state == nullptr) return E_POINTER;
    *state = m_state;
    return m_state == State_Paused ? WaitForFilters(timeoutMs) : S_OK;
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
    *state = m_state;
    return S_OK;
}

HRESULT FilterGraph::SetSyncSource(IReferenceClock* clock) {
    m_clockSet = true;
    m_clock = ComPtr<IReferenceClock>(clock);
    for (auto& m : m_members) m.filter->SetSyncSource(clock);
    return S_OK;
}

HRESULT FilterGraph::GetSyncSource(IReferenceClock** clock) {
    return ReturnInterface(m_clock.Get(), clock);
}

std::vector<ComPtr<IMediaSeeking>> FilterGraph::SeekingSinks() const {
    std::vector<ComPtr<IMediaSeeking>> sinks;
    for (auto& m : m_members) {
        ComPtr<IMediaSeeking> seeking = m.filter.As<IMediaSeeking>();
        if (seeking) sinks.push_back(seeking);
    }
    return sinks;
}

std::vector<ComPtr<IMediaSeeking>> FilterGraph::SeekingSinksOnePerSource() const {
    std::vector<ComPtr<IMediaSeeking>> sinks;
    std::vector<IBaseFilter*> sources;
    for (auto& m : m_members) {
        ComPtr<IMediaSeeking> seeking = m.filter.As<IMediaSeeking>();
        if (!seeking) continue;
        IBaseFilter* source = SourceOf(m.filter.Get());
        if (std::find(sources.begin(), sources.end(), source) != sources.end()) continue;
        sources.push_back(source);
        sinks.push_back(seeking);
    }
    return sinks;
}

HRESULT FilterGraph::GetCapabilities(DWORD* capabilities) {
    if (capabilities == nullptr) return E_POINTER;
    const auto sinks = SeekingSinks();
    if (sinks.empty()) return E_NOTIMPL;
    DWORD all = ~DWORD{0};
    for (auto& s : sinks) {
        DWORD c = 0;
        if (FAILED(s->GetCapabilities(&c))) c = 0;
        all &= c;
    }
    *capabilities = all;
    return S_OK;
}

HRESULT FilterGraph::CheckCapabilities(DWORD* capabilities) {
    if (capabilities == nullptr) return E_POINTER;
    DWORD have = 0;
    const HRESULT hr = GetCapabilities(&have);
    if (FAILED(hr)) return hr;
    const DWORD asked = *capabilities;
    *capabilities &= have;
    if (*capabilities == asked) return S_OK;
    return *capabilities == 0 ? E_FAIL : S_FALSE;
}

HRESULT FilterGraph::IsFormatSupported(const GUID* format) {
    if (format == nullptr) return E_POINTER;
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
}

HRESULT FilterGraph::QueryPreferredFormat(GUID* format) {
    if (format == nullptr) return E_POINTER;
    *format = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
}

HRESULT FilterGraph::GetTimeFormat(GUID* format) {
    return QueryPreferredFormat(format);
}

HRESULT FilterGraph::IsUsingTimeFormat(const GUID* format) {
    return IsFormatSupported(format);
}

HRESULT FilterGraph::SetTimeFormat(const GUID* format) {
    if (format == nullptr) return E_POINTER;
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : E_INVALIDARG;
}

HRESULT FilterGraph::GetDuration(LONGLONG* duration) {
    if (duration == nullptr) return E_POINTER;
    bool any = false;
    LONGLONG longest = 0;
    for (auto& s : SeekingSinks()) {
        LONGLONG d = 0;
        if (SUCCEEDED(s->GetDuration(&d))) {
            longest = any ? std::max(longest, d) : d;
            any = true;
        }
    }
    if (!any) return E_NOTIMPL;
    *duration = longest;
    return S_OK;
}

HRESULT FilterGraph::GetStopPosition(LONGLONG* stop) {
    if (stop == nullptr) return E_POINTER;
    bool any = false;
    LONGLONG latest = 0;
    for (auto& s : SeekingSinks()) {
        LONGLONG p = 0;
        if (SUCCEEDED(s->GetStopPosition(&p))) {
            latest = any ? std::max(latest, p) : p;
            any = true;
        }
    }
    if (!any) return GetDuration(stop);
    *stop = latest;
    return S_OK;
}

HRESULT FilterGraph::GetCurrentPosition(LONGLONG* current) {
    if (current == nullptr) return E_POINTER;
    bool any = false;
    LONGLONG earliest = 0;
    for (auto& s : SeekingSinks()) {
        LONGLONG p = 0;
        if (SUCCEEDED(s->GetCurrentPosition(&p))) {
            earliest = any ? std::min(earliest, p) : p;
            any = true;
        }
    }
    if (!any) return E_NOTIMPL;
    *current = earliest;
    return S_OK;
}

HRESULT FilterGraph::ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                       const GUID* sourceFormat) {
    if (target == nullptr) return E_POINTER;
    const auto isMediaTime = [](const GUID* f) { return f == nullptr || *f == TIME_FORMAT_MEDIA_TIME; };
    if (!isMediaTime(targetFormat) || !isMediaTime(sourceFormat)) return E_INVALIDARG;
    *target = source;
    return S_OK;
}

HRESULT FilterGraph::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) {
    const auto sinks = SeekingSinksOnePerSource();
    if (sinks.empty()) return E_NOTIMPL;
    const bool moves = (currentFlags & AM_SEEKING_PositioningBitsMask) != AM_SEEKING_NoPositioning;
    const FILTER_STATE was = m_state;
    if (moves && was == State_Running) {
        // The renderers hold still while the streams are flushed and refilled from the new place.
        std::vector<IBaseFilter*> order = SourcesFirst();
        std::reverse(order.begin(), order.end());
        for (IBaseFilter* f : order) f->Pause();
        m_state = State_Paused;
    }
    HRESULT result = S_OK;
    for (auto& s : sinks) {
        const HRESULT hr = s->SetPositions(current, currentFlags, stop, stopFlags);
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
    if (moves && was != State_Stopped) {
        ResetCompletion();
        m_pausedStreamTime = 0;
    }
    if (moves && was == State_Running) {
        const HRESULT hr = Run();
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
    return result;
}

HRESULT FilterGraph::GetPositions(LONGLONG* current, LONGLONG* stop) {
    HRESULT hr = S_OK;
    if (current) hr = GetCurrentPosition(current);
    if (SUCCEEDED(hr) && stop) hr = GetStopPosition(stop);
    return hr;
}

HRESULT FilterGraph::GetAvailable(LONGLONG* earliest, LONGLONG* latest) {
    if (earliest) *earliest = 0;
    if (latest) return GetDuration(latest);
    return S_OK;
}

HRESULT FilterGraph::SetRate(double rate) {
    return rate == 1.0 ? S_OK : E_NOTIMPL;
}

HRESULT FilterGraph::GetRate(double* rate) {
    if (rate == nullptr) return E_POINTER;
    *rate = 1.0;
    return S_OK;
}

HRESULT FilterGraph::GetPreroll(LONGLONG* preroll) {
    if (preroll == nullptr) return E_POINTER;
    *preroll = 0;
    return S_OK;
}

HRESULT FilterGraph::GetEventHandle(LONG_PTR*) {
    return E_NOTIMPL;
}

HRESULT FilterGraph::GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeoutMs) {
    if (code == nullptr || param1 == nullptr || param2 == nullptr) return E_POINTER;
    std::unique_lock lock(m_eventLock);
    auto hasEvent = [&] { return !m_events.empty(); };
    if (timeoutMs < 0) {
        m_eventPosted.wait(lock, hasEvent);
    } else if (!m_eventPosted.wait_for(lock, std::chrono::milliseconds(timeoutMs), hasEvent)) {
        *code = 0;
        *param1 = *param2 = 0;
        return E_ABORT;
    }
    const Event e = m_events.front();
    m_events.pop_front();
    *code = e.code;
    *param1 = e.param1;
    *param2 = e.param2;
    return S_OK;
}

HRESULT FilterGraph::WaitForCompletion(LONG timeoutMs, LONG* code) {
    if (code == nullptr) return E_POINTER;
    *code = 0;
    std::unique_lock lock(m_eventLock);
    auto ended = [&] { return m_terminalEvent.has_value(); };
    if (!ended() && m_state == State_Stopped) return VFW_E_WRONG_STATE;
    if (timeoutMs < 0) {
        m_eventPosted.wait(lock, ended);
    } else if (!m_eventPosted.wait_for(lock, std::chrono::milliseconds(timeoutMs), ended)) {
        return E_ABORT;
    }
    *code = *m_terminalEvent;
    return S_OK;
}

void FilterGraph::PostEvent(const Event& event) {
    m_events.push_back(event);
    if (event.code == EC_COMPLETE || event.code == EC_ERRORABORT || event.code == EC_USERABORT ||
        event.code == EC_STREAM_ERROR_STOPPED) {
        if (!m_terminalEvent) m_terminalEvent = event.code;
    }
    m_eventPosted.notify_all();
}

HRESULT FilterGraph::Notify(LONG code, LONG_PTR param1, LONG_PTR param2) {
    std::lock_guard lock(m_eventLock);
    if (code == EC_COMPLETE && param2 != 0) {
        // A renderer finished; the graph is complete when all of them have.
        m_completedRenderers.insert(param2);
        if (m_completedRenderers.size() == m_renderers) PostEvent({EC_COMPLETE, S_OK, 0});
        return S_OK;
    }
    PostEvent({code, param1, param2});
    return S_OK;
}

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
