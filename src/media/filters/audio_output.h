#pragma once

// Where the audio renderer's sound goes: the default sound device through SDL2, or, where SDL
// finds no device (a build machine, a virtual display), a null output that takes the samples at
// the real rate and discards them, so that timing and sync behave as they would with a device.
//
// An output pulls: it calls its Pull function on a thread of its own whenever it needs more
// samples, from Start until it is destroyed.

#include <cstdint>
#include <functional>
#include <memory>

namespace media {

class AudioOutput {
public:
    // Fills `frames` frames of interleaved signed 16-bit native-endian samples. Called on the
    // output's thread, never on two threads at once.
    using Pull = std::function<void(std::int16_t* samples, int frames)>;

    // Stops pulling: after the destructor no Pull call runs or starts.
    virtual ~AudioOutput() = default;

    // Starts pulling. Once only.
    virtual void Start() = 0;

    // Frames the output still plays after a pull before the pulled ones are heard.
    [[nodiscard]] virtual int LatencyFrames() const = 0;
    // "sdl:<driver>" or "null", for logs and benchmarks.
    [[nodiscard]] virtual const char* Name() const = 0;
};

// Opens the default sound device for `rate` frames per second of `channels` channels, ready to
// start; the null output when no device can be opened (or null outputs are forced).
// Empty only for an impossible format (no channels, more than 8, or no rate). Application thread.
[[nodiscard]] std::unique_ptr<AudioOutput> OpenAudioOutput(int rate, int channels, AudioOutput::Pull pull);

// Makes OpenAudioOutput use the null output even where a sound device exists, so that tests and
// benchmarks behave alike on every machine. MT safe.
void UseNullAudioOutputOnly(bool only);

// The null output alone, for 1 to 8 channels. `periodFrames` frames are pulled each time their
// time has come.
[[nodiscard]] std::unique_ptr<AudioOutput> OpenNullAudioOutput(int rate, int channels, int periodFrames,
                                                               AudioOutput::Pull pull);

// Hears what null outputs play: each period a null output pulled goes to the tap (on the
// output's thread) before it is discarded. An empty function removes the tap. For tests. MT safe.
using AudioTap = std::function<void(const std::int16_t* samples, int frames, int channels)>;
void TapNullAudioOutput(AudioTap tap);

}  // namespace media
