#pragma once

// The two stamps of each picture of a stream whose clock may jump, judged against each other.
// The stream's clock judges a picture's decoding time (dts) against the cadence of its
// neighbours; this decides what becomes of its presentation time (pts), which can be damaged
// alone just as well:
// - a picture whose dts the clock moved keeps its pts when that pts fits the mended dts (only the
//   dts was wrong), and moves its pts alike when the two fitted each other before (both were
//   moved, or the clock moved on);
// - a pts that lies before its own dts, further after it than any reordering delays a picture,
//   or on another picture's time is rebuilt. Every picture of a stream is shown once, in a slot
//   of the stream's picture cadence, so the rebuilt pts is the first slot from the dts on that
//   none of the pictures decoded around it takes: this holds whatever the reorder structure
//   (plain B pictures, a B-pyramid whose reference B pictures are shown between their
//   neighbours, a deeper delay). Without a cadence, or when every slot is taken, it is the dts
//   plus the delay of the last I or P picture for a picture that carried a dts of its own, none
//   for one that did not.
// A pts on another picture's time is wrong only when its delay is unlike those of the pictures
// settled lately: the other picture may be the damaged one. That holds where each picture carries
// its own stamps (MPEG streams); where they come from a sample table (QuickTime), a picture on
// another's time is shown as a player shows it, which the table's composition offsets decide.
// Streaming thread only.

#include <cstdint>
#include <deque>
#include <optional>
#include <span>

extern "C" {
#include <libavcodec/packet.h>
}

namespace media {

class SplitterPictureStamps {
public:
    struct Stamps {
        std::int64_t pts = 0;
        std::int64_t dts = 0;  // AV_NOPTS_VALUE when the picture carried none
    };

    // frameDuration: the stream's frame time in its time base (0 when unknown); tolerance: how
    // far a time may be off and still count as on time; fromTable: the stamps come from a sample
    // table, not from each picture.
    SplitterPictureStamps(std::int64_t frameDuration, std::int64_t tolerance, bool fromTable);

    // The clock moved the packet's judged time by correction (0: it kept its time); mends both.
    // later: the stamps of the pictures read after it, as far as they are known, on the clock's
    // time; those whose delay is implausible are not taken into account.
    void Mend(AVPacket& packet, std::int64_t correction, std::span<const Stamps> later);
    // Forgets what was learnt, as after a seek.
    void Reset() {
        m_delay = 0;
        m_shown.clear();
        m_decoded.clear();
    }

private:
    // How far delay is from the delay of a picture of either kind.
    [[nodiscard]] std::int64_t Misfit(std::int64_t delay) const;
    [[nodiscard]] bool Plausible(std::int64_t delay) const;
    // The time between pictures: the median step between the dts of those settled lately, which an
    // interlaced stream's field rate does not mislead; the frame time until enough are known.
    [[nodiscard]] std::int64_t Cadence() const;
    // Whether a picture decoded around this one is shown within reach of pts.
    [[nodiscard]] bool Taken(std::int64_t pts, std::span<const Stamps> later, std::int64_t reach) const;
    // Whether a picture settled lately had a delay within reach of this one.
    [[nodiscard]] bool Usual(std::int64_t delay, std::int64_t reach) const;
    // The first slot of the picture grid (step apart) from dts on that no picture around takes.
    [[nodiscard]] std::optional<std::int64_t> FreeSlot(std::int64_t dts, std::span<const Stamps> later,
                                                       std::int64_t step) const;

    std::int64_t m_frameDuration;
    std::int64_t m_tolerance;
    bool m_fromTable;
    std::int64_t m_maxDelay;   // the longest reorder delay taken as real
    std::int64_t m_delay = 0;  // the last I or P picture's pts less its dts
    std::deque<Stamps> m_shown;          // the pictures settled last that have a pts
    std::deque<std::int64_t> m_decoded;  // the dts of the pictures settled last
};

}  // namespace media
