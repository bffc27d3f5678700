#include "media/graph/intelligent_connect.h"

#include <algorithm>
#include <vector>

#include "media/api/class_registry.h"
#include "media/api/pin_lookup.h"
#include "media/api/uuids.h"
#include "media/graph/filter_registry.h"
#include "media/graph/graph_topology.h"

namespace media {
namespace {

constexpr int kMaxIntermediateDepth = 4;

// Which kinds of stream a render left out.
struct Unrendered {
    bool video = false;
    bool audio = false;
    bool other = false;

    void Add(HRESULT partial) {
        video = video || partial == VFW_S_VIDEO_NOT_RENDERED || partial == VFW_S_PARTIAL_RENDER;
        audio = audio || partial == VFW_S_AUDIO_NOT_RENDERED || partial == VFW_S_PARTIAL_RENDER;
    }
    void AddStream(const std::vector<MediaType>& types) {
        const GUID major = types.empty() ? GUID_NULL : types.front().majortype;
        if (major == MEDIATYPE_Video) {
            video = true;
        } else if (major == MEDIATYPE_Audio) {
            audio = true;
        } else {
            other = true;
        }
    }
    [[nodiscard]] HRESULT Code() const {
        if (other || (video && audio)) return VFW_S_PARTIAL_RENDER;
        if (video) return VFW_S_VIDEO_NOT_RENDERED;
        if (audio) return VFW_S_AUDIO_NOT_RENDERED;
        return S_OK;
    }
};

}  // namespace

IntelligentConnect::IntelligentConnect(IFilterGraph& graph, const GraphState& state)
    : m_graph(graph), m_state(state) {}

HRESULT IntelligentConnect::Connect(IPin* output, IPin* input) {
    if (output == nullptr || input == nullptr) return E_POINTER;
    if (DirectionOf(output) != PINDIR_OUTPUT || DirectionOf(input) != PINDIR_INPUT)
        return VFW_E_INVALID_DIRECTION;
    if (PeerOf(output) || PeerOf(input)) return VFW_E_ALREADY_CONNECTED;
    if (m_state.State() != State_Stopped) return VFW_E_NOT_STOPPED;
    if (SUCCEEDED(output->Connect(input, nullptr))) return S_OK;
    return ConnectThroughIntermediates(output, input, 0);
}

HRESULT IntelligentConnect::ConnectThroughIntermediates(IPin* output, IPin* input, int depth) {
    if (depth >= kMaxIntermediateDepth) return VFW_E_CANNOT_CONNECT;
    const std::vector<MediaType> offered = TypesOffered(output);
    if (offered.empty()) return VFW_E_CANNOT_CONNECT;
    CLSID upstreamClass = GUID_NULL;
    if (ComPtr<IBaseFilter> owner = OwnerOf(output)) owner->GetClassID(&upstreamClass);

    for (const RegisteredFilter& entry : IntermediateFiltersByMerit()) {
        if (entry.clsid == upstreamClass) continue;  // never chain a filter onto itself
        const bool mayAccept = std::any_of(offered.begin(), offered.end(),
                                           [&](const MediaType& t) { return entry.mayAcceptInput(t); });
        if (!mayAccept) continue;
        ComPtr<IBaseFilter> filter = AddNewFilter(entry.clsid, entry.name);
        if (!filter) continue;
        ComPtr<IPin> filterInput = InputPinAt(filter.Get(), 0);
        if (filterInput && SUCCEEDED(output->Connect(filterInput.Get(), nullptr))) {
            for (auto& pin : PinsOf(filter.Get())) {
                if (DirectionOf(pin.Get()) != PINDIR_OUTPUT || PeerOf(pin.Get())) continue;
                if (SUCCEEDED(pin->Connect(input, nullptr))) return S_OK;
                if (SUCCEEDED(ConnectThroughIntermediates(pin.Get(), input, depth + 1))) return S_OK;
            }
        }
        m_graph.RemoveFilter(filter.Get());
    }
    return VFW_E_CANNOT_CONNECT;
}

ComPtr<IBaseFilter> IntelligentConnect::AddNewFilter(const CLSID& clsid, const std::u16string& name) {
    ComPtr<IBaseFilter> filter;
    if (FAILED(
            CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IBaseFilter::iid, filter.ReceiveVoid())) ||
        !filter) {
        return {};
    }
    if (FAILED(m_graph.AddFilter(filter.Get(), name.c_str()))) return {};
    return filter;
}

