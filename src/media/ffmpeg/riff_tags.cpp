#include "media/ffmpeg/riff_tags.h"

namespace media {

const AVCodecTag* const* RiffVideoTags() {
    static const AVCodecTag* const tables[] = {avformat_get_riff_video_tags(), nullptr};
    return tables;
}

const AVCodecTag* const* RiffAudioTags() {
    static const AVCodecTag* const tables[] = {avformat_get_riff_audio_tags(), nullptr};
    return tables;
}

}  // namespace media
