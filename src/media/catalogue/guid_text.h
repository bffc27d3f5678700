#pragma once

// GUIDs as the platform writes them in registry keys and display names.

#include <string>

#include "media/api/guid.h"

namespace media {

// "{33D9A760-90C8-11D0-BD43-00A0C911CE86}": upper-case hexadecimal, braces, four dashes.
[[nodiscard]] std::u16string GuidToText(const GUID& guid);

}  // namespace media
