#include "media/graph/graph_state.h"

#include <algorithm>
#include <chrono>

#include "media/graph/graph_topology.h"
#include "media/graph/system_clock.h"

namespace media {
namespace {

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

}  // namespace

GraphState::GraphState(const GraphMembers& members, GraphEventQueue& events)
    : m_members(members), m_events(events) {}

std::vector<IBaseFilter*> GraphState::SinksFirst() const {
    std::vector<IBaseFilter*> order = SourcesFirst(m_members);
    std::reverse(order.begin(), order.end());
    return order;
}

std::size_t GraphState::RestartCompletion(bool keepErrorEnd) {
    const auto renderers =
        static_cast<std::size_t>(std::count_if(m_members.begin(), m_members.end(), [](const GraphMember& m) {
            return HasMiscFlag(m.filter.Get(), AM_FILTER_MISC_FLAGS_IS_RENDERER);
        }));
    m_events.RestartCompletion(renderers, keepErrorEnd);
    return renderers;
}

void GraphState::ChooseDefaultClock() {
    m_clockSet = true;
    ComPtr<IReferenceClock> clock;
    for (auto& m : m_members) {
        if (SUCCEEDED(m.filter->QueryInterface(IReferenceClock::iid, clock.ReceiveVoid())) && clock) break;
    }
    if (!clock) clock = ComPtr<IReferenceClock>::Adopt(new SystemClock);
    m_clock = clock;
    for (auto& m : m_members) m.filter->SetSyncSource(m_clock.Get());
}

void GraphState::SetSyncSource(IReferenceClock* clock) {
    m_clockSet = true;
    m_clock = ComPtr<IReferenceClock>(clock);
    for (auto& m : m_members) m.filter->SetSyncSource(clock);
}

REFERENCE_TIME GraphState::StreamTimeNow() const {
    if (!m_clock || m_state != State_Running) return m_pausedStreamTime;
    REFERENCE_TIME now = 0;
    m_clock->GetTime(&now);
    return now - m_runStart;
}

HRESULT GraphState::WaitForFilters(LONG timeoutMs) {
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

void GraphState::WaitForPreroll() {
    using Clock = std::chrono::steady_clock;
    std::vector<IBaseFilter*> renderers;
    for (auto& m : m_members) {
        if (HasMiscFlag(m.filter.Get(), AM_FILTER_MISC_FLAGS_HOLDS_SAMPLES_FOR_CLOCK))
            renderers.push_back(m.filter.Get());
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

HRESULT GraphState::Pause() {
    if (m_state == State_Paused) return S_OK;
    std::size_t renderers = 0;
    if (m_state == State_Stopped) {
        // A pin named by an event of an earlier run whose filter has left the graph names nothing
        // the new run knows.
        m_events.DropEventsNaming([&](IPin* pin) {
            const ComPtr<IBaseFilter> owner = OwnerOf(pin);
            return std::none_of(m_members.begin(), m_members.end(),
                                [&](const GraphMember& m) { return m.filter.Get() == owner.Get(); });
        });
        renderers = RestartCompletion();
        if (!m_clockSet) ChooseDefaultClock();
        m_pausedStreamTime = 0;
    } else {
        m_pausedStreamTime = StreamTimeNow();
    }
    for (IBaseFilter* f : SinksFirst()) {
        const HRESULT hr = f->Pause();
        if (FAILED(hr)) {
            Stop();
            return hr;
        }
    }
    const bool startsStreaming = m_state == State_Stopped;
    m_state = State_Paused;
    if (startsStreaming && renderers == 0) m_events.Notify(EC_COMPLETE, S_OK, 0);
    return S_OK;
}

HRESULT GraphState::Run() {
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
    for (IBaseFilter* f : SinksFirst()) {
        const HRESULT hr = f->Run(start);
        if (FAILED(hr)) {
            Stop();
            return hr;
        }
    }
    m_state = State_Running;
    return S_OK;
}

void GraphState::Stop() {
    for (auto& m : m_members) {
        if (HasMiscFlag(m.filter.Get(), AM_FILTER_MISC_FLAGS_HOLDS_SAMPLES_FOR_CLOCK)) m.filter->Stop();
    }
    for (IBaseFilter* f : SourcesFirst(m_members)) f->Stop();
    m_state = State_Stopped;
    m_pausedStreamTime = 0;
}

HRESULT GraphState::Reposition(const std::function<HRESULT()>& move) {
    const FILTER_STATE was = m_state;
    if (was == State_Running) {
        // The renderers hold still while the streams are flushed and refilled from the new place.
        for (IBaseFilter* f : SinksFirst()) f->Pause();
        m_state = State_Paused;
    }
    HRESULT result = move();
    // Only a move that happened starts a new stretch of the run; a failed run stays failed.
    if (was != State_Stopped && SUCCEEDED(result)) {
        RestartCompletion(true);
        m_pausedStreamTime = 0;
    }
    if (was == State_Running) {
        const HRESULT hr = Run();
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
    return result;
}

}  // namespace media
