#include "media/filters/audio_renderer.h"

#include <algorithm>
#include <cstring>

#include "media/api/class_registry.h"
#include "media/api/uuids.h"
#include "media/ffmpeg/codec_media_type.h"
#include "media/graph/filter_registry.h"
#include "media/registered_classes.h"

namespace media {
namespace {

// Within a stream that plays on without a gap, times that differ from where the sound stands by
// less than this are let be (timestamps jitter; correcting them would click).
constexpr REFERENCE_TIME kSyncTolerance = 300'000;  // 30 ms

constexpr int kLowestRate = 8'000;
constexpr int kHighestRate = 384'000;

}  // namespace

AudioRenderer::AudioRenderer()
    : RendererBase(CLSID_AudioRenderer), m_clock(ComPtr<AudioClock>::Adopt(new AudioClock)) {}

AudioRenderer::~AudioRenderer() {
    m_output.reset();
}

HRESULT AudioRenderer::QueryInterface(REFIID riid, void** object) {
    if (riid == IReferenceClock::iid) return m_clock->QueryInterface(riid, object);
    return RendererBase::QueryInterface(riid, object);
}

REFERENCE_TIME AudioRenderer::FramesToTime(long long frames) const {
    return m_rate > 0 ? frames * kUnitsPerSecond / m_rate : 0;
}

long long AudioRenderer::TimeToFrames(REFERENCE_TIME time) const {
    return time * m_rate / kUnitsPerSecond;
}

// --- negotiation ---

HRESULT AudioRenderer::CheckInputType(const AM_MEDIA_TYPE& type) {
    if (type.majortype != MEDIATYPE_Audio || type.subtype != MEDIASUBTYPE_PCM ||
        type.formattype != FORMAT_WaveFormatEx || type.cbFormat < sizeof(WAVEFORMATEX) ||
        type.pbFormat == nullptr) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    WAVEFORMATEX format;
    std::memcpy(&format, type.pbFormat, sizeof format);
    const bool usable = format.wFormatTag == WAVE_FORMAT_PCM && format.wBitsPerSample == 16 &&
                        format.nChannels >= 1 && format.nChannels <= 8 &&
                        format.nBlockAlign == format.nChannels * 2 && format.nSamplesPerSec >= kLowestRate &&
                        format.nSamplesPerSec <= kHighestRate;
    return usable ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

std::vector<MediaType> AudioRenderer::PreferredInputTypes() {
    std::vector<MediaType> types;
    types.push_back(PcmAudioType(48'000, 2, 16));
    types.push_back(PcmAudioType(44'100, 2, 16));
    return types;
}

HRESULT AudioRenderer::OnInputConnected() {
    WAVEFORMATEX format;
    std::memcpy(&format, InputType().pbFormat, sizeof format);
    m_rate = static_cast<int>(format.nSamplesPerSec);
    m_channels = format.nChannels;
    return S_OK;
}

// --- state ---

HRESULT AudioRenderer::OnActivate() {
    const HRESULT hr = RendererBase::OnActivate();
    if (FAILED(hr)) return hr;
    {
        std::lock_guard lock(m_lock);
        m_queue.clear();
        m_queuedFrames = 0;
        m_queuedEnd = 0;
        m_continuous = false;
    }
    if (!Input().IsConnected()) return S_OK;
    m_output =
        OpenAudioOutput(m_rate, m_channels, [this](std::int16_t* out, int frames) { Fill(out, frames); });
    if (!m_output) return VFW_E_RUNTIME_ERROR;
    m_clock->OutputStarted(m_rate, m_output->LatencyFrames());
    m_output->Start();
    return S_OK;
}

void AudioRenderer::OnDeactivate() {
    m_output.reset();  // no pull runs after this
    m_clock->OutputStopped();
    {
        std::lock_guard lock(m_lock);
        m_queue.clear();
        m_queuedFrames = 0;
    }
    RendererBase::OnDeactivate();
}

// --- streaming ---

HRESULT AudioRenderer::OnReceive(IMediaSample* sample) {
    BYTE* data = nullptr;
    const LONG length = sample->GetActualDataLength();
    if (FAILED(sample->GetPointer(&data)) || data == nullptr) return E_POINTER;
    const int frames = length / (m_channels * 2);
    if (frames <= 0) return S_OK;

    std::unique_lock lock(m_lock);
    m_changed.wait(lock,
                   [&] { return FramesToTime(m_queuedFrames) < kQueuedSound || !Input().IsAccepting(); });
    if (!Input().IsAccepting()) return VFW_E_WRONG_STATE;

    Chunk chunk;
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    chunk.start = SUCCEEDED(sample->GetTime(&start, &stop)) ? InStreamTime(start) : m_queuedEnd;
    chunk.samples = reinterpret_cast<const std::int16_t*>(data);
    chunk.frames = frames;
    const REFERENCE_TIME end = chunk.start + FramesToTime(frames);
    // Decoded on the way to a seek's target, before the segment starts: not part of what is heard.
    if (end <= 0) return S_OK;
    chunk.sample = ComPtr<IMediaSample>(sample);
    m_queue.push_back(std::move(chunk));
    m_queuedFrames += frames;
    m_queuedEnd = std::max(m_queuedEnd, end);
    SetReady();
    return S_OK;
}

void AudioRenderer::OnBeginFlush() {
    m_queue.clear();
    m_queuedFrames = 0;
    m_queuedEnd = 0;
    m_continuous = false;
}

void AudioRenderer::Fill(std::int16_t* out, int frames) {
    const REFERENCE_TIME heardAt = m_clock->OutputPulled(frames);
    int written = 0;
    {
        std::lock_guard lock(m_lock);
        if (IsRunning()) {
            const REFERENCE_TIME at = heardAt - RunStart();  // stream time of the first frame pulled
            written = TakeDueSound(out, frames, at);
            if (EndOfStreamSeen() && m_queue.empty() && at >= m_queuedEnd) Complete();
        } else {
            m_continuous = false;
        }
        m_changed.notify_all();  // room for more
    }
    std::fill(out + static_cast<std::ptrdiff_t>(written) * m_channels,
              out + static_cast<std::ptrdiff_t>(frames) * m_channels, std::int16_t{0});
}

int AudioRenderer::TakeDueSound(std::int16_t* out, int frames, REFERENCE_TIME at) {
    int written = 0;
    while (written < frames && !m_queue.empty()) {
        Chunk& head = m_queue.front();
        const REFERENCE_TIME headAt = head.start + FramesToTime(head.played);
        const REFERENCE_TIME wanted = at + FramesToTime(written);
        // Sound that follows without a gap keeps playing unless it drifted off by more than the
        // tolerance; anything else is placed exactly.
        const REFERENCE_TIME tolerance = m_continuous ? kSyncTolerance : FramesToTime(1);
        const REFERENCE_TIME offset = headAt - wanted;
        if (offset < -tolerance) {  // late: skip what is already past
            const long long late = std::min<long long>(TimeToFrames(-offset), head.frames - head.played);
            head.played += static_cast<int>(std::max<long long>(late, 1));
        } else if (offset > tolerance) {  // early: silence until its time
            const long long gap = std::min<long long>(TimeToFrames(offset), frames - written);
            const int silent = static_cast<int>(std::max<long long>(gap, 1));
            std::fill(out + static_cast<std::ptrdiff_t>(written) * m_channels,
                      out + static_cast<std::ptrdiff_t>(written + silent) * m_channels, std::int16_t{0});
            written += silent;
            m_continuous = false;
            continue;
        } else {
            const int count = std::min(frames - written, head.frames - head.played);
            std::memcpy(out + static_cast<std::ptrdiff_t>(written) * m_channels,
                        head.samples + static_cast<std::ptrdiff_t>(head.played) * m_channels,
                        static_cast<std::size_t>(count) * static_cast<std::size_t>(m_channels) *
                            sizeof(std::int16_t));
            written += count;
            head.played += count;
            m_continuous = true;
        }
        if (head.played >= head.frames) {
            m_queuedFrames -= head.frames;
            m_queue.pop_front();
        }
    }
    if (written < frames) m_continuous = false;  // ran dry: what comes next is placed exactly
    return written;
}

void RegisterAudioRenderer() {
    RegisterClass(CLSID_AudioRenderer,
                  [] { return static_cast<IUnknown*>(static_cast<IBaseFilter*>(new AudioRenderer)); });
    RegisterRenderer({CLSID_AudioRenderer, u"Audio Renderer", MERIT_PREFERRED,
                      [](const AM_MEDIA_TYPE& type) { return type.majortype == MEDIATYPE_Audio; }});
}

}  // namespace media
