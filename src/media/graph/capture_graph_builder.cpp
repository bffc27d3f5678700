#include "media/graph/capture_graph_builder.h"

#include "media/api/class_registry.h"
#include "media/api/com_object.h"
#include "media/api/pin_lookup.h"
#include "media/api/uuids.h"
#include "media/graph/graph_topology.h"
#include "media/registered_classes.h"

namespace media {
namespace {

template <class T>
ComPtr<T> Create(const CLSID& clsid, HRESULT& hr) {
    ComPtr<T> object;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, T::iid, object.ReceiveVoid());
    if (SUCCEEDED(hr) && !object) hr = E_NOINTERFACE;
    return object;
}

}  // namespace

HRESULT CaptureGraphBuilder::SetFiltergraph(IGraphBuilder* graph) {
    if (graph == nullptr) return E_POINTER;
    if (m_graph) return m_graph.Get() == graph ? S_OK : E_UNEXPECTED;
    m_graph = ComPtr<IGraphBuilder>(graph);
    return S_OK;
}

HRESULT CaptureGraphBuilder::GetFiltergraph(IGraphBuilder** graph) {
    if (graph == nullptr) return E_POINTER;
    *graph = nullptr;
    if (!m_graph) return E_UNEXPECTED;
    return ReturnInterface(m_graph.Get(), graph);
}

HRESULT CaptureGraphBuilder::SetOutputFileName(const GUID* type, LPCOLESTR file, IBaseFilter** mux,
                                               IFileSinkFilter** sink) {
    if (mux) *mux = nullptr;
    if (sink) *sink = nullptr;
    if (type == nullptr || file == nullptr || mux == nullptr) return E_POINTER;
    if (!m_graph) return E_UNEXPECTED;
    if (*type != MEDIASUBTYPE_Avi) return E_INVALIDARG;

    HRESULT hr = S_OK;
    ComPtr<IBaseFilter> muxFilter = Create<IBaseFilter>(CLSID_AviDest, hr);
    if (FAILED(hr)) return hr;
    ComPtr<IBaseFilter> writer = Create<IBaseFilter>(CLSID_FileWriter, hr);
    if (FAILED(hr)) return hr;
    ComPtr<IFileSinkFilter> writerSink = writer.As<IFileSinkFilter>();
    if (!writerSink) return E_NOINTERFACE;
    // The path is checked before anything enters the graph.
    hr = writerSink->SetFileName(file, nullptr);
    if (FAILED(hr)) return hr;

    hr = m_graph->AddFilter(muxFilter.Get(), u"AVI Mux");
    if (FAILED(hr)) return hr;
    hr = m_graph->AddFilter(writer.Get(), u"File Writer");
    if (SUCCEEDED(hr)) {
        ComPtr<IPin> muxOut = OutputPinAt(muxFilter.Get(), 0);
        ComPtr<IPin> writerIn = InputPinAt(writer.Get(), 0);
        hr = muxOut && writerIn ? m_graph->ConnectDirect(muxOut.Get(), writerIn.Get(), nullptr)
                                : VFW_E_NOT_FOUND;
        if (FAILED(hr)) m_graph->RemoveFilter(writer.Get());
    }
    if (FAILED(hr)) {
        m_graph->RemoveFilter(muxFilter.Get());
        return hr;
    }
    *mux = muxFilter.Detach();
    if (sink) *sink = writerSink.Detach();
    return S_OK;
}

HRESULT CaptureGraphBuilder::FindInterface(const GUID*, IBaseFilter*, REFIID, void** object) {
    if (object) *object = nullptr;
    return E_NOTIMPL;
}

void RegisterCaptureGraphBuilder() {
    RegisterClass(CLSID_CaptureGraphBuilder,
                  [] { return static_cast<ICaptureGraphBuilder*>(new CaptureGraphBuilder); });
}

}  // namespace media
