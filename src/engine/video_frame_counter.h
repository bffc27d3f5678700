#pragma once

// VideoFrameCounter: counts the video frames that a conversion job hands to its compressor
// (ConversionJob::WatchVideoFrames), so that a caller can tell how fast the job goes. MT safe:
// the count grows on a streaming thread and is read on any other.

#include <atomic>

#include "media/api/com_object.h"
#include "media/api/interfaces.h"

class VideoFrameCounter final : public media::ComObject<ISampleGrabberCB> {
public:
    // A new counter at 0 with one reference, the caller's (transfer full: hold it with
    // InterfaceRef::Adopt).
    [[nodiscard]] static VideoFrameCounter* Create() { return new VideoFrameCounter; }

    // One more frame; the frame itself is not touched. Streaming thread.
    HRESULT SampleCB(double, IMediaSample*) override { return Count(); }
    HRESULT BufferCB(double, BYTE*, LONG) override { return Count(); }

    [[nodiscard]] long long Frames() const { return m_frames.load(std::memory_order_relaxed); }

private:
    VideoFrameCounter() = default;

    HRESULT Count() {
        m_frames.fetch_add(1, std::memory_order_relaxed);
        return S_OK;
    }

    std::atomic<long long> m_frames{0};
};
