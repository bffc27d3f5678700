#pragma once

// The system's reference clock: the monotonic clock of the machine in 100-ns units. The graph
// uses it when no filter offers a clock of its own (a file without sound).

#include "media/api/com_object.h"
#include "media/api/interfaces.h"

namespace media {

// The monotonic time of the machine in 100-ns units. MT safe.
[[nodiscard]] REFERENCE_TIME MonotonicTime();

class SystemClock final : public ComObject<IReferenceClock> {
public:
    // MT safe.
    HRESULT GetTime(REFERENCE_TIME* time) override;
};

}  // namespace media
