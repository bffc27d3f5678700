#include "conversion_graph.h"

#include <algorithm>
#include <cctype>

#include "media/catalogue/device_interfaces.h"
#include "media/com/bstr.h"
#include "media/com/class_registry.h"
#include "media/com/wide_text.h"
#include "media/graph/uuids.h"

using media::ComPtr;

namespace tools {
namespace {

// Monikers of the video compressor category whose name reads, in order, with their names.
struct NamedMoniker {
    ComPtr<IMoniker> moniker;
    std::string name;
};

std::vector<NamedMoniker> Catalogue() {
    std::vector<NamedMoniker> entries;
    ComPtr<ICreateDevEnum> devices;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, ICreateDevEnum::iid,
                                devices.ReceiveVoid()))) {
        return entries;
    }
    ComPtr<IEnumMoniker> category;
    if (devices->CreateClassEnumerator(CLSID_VideoCompressorCategory, category.Receive(), 0) != S_OK || !category) {
        return entries;
    }
    category->Reset();
    IMoniker* moniker = nullptr;
    ULONG fetched = 0;
    while (category->Next(1, &moniker, &fetched) == S_OK && moniker) {
        ComPtr<IMoniker> held = ComPtr<IMoniker>::Adopt(moniker);
        ComPtr<IPropertyBag> bag;
        if (FAILED(held->BindToStorage(nullptr, nullptr, IPropertyBag::iid, bag.ReceiveVoid())) || !bag) continue;
        VARIANT name;
        VariantInit(&name);
        if (bag->Read(u"FriendlyName", &name, nullptr) == S_OK && name.vt == VT_BSTR) {
            entries.push_back({held, media::ToUtf8(name.bstrVal ? name.bstrVal : u"")});
        }
        VariantClear(&name);
    }
    return entries;
}

ComPtr<IPin> PinAt(IBaseFilter* filter, PIN_DIRECTION direction, int index) {
    ComPtr<IEnumPins> pins;
    if (!filter || FAILED(filter->EnumPins(pins.Receive()))) return {};
    IPin* pin = nullptr;
    ULONG fetched = 0;
    while (pins->Next(1, &pin, &fetched) == S_OK) {
        ComPtr<IPin> held = ComPtr<IPin>::Adopt(pin);
        PIN_DIRECTION d{};
        if (SUCCEEDED(held->QueryDirection(&d)) && d == direction && index-- == 0) return held;
    }
    return {};
}

// The first output pin upstream of start whose first media type is audio.
ComPtr<IPin> FindUpstreamAudio(IPin* start) {
    ComPtr<IPin> current(start);
    while (current) {
        PIN_INFO info{};
        if (FAILED(current->QueryPinInfo(&info))) return {};
        ComPtr<IBaseFilter> filter = ComPtr<IBaseFilter>::Adopt(info.pFilter);
        ComPtr<IPin> next;
        ComPtr<IEnumPins> pins;
        if (FAILED(filter->EnumPins(pins.Receive()))) return {};
        IPin* pin = nullptr;
        ULONG fetched = 0;
        while (pins->Next(1, &pin, &fetched) == S_OK) {
            ComPtr<IPin> held = ComPtr<IPin>::Adopt(pin);
            PIN_DIRECTION d{};
            held->QueryDirection(&d);
            if (d == PINDIR_INPUT) {
                held->ConnectedTo(next.Receive());
                continue;
            }
            ComPtr<IEnumMediaTypes> types;
            if (FAILED(held->EnumMediaTypes(types.Receive()))) continue;
            AM_MEDIA_TYPE* type = nullptr;
            if (types->Next(1, &type, &fetched) == S_OK && type) {
                const bool audio = type->majortype == MEDIATYPE_Audio;
                DeleteMediaType(type);
                if (audio) return held;
            }
        }
        current = next;
    }
    return {};
}

ComPtr<IBaseFilter> NewGrabber(const GUID& major, const GUID& subtype) {
    ComPtr<IBaseFilter> grabber;
    if (FAILED(CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IBaseFilter::iid,
                                grabber.ReceiveVoid()))) {
        return {};
    }
    ComPtr<ISampleGrabber> control = grabber.As<ISampleGrabber>();
    media::MediaType type;
    type.majortype = major;
    type.subtype = subtype;
    if (!control || FAILED(control->SetMediaType(&type))) return {};
    return grabber;
}

HRESULT Fail(HRESULT hr, std::string& error, const char* what) {
    error = what;
    return FAILED(hr) ? hr : E_FAIL;
}

}  // namespace

std::vector<std::string> CompressorNames() {
    std::vector<std::string> names;
    for (auto& entry : Catalogue()) names.push_back(entry.name);
    return names;
}

int AutomaticCompressorIndex(const std::vector<std::string>& names) {
    int chosen = -1;
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::string lower = names[i];
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (lower.find("divx") != std::string::npos || lower.find("xvid") != std::string::npos) {
            chosen = static_cast<int>(i);
        }
    }
    return chosen;
}

ComPtr<IBaseFilter> BindCompressor(int index) {
    auto entries = Catalogue();
    if (index < 0 || static_cast<std::size_t>(index) >= entries.size()) return {};
    ComPtr<IBaseFilter> filter;
    entries[static_cast<std::size_t>(index)].moniker->BindToObject(nullptr, nullptr, IBaseFilter::iid,
                                                                   filter.ReceiveVoid());
    return filter;
}

