#pragma once

// The filters that intelligent connect may insert between two pins, and the renderers that
// RenderFile ends streams in, each in merit order.

#include <functional>
#include <string>
#include <vector>

#include "media/api/interfaces.h"

namespace media {

inline constexpr int MERIT_PREFERRED = 0x800000;
inline constexpr int MERIT_NORMAL = 0x600000;
inline constexpr int MERIT_UNLIKELY = 0x400000;

struct RegisteredFilter {
    CLSID clsid;
    std::u16string name;  // the name the graph gives an inserted filter
    int merit;
    // A cheap test of whether the filter's input may take a type, before it is created.
    std::function<bool(const AM_MEDIA_TYPE&)> mayAcceptInput;
};

// Adds or replaces an entry. MT safe. The class itself is registered with RegisterClass.
void RegisterIntermediateFilter(RegisteredFilter filter);
// A copy of the entries, highest merit first (ties keep registration order).
[[nodiscard]] std::vector<RegisteredFilter> IntermediateFiltersByMerit();

// The renderers that RenderFile and Render end a stream in, kept apart from the intermediate
// filters. A renderer's mayAcceptInput says whether it may show a stream of that type, possibly
// through decoders that intelligent connect puts in front of it. As above.
void RegisterRenderer(RegisteredFilter renderer);
[[nodiscard]] std::vector<RegisteredFilter> RenderersByMerit();

}  // namespace media