HRESULT IntelligentConnect::Render(IPin* output) {
    if (output == nullptr) return E_POINTER;
    if (DirectionOf(output) != PINDIR_OUTPUT) return VFW_E_INVALID_DIRECTION;
    if (PeerOf(output)) return VFW_E_ALREADY_CONNECTED;
    if (m_state.State() != State_Stopped) return VFW_E_NOT_STOPPED;
    return RenderOutput(output, 0);
}

HRESULT IntelligentConnect::RenderOutput(IPin* output, int depth) {
    const std::vector<MediaType> offered = TypesOffered(output);
    if (offered.empty()) return VFW_E_CANNOT_RENDER;
    const auto offers = [&](const RegisteredFilter& entry) {
        return std::any_of(offered.begin(), offered.end(),
                           [&](const MediaType& t) { return entry.mayAcceptInput(t); });
    };
    HRESULT lastFailure = VFW_E_CANNOT_RENDER;

    // A renderer for the stream, with whatever decoders intelligent connect puts in front of it.
    for (const RegisteredFilter& entry : RenderersByMerit()) {
        if (!offers(entry)) continue;
        ComPtr<IBaseFilter> renderer = AddNewFilter(entry.clsid, entry.name);
        if (!renderer) continue;
        const ComPtr<IPin> input = InputPinAt(renderer.Get(), 0);
        const HRESULT hr = input ? Connect(output, input.Get()) : VFW_E_NOT_FOUND;
        if (SUCCEEDED(hr)) return S_OK;
        m_graph.RemoveFilter(renderer.Get());
        lastFailure = hr;
    }
    if (depth >= kMaxIntermediateDepth) return lastFailure;

    // Otherwise a filter that takes the stream as it is (a splitter), whose outputs are rendered.
    CLSID upstreamClass = GUID_NULL;
    if (ComPtr<IBaseFilter> owner = OwnerOf(output)) owner->GetClassID(&upstreamClass);
    for (const RegisteredFilter& entry : IntermediateFiltersByMerit()) {
        if (entry.clsid == upstreamClass || !offers(entry)) continue;
        ComPtr<IBaseFilter> filter = AddNewFilter(entry.clsid, entry.name);
        if (!filter) continue;
        const ComPtr<IPin> input = InputPinAt(filter.Get(), 0);
        const HRESULT hr = input ? output->Connect(input.Get(), nullptr) : VFW_E_NOT_FOUND;
        if (FAILED(hr)) {
            m_graph.RemoveFilter(filter.Get());
            lastFailure = hr;
            continue;
        }
        int rendered = 0;
        Unrendered left;
        for (auto& pin : PinsOf(filter.Get())) {  // a splitter's outputs exist once its input is connected
            if (DirectionOf(pin.Get()) != PINDIR_OUTPUT || PeerOf(pin.Get())) continue;
            const HRESULT streamResult = RenderOutput(pin.Get(), depth + 1);
            if (SUCCEEDED(streamResult)) {
                ++rendered;
                left.Add(streamResult);
            } else {
                left.AddStream(TypesOffered(pin.Get()));
                lastFailure = streamResult;
            }
        }
        if (rendered > 0) return left.Code();
        m_graph.RemoveFilter(filter.Get());
    }
    return lastFailure;
}

HRESULT IntelligentConnect::RenderFile(LPCWSTR file) {
    if (file == nullptr) return E_POINTER;
    if (m_state.State() != State_Stopped) return VFW_E_NOT_STOPPED;
    ComPtr<IBaseFilter> source;
    HRESULT hr = AddSourceFilter(file, file, source.Receive());
    if (FAILED(hr)) return hr;
    const ComPtr<IPin> output = OutputPinAt(source.Get(), 0);
    hr = output ? RenderOutput(output.Get(), 0) : VFW_E_CANNOT_RENDER;
    if (FAILED(hr)) m_graph.RemoveFilter(source.Get());
    return hr;
}

HRESULT IntelligentConnect::AddSourceFilter(LPCWSTR file, LPCWSTR filterName, IBaseFilter** filter) {
    if (file == nullptr || filter == nullptr) return E_POINTER;
    *filter = nullptr;
    ComPtr<IBaseFilter> source;
    HRESULT hr = CoCreateInstance(CLSID_AsyncReader, nullptr, CLSCTX_INPROC_SERVER, IBaseFilter::iid,
                                  source.ReceiveVoid());
    if (FAILED(hr)) return hr;
    ComPtr<IFileSourceFilter> loader = source.As<IFileSourceFilter>();
    if (!loader) return E_NOINTERFACE;
    hr = loader->Load(file, nullptr);
    if (FAILED(hr)) return hr;
    hr = m_graph.AddFilter(source.Get(), filterName ? filterName : file);
    if (FAILED(hr)) return hr;
    *filter = source.Detach();
    return S_OK;
}

}  // namespace media
