#include "media/filters/renderer_base.h"

#include <algorithm>
#include <chrono>

#include "media/api/uuids.h"

namespace media {

RendererBase::RendererBase(const CLSID& clsid)
    : FilterBase(clsid, AM_FILTER_MISC_FLAGS_IS_RENDERER | AM_FILTER_MISC_FLAGS_HOLDS_SAMPLES_FOR_CLOCK),
      m_input(*this) {}

void* RendererBase::FindExtraInterface(REFIID riid) {
    if (riid == IMediaSeeking::iid) return static_cast<IMediaSeeking*>(this);
    return FilterBase::FindExtraInterface(riid);
}

// --- state ---

void RendererBase::ResetStreamMarks() {
    m_endOfStream = false;
    m_ready = false;
    m_completed = false;
    m_pausedStreamTime = 0;
    m_latestEnd = m_segmentStart;
}

HRESULT RendererBase::OnActivate() {
    ComPtr<IReferenceClock> clock;
    GetSyncSource(clock.Receive());  // the state lock is ours already: this runs inside Pause
    std::lock_guard lock(m_lock);
    m_runClock = clock;
    m_running = false;
    m_segmentStart = 0;
    ResetStreamMarks();
    return S_OK;
}

HRESULT RendererBase::OnRun(REFERENCE_TIME start) {
    std::lock_guard lock(m_lock);
    m_runStart = start;
    m_running = true;
    m_changed.notify_all();
    return S_OK;
}

void RendererBase::OnPauseFromRun() {
    std::lock_guard lock(m_lock);
    m_pausedStreamTime = StreamTimeNow();
    m_running = false;
    m_changed.notify_all();
}

void RendererBase::OnDeactivate() {
    std::lock_guard lock(m_lock);
    m_running = false;
    m_runClock.Reset();
    m_changed.notify_all();
}

REFERENCE_TIME RendererBase::StreamTimeNow() const {
    if (!m_running) return m_pausedStreamTime;
    if (!m_runClock) return m_pausedStreamTime;
    REFERENCE_TIME now = 0;
    m_runClock->GetTime(&now);
    return now - m_runStart;
}

void RendererBase::SetReady() {
    if (m_ready) return;
    m_ready = true;
    m_changed.notify_all();
}

void RendererBase::Complete() {
    if (m_completed) return;
    m_completed = true;
    NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
}

HRESULT RendererBase::GetState(DWORD timeoutMs, FILTER_STATE* state) {
    const HRESULT hr = FilterBase::GetState(timeoutMs, state);
    if (FAILED(hr) || *state != State_Paused) return hr;
    std::unique_lock lock(m_lock);
    const bool ready = m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] {
        return m_ready || m_endOfStream || State() != State_Paused;
    });
    return ready ? S_OK : VFW_S_STATE_INTERMEDIATE;
}

// --- input pin ---

RendererBase::Pin::Pin(RendererBase& renderer) : InputPin(renderer, u"Input"), m_renderer(renderer) {}

HRESULT RendererBase::Pin::CheckMediaType(const AM_MEDIA_TYPE& type) {
    return m_renderer.CheckInputType(type);
}

std::vector<MediaType> RendererBase::Pin::OfferedTypes() {
    return m_renderer.PreferredInputTypes();
}

HRESULT RendererBase::Pin::CompleteConnect(IPin* peer) {
    const HRESULT hr = InputPin::CompleteConnect(peer);
    return FAILED(hr) ? hr : m_renderer.OnInputConnected();
}

void RendererBase::Pin::BreakConnect() {
    m_renderer.OnInputDisconnected();
    InputPin::BreakConnect();
}

HRESULT RendererBase::Pin::Receive(IMediaSample* sample) {
    if (sample == nullptr) return E_POINTER;
    if (!IsAccepting()) return VFW_E_WRONG_STATE;
    {
        std::lock_guard lock(m_renderer.m_lock);
        if (m_renderer.m_endOfStream) return VFW_E_WRONG_STATE;  // nothing follows the end
        REFERENCE_TIME start = 0;
        REFERENCE_TIME stop = 0;
        const HRESULT timed = sample->GetTime(&start, &stop);
        if (SUCCEEDED(timed))
            m_renderer.m_latestEnd = std::max(m_renderer.m_latestEnd, timed == S_OK ? stop : start);
    }
    return m_renderer.OnReceive(sample);
}

HRESULT RendererBase::Pin::EndOfStream() {
    if (!m_renderer.IsActive()) return VFW_E_WRONG_STATE;
    if (!IsAccepting()) return S_FALSE;  // flushing: the end belongs to the discarded data
    std::lock_guard lock(m_renderer.m_lock);
    if (m_renderer.m_endOfStream) return S_OK;
    m_renderer.m_endOfStream = true;
    m_renderer.OnEndOfStream();
    m_renderer.m_changed.notify_all();
    return S_OK;
}

HRESULT RendererBase::Pin::BeginFlush() {
    InputPin::BeginFlush();
    std::lock_guard lock(m_renderer.m_lock);
    ++m_renderer.m_flushes;
    m_renderer.OnBeginFlush();
    m_renderer.m_changed.notify_all();
    return S_OK;
}

HRESULT RendererBase::Pin::EndFlush() {
    {
        std::lock_guard lock(m_renderer.m_lock);
        m_renderer.ResetStreamMarks();
        m_renderer.m_changed.notify_all();
    }
    return InputPin::EndFlush();
}

HRESULT RendererBase::Pin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME, double) {
    std::lock_guard lock(m_renderer.m_lock);
    m_renderer.m_segmentStart = start;
    m_renderer.m_latestEnd = start;
    return S_OK;
}

// --- seeking ---

HRESULT RendererBase::GetCurrentPosition(LONGLONG* current) {
    if (current == nullptr) return E_POINTER;
    {
        std::lock_guard lock(m_lock);
        if (IsActive()) {
            REFERENCE_TIME position = m_segmentStart + std::max<REFERENCE_TIME>(StreamTimeNow(), 0);
            if (m_endOfStream) position = std::min(position, m_latestEnd);
            *current = position;
            return S_OK;
        }
    }
    ComPtr<IMediaSeeking> upstream = Upstream();
    if (!upstream) return E_NOTIMPL;
    return upstream->GetCurrentPosition(current);
}

HRESULT RendererBase::GetPositions(LONGLONG* current, LONGLONG* stop) {
    if (current == nullptr && stop == nullptr) return E_POINTER;
    return UpstreamSeeking::GetPositions(current, stop);
}

}  // namespace media
