#pragma once

// Finding a filter's pins by direction and position, and the output pin of a given major type
// upstream of a pin.

#include "media/api/interface_ref.h"
#include "media/api/interfaces.h"

// The index-th pin (0-based, in the filter's enumeration order) of the given direction. On
// success *pin holds a reference the caller owns; otherwise it is null. E_POINTER for a null
// filter or out-parameter, E_FAIL when the filter has no such pin, or the failure of EnumPins.
// A pin whose direction cannot be queried counts as neither direction.
HRESULT PinAt(IBaseFilter* filter, PIN_DIRECTION direction, int index, IPin** pin);

// PinAt for input or output pins, with the reference in a holder; empty when there is no such
// pin.
[[nodiscard]] InterfaceRef<IPin> InputPinAt(IBaseFilter* filter, int index);
[[nodiscard]] InterfaceRef<IPin> OutputPinAt(IBaseFilter* filter, int index);

// Walks from start toward the source, one filter at a time, beginning with start's own filter,
// and gives the index-th output pin (counted over every filter searched, connected or not)
// whose first offered media type has majorType. A filter's pins are looked at in enumeration
// order; the next filter is the one feeding its last enumerated input pin. On success *pin
// holds a reference the caller owns. E_FAIL when the walk reaches a filter without a connected
// last input pin; S_OK with no pin when a filter on the way cannot list its pins (callers test
// the pin). E_POINTER for a null out-parameter.
HRESULT FindUpstreamOutputPin(IPin* start, const GUID& majorType, int index, IPin** pin);
