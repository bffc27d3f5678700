#include "media/filters/splitter_audio_count.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/mathematics.h>
}

namespace media {
namespace {

// A packet that claims to last more than a frame longer than its codec says is as broken as one
// that lasts nothing: no player waits for it.
constexpr std::int64_t kAbsurdFactor = 2;

}  // namespace

bool SplitterAudioCount::Mend(AVPacket& packet) {
    const int samples = av_get_audio_frame_duration2(&m_parameters, packet.size);
    const std::int64_t length =
        samples > 0 && m_parameters.sample_rate > 0
            ? av_rescale_q(samples, AVRational{1, m_parameters.sample_rate}, m_timeBase)
            : 0;
    const std::int64_t own = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
    if (!m_counting && length > 0 && m_next != kUnknown &&
        (packet.duration <= 0 || packet.duration > kAbsurdFactor * length ||
         (own != AV_NOPTS_VALUE && own <= m_last))) {
        m_counting = true;
    }
    if (!m_counting || length <= 0) {
        if (own != AV_NOPTS_VALUE) {
            m_last = own;
            m_next = own + (packet.duration > 0 ? packet.duration : length);
        }
        return false;
    }
    packet.pts = packet.dts = m_next;
    packet.duration = length;
    packet.flags &= ~AV_PKT_FLAG_DISCARD;
    m_next += length;
    return true;
}

}  // namespace media
