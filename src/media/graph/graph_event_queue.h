#pragma once

// The graph's event queue: filters post events from any thread (Notify), the application takes
// them off (GetEvent) or waits for the end of the run (WaitForCompletion).
//
// Completion. A renderer reports its end as EC_COMPLETE with itself in param2; the queue holds
// those back and posts one EC_COMPLETE (param2 0) when every renderer of the run has reported.
// The first EC_COMPLETE, EC_ERRORABORT, EC_USERABORT or EC_STREAM_ERROR_STOPPED since the run
// started is what WaitForCompletion returns.
//
// Objects named by events. An event that names an object (EC_ERRORABORT's pin) holds a reference
// to it from Notify on: while queued the queue owns it, GetEvent hands it to the caller, and
// FreeParams gives it back. So a pin named by a queued event outlives the removal of its filter.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <set>

#include "media/api/interfaces.h"

namespace media {

class GraphEventQueue {
public:
    GraphEventQueue() = default;
    // Releases what the events still queued hold.
    ~GraphEventQueue();
    GraphEventQueue(const GraphEventQueue&) = delete;
    GraphEventQueue& operator=(const GraphEventQueue&) = delete;

    // A run starts (or starts again after a repositioning): the previous end is forgotten, and
    // the run is complete when `renderers` renderers have each reported theirs. An error end
    // (EC_ERRORABORT, EC_STREAM_ERROR_STOPPED) is forgotten only when keepErrorEnd is false: a
    // repositioning never turns a failed run into one that may still complete. Events already
    // queued stay. MT safe.
    void RestartCompletion(std::size_t renderers, bool keepErrorEnd = false);

    // Queues an event, or counts a renderer's end; adds a reference to the object it names. MT safe.
    HRESULT Notify(LONG code, LONG_PTR param1, LONG_PTR param2);
    // As IMediaEvent::GetEvent: the caller owns what the event names until FreeParams. MT safe.
    HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeoutMs);
    // As IMediaEvent::WaitForCompletion; a stopped graph that has not ended answers
    // VFW_E_WRONG_STATE rather than wait for an end that cannot come. MT safe.
    HRESULT WaitForCompletion(LONG timeoutMs, LONG* code, bool graphStopped);
    // As IMediaEvent::FreeEventParams: releases the reference an event taken by GetEvent holds. MT safe.
    static void FreeParams(LONG code, LONG_PTR param1, LONG_PTR param2);
    // Drops the queued events whose named pin `names` picks, releasing what they hold. Events
    // without an object stay. MT safe; `names` runs without the queue's lock held.
    void DropEventsNaming(const std::function<bool(IPin*)>& names);

    // The pin an event names (EC_ERRORABORT's param2), or null. No reference is added.
    [[nodiscard]] static IPin* NamedPin(LONG code, LONG_PTR param2);

private:
    struct Event {
        LONG code;
        LONG_PTR param1;
        LONG_PTR param2;
    };

    // m_lock held.
    void Post(const Event& event);

    std::mutex m_lock;  // guards everything below; taken by the application and streaming threads
    std::condition_variable m_posted;
    std::deque<Event> m_events;
    std::optional<LONG> m_terminalEvent;  // completion or abort since the run started
    std::set<LONG_PTR> m_completedRenderers;  // identities only, never dereferenced
    std::size_t m_renderers = 0;
};

}  // namespace media
