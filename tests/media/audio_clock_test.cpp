// The audio renderer's clock: it follows the frames the sound output has taken, never runs ahead
// of them, never goes backwards, and runs on the system clock while no output runs.

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "media/com/com_ptr.h"
#include "media/filters/audio_clock.h"

using namespace std::chrono_literals;
using media::AudioClock;
using media::ComPtr;

namespace {

constexpr REFERENCE_TIME kMillisecond = 10'000;

REFERENCE_TIME Now(AudioClock& clock) {
    REFERENCE_TIME time = 0;
    EXPECT_EQ(clock.GetTime(&time), S_OK);
    return time;
}

TEST(AudioClockTest, AnOutputThatFallsBehindHoldsTheClockBack) {
    auto clock = ComPtr<AudioClock>::Adopt(new AudioClock);
    clock->OutputStarted(48'000, 0);
    const REFERENCE_TIME heardAt = clock->OutputPulled(480);  // 10 ms of sound
    EXPECT_LE(std::llabs(heardAt - Now(*clock.Get())), kMillisecond);
    // No further pull: the clock may cover the 10 ms pulled, and no more.
    std::this_thread::sleep_for(60ms);
    const REFERENCE_TIME held = Now(*clock.Get());
    EXPECT_LE(held - heardAt, 10 * kMillisecond);
    EXPECT_GE(held - heardAt, 10 * kMillisecond - 1);
    // The next pull goes on from exactly there: the frames, not the wall, count.
    EXPECT_EQ(clock->OutputPulled(480), heardAt + 10 * kMillisecond);
}

TEST(AudioClockTest, LatencyPutsThePulledFramesLaterAndTimeNeverJumps) {
    auto clock = ComPtr<AudioClock>::Adopt(new AudioClock);
    const REFERENCE_TIME before = Now(*clock.Get());
    clock->OutputStarted(44'100, 4410);  // 100 ms still to play before what is pulled
    const REFERENCE_TIME heardAt = clock->OutputPulled(441);
    const REFERENCE_TIME now = Now(*clock.Get());
    EXPECT_GE(now, before);
    EXPECT_NEAR(static_cast<double>(heardAt - now), 100.0 * kMillisecond, 2.0 * kMillisecond);

    // Stopped, it runs on at the system clock's pace from where it stood.
    clock->OutputStopped();
    const REFERENCE_TIME stopped = Now(*clock.Get());
    EXPECT_GE(stopped, now);
    std::this_thread::sleep_for(30ms);
    const REFERENCE_TIME later = Now(*clock.Get());
    EXPECT_GE(later - stopped, 30 * kMillisecond);
    EXPECT_LT(later - stopped, 300 * kMillisecond);
}

}  // namespace
