#pragma once

// The capture graph builder, first generation: here only what recording to a file needs. It
// works on one filter graph (set once) and adds to it an AVI multiplexer connected to a file
// writer for a path. Application thread only.

#include "media/api/com_object.h"
#include "media/api/interfaces.h"
#include "media/com/com_ptr.h"

namespace media {

// Starts with one reference, owned by the creator.
class CaptureGraphBuilder final : public ComObject<ICaptureGraphBuilder> {
public:
    // Keeps a reference to graph. Setting the same graph again is harmless; another graph, once
    // one is set, is refused with E_UNEXPECTED.
    HRESULT SetFiltergraph(IGraphBuilder* graph) override;
    // The graph (transfer full); E_UNEXPECTED and null when none was set.
    HRESULT GetFiltergraph(IGraphBuilder** graph) override;
    // For type MEDIASUBTYPE_Avi only (else E_INVALIDARG): adds "AVI Mux" and "File Writer" to
    // the graph, the writer set to file and fed by the mux's output, and returns both (transfer
    // full; sink may be null). E_UNEXPECTED before SetFiltergraph. On failure the graph is as it
    // was, and the failing result (e.g. the writer's refusal of the path) is returned.
    HRESULT SetOutputFileName(const GUID* type, LPCOLESTR file, IBaseFilter** mux,
                              IFileSinkFilter** sink) override;
    HRESULT FindInterface(const GUID*, IBaseFilter*, REFIID, void** object) override;
    HRESULT RenderStream(const GUID*, IUnknown*, IBaseFilter*, IBaseFilter*) override { return E_NOTIMPL; }

private:
    ComPtr<IGraphBuilder> m_graph;
};

}  // namespace media
