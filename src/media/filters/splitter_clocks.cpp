#include "media/filters/splitter_clocks.h"

#include "media/ffmpeg/codec_media_type.h"

namespace media {
namespace {

constexpr std::size_t kMaxWaitingForOrigin = 256;
// A stream whose next second spans much of the file (sparse packets) must not hold up the others
// without bound: past this, the oldest packet settles with what its clock has read.
constexpr std::size_t kMaxHeld = 1024;

}  // namespace

SplitterClocks::SplitterClocks(const std::vector<Stream>& streams, REFERENCE_TIME containerOrigin)
    : m_streams(streams), m_reading(streams.size(), false), m_containerOrigin(containerOrigin) {
    for (const Stream& stream : streams)
        m_clocks.emplace_back(stream.timeBase, stream.audio, stream.frameDuration, stream.sampleRate,
                              &m_restarts, stream.tableTimes);
}

void SplitterClocks::Begin(const std::vector<bool>& reading, bool atFileStart) {
    m_reading = reading;
    m_reading.resize(m_streams.size(), false);
    bool keepGaps = true;
    for (std::size_t slot = 0; slot < m_streams.size(); ++slot)
        keepGaps = keepGaps && !(m_reading[slot] && m_streams[slot].audio && !m_streams[slot].silenceCodable);
    for (SplitterStreamClock& clock : m_clocks) clock.KeepGaps(keepGaps);
    Reset();
    if (!atFileStart) DecideOrigin(true);
}

void SplitterClocks::Reset() {
    for (SplitterStreamClock& clock : m_clocks) clock.Reset();
    m_restarts.Reset();
    m_order.clear();
}

void SplitterClocks::Push(std::size_t slot, AvPacketPtr packet) {
    if (slot >= m_clocks.size()) return;
    m_clocks[slot].Push(std::move(packet));
    m_order.push_back(slot);
    if (m_order.size() > kMaxHeld) m_clocks[m_order.front()].SettleOldest();
    DecideOrigin(m_order.size() > kMaxWaitingForOrigin);
}

void SplitterClocks::EndOfFile() {
    for (SplitterStreamClock& clock : m_clocks) clock.EndOfStream();
    DecideOrigin(true);
}

AvPacketPtr SplitterClocks::Pop(std::size_t& slot) {
    while (m_origin && !m_order.empty()) {
        std::optional<AvPacketPtr> packet = m_clocks[m_order.front()].Pop();
        if (!packet) return nullptr;
        slot = m_order.front();
        m_order.pop_front();
        if (*packet) return std::move(*packet);
    }
    return nullptr;
}

void SplitterClocks::DecideOrigin(bool now) {
    if (m_origin) return;
    if (!now) {
        for (std::size_t slot = 0; slot < m_clocks.size(); ++slot) {
            if (m_reading[slot] && !m_clocks[slot].FirstPtsCorrection()) return;
        }
    }
    std::optional<REFERENCE_TIME> earliest;
    for (std::size_t slot = 0; slot < m_streams.size(); ++slot) {
        const Stream& stream = m_streams[slot];
        if (stream.start == AV_NOPTS_VALUE) continue;
        const std::int64_t moved = m_reading[slot] ? m_clocks[slot].FirstPtsCorrection().value_or(0) : 0;
        const REFERENCE_TIME start = ToReferenceTime(stream.start + moved, stream.timeBase);
        if (!earliest || start < *earliest) earliest = start;
    }
    m_origin = earliest.value_or(m_containerOrigin);
}

}  // namespace media
