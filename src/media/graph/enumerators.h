#pragma once

// Snapshot enumerators for pins, media types and filters.

#include <vector>

#include "media/api/interfaces.h"
#include "media/com/com_ptr.h"

namespace media {

// Each returns a new enumerator (transfer full) over a copy of the given items.
IEnumPins* CreatePinEnumerator(const std::vector<IPin*>& pins);
IEnumMediaTypes* CreateMediaTypeEnumerator(const std::vector<MediaType>& types);
IEnumFilters* CreateFilterEnumerator(const std::vector<IBaseFilter*>& filters);

}  // namespace media
