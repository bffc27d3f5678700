#include "media/api/ffmpeg_log.h"

#include <atomic>

extern "C" {
#include <libavutil/log.h>
}

namespace media {
namespace {

std::atomic<bool> g_levelChosen{false};

}  // namespace

void SetFfmpegLogging(FfmpegLogging logging) {
    g_levelChosen = true;
    av_log_set_level(logging == FfmpegLogging::Warnings ? AV_LOG_WARNING : AV_LOG_QUIET);
}

void ApplyDefaultFfmpegLogging() {
    bool expected = false;
    if (g_levelChosen.compare_exchange_strong(expected, true)) av_log_set_level(AV_LOG_QUIET);
}

}  // namespace media
