#pragma once

// The audio renderer's reference clock: it advances as the sound output consumes samples, so
// pictures timed by it stay with the sound even when the output's crystal runs a little fast or
// slow. While no output runs (the renderer is stopped) it runs on the system's monotonic clock.
// Its time never goes backwards and does not jump when an output starts or stops.
//
// Between two pulls of the output the time is interpolated on the system clock, but never beyond
// the frames that the last pull handed over: an output that falls behind holds the clock back
// instead of letting it run ahead of the sound.
//
// The clock is an object of its own, not part of the renderer, so that the renderer (which also
// holds the graph's clock) never holds a reference to itself.

#include <mutex>

#include "media/api/com_object.h"
#include "media/api/interfaces.h"

namespace media {

class AudioClock final : public ComObject<IReferenceClock> {
public:
    // MT safe.
    HRESULT GetTime(REFERENCE_TIME* time) override;

    // An output starts consuming `rate` frames per second, and plays `latencyFrames` frames after
    // a pull before it plays the pulled ones. MT safe.
    void OutputStarted(int rate, int latencyFrames);
    // The output pulls `frames` frames now. Returns the reference time at which the first of them
    // will be heard. Called on the output's thread.
    [[nodiscard]] REFERENCE_TIME OutputPulled(int frames);
    // The output stopped; the clock runs on the system clock again. MT safe.
    void OutputStopped();

private:
    // The time now, with the lock held.
    [[nodiscard]] REFERENCE_TIME Now(REFERENCE_TIME system);
    [[nodiscard]] REFERENCE_TIME FramesToTime(long long frames) const;

    std::mutex m_lock;
    REFERENCE_TIME m_last = 0;        // the last time handed out
    REFERENCE_TIME m_lastSystem = 0;  // system time when m_last was handed out (0: never)

    bool m_outputRunning = false;
    bool m_pulled = false;  // a pull happened since the output started
    int m_rate = 0;
    int m_latencyFrames = 0;
    REFERENCE_TIME m_anchor = 0;       // reference time of frame 0 of the running output
    long long m_framesBeforePull = 0;  // frames pulled before the last pull
    int m_framesOfPull = 0;            // frames of the last pull
    REFERENCE_TIME m_pullSystem = 0;   // system time of the last pull
};

}  // namespace media
