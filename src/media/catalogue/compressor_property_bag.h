#pragma once

// The read-only properties of one installed compressor: "FriendlyName" (its descriptive name),
// "CLSID" (the class of the filter it binds to) and "FccHandler" (the FourCC it writes).

#include "media/api/device_interfaces.h"
#include "media/catalogue/compressor_catalogue.h"

namespace media {

// A new property bag for entry. Transfer full.
[[nodiscard]] IPropertyBag* CreateCompressorPropertyBag(CompressorEntry entry);

}  // namespace media
