// The null output: a thread that pulls one period of samples each time that period's time has
// come on the monotonic clock. A thread that wakes late pulls the periods it missed at once, so
// over any stretch the output takes exactly as many samples as the real rate says.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

#include "media/filters/audio_output.h"

namespace media {
namespace {

std::mutex g_tapLock;
AudioTap g_tap;  // guarded by g_tapLock

void Hear(const std::int16_t* samples, int frames, int channels) {
    std::lock_guard lock(g_tapLock);
    if (g_tap) g_tap(samples, frames, channels);
}

class NullAudioOutput final : public AudioOutput {
public:
    NullAudioOutput(int rate, int channels, int periodFrames, Pull pull)
        : m_rate(rate), m_channels(channels), m_periodFrames(periodFrames), m_pull(std::move(pull)) {}
    ~NullAudioOutput() override {
        if (!m_thread.joinable()) return;
        m_thread.request_stop();
        m_thread.join();
    }

    void Start() override {
        if (!m_thread.joinable()) m_thread = std::jthread([this](std::stop_token stop) { Consume(stop); });
    }

    int LatencyFrames() const override { return 0; }
    const char* Name() const override { return "null"; }

private:
    void Consume(std::stop_token stop) {
        std::vector<std::int16_t> buffer(static_cast<std::size_t>(m_periodFrames) *
                                         static_cast<std::size_t>(m_channels));
        const auto start = std::chrono::steady_clock::now();
        long long framesTaken = 0;
        std::mutex lock;
        std::condition_variable_any wake;
        while (!stop.stop_requested()) {
            const auto due = start + std::chrono::nanoseconds(framesTaken * 1'000'000'000LL / m_rate);
            {
                // Nothing notifies: the wait ends at the period's time or at the stop.
                std::unique_lock guard(lock);
                (void)wake.wait_until(guard, stop, due, [] { return false; });
            }
            if (stop.stop_requested()) break;
            m_pull(buffer.data(), m_periodFrames);
            Hear(buffer.data(), m_periodFrames, m_channels);
            framesTaken += m_periodFrames;
        }
    }

    const int m_rate;
    const int m_channels;
    const int m_periodFrames;
    const Pull m_pull;
    std::jthread m_thread;  // last: joined before the rest goes
};

}  // namespace

std::unique_ptr<AudioOutput> OpenNullAudioOutput(int rate, int channels, int periodFrames,
                                                 AudioOutput::Pull pull) {
    if (rate <= 0 || channels <= 0 || channels > 8 || periodFrames <= 0) return nullptr;
    return std::make_unique<NullAudioOutput>(rate, channels, periodFrames, std::move(pull));
}

void TapNullAudioOutput(AudioTap tap) {
    std::lock_guard lock(g_tapLock);
    g_tap = std::move(tap);
}

}  // namespace media
