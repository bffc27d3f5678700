#pragma once

// FFmpeg's RIFF tag tables (the FourCCs of AVI video, the WAVE format tags of its audio), in the
// form av_codec_get_tag and av_codec_get_id take: a null-terminated list of tables.

extern "C" {
#include <libavformat/avformat.h>
}

namespace media {

[[nodiscard]] const AVCodecTag* const* RiffVideoTags();
[[nodiscard]] const AVCodecTag* const* RiffAudioTags();

}  // namespace media
