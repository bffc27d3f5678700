#pragma once

// Walking the connections of a graph: a filter's pins, a pin's peer and owner, and the order of
// the filters from the sources down to the sinks. A ComPtr returned carries the caller's own
// reference; a raw filter pointer is borrowed from the graph, which holds the filter.

#include <vector>

#include "media/api/interfaces.h"
#include "media/com/com_ptr.h"
#include "media/graph/graph_members.h"

namespace media {

// Pins of a filter, in enumeration order.
[[nodiscard]] std::vector<ComPtr<IPin>> PinsOf(IBaseFilter* filter);
[[nodiscard]] PIN_DIRECTION DirectionOf(IPin* pin);
// The filter a pin belongs to, or empty.
[[nodiscard]] ComPtr<IBaseFilter> OwnerOf(IPin* pin);
// The pin connected to pin, or empty.
[[nodiscard]] ComPtr<IPin> PeerOf(IPin* pin);
// The types a pin offers, most preferred first.
[[nodiscard]] std::vector<MediaType> TypesOffered(IPin* pin);
// Whether the filter's IAMFilterMiscFlags include flag (AM_FILTER_MISC_FLAGS_...).
[[nodiscard]] bool HasMiscFlag(IBaseFilter* filter, ULONG flag);
// The filter at the upstream end of filter's first connected input, following first inputs.
[[nodiscard]] IBaseFilter* SourceOf(IBaseFilter* filter);
// The members ordered from the sources down to the sinks; filters on a cycle come last, in the
// order they were added.
[[nodiscard]] std::vector<IBaseFilter*> SourcesFirst(const GraphMembers& members);

}  // namespace media
