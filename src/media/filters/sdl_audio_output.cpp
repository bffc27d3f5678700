// The sound device through SDL2, and the choice between it and the null output.

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>

#include <SDL2/SDL.h>

#include "media/filters/audio_output.h"

namespace media {
namespace {

std::atomic<bool> g_nullOnly{false};
std::mutex g_sdlLock;  // SDL's subsystem start and stop are not thread safe

// About 20 ms per device buffer: short enough for a tight sync, long enough not to starve.
constexpr int kDeviceBufferFrames = 1024;
// The null output's period: 10 ms of samples.
constexpr int kNullPeriodsPerSecond = 100;

class SdlAudioOutput final : public AudioOutput {
public:
    // Opens the device; IsOpen() tells whether it worked.
    SdlAudioOutput(int rate, int channels, Pull pull) : m_channels(channels), m_pull(std::move(pull)) {
        std::lock_guard lock(g_sdlLock);
        // The program handles its own signals; SDL must not take SIGINT and SIGTERM.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return;
        m_initialised = true;
        SDL_AudioSpec wanted{};
        wanted.freq = rate;
        wanted.format = AUDIO_S16SYS;
        wanted.channels = static_cast<Uint8>(channels);
        wanted.samples = kDeviceBufferFrames;
        wanted.callback = &SdlAudioOutput::Callback;
        wanted.userdata = this;
        SDL_AudioSpec obtained{};
        // No changes allowed: SDL converts our format to the device's itself.
        m_device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
        if (m_device == 0) return;
        m_latencyFrames = obtained.samples;
        const char* driver = SDL_GetCurrentAudioDriver();
        m_name = std::string("sdl:") + (driver ? driver : "?");
    }

    ~SdlAudioOutput() override {
        std::lock_guard lock(g_sdlLock);
        // Returns once the callback has finished and will not run again.
        if (m_device != 0) SDL_CloseAudioDevice(m_device);
        if (m_initialised) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    [[nodiscard]] bool IsOpen() const { return m_device != 0; }
    void Start() override {
        if (m_device != 0) SDL_PauseAudioDevice(m_device, 0);
    }
    int LatencyFrames() const override { return m_latencyFrames; }
    const char* Name() const override { return m_name.c_str(); }

private:
    static void Callback(void* userdata, Uint8* stream, int length) {
        auto* self = static_cast<SdlAudioOutput*>(userdata);
        const int frameBytes = self->m_channels * static_cast<int>(sizeof(std::int16_t));
        self->m_pull(reinterpret_cast<std::int16_t*>(stream), length / frameBytes);
    }

    const int m_channels;
    const Pull m_pull;
    bool m_initialised = false;
    SDL_AudioDeviceID m_device = 0;
    int m_latencyFrames = 0;
    std::string m_name;
};

}  // namespace

void UseNullAudioOutputOnly(bool only) {
    g_nullOnly = only;
}

std::unique_ptr<AudioOutput> OpenAudioOutput(int rate, int channels, AudioOutput::Pull pull) {
    if (rate <= 0 || channels <= 0 || channels > 8) return nullptr;
    if (!g_nullOnly.load()) {
        auto device = std::make_unique<SdlAudioOutput>(rate, channels, pull);
        if (device->IsOpen()) return device;
    }
    return OpenNullAudioOutput(rate, channels, std::max(rate / kNullPeriodsPerSecond, 1), std::move(pull));
}

}  // namespace media
