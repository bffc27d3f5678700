#include "media/graph/graph_topology.h"

#include <algorithm>
#include <map>

namespace media {

std::vector<ComPtr<IPin>> PinsOf(IBaseFilter* filter) {
    std::vector<ComPtr<IPin>> pins;
    ComPtr<IEnumPins> e;
    if (FAILED(filter->EnumPins(e.Receive())) || !e) return pins;
    IPin* pin = nullptr;
    ULONG fetched = 0;
    while (e->Next(1, &pin, &fetched) == S_OK && fetched == 1) pins.push_back(ComPtr<IPin>::Adopt(pin));
    return pins;
}

PIN_DIRECTION DirectionOf(IPin* pin) {
    PIN_DIRECTION d = PINDIR_INPUT;
    pin->QueryDirection(&d);
    return d;
}

ComPtr<IBaseFilter> OwnerOf(IPin* pin) {
    PIN_INFO info{};
    if (FAILED(pin->QueryPinInfo(&info))) return {};
    return ComPtr<IBaseFilter>::Adopt(info.pFilter);
}

ComPtr<IPin> PeerOf(IPin* pin) {
    ComPtr<IPin> peer;
    pin->ConnectedTo(peer.Receive());
    return peer;
}

std::vector<MediaType> TypesOffered(IPin* pin) {
    std::vector<MediaType> types;
    ComPtr<IEnumMediaTypes> e;
    if (FAILED(pin->EnumMediaTypes(e.Receive())) || !e) return types;
    AM_MEDIA_TYPE* type = nullptr;
    ULONG fetched = 0;
    while (e->Next(1, &type, &fetched) == S_OK && fetched == 1) {
        types.emplace_back(*type);
        DeleteMediaType(type);
    }
    return types;
}

bool HasMiscFlag(IBaseFilter* filter, ULONG flag) {
    ComPtr<IAMFilterMiscFlags> flags;
    if (FAILED(filter->QueryInterface(IAMFilterMiscFlags::iid, flags.ReceiveVoid())) || !flags) return false;
    return (flags->GetMiscFlags() & flag) != 0;
}

IBaseFilter* SourceOf(IBaseFilter* filter) {
    for (int step = 0; step < 64; ++step) {
        ComPtr<IPin> upstream;
        for (auto& pin : PinsOf(filter)) {
            if (DirectionOf(pin.Get()) == PINDIR_INPUT && (upstream = PeerOf(pin.Get()))) break;
        }
        if (!upstream) return filter;  // a source, or a filter cut off from its source
        ComPtr<IBaseFilter> owner = OwnerOf(upstream.Get());
        if (!owner) return filter;
        filter = owner.Get();  // the graph holds it
    }
    return filter;
}

std::vector<IBaseFilter*> SourcesFirst(const GraphMembers& members) {
    std::map<IBaseFilter*, std::vector<IBaseFilter*>> downstream;
    std::map<IBaseFilter*, int> incoming;
    for (auto& m : members) incoming[m.filter.Get()] = 0;
    for (auto& m : members) {
        for (auto& pin : PinsOf(m.filter.Get())) {
            if (DirectionOf(pin.Get()) != PINDIR_OUTPUT) continue;
            ComPtr<IPin> peer = PeerOf(pin.Get());
            if (!peer) continue;
            ComPtr<IBaseFilter> next = OwnerOf(peer.Get());
            if (!next || !incoming.contains(next.Get())) continue;
            downstream[m.filter.Get()].push_back(next.Get());
            ++incoming[next.Get()];
        }
    }
    std::vector<IBaseFilter*> order;
    std::vector<IBaseFilter*> ready;
    for (auto& m : members) {
        if (incoming[m.filter.Get()] == 0) ready.push_back(m.filter.Get());
    }
    while (!ready.empty()) {
        IBaseFilter* f = ready.front();
        ready.erase(ready.begin());
        order.push_back(f);
        for (IBaseFilter* next : downstream[f]) {
            if (--incoming[next] == 0) ready.push_back(next);
        }
    }
    for (auto& m : members) {  // anything left sits on a cycle: keep it, in graph order
        if (std::find(order.begin(), order.end(), m.filter.Get()) == order.end())
            order.push_back(m.filter.Get());
    }
    return order;
}

}  // namespace media
