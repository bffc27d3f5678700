#include "media/filters/avi_mux_audio_gaps.h"

#include <algorithm>

#include "media/ffmpeg/codec_media_type.h"

namespace media {
namespace {

// Steps shorter than this are the rounding of times, not gaps.
constexpr REFERENCE_TIME kLeastGap = 20'000;  // 2 ms
// Packets a silent frame is looked for from before the stream is taken as unable to code one.
constexpr int kSilenceTries = 8;
// PCM: chunk counts tried beyond the nearest for one that divides the gap.
constexpr std::int64_t kChunkCountsTried = 64;

}  // namespace

std::int64_t AviMuxAudioGaps::PcmChunks(std::int64_t total, int size) {
    const std::int64_t frameBytes = static_cast<std::int64_t>(m_silence->bytes.size());
    const std::int64_t usual = std::max<std::int64_t>(size / frameBytes, 1);
    const std::int64_t nearest = std::max<std::int64_t>((total + usual / 2) / usual, 1);
    std::int64_t count = nearest;
    for (std::int64_t tried = nearest; tried <= nearest + std::min(nearest, kChunkCountsTried); ++tried) {
        if (total % tried < total % count) count = tried;
    }
    const std::int64_t samples = total / count;
    m_chunk.samples = static_cast<int>(samples);
    m_chunk.bytes.resize(static_cast<std::size_t>(samples * frameBytes));
    for (std::size_t at = 0; at < m_chunk.bytes.size(); ++at)
        m_chunk.bytes[at] = m_silence->bytes[at % m_silence->bytes.size()];
    return count;
}

std::int64_t AviMuxAudioGaps::ToSamples(REFERENCE_TIME time) const {
    return FromReferenceTime(time, AVRational{1, m_stream.sample_rate});
}

int AviMuxAudioGaps::SilentFramesBefore(REFERENCE_TIME start, const std::uint8_t* packet, int size,
                                        const SilentAudioFrame** silence) {
    *silence = nullptr;
    if (!m_end || m_stream.sample_rate <= 0) return 0;
    const std::int64_t gap = ToSamples(start) - *m_end;
    if (gap < ToSamples(kLeastGap)) return 0;
    // A packet after a hole may be damaged itself: the next gap's may do.
    if (!m_silence && m_tries < kSilenceTries) {
        ++m_tries;
        m_silence = MakeSilentAudioFrame(m_stream, packet, size);
    }
    if (!m_silence || m_silence->samples <= 0) return 0;
    const std::int64_t total = gap + m_carried;
    const SilentAudioFrame& frame = m_silence->samples == 1 && total > 0 ? m_chunk : *m_silence;
    const std::int64_t frames = total <= 0           ? 0
                                : &frame == &m_chunk ? PcmChunks(total, size)
                                                     : (total + frame.samples / 2) / frame.samples;
    m_carried = total - frames * frame.samples;
    // The gap is dealt with: what was not filled is carried, not seen again at the next packet.
    *m_end = ToSamples(start) - frames * frame.samples;
    *silence = &frame;
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
