#include "media/filters/video_quality.h"

#include <algorithm>
#include <cmath>

#include "media/ffmpeg/codec_media_type.h"

namespace media {
namespace {

constexpr double ToMilliseconds(REFERENCE_TIME t) {
    return static_cast<double>(t) / 10'000.0;
}

int StandardDeviation(double sum, double squares, int count) {
    if (count < 2) return 0;
    const double mean = sum / count;
    return static_cast<int>(std::lround(std::sqrt(std::max(squares / count - mean * mean, 0.0))));
}

}  // namespace

void VideoQualityStatistics::Reset() {
    std::lock_guard lock(m_lock);
    m_drawn = m_dropped = m_offsetCount = m_runningShown = 0;
    m_offsetSum = m_offsetSquares = m_intervalSum = m_intervalSquares = 0;
}

void VideoQualityStatistics::CountShown(REFERENCE_TIME offset, std::optional<REFERENCE_TIME> shownAt) {
    std::lock_guard lock(m_lock);
    ++m_drawn;
    if (!shownAt) return;
    const double late = ToMilliseconds(offset);
    m_offsetSum += late;
    m_offsetSquares += late * late;
    ++m_offsetCount;
    if (m_runningShown > 0) {
        const double interval = ToMilliseconds(*shownAt - m_lastShown);
        m_intervalSum += interval;
        m_intervalSquares += interval * interval;
    } else {
        m_firstShown = *shownAt;
    }
    m_lastShown = *shownAt;
    ++m_runningShown;
}

void VideoQualityStatistics::CountDropped() {
    std::lock_guard lock(m_lock);
    ++m_dropped;
}

VideoQuality VideoQualityStatistics::Figures() const {
    std::lock_guard lock(m_lock);
    VideoQuality figures;
    figures.dropped = m_dropped;
    figures.drawn = m_drawn;
    const REFERENCE_TIME span = m_lastShown - m_firstShown;
    figures.averageRate = m_runningShown > 1 && span > 0
                              ? static_cast<int>(std::lround((m_runningShown - 1) * 100.0 * kUnitsPerSecond /
                                                             static_cast<double>(span)))
                              : 0;
    figures.jitter = StandardDeviation(m_intervalSum, m_intervalSquares, m_runningShown - 1);
    figures.averageOffset =
        m_offsetCount > 0 ? static_cast<int>(std::lround(m_offsetSum / m_offsetCount)) : 0;
    figures.offsetDeviation = StandardDeviation(m_offsetSum, m_offsetSquares, m_offsetCount);
    return figures;
}

}  // namespace media
