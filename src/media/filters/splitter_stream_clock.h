#pragma once

// The clock of one stream of a container whose timestamps may jump (MPEG program and transport
// streams): one damaged packet can carry a time far from its neighbours', and joined recordings
// start their clock again. libavformat passes such times on as they are (it only unwraps the
// 33-bit clock); a player skips over them. This clock mends them before they reach a
// multiplexer that would turn them into minutes of empty frames.
//
// Each packet is held until the next second of its stream has been read, and is then settled,
// in read order, against where the previous one ended (its time plus its duration):
// - within the tolerance (half a frame for video, 40 ms for audio), video keeps its time and
//   audio is stamped where the previous packet ended: audio is continuous;
// - further off, when the packets after it agree with it rather than with the previous one
//   (their median), the clock really moved: a step forward of up to 10 s is a gap and is kept;
//   a step back, or a longer one, is a restart and the stream goes on continuously from there,
//   moved as much as the file's other streams are at that restart (SplitterRestarts);
// - otherwise the packet is an outlier, stamped where the previous packet ended; so is a run of
//   packets that moves away and comes back within the next second. At the end of the stream, the
//   half second or more that is left agreeing with a step is enough. Packets stamped by the
//   demuxer from an outlier's time (those that carried none of their own) are outliers alike.
// An audio packet that repeats one just read (its time and its bytes) is dropped.
// The first packet after a start or a seek is put where the packets after it say, when it
// disagrees with them. Video is judged by its decoding times, which always advance; its
// presentation times are then judged against them (SplitterPictureStamps). A correction moves an
// audio packet's pts and dts alike. Packets without any time pass as they are.
// Streaming thread only.

#include <cstdint>
#include <deque>
#include <optional>

extern "C" {
#include <libavutil/rational.h>
}

#include "media/ffmpeg/av_ptr.h"
#include "media/filters/splitter_picture_stamps.h"
#include "media/filters/splitter_repeated_packets.h"
#include "media/filters/splitter_restarts.h"

namespace media {

class SplitterStreamClock {
public:
    // frameDuration: video's frame time in timeBase units (0 when unknown), for packets that
    // carry no duration. sampleRate: audio's (0 when unknown), which counts audio's durations
    // without the rounding of timeBase.
    // restarts: shared with the clocks of the file's other streams (may be null); must outlive
    // this clock. tableTimes: video whose stamps come from a sample table (QuickTime).
    SplitterStreamClock(AVRational timeBase, bool audio, std::int64_t frameDuration, int sampleRate,
                        SplitterRestarts* restarts = nullptr, bool tableTimes = false);

    // Takes the stream's next packet in read order.
    void Push(AvPacketPtr packet);
    // No packet follows (the end of the file): everything held settles.
    void EndOfStream();
    // The oldest packet held settles now, with what has been read after it.
    void SettleOldest();
    // The next settled packet, in read order: nullopt when none is settled, null when the packet
    // read there was dropped.
    [[nodiscard]] std::optional<AvPacketPtr> Pop();
    // Drops what is held and starts again, as after a seek.
    void Reset();
    // Whether a step forward of up to 10 s stays a gap (the default) or is closed as a restart.
    void KeepGaps(bool keep) { m_keepGaps = keep; }

    // How far the first settled packet with a pts was moved since the last reset, in timeBase
    // units; nullopt until it has settled.
    [[nodiscard]] std::optional<std::int64_t> FirstPtsCorrection() const { return m_firstPtsCorrection; }

private:
    struct Held {
        AvPacketPtr packet;
        std::int64_t time = 0;  // the judged time as the demuxer gave it: dts, else pts
        bool timed = false;
        std::int64_t duration = 0;  // in timeBase units
    };

    // Settles the oldest held packets: all of them, or those with a second read after them.
    void SettleReady(bool all);
    void SettleFront();
    // False when the packet is dropped.
    [[nodiscard]] bool Settle(Held& held);
    // Where the held packets put the oldest one: each one's time, shifted by the restarts, less
    // the durations between; the median of these, from the first-th held packet on. nullopt
    // when there is none.
    [[nodiscard]] std::optional<std::int64_t> HeldConsensus(std::size_t first) const;
    // Where the last settled packet ended; nullopt before the first settled one.
    [[nodiscard]] std::optional<std::int64_t> Expected() const;
    // Continuity starts anew at time (settled packets count from there).
    void Anchor(std::int64_t time, std::int64_t duration);

    AVRational m_timeBase;
    AVRational m_countingUnit;  // audio: one sample; video: the time base
    bool m_audio;
    std::int64_t m_tolerance;
    std::int64_t m_window;  // how much of the stream is read after a packet before it settles
    std::int64_t m_maxGap;  // the longest step forward kept as a gap
    std::int64_t m_defaultDuration;

    std::deque<Held> m_held;               // read, not settled yet
    std::int64_t m_heldDuration = 0;       // of all of m_held
    std::deque<AvPacketPtr> m_settled;     // waiting for Pop; null for a dropped packet
    std::optional<std::int64_t> m_anchor;  // where continuity last started, in timeBase
    std::int64_t m_elapsed = 0;            // since the anchor, in m_countingUnit
    std::int64_t m_shift = 0;              // what the restarts moved the stream by
    std::optional<std::int64_t> m_firstPtsCorrection;
    SplitterRestarts* m_restarts;
    bool m_keepGaps = true;
    bool m_ending = false;  // the end of the stream was read: nothing more comes after what is held
    std::optional<std::int64_t> m_playedUntil;  // audio after a restart: what lies before was played
    SplitterPictureStamps m_pictures;   // video
    SplitterRepeatedPackets m_repeats;  // audio
};

}  // namespace media
