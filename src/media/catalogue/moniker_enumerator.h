#pragma once

// An enumerator of compressor monikers over a snapshot of the catalogue taken when it was made.

#include <memory>
#include <vector>

#include "media/api/device_interfaces.h"
#include "media/catalogue/compressor_catalogue.h"

namespace media {

// A new enumerator over entries, positioned at the first. Transfer full. Not MT safe: one
// thread walks it, as on the platform.
[[nodiscard]] IEnumMoniker* CreateMonikerEnumerator(std::vector<CompressorEntry> entries);

}  // namespace media
