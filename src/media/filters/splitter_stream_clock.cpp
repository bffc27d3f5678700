#include "media/filters/splitter_stream_clock.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

extern "C" {
#include <libavutil/avutil.h>
#include <libavutil/mathematics.h>
}

#include "media/ffmpeg/codec_media_type.h"

namespace media {
namespace {

constexpr AVRational kMilliseconds{1, 1000};
constexpr std::int64_t kAudioToleranceMs = 40;
constexpr std::int64_t kUnknownFrameToleranceMs = 20;
constexpr std::int64_t kWindowMs = 1000;
// The same limit as the ffmpeg command's for formats whose clock may jump: a longer step is
// rather a new clock than a pause in the recording.
constexpr std::int64_t kMaxGapMs = 10'000;
// Packets without durations never fill the window: they settle after this many.
constexpr std::size_t kMaxHeld = 512;

std::int64_t FromMs(std::int64_t ms, AVRational timeBase) {
    return av_rescale_q(ms, kMilliseconds, timeBase);
}

}  // namespace

SplitterStreamClock::SplitterStreamClock(AVRational timeBase, bool audio, std::int64_t frameDuration,
                                         int sampleRate, SplitterRestarts* restarts, bool tableTimes)
    : m_timeBase(timeBase),
      m_countingUnit(audio && sampleRate > 0 ? AVRational{1, sampleRate} : timeBase),
      m_audio(audio),
      m_tolerance(audio               ? FromMs(kAudioToleranceMs, timeBase)
                  : frameDuration > 0 ? frameDuration / 2
                                      : FromMs(kUnknownFrameToleranceMs, timeBase)),
      m_window(FromMs(kWindowMs, timeBase)),
      m_maxGap(FromMs(kMaxGapMs, timeBase)),
      m_defaultDuration(audio ? 0 : frameDuration),
      m_restarts(restarts),
      m_pictures(frameDuration, m_tolerance, tableTimes) {}

void SplitterStreamClock::Push(AvPacketPtr packet) {
    Held held;
    held.timed = packet->dts != AV_NOPTS_VALUE || packet->pts != AV_NOPTS_VALUE;
    held.time = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
    // Audio packets of a stream last alike: one without a duration lasts as the last one did.
    if (packet->duration > 0 && m_audio) m_defaultDuration = packet->duration;
    held.duration = packet->duration > 0 ? packet->duration : m_defaultDuration;
    held.packet = std::move(packet);
    m_heldDuration += held.duration;
    m_held.push_back(std::move(held));
    SettleReady(false);
}

void SplitterStreamClock::EndOfStream() {
    m_ending = true;
    SettleReady(true);
}

std::optional<AvPacketPtr> SplitterStreamClock::Pop() {
    if (m_settled.empty()) return std::nullopt;
    AvPacketPtr packet = std::move(m_settled.front());
    m_settled.pop_front();
    return packet;
}

void SplitterStreamClock::Reset() {
    m_held.clear();
    m_heldDuration = 0;
    m_settled.clear();
    m_anchor.reset();
    m_elapsed = 0;
    m_shift = 0;
    m_firstPtsCorrection.reset();
    m_pictures.Reset();
    m_repeats.Reset();
    m_playedUntil.reset();
    m_ending = false;
}

void SplitterStreamClock::SettleOldest() {
    if (!m_held.empty()) SettleFront();
}

void SplitterStreamClock::SettleReady(bool all) {
    while (!m_held.empty() &&
           (all || m_heldDuration - m_held.front().duration >= m_window || m_held.size() > kMaxHeld)) {
        SettleFront();
    }
}

void SplitterStreamClock::SettleFront() {
    Held& oldest = m_held.front();
    const bool kept = Settle(oldest);
    m_heldDuration -= oldest.duration;
    m_settled.push_back(kept ? std::move(oldest.packet) : nullptr);
    m_held.pop_front();
}

std::optional<std::int64_t> SplitterStreamClock::Expected() const {
    if (!m_anchor) return std::nullopt;
    return *m_anchor + av_rescale_q(m_elapsed, m_countingUnit, m_timeBase);
}

void SplitterStreamClock::Anchor(std::int64_t time, std::int64_t duration) {
    m_anchor = time;
    m_elapsed = av_rescale_q(duration, m_timeBase, m_countingUnit);
}

std::optional<std::int64_t> SplitterStreamClock::HeldConsensus(std::size_t first) const {
    std::vector<std::int64_t> starts;
    std::int64_t before = 0;
    for (std::size_t i = 0; i < m_held.size(); ++i) {
        const Held& held = m_held[i];
        if (held.timed && i >= first) starts.push_back(held.time + m_shift - before);
        before += held.duration;
    }
    if (starts.empty()) return std::nullopt;
    const auto middle = starts.begin() + static_cast<std::ptrdiff_t>(starts.size() / 2);
    std::nth_element(starts.begin(), middle, starts.end());
    return *middle;
}

bool SplitterStreamClock::Settle(Held& held) {
    AVPacket& packet = *held.packet;
    const std::optional<std::int64_t> expected = Expected();
    if (!held.timed) {
        if (!expected) return true;
        m_elapsed += av_rescale_q(held.duration, m_timeBase, m_countingUnit);
        // Audio is continuous, timed or not.
        if (m_audio) packet.pts = packet.dts = *expected;
        return true;
    }

    const std::int64_t own = held.time + m_shift;
    // A hole in the audio is a step of one packet or more: half of one is as far as it may be off.
    const std::int64_t tolerance =
        m_audio && held.duration > 0 ? std::min(m_tolerance, held.duration / 2) : m_tolerance;
    if (m_audio) {
        // A repeat lies wholly before where the stream has got to. (A packet stamped with the
        // time of the next one, as the demuxer does with some that straddle two PES packets,
        // may have the bytes of its neighbour too, silence say, but is not behind the stream.)
        const bool behind = expected && own + held.duration <= *expected + tolerance / 4;
        if (m_repeats.Repeated(held.time, packet, behind)) return false;
        if (m_playedUntil && own + held.duration <= *m_playedUntil) return false;
        m_playedUntil.reset();
    }
    std::int64_t stamp = own;
    bool continues = false;  // stamped where the last packet ended
    if (!expected) {
        // The first packet: where the packets after it say, when it disagrees with them.
        const std::int64_t consensus = HeldConsensus(0).value_or(own);
        if (std::llabs(own - consensus) > m_tolerance) stamp = consensus;
    } else if (const std::int64_t step = own - *expected; std::llabs(step) <= tolerance) {
        continues = m_audio;
        if (m_audio) stamp = *expected;
    } else {
        // An outlier, unless most of the next second agrees with it and its end does not come
        // back to where the stream was: a run of outliers comes back.
        continues = true;
        stamp = *expected;
        const std::optional<std::int64_t> after = HeldConsensus(1);
        const std::optional<std::int64_t> end = HeldConsensus(m_held.size() - m_held.size() / 4);
        const bool comesBack = end && std::llabs(*end - *expected) <= tolerance;
        // What is left of the stream at its end counts when it is half a window at least: a hole
        // in its last second is as real as one earlier.
        const std::int64_t evidence = m_ending ? m_window / 2 : m_window;
        const bool moved = after && !comesBack && m_heldDuration - held.duration >= evidence &&
                           std::llabs(*after - own) <= tolerance;
        if (moved && step > 0 && step <= m_maxGap && m_keepGaps) {
            continues = false;  // a gap
            stamp = own;
        } else if (moved) {
            // A restart: the stream goes on where it was, as the file's other streams do.
            std::int64_t shift = *expected - own;
            if (m_restarts) {
                const REFERENCE_TIME common =
                    m_restarts->Shift(ToReferenceTime(own, m_timeBase), ToReferenceTime(shift, m_timeBase));
                shift = FromReferenceTime(common, m_timeBase);
            }
            m_shift += shift;
            if (own + shift > *expected + tolerance) {
                continues = false;  // a gap before the other streams' restart
                stamp = own + shift;
            } else if (m_audio && own + shift + held.duration <= *expected) {
                m_playedUntil = *expected;  // sound from before the restart was played already
                return false;
            }
        }
    }

    const std::int64_t correction = stamp - held.time;
    if (m_audio) {
        if (packet.dts != AV_NOPTS_VALUE) packet.dts += correction;
        if (packet.pts != AV_NOPTS_VALUE) packet.pts += correction;
    } else {
        // The held pictures after this one, shifted as it is.
        std::vector<SplitterPictureStamps::Stamps> later;
        for (std::size_t i = 1; i < m_held.size(); ++i) {
            const AVPacket& next = *m_held[i].packet;
            if (next.pts == AV_NOPTS_VALUE) continue;
            later.push_back(
                {next.pts + m_shift, next.dts == AV_NOPTS_VALUE ? AV_NOPTS_VALUE : next.dts + m_shift});
        }
        m_pictures.Mend(packet, correction, later);
    }
    if (!m_firstPtsCorrection && packet.pts != AV_NOPTS_VALUE) m_firstPtsCorrection = correction;
    if (continues) {
        m_elapsed += av_rescale_q(held.duration, m_timeBase, m_countingUnit);
    } else {
        Anchor(stamp, held.duration);
    }
    return true;
}

}  // namespace media
