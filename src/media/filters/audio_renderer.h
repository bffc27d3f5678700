#pragma once

// The audio renderer: 16-bit PCM in, played through the sound device (or the null output, see
// audio_output.h). It offers the graph its reference clock (IReferenceClock), which follows the
// output's consumption of samples.
//
// The output runs from Stopped -> Paused until Stopped, and plays silence while the graph is
// paused or the renderer has nothing to play. While running, each sample is played at its own
// stream time: sound that arrives late is cut to what is still due, a gap in the times is filled
// with silence, and small differences between consecutive samples' times are let be, so that a
// continuous stream plays without clicks. EC_COMPLETE follows once the end of the stream has
// been heard.

#include <deque>
#include <memory>

#include "media/filters/audio_clock.h"
#include "media/filters/audio_output.h"
#include "media/filters/renderer_base.h"

namespace media {

class AudioRenderer final : public RendererBase {
public:
    // Sound held ahead of its time, at most.
    static constexpr REFERENCE_TIME kQueuedSound = 10'000'000;  // 1 s

    AudioRenderer();
    ~AudioRenderer() override;

    // IReferenceClock is the renderer's clock object (an object of its own; see audio_clock.h).
    HRESULT QueryInterface(REFIID riid, void** object) override;

protected:
    // 16-bit PCM of 1 to 8 channels.
    HRESULT CheckInputType(const AM_MEDIA_TYPE& type) override;
    std::vector<MediaType> PreferredInputTypes() override;
    HRESULT OnInputConnected() override;

    HRESULT OnReceive(IMediaSample* sample) override;
    void OnBeginFlush() override;

    HRESULT OnActivate() override;
    void OnDeactivate() override;

private:
    struct Chunk {
        ComPtr<IMediaSample> sample;
        const std::int16_t* samples = nullptr;
        int frames = 0;
        int played = 0;            // frames already taken
        REFERENCE_TIME start = 0;  // stream time of the first frame
    };

    // The output's pull: fills `frames` frames. Output thread.
    void Fill(std::int16_t* out, int frames);
    // Copies what is due at stream time `at` into out; returns the frames written. m_lock held.
    int TakeDueSound(std::int16_t* out, int frames, REFERENCE_TIME at);
    [[nodiscard]] REFERENCE_TIME FramesToTime(long long frames) const;
    [[nodiscard]] long long TimeToFrames(REFERENCE_TIME time) const;

    ComPtr<AudioClock> m_clock;
    int m_rate = 0;  // the connection's format
    int m_channels = 0;
    std::unique_ptr<AudioOutput> m_output;  // while active

    // Guarded by m_lock.
    std::deque<Chunk> m_queue;
    long long m_queuedFrames = 0;
    REFERENCE_TIME m_queuedEnd = 0;  // stream time at which the sound received so far ends
    bool m_continuous = false;       // the last pull played sound up to its end
};

}  // namespace media
