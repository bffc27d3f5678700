#pragma once

// One picture through an opened encoder and back through its decoder. Some encoders open for a
// size and then fail on the first picture, or write pictures that no decoder reads; this finds
// them while the connection is made, not part-way through a conversion.

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "media/api/types.h"

namespace media {

// S_OK when encoder codes a black picture that its codec's decoder reads back at the coded size
// from a stream labelled fourcc (decoders such as Ut Video's read the layout from it); also S_OK
// when FFmpeg has no decoder to ask. VFW_E_TYPE_NOT_ACCEPTED otherwise. The encoder is drained
// and can code no more.
[[nodiscard]] HRESULT CheckRoundTrip(AVCodecContext& encoder, DWORD fourcc);

}  // namespace media
