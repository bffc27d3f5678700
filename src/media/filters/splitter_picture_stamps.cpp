#include "media/filters/splitter_picture_stamps.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

extern "C" {
#include <libavutil/avutil.h>
}

namespace media {
namespace {

// No stream reorders pictures by more than this many frames (H.264 allows 16).
constexpr std::int64_t kMaxReorderFrames = 16;
// Pictures decoded before one that may share its slot: those within two reorder spans.
constexpr std::size_t kRemembered = 2 * kMaxReorderFrames;

}  // namespace

SplitterPictureStamps::SplitterPictureStamps(std::int64_t frameDuration, std::int64_t tolerance, bool fromTable)
    : m_frameDuration(frameDuration),
      m_tolerance(tolerance),
      m_fromTable(fromTable),
      m_maxDelay(frameDuration > 0 ? kMaxReorderFrames * frameDuration : 0) {}

std::int64_t SplitterPictureStamps::Misfit(std::int64_t delay) const {
    return std::min(std::llabs(delay), std::llabs(delay - m_delay));
}

bool SplitterPictureStamps::Plausible(std::int64_t delay) const {
    return delay >= -m_tolerance && (m_maxDelay <= 0 || delay <= m_maxDelay);
}

std::int64_t SplitterPictureStamps::Cadence() const {
    std::vector<std::int64_t> steps;
    for (std::size_t i = 1; i < m_decoded.size(); ++i) {
        if (m_decoded[i] > m_decoded[i - 1]) steps.push_back(m_decoded[i] - m_decoded[i - 1]);
    }
    if (steps.size() < kMaxReorderFrames / 2) return m_frameDuration;
    const auto middle = steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2);
    std::nth_element(steps.begin(), middle, steps.end());
    return *middle;
}

bool SplitterPictureStamps::Taken(std::int64_t pts, std::span<const Stamps> later, std::int64_t reach) const {
    const auto near = [&](const Stamps& other) { return std::llabs(other.pts - pts) <= reach; };
    const auto nearAndPlausible = [&](const Stamps& other) {
        return near(other) && (other.dts == AV_NOPTS_VALUE || Plausible(other.pts - other.dts));
    };
    return std::any_of(m_shown.begin(), m_shown.end(), near) ||
           std::any_of(later.begin(), later.end(), nearAndPlausible);
}

bool SplitterPictureStamps::Usual(std::int64_t delay, std::int64_t reach) const {
    return std::any_of(m_shown.begin(), m_shown.end(), [&](const Stamps& other) {
        return other.dts != AV_NOPTS_VALUE && std::llabs(other.pts - other.dts - delay) < reach;
    });
}

std::optional<std::int64_t> SplitterPictureStamps::FreeSlot(std::int64_t dts, std::span<const Stamps> later,
                                                            std::int64_t step) const {
    for (std::int64_t frames = 0; frames <= kMaxReorderFrames; ++frames) {
        const std::int64_t slot = dts + frames * step;
        if (!Taken(slot, later, step / 2)) return slot;
    }
    return std::nullopt;
}

void SplitterPictureStamps::Mend(AVPacket& packet, std::int64_t correction, std::span<const Stamps> later) {
    if (packet.dts == AV_NOPTS_VALUE || packet.pts == AV_NOPTS_VALUE) {
        if (packet.dts != AV_NOPTS_VALUE) packet.dts += correction;
        if (packet.pts != AV_NOPTS_VALUE) packet.pts += correction;
    } else {
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
        const bool plausible = Plausible(delay);
        // A pts moved by less than the reorder span lands on a slot another picture takes.
        const std::int64_t step = Cadence();
        const bool taken =
            !m_fromTable && step > 0 && !Usual(delay, step / 2) && Taken(packet.pts, later, step / 2);
        if (!plausible || taken) {
            if (const std::optional<std::int64_t> slot =
                    step > 0 ? FreeSlot(packet.dts, later, step) : std::nullopt) {
                packet.pts = *slot;
            } else if (!plausible) {
                packet.pts = packet.dts + (ownDts ? m_delay : 0);
            }
        } else if (delay > m_tolerance) {
            m_delay = delay;
        }
    }
    if (packet.dts != AV_NOPTS_VALUE) {
        m_decoded.push_back(packet.dts);
        if (m_decoded.size() > kRemembered) m_decoded.pop_front();
    }
    if (packet.pts == AV_NOPTS_VALUE) return;
    m_shown.push_back({packet.pts, packet.dts});
    if (m_shown.size() > kRemembered) m_shown.pop_front();
}

}  // namespace media
