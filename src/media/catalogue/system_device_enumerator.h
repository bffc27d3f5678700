#pragma once

// The system device enumerator (CLSID_SystemDeviceEnum): the one category it knows is the video
// compressors.

#include "media/api/unknown.h"

namespace media {

// A new system device enumerator. Transfer full; MT safe.
[[nodiscard]] IUnknown* CreateSystemDeviceEnumerator();

}  // namespace media
