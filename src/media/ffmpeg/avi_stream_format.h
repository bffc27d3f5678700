#pragma once

// Which media types an AVI file can hold, and the codec parameters the AVI writer needs for them.

#include <cstdint>
#include <vector>

extern "C" {
#include <libavutil/rational.h>
}

#include "media/api/media_type.h"
#include "media/ffmpeg/av_ptr.h"

namespace media {

// Whether the AVI writer can store a stream of this type as it comes: compressed video whose
// codec has an AVI FourCC, or audio whose codec has a WAVE format tag (PCM included).
[[nodiscard]] bool CanStoreInAvi(const AM_MEDIA_TYPE& type);

// Codec parameters for one AVI stream of this type: the parameters the type carries (or, for a
// type without them, what its format block says), the video FourCC the type names, and no audio
// tag so that the writer picks the WAVE format tag itself. Null when CanStoreInAvi is false.
[[nodiscard]] AvCodecParametersPtr AviCodecParameters(const AM_MEDIA_TYPE& type);

// What a stream's header must say where the writer's own would not do. Constant-rate MP3 that a
// type declares itself (a block of one byte, as an encoder of ours gives it) is a byte stream at
// its data rate, as players expect of it; the writer gives every MP3 stream the header of
// variable-rate MP3, counted in frames.
struct AviHeaderOverride {
    std::vector<std::uint8_t> format;  // the format block ('strf'); empty: the writer's stands
    std::uint32_t bytesPerSecond = 0;  // counted in bytes at this rate (dwScale 1); 0: as written
};
[[nodiscard]] AviHeaderOverride AviHeaderOverrideFor(const AM_MEDIA_TYPE& type);

// The time base of a video stream: one tick per frame at the type's average frame time, 1/25 s
// when the type gives none.
[[nodiscard]] AVRational AviVideoTimeBase(const AM_MEDIA_TYPE& type);

// The pixels' shape of a video stream, for the sample aspect the writer puts in the stream's
// 'vprp' header (which readers take over whatever the codec says): the type's codec parameters',
// else its format block's. 0:1, and no such header, for square pixels.
[[nodiscard]] AVRational AviSampleAspect(const AM_MEDIA_TYPE& type);

}  // namespace media
