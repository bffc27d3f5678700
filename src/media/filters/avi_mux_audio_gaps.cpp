#include "media/filters/avi_mux_audio_gaps.h"

#include "media/ffmpeg/codec_media_type.h"

namespace media {
namespace {

// Steps shorter than this are the rounding of times, not gaps.
constexpr REFERENCE_TIME kLeastGap = 20'000;  // 2 ms

}  // namespace

std::int64_t AviMuxAudioGaps::ToSamples(REFERENCE_TIME time) const {
    return FromReferenceTime(time, AVRational{1, m_stream.sample_rate});
}

int AviMuxAudioGaps::SilentFramesBefore(REFERENCE_TIME start, const std::uint8_t* packet, int size,
                                        const SilentAudioFrame** silence) {
    *silence = nullptr;
    if (!m_end || m_stream.sample_rate <= 0) return 0;
    const std::int64_t gap = ToSamples(start) - *m_end;
    if (gap < ToSamples(kLeastGap)) return 0;
    if (!m_tried) {
        m_tried = true;
        m_silence = MakeSilentAudioFrame(m_stream, packet, size);
    }
    if (!m_silence || m_silence->samples <= 0) return 0;
    const std::int64_t total = gap + m_carried;
    const std::int64_t frames = total <= 0 ? 0 : (total + m_silence->samples / 2) / m_silence->samples;
    m_carried = total - frames * m_silence->samples;
    // The gap is dealt with: what was not filled is carried, not seen again at the next packet.
    *m_end = ToSamples(start) - frames * m_silence->samples;
    *silence = &*m_silence;
    return static_cast<int>(frames);
}

void AviMuxAudioGaps::Played(REFERENCE_TIME start, int samples) {
    if (samples <= 0) {
        m_end.reset();  // lengths unknown: no gap can be told from here on
        return;
    }
    if (!m_end) m_end = ToSamples(start);
    *m_end += samples;
}

}  // namespace media
