#pragma once

// VideoFrameCounter: counts the video frames that a conversion job hands to its compressor
// (ConversionJob::WatchVideoFrames), so that a caller can tell how fast the job goes. MT safe:
// the count grows on a streaming thread and is read on any other.

#include <atomic>

#include "media/api/interfaces.h"

class VideoFrameCounter final : public ISampleGrabberCB {
public:
    // A new counter at 0 with one reference, the caller's (transfer full: hold it with
    // InterfaceRef::Adopt).
    [[nodiscard]] static VideoFrameCounter* Create() { return new VideoFrameCounter; }

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    // One more frame; the frame itself is not touched.
    HRESULT SampleCB(double time, IMediaSample* sample) override;
    HRESULT BufferCB(double time, BYTE* buffer, LONG length) override;

    [[nodiscard]] long long Frames() const { return m_frames.load(std::memory_order_relaxed); }

private:
    VideoFrameCounter() = default;
    ~VideoFrameCounter() = default;

    std::atomic<ULONG> m_references{1};
    std::atomic<long long> m_frames{0};
};
