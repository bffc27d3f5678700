#pragma once

// The video renderer's account of its pictures since it last left Stopped, as IQualProp reports
// it: frame counts are pictures, times are milliseconds. MT safe: the showing thread counts, any
// thread reads.

#include <mutex>
#include <optional>

#include "media/api/types.h"

namespace media {

// The figures at one moment.
struct VideoQuality {
    int dropped = 0;        // too late for their time, never shown
    int drawn = 0;          // handed to the surface (pre-roll pictures included)
    int averageRate = 0;    // pictures per second × 100 while running
    int jitter = 0;         // standard deviation of the interval between shown pictures
    int averageOffset = 0;  // mean of (presentation time − the picture's time)
    int offsetDeviation = 0;
};

class VideoQualityStatistics {
public:
    // Back to nothing counted.
    void Reset();
    // A picture was shown, `offset` late (stream time). shownAt: the clock's time of showing
    // while the graph runs on a clock; none for a picture shown while paused or without a clock,
    // which counts as drawn only.
    void CountShown(REFERENCE_TIME offset, std::optional<REFERENCE_TIME> shownAt);
    void CountDropped();

    [[nodiscard]] VideoQuality Figures() const;

private:
    mutable std::mutex m_lock;  // guards everything below
    int m_drawn = 0;
    int m_dropped = 0;
    double m_offsetSum = 0;      // ms
    double m_offsetSquares = 0;  // ms²
    int m_offsetCount = 0;
    REFERENCE_TIME m_firstShown = 0;  // reference times of running pictures, for the rate
    REFERENCE_TIME m_lastShown = 0;
    int m_runningShown = 0;
    double m_intervalSum = 0;      // ms
    double m_intervalSquares = 0;  // ms²
};

}  // namespace media
