#include "media/graph/system_clock.h"

#include <chrono>

namespace media {

REFERENCE_TIME MonotonicTime() {
    using Units = std::chrono::duration<REFERENCE_TIME, std::ratio<1, 10'000'000>>;
    return std::chrono::duration_cast<Units>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

HRESULT SystemClock::GetTime(REFERENCE_TIME* time) {
    if (time == nullptr) return E_POINTER;
    *time = MonotonicTime();
    return S_OK;
}

}  // namespace media
