#pragma once

// The renderers that RenderFile and Render end a stream in, apart from the intermediate filters
// that intelligent connect inserts. A renderer's mayAcceptInput says whether it may show a stream
// of that type, possibly through decoders that intelligent connect inserts in front of it.

#include <vector>

#include "media/graph/filter_registry.h"

namespace media {

// Adds or replaces an entry. MT safe. The class itself is registered with RegisterClass.
void RegisterRenderer(RegisteredFilter renderer);
// A copy of the entries, highest merit first (ties keep registration order).
[[nodiscard]] std::vector<RegisteredFilter> RenderersByMerit();

}  // namespace media
