#pragma once

// The graph's event queue: filters post events from any thread (Notify), the application takes
// them off (GetEvent) or waits for the end of the run (WaitForCompletion).
//
// Completion. A renderer reports its end as EC_COMPLETE with itself in param2; the queue holds
// those back and posts one EC_COMPLETE (param2 0) when every renderer of the run has reported.
// The first EC_COMPLETE, EC_ERRORABORT, EC_USERABORT or EC_STREAM_ERROR_STOPPED since the run
// started is what WaitForCompletion returns.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <set>

#include "media/api/interfaces.h"

namespace media {

class GraphEventQueue {
public:
    // A run starts (or starts again after a repositioning): the previous end is forgotten, and
    // the run is complete when `renderers` renderers have each reported theirs. Events already
    // queued stay. MT safe.
    void RestartCompletion(std::size_t renderers);

    // Queues an event, or counts a renderer's end. MT safe.
    HRESULT Notify(LONG code, LONG_PTR param1, LONG_PTR param2);
    // As IMediaEvent::GetEvent. MT safe.
    HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeoutMs);
    // As IMediaEvent::WaitForCompletion; a stopped graph that has not ended answers
    // VFW_E_WRONG_STATE rather than wait for an end that cannot come. MT safe.
    HRESULT WaitForCompletion(LONG timeoutMs, LONG* code, bool graphStopped);

private:
    struct Event {
        LONG code;
        LONG_PTR param1;
        LONG_PTR param2;
    };

    // m_lock held.
    void Post(const Event& event);

    std::mutex m_lock;
    std::condition_variable m_posted;
    std::deque<Event> m_events;
    std::optional<LONG> m_terminalEvent;  // completion or abort since the run started
    std::set<LONG_PTR> m_completedRenderers;
    std::size_t m_renderers = 0;
};

}  // namespace media
