#pragma once

// The graph's answers to seeking questions. Duration and positions come from the sinks (the
// filters that answer IMediaSeeking themselves: renderers, the AVI multiplexer): the duration is
// the longest, the current position the earliest, so that progress follows the slowest stream.
// A graph without such a sink answers E_NOTIMPL. Application thread only.

#include <vector>

#include "media/api/interfaces.h"
#include "media/com/com_ptr.h"
#include "media/graph/graph_members.h"
#include "media/graph/graph_state.h"

namespace media {

class GraphSeeking {
public:
    // Both must outlive the seeking; a repositioning goes through state.
    GraphSeeking(const GraphMembers& members, GraphState& state);

    // What every sink can do.
    HRESULT GetCapabilities(DWORD* capabilities);
    HRESULT GetDuration(LONGLONG* duration);
    // The latest the sinks report, else the duration.
    HRESULT GetStopPosition(LONGLONG* stop);
    HRESULT GetCurrentPosition(LONGLONG* current);
    // Asks one sink per source (the others follow from the same source). A new current position
    // on a paused or running graph flushes the streams and starts stream time again at 0.
    HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags);

private:
    // The filter-level seeking interfaces of the graph's sinks.
    [[nodiscard]] std::vector<ComPtr<IMediaSeeking>> Sinks() const;
    // The same, one per source they are fed from.
    [[nodiscard]] std::vector<ComPtr<IMediaSeeking>> SinksOnePerSource() const;

    const GraphMembers& m_members;
    GraphState& m_state;
};

}  // namespace media
