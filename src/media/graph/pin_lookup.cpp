#include "media/api/pin_lookup.h"

#include "media/api/media_type.h"
#include "media/api/task_memory.h"

namespace {

// The direction of pin as its pin information tells it; the filter reference that comes with
// that information is given back at once.
bool DirectionFromPinInfo(IPin* pin, PIN_DIRECTION& direction) {
    PIN_INFO info{};
    if (FAILED(pin->QueryPinInfo(&info))) return false;
    InterfaceRef<IBaseFilter> filter = InterfaceRef<IBaseFilter>::Adopt(info.pFilter);
    direction = info.dir;
    return true;
}

// Whether the first media type that pin offers has majorType. Only that first type is looked
// at; the record is freed in every case.
bool FirstMediaTypeIs(IPin* pin, const GUID& majorType) {
    InterfaceRef<IEnumMediaTypes> types;
    if (FAILED(pin->EnumMediaTypes(types.Receive())) || !types) return false;
    AM_MEDIA_TYPE* type = nullptr;
    ULONG fetched = 0;
    if (types->Next(1, &type, &fetched) != S_OK || type == nullptr) return false;
    const bool matches = type->majortype == majorType;
    FreeMediaType(*type);
    CoTaskMemFree(type);
    return matches;
}

}  // namespace

HRESULT PinAt(IBaseFilter* filter, PIN_DIRECTION direction, int index, IPin** pin) {
    if (pin == nullptr) return E_POINTER;
    *pin = nullptr;
    if (filter == nullptr) return E_POINTER;

    InterfaceRef<IEnumPins> pins;
    const HRESULT hr = filter->EnumPins(pins.Receive());
    if (FAILED(hr)) return hr;
    if (!pins) return E_FAIL;

    InterfaceRef<IPin> candidate;
    ULONG fetched = 0;
    while (pins->Next(1, candidate.Receive(), &fetched) == S_OK && candidate) {
        PIN_DIRECTION candidateDirection{};
        if (FAILED(candidate->QueryDirection(&candidateDirection)) || candidateDirection != direction)
            continue;
        if (index == 0) {
            *pin = candidate.Detach();
            return S_OK;
        }
        --index;
    }
    return E_FAIL;
}

InterfaceRef<IPin> InputPinAt(IBaseFilter* filter, int index) {
    InterfaceRef<IPin> pin;
    PinAt(filter, PINDIR_INPUT, index, pin.Receive());
    return pin;
}

InterfaceRef<IPin> OutputPinAt(IBaseFilter* filter, int index) {
    InterfaceRef<IPin> pin;
    PinAt(filter, PINDIR_OUTPUT, index, pin.Receive());
    return pin;
}

HRESULT FindUpstreamOutputPin(IPin* start, const GUID& majorType, int index, IPin** pin) {
    if (pin == nullptr) return E_POINTER;
    *pin = nullptr;

    InterfaceRef<IPin> current;
    current = start;
    while (current) {
        InterfaceRef<IEnumPins> pins;
        {
            PIN_INFO info{};
            if (FAILED(current->QueryPinInfo(&info)) || info.pFilter == nullptr) return S_OK;
            InterfaceRef<IBaseFilter> filter = InterfaceRef<IBaseFilter>::Adopt(info.pFilter);
            current.Reset();
            if (FAILED(filter->EnumPins(pins.Receive())) || !pins) return S_OK;
        }

        InterfaceRef<IPin> next;
        InterfaceRef<IPin> candidate;
        ULONG fetched = 0;
        while (pins->Next(1, candidate.Receive(), &fetched) == S_OK && candidate) {
            PIN_DIRECTION direction{};
            if (!DirectionFromPinInfo(candidate.Get(), direction)) continue;
            if (direction == PINDIR_INPUT) {
                // The last input pin decides where the walk goes on, even when it is free.
                next.Reset();
                candidate->ConnectedTo(next.Receive());
            } else if (FirstMediaTypeIs(candidate.Get(), majorType)) {
                if (index == 0) {
                    *pin = candidate.Detach();
                    return S_OK;
                }
                --index;
            }
        }
        current = std::move(next);
    }
    return E_FAIL;
}
