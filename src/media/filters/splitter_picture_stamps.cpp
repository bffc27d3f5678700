#include "media/filters/splitter_picture_stamps.h"

#include <algorithm>
#include <cstdlib>

extern "C" {
#include <libavutil/avutil.h>
}

namespace media {
namespace {

// No stream reorders pictures by more than this many frames (H.264 allows 16).
constexpr std::int64_t kMaxReorderFrames = 16;

}  // namespace

SplitterPictureStamps::SplitterPictureStamps(std::int64_t frameDuration, std::int64_t tolerance)
    : m_tolerance(tolerance), m_maxDelay(frameDuration > 0 ? kMaxReorderFrames * frameDuration : 0) {}

std::int64_t SplitterPictureStamps::Misfit(std::int64_t delay) const {
    return std::min(std::llabs(delay), std::llabs(delay - m_delay));
}

void SplitterPictureStamps::Mend(AVPacket& packet, std::int64_t correction) {
    if (packet.dts == AV_NOPTS_VALUE || packet.pts == AV_NOPTS_VALUE) {
        if (packet.dts != AV_NOPTS_VALUE) packet.dts += correction;
        if (packet.pts != AV_NOPTS_VALUE) packet.pts += correction;
        return;
    }
    const bool ownDts = packet.pts != packet.dts;
    const std::int64_t before = packet.pts - packet.dts;  // the delay with the pts moved alike
    packet.dts += correction;
    const std::int64_t kept = packet.pts - packet.dts;  // the delay with the pts left alone
    if (correction != 0 && Misfit(kept) < Misfit(before)) {
        // Only the dts was wrong.
    } else {
        packet.pts += correction;
    }
    const std::int64_t delay = packet.pts - packet.dts;
    const bool plausible = delay >= -m_tolerance && (m_maxDelay <= 0 || delay <= m_maxDelay);
    if (!plausible) {
        packet.pts = packet.dts + (ownDts ? m_delay : 0);
    } else if (delay > m_tolerance) {
        m_delay = delay;
    }
}

}  // namespace media
