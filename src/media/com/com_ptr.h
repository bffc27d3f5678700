#pragma once

// The media layer's name for the program's one reference holder.

#include "media/api/interface_ref.h"

namespace media {

template <class T>
using ComPtr = InterfaceRef<T>;

}  // namespace media
