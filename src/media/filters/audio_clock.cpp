#include "media/filters/audio_clock.h"

#include <algorithm>

#include "media/ffmpeg/codec_media_type.h"
#include "media/graph/system_clock.h"

namespace media {

REFERENCE_TIME AudioClock::FramesToTime(long long frames) const {
    return m_rate > 0 ? frames * kUnitsPerSecond / m_rate : 0;
}

REFERENCE_TIME AudioClock::Now(REFERENCE_TIME system) {
    REFERENCE_TIME time = 0;
    if (m_lastSystem == 0) {
        time = system;  // first reading: start from the system clock
    } else if (m_outputRunning && m_pulled) {
        const REFERENCE_TIME sincePull =
            std::clamp<REFERENCE_TIME>(system - m_pullSystem, 0, FramesToTime(m_framesOfPull));
        time = m_anchor + FramesToTime(m_framesBeforePull - m_latencyFrames) + sincePull;
    } else {
        time = m_last + (system - m_lastSystem);
    }
    time = std::max(time, m_last);
    m_last = time;
    m_lastSystem = system;
    return time;
}

HRESULT AudioClock::GetTime(REFERENCE_TIME* time) {
    if (time == nullptr) return E_POINTER;
    const REFERENCE_TIME system = MonotonicTime();
    std::lock_guard lock(m_lock);
    *time = Now(system);
    return S_OK;
}

void AudioClock::OutputStarted(int rate, int latencyFrames) {
    const REFERENCE_TIME system = MonotonicTime();
    std::lock_guard lock(m_lock);
    (void)Now(system);
    m_outputRunning = true;
    m_pulled = false;
    m_rate = rate;
    m_latencyFrames = std::max(latencyFrames, 0);
}

REFERENCE_TIME AudioClock::OutputPulled(int frames) {
    const REFERENCE_TIME system = MonotonicTime();
    std::lock_guard lock(m_lock);
    if (!m_pulled) {
        // The first pull anchors the output's frames where the clock stands now: the frames
        // still queued in the output play first, then the pulled ones.
        const REFERENCE_TIME now = Now(system);
        m_anchor = now + FramesToTime(m_latencyFrames);
        m_framesBeforePull = 0;
        m_framesOfPull = 0;
        m_pulled = true;
    } else {
        m_framesBeforePull += m_framesOfPull;
    }
    m_framesOfPull = std::max(frames, 0);
    m_pullSystem = system;
    (void)Now(system);
    return m_anchor + FramesToTime(m_framesBeforePull);
}

void AudioClock::OutputStopped() {
    const REFERENCE_TIME system = MonotonicTime();
    std::lock_guard lock(m_lock);
    (void)Now(system);
    m_outputRunning = false;
    m_pulled = false;
}

}  // namespace media
