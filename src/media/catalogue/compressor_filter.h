#pragma once

// The compressor filter (CLSID_VideoCompressor) of one FFmpeg encoder. Its input pin "Input"
// takes uncompressed video the encoder can code; its output pin "Output" gives the compressed
// stream with the AVI FourCC players expect. An encoder that codes only sizes of some multiple
// (libxvid: even ones) codes the largest such part of the picture: the last columns and rows go.
// Each sample is converted to the encoder's pixel format on the sender's thread, then waits in a
// short queue and is encoded on a thread of the filter's own, so that compression runs beside
// decoding and conversion.

#include <string_view>

#include "media/api/interfaces.h"

namespace media {

// A new compressor filter for the named encoder, or null when FFmpeg has no such encoder.
// Transfer full.
[[nodiscard]] IBaseFilter* CreateCompressorFilter(std::string_view encoderName);

}  // namespace media
