#include "engine/job_percent.h"

#include <algorithm>
#include <limits>

int PercentOf(LONGLONG position, LONGLONG duration) {
    if (duration == 0) return position > 0 ? std::numeric_limits<int>::max() : 0;
    const double percent = static_cast<double>(position) * 100.0 / static_cast<double>(duration);
    constexpr double kLargest = std::numeric_limits<int>::max();
    constexpr double kSmallest = std::numeric_limits<int>::min();
    return static_cast<int>(std::clamp(percent, kSmallest, kLargest));
}

int ShownPercent(int percent) {
    return std::clamp(percent, 0, 100);
}
