#pragma once

// The moniker of one installed compressor: its property bag, and a new compressor filter on
// every bind.

#include "media/api/device_interfaces.h"
#include "media/catalogue/compressor_catalogue.h"

namespace media {

// A new moniker for entry. Transfer full.
[[nodiscard]] IMoniker* CreateCompressorMoniker(CompressorEntry entry);

}  // namespace media
