#pragma once

// What the video and audio renderers share: one input pin, their place in stream time, pre-roll,
// completion, and seeking.
//
// Time. A sample is due when its time, counted from the start of its segment (NewSegment), equals
// the stream time: the reference clock's time minus the start that the graph gave to Run. While
// paused the stream time stands still.
//
// Pre-roll. After leaving Stopped, and after each flush, a renderer is ready once it holds what
// it needs to show the first sample (or has seen the end of the stream); until then GetState in
// Paused answers VFW_S_STATE_INTERMEDIATE, so the graph can wait before it runs.
//
// Completion. Once the end of the stream arrived and everything before it has been shown, the
// renderer posts EC_COMPLETE with itself as the second parameter, once per run or segment.
//
// Seeking. The current position is the stream position being shown; every other question, and
// every repositioning, goes upstream through the input pin's peer.
//
// Locking: one mutex per renderer, m_lock, guards the state below and whatever the subclass keeps
// for streaming; m_changed wakes whoever waits on it. State hooks run on the application thread
// with the filter's state lock held (see filter_base.h), streaming hooks on the upstream thread.

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "media/graph/filter_base.h"
#include "media/graph/pin_base.h"
#include "media/graph/upstream_seeking.h"

namespace media {

class RendererBase : public FilterBase, public UpstreamSeeking {
public:
    explicit RendererBase(const CLSID& clsid);

    HRESULT QueryInterface(REFIID riid, void** object) override {
        return FilterBase::QueryInterface(riid, object);
    }
    ULONG AddRef() override { return FilterBase::AddRef(); }
    ULONG Release() override { return FilterBase::Release(); }

    std::vector<PinBase*> Pins() override { return {&m_input}; }
    [[nodiscard]] InputPin& Input() { return m_input; }

    // In Paused, waits up to timeoutMs for pre-roll; VFW_S_STATE_INTERMEDIATE when it is not done.
    HRESULT GetState(DWORD timeoutMs, FILTER_STATE* state) override;

    // IMediaSeeking: upstream's answers, but for the position. MT safe.
    // While active: the segment's start plus the stream time, not past the end of the stream once
    // it has arrived. While stopped: upstream's position.
    HRESULT GetCurrentPosition(LONGLONG* current) override;
    HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) override;

protected:
    void* FindExtraInterface(REFIID riid) override;

    // --- negotiation (application thread, stopped) ---
    virtual HRESULT CheckInputType(const AM_MEDIA_TYPE& type) = 0;
    // The types the renderer asks for when upstream offers none it takes.
    virtual std::vector<MediaType> PreferredInputTypes() { return {}; }
    virtual HRESULT OnInputConnected() { return S_OK; }
    virtual void OnInputDisconnected() {}
    [[nodiscard]] const MediaType& InputType() const { return m_input.ConnectionType(); }

    // --- streaming (upstream's thread) ---
    // One sample, accepted while active and not flushing. May wait while the renderer is full;
    // m_lock is not held.
    virtual HRESULT OnReceive(IMediaSample* sample) = 0;
    // The end of the stream arrived; m_endOfStream is already set. m_lock held.
    virtual void OnEndOfStream() {}
    // A flush began: drop every sample held and wake whoever waits. m_lock held.
    virtual void OnBeginFlush() {}

    // --- state (application thread) ---
    // Subclasses that override these call the base first (OnActivate, OnRun) or last (the others).
    HRESULT OnActivate() override;
    HRESULT OnRun(REFERENCE_TIME start) override;
    void OnPauseFromRun() override;
    void OnDeactivate() override;

    // --- helpers, m_lock held ---
    // Whether the renderer runs, as its own hooks saw it (the filter's state changes a moment
    // before the hooks run).
    [[nodiscard]] bool IsRunning() const { return m_running; }
    // The stream time now, on the clock taken when the renderer left Stopped. Running only.
    [[nodiscard]] REFERENCE_TIME StreamTimeNow() const;
    // A time from upstream as stream time: counted from the segment's start.
    [[nodiscard]] REFERENCE_TIME InStreamTime(REFERENCE_TIME sampleTime) const {
        return sampleTime - m_segmentStart;
    }
    // The start that the graph gave to Run, a reference time.
    [[nodiscard]] REFERENCE_TIME RunStart() const { return m_runStart; }
    [[nodiscard]] bool EndOfStreamSeen() const { return m_endOfStream; }
    [[nodiscard]] std::uint64_t FlushCount() const { return m_flushes; }
    // Pre-roll is done (the renderer can show its first sample).
    void SetReady();
    // Posts EC_COMPLETE unless it was posted in this run or segment.
    void Complete();

    // The clock of this run: set while active, null otherwise. No reference added.
    [[nodiscard]] IReferenceClock* RunClock() const { return m_runClock.Get(); }

    mutable std::mutex m_lock;
    std::condition_variable_any m_changed;

private:
    class Pin final : public InputPin {
    public:
        explicit Pin(RendererBase& renderer);
        HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
        std::vector<MediaType> OfferedTypes() override;
        HRESULT CompleteConnect(IPin* peer) override;
        void BreakConnect() override;
        HRESULT Receive(IMediaSample* sample) override;
        HRESULT EndOfStream() override;
        HRESULT BeginFlush() override;
        HRESULT EndFlush() override;
        HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    private:
        RendererBase& m_renderer;
    };

    IPin* UpstreamPeer() const override { return m_input.Peer(); }
    // Clears the marks of a run or segment. m_lock held.
    void ResetStreamMarks();

    Pin m_input;

    // Guarded by m_lock.
    ComPtr<IReferenceClock> m_runClock;
    bool m_running = false;
    REFERENCE_TIME m_runStart = 0;
    REFERENCE_TIME m_pausedStreamTime = 0;  // the stream time while paused
    REFERENCE_TIME m_segmentStart = 0;
    REFERENCE_TIME m_latestEnd = 0;  // the end of the latest sample received, a time from upstream
    bool m_endOfStream = false;
    bool m_ready = false;
    bool m_completed = false;
    std::uint64_t m_flushes = 0;
};

}  // namespace media
