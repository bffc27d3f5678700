#pragma once

// The two stamps of each picture of a stream whose clock may jump, judged against each other.
// The stream's clock judges a picture's decoding time (dts) against the cadence of its
// neighbours; this decides what becomes of its presentation time (pts), which can be damaged
// alone just as well:
// - a picture whose dts the clock moved keeps its pts when that pts fits the mended dts (only the
//   dts was wrong), and moves its pts alike when the two fitted each other before (both were
//   moved, or the clock moved on);
// - a pts that fits neither, or that lies before its own dts or further after it than any
//   reordering delays a picture, is rebuilt from the dts and the reorder delay: the delay of the
//   last I or P picture for a picture that carried a dts of its own, none for one that did not.
// Streaming thread only.

#include <cstdint>

extern "C" {
#include <libavcodec/packet.h>
}

namespace media {

class SplitterPictureStamps {
public:
    // frameDuration: the stream's frame time in its time base (0 when unknown); tolerance: how
    // far a time may be off and still count as on time.
    SplitterPictureStamps(std::int64_t frameDuration, std::int64_t tolerance);

    // The clock moved the packet's judged time by correction (0: it kept its time); mends both.
    void Mend(AVPacket& packet, std::int64_t correction);
    // Forgets what was learnt, as after a seek.
    void Reset() { m_delay = 0; }

private:
    // How far delay is from the delay of a picture of either kind.
    [[nodiscard]] std::int64_t Misfit(std::int64_t delay) const;

    std::int64_t m_tolerance;
    std::int64_t m_maxDelay;   // the longest reorder delay taken as real
    std::int64_t m_delay = 0;  // the last I or P picture's pts less its dts
};

}  // namespace media
