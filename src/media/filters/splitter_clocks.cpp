#include "media/filters/splitter_clocks.h"

#include "media/ffmpeg/codec_media_type.h"

namespace media {
namespace {

constexpr std::size_t kMaxWaitingForOrigin = 256;

}  // namespace

SplitterClocks::SplitterClocks(const std::vector<Stream>& streams, REFERENCE_TIME containerOrigin)
    : m_streams(streams), m_reading(streams.size(), false), m_containerOrigin(containerOrigin) {
    for (const Stream& stream : streams)
        m_clocks.emplace_back(stream.timeBase, stream.audio, stream.frameDuration, stream.sampleRate);
}

void SplitterClocks::Begin(const std::vector<bool>& reading, bool atFileStart) {
    m_reading = reading;
    m_reading.resize(m_streams.size(), false);
    Reset();
    if (!atFileStart) DecideOrigin(true);
}

void SplitterClocks::Reset() {
    for (SplitterStreamClock& clock : m_clocks) clock.Reset();
    m_ready.clear();
}

void SplitterClocks::Push(std::size_t slot, AvPacketPtr packet) {
    if (slot >= m_clocks.size()) return;
    m_clocks[slot].Push(std::move(packet));
    Collect(slot);
    DecideOrigin(m_ready.size() > kMaxWaitingForOrigin);
}

void SplitterClocks::EndOfFile() {
    for (std::size_t slot = 0; slot < m_clocks.size(); ++slot) {
        m_clocks[slot].EndOfStream();
        Collect(slot);
    }
    DecideOrigin(true);
}

AvPacketPtr SplitterClocks::Pop(std::size_t& slot) {
    if (!m_origin || m_ready.empty()) return nullptr;
    slot = m_ready.front().first;
    AvPacketPtr packet = std::move(m_ready.front().second);
    m_ready.pop_front();
    return packet;
}

void SplitterClocks::Collect(std::size_t slot) {
    while (AvPacketPtr packet = m_clocks[slot].Pop()) m_ready.emplace_back(slot, std::move(packet));
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