HRESULT BuildConversionGraph(const std::string& input, const std::string& output, int compressorIndex,
                             bool keepAudio, ConversionGraph& result, std::string& error) {
    result = {};
    ComPtr<IGraphBuilder> graph;
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_ALL, IGraphBuilder::iid, graph.ReceiveVoid());
    if (FAILED(hr)) return Fail(hr, error, "cannot create a filter graph");
    ComPtr<ICaptureGraphBuilder> builder;
    hr = CoCreateInstance(CLSID_CaptureGraphBuilder, nullptr, CLSCTX_ALL, ICaptureGraphBuilder::iid,
                          builder.ReceiveVoid());
    if (FAILED(hr) || FAILED(hr = builder->SetFiltergraph(graph.Get()))) {
        return Fail(hr, error, "cannot set up the capture graph builder");
    }
    ComPtr<IBaseFilter> source;
    hr = graph->AddSourceFilter(media::ToUtf16(input).c_str(), u"Source", source.Receive());
    if (FAILED(hr) || !source) return Fail(hr, error, "cannot open the input file");

    ComPtr<IBaseFilter> compressor = BindCompressor(compressorIndex);
    if (!compressor) return Fail(E_FAIL, error, "no compressor at that index");
    ComPtr<IBaseFilter> videoGrabber = NewGrabber(MEDIATYPE_Video, MEDIASUBTYPE_RGB24);
    if (!videoGrabber) return Fail(E_FAIL, error, "cannot create the video grabber");

    ComPtr<IBaseFilter> mux;
    ComPtr<IFileSinkFilter> sink;
    hr = builder->SetOutputFileName(&MEDIASUBTYPE_Avi, media::ToUtf16(output).c_str(), mux.Receive(), sink.Receive());
    if (FAILED(hr)) return Fail(hr, error, "cannot set up the AVI multiplexer and file writer");
    if (FAILED(hr = graph->AddFilter(videoGrabber.Get(), u"VideoGrabber"))) {
        return Fail(hr, error, "cannot add the video grabber");
    }
    if (FAILED(hr = graph->AddFilter(compressor.Get(), u"Compressor"))) {
        return Fail(hr, error, "cannot add the compressor");
    }
    ComPtr<IPin> compressorIn = PinAt(compressor.Get(), PINDIR_INPUT, 0);
    if (FAILED(hr = graph->Connect(PinAt(source.Get(), PINDIR_OUTPUT, 0).Get(),
                                   PinAt(videoGrabber.Get(), PINDIR_INPUT, 0).Get()))) {
        return Fail(hr, error, "cannot connect the video chain");
    }
    if (FAILED(hr = graph->Connect(PinAt(videoGrabber.Get(), PINDIR_OUTPUT, 0).Get(), compressorIn.Get()))) {
        return Fail(hr, error, "the compressor does not accept this video");
    }
    if (FAILED(hr = graph->Connect(PinAt(compressor.Get(), PINDIR_OUTPUT, 0).Get(),
                                   PinAt(mux.Get(), PINDIR_INPUT, 0).Get()))) {
        return Fail(hr, error, "cannot connect the compressor to the multiplexer");
    }
    if (keepAudio) {
        ComPtr<IPin> feeding;
        compressorIn->ConnectedTo(feeding.Receive());
        if (ComPtr<IPin> audio = FindUpstreamAudio(feeding.Get())) {
            ComPtr<IBaseFilter> audioGrabber = NewGrabber(MEDIATYPE_Audio, GUID_NULL);
            if (!audioGrabber) return Fail(E_FAIL, error, "cannot create the audio grabber");
            if (FAILED(hr = graph->AddFilter(audioGrabber.Get(), u"AudioGrabber"))) {
                return Fail(hr, error, "cannot add the audio grabber");
            }
            if (FAILED(hr = graph->Connect(audio.Get(), PinAt(audioGrabber.Get(), PINDIR_INPUT, 0).Get()))) {
                return Fail(hr, error, "cannot connect the audio source");
            }
            if (FAILED(hr = graph->Connect(PinAt(audioGrabber.Get(), PINDIR_OUTPUT, 0).Get(),
                                           PinAt(mux.Get(), PINDIR_INPUT, 1).Get()))) {
                return Fail(hr, error, "the multiplexer does not accept this audio");
            }
            result.hasAudio = true;
        }
    }
    graph.As<IMediaFilter>()->SetSyncSource(nullptr);
    ComPtr<IConfigInterleaving> interleaving = mux.As<IConfigInterleaving>();
    const REFERENCE_TIME oneSecond = 10'000'000;
    if (!interleaving || FAILED(hr = interleaving->put_Mode(INTERLEAVE_FULL)) ||
        FAILED(hr = interleaving->put_Interleaving(&oneSecond, &oneSecond))) {
        return Fail(hr, error, "cannot configure interleaving");
    }
    result.control = graph.As<IMediaControl>();
    result.events = graph.As<IMediaEvent>();
    result.seeking = graph.As<IMediaSeeking>();
    result.graph = graph;
    return S_OK;
}

}  // namespace tools
