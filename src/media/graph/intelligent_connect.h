#pragma once

// Intelligent connect and render for a graph: joins two pins directly or, failing that, through
// registered intermediate filters (splitter, decoders, colour converter) in merit order, and ends
// streams in registered renderers. Filters it tries are added to the graph and removed again when
// they lead nowhere, so a failure leaves nothing of the attempt in the graph.
//
// It works on the graph through the graph's own IFilterGraph, which it borrows: the graph owns
// it. Application thread only; the graph must be stopped.

#include <string>

#include "media/api/interfaces.h"
#include "media/com/com_ptr.h"
#include "media/graph/graph_state.h"

namespace media {

class IntelligentConnect {
public:
    // Both must outlive this; state tells whether the graph is stopped.
    IntelligentConnect(IFilterGraph& graph, const GraphState& state);

    // As IGraphBuilder.
    HRESULT Connect(IPin* output, IPin* input);
    HRESULT Render(IPin* output);
    HRESULT RenderFile(LPCWSTR file);
    HRESULT AddSourceFilter(LPCWSTR file, LPCWSTR filterName, IBaseFilter** filter);

private:
    HRESULT ConnectThroughIntermediates(IPin* output, IPin* input, int depth);
    // Render's work: output to a renderer, or through an intermediate filter whose outputs are
    // rendered in turn.
    HRESULT RenderOutput(IPin* output, int depth);
    // A new filter of class clsid in the graph, or empty.
    [[nodiscard]] ComPtr<IBaseFilter> AddNewFilter(const CLSID& clsid, const std::u16string& name);

    IFilterGraph& m_graph;
    const GraphState& m_state;
};

}  // namespace media
