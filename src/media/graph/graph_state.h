#pragma once

// The state of a graph's filters (Stopped, Paused, Running), the reference clock they share and
// the stream time that Run starts. Application thread only.
//
// Duties of each change, done once here:
// - Stopped -> Paused: forgets the previous run's end, takes a clock when the graph was never
//   given one (SetSyncSource), and pauses the filters sinks first, so that each is ready before
//   data reaches it; the sources then start streaming. A graph without renderers is complete at
//   once.
// - Paused -> Running: waits (a bounded time) until every renderer holds its first sample, so
//   that the first pictures are not already late, then runs the filters sinks first with a start
//   time just ahead of the clock.
// - any -> Stopped: stops the renderers that hold samples for the clock first (a delivery blocked
//   on one returns only when it stops), then every filter sources first; each joins its threads.
//
// Clock. A graph that was never given a clock takes one when it first leaves Stopped: the clock
// of a filter that offers one (the audio renderer), else the system clock. SetSyncSource(NULL)
// keeps it clock-free, so that it runs as fast as its filters work. Stream time is the clock's
// time minus the start given to Run; it starts at 0 with each run from Stopped and after each
// repositioning, and stands still while the graph is paused.

#include <cstddef>
#include <functional>
#include <vector>

#include "media/api/interfaces.h"
#include "media/com/com_ptr.h"
#include "media/graph/graph_event_queue.h"
#include "media/graph/graph_members.h"

namespace media {

class GraphState {
public:
    // Both must outlive the state; it reads members and restarts the completion of events.
    GraphState(const GraphMembers& members, GraphEventQueue& events);

    [[nodiscard]] FILTER_STATE State() const { return m_state; }
    // The graph's clock, or null. No reference is added.
    [[nodiscard]] IReferenceClock* Clock() const { return m_clock.Get(); }

    HRESULT Pause();
    HRESULT Run();
    // Never fails; after it no filter streams.
    void Stop();
    // Waits up to timeoutMs (negative: no limit) for every filter to finish its change of state:
    // S_OK, or VFW_S_STATE_INTERMEDIATE.
    HRESULT WaitForFilters(LONG timeoutMs);

    // Explicit, also with null: the graph then never picks a clock of its own. Every member
    // gets the clock.
    void SetSyncSource(IReferenceClock* clock);

    // Runs move, which takes the sources to a new position. A running graph pauses for it, waits
    // for its renderers to hold the new position's first samples, and runs on; a paused or
    // running one starts stream time and completion again (keeping an error end) when move
    // succeeded. Returns the first failure of move or of running on.
    HRESULT Reposition(const std::function<HRESULT()>& move);

private:
    // The members from the sinks up to the sources.
    [[nodiscard]] std::vector<IBaseFilter*> SinksFirst() const;
    void ChooseDefaultClock();
    // Returns the number of renderers the run waits for. keepErrorEnd: see GraphEventQueue.
    std::size_t RestartCompletion(bool keepErrorEnd = false);
    // Before the clock starts: waits until every renderer holds its first sample, or gives up as
    // kPrerollWait and kPrerollGrace say.
    void WaitForPreroll();
    [[nodiscard]] REFERENCE_TIME StreamTimeNow() const;

    const GraphMembers& m_members;
    GraphEventQueue& m_events;
    FILTER_STATE m_state = State_Stopped;
    ComPtr<IReferenceClock> m_clock;
    bool m_clockSet = false;                // by SetSyncSource, or chosen on the first start
    REFERENCE_TIME m_runStart = 0;          // the start given to Run
    REFERENCE_TIME m_pausedStreamTime = 0;  // where a paused graph stands in stream time
};

}  // namespace media
