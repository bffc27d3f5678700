#pragma once

// Which pictures of a stream faster than a player takes go out (IPictureCadence's highest rate):
// one in n, n the smallest whole number that brings the rate within the limit, chosen by time
// rather than by count. A picture goes out once the slot of the last one kept is over, all but
// half an input picture, so a stream that lost a picture stays on the slower rate's grid rather
// than turning to the other half of its pictures, and the pictures kept keep their times.
// Set while the filter is stopped; Keeps on its streaming thread.

#include <optional>

#include "media/api/types.h"

namespace media {

class PictureThinning {
public:
    // 100-ns units per input picture; 0 when unknown, and then nothing is thinned.
    void SetInputFrameTime(REFERENCE_TIME frameTime) { m_inputFrameTime = frameTime; }
    // Pictures a second at most; 0: no limit.
    void SetHighestRate(LONG framesPerSecond) { m_highestRate = framesPerSecond; }

    [[nodiscard]] int KeptOneIn() const;
    // 100-ns units per output picture; 0 when unknown.
    [[nodiscard]] REFERENCE_TIME OutputFrameTime() const { return m_inputFrameTime * KeptOneIn(); }
    // Whether the picture starting at start goes out; it then lasts OutputFrameTime().
    [[nodiscard]] bool Keeps(REFERENCE_TIME start);
    // A new run or a flush: the next picture goes out.
    void Restart() { m_lastKept.reset(); }

private:
    REFERENCE_TIME m_inputFrameTime = 0;
    LONG m_highestRate = 0;
    std::optional<REFERENCE_TIME> m_lastKept;
};

}  // namespace media
