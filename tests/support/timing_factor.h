#pragma once

// How many times longer than usual a timed step may take: TESSAREL_TIMING_FACTOR (a whole number,
// 1 when unset or not a number), which `make tsan-test` sets for ThreadSanitizer's slowdown. Only
// the bounds a slower build must widen are multiplied by it.

#include <cstdlib>

namespace testsupport {

[[nodiscard]] inline int TimingFactor() {
    const char* text = std::getenv("TESSAREL_TIMING_FACTOR");
    const int factor = text != nullptr ? std::atoi(text) : 1;
    return factor > 0 ? factor : 1;
}

}  // namespace testsupport
