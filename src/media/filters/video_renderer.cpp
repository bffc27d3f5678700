#include "media/filters/video_renderer.h"

#include <algorithm>
#include <chrono>
#include <cmath>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/mathematics.h>
}

#include "media/api/class_registry.h"
#include "media/api/uuids.h"
#include "media/graph/filter_registry.h"
#include "media/registered_classes.h"

namespace media {
namespace {

// A picture this little early is shown now: waking for it would cost more than it gains.
constexpr REFERENCE_TIME kEarlyTolerance = 10'000;  // 1 ms
// The longest single wait for a picture's time. The audio clock may run a little off the system
// clock that the wait is measured on, so a long wait is cut and the clock read again.
constexpr REFERENCE_TIME kLongestWait = 500'000;  // 50 ms
// The length of a picture whose sample says nothing about it.
constexpr REFERENCE_TIME kDefaultFrameTime = 400'000;  // 40 ms

}  // namespace

VideoRenderer::VideoRenderer() : RendererBase(CLSID_VideoRenderer) {}

VideoRenderer::~VideoRenderer() {
    // Normally the graph stopped the renderer already; a filter released while active still
    // joins its thread before its members go.
    if (m_thread.joinable()) {
        {
            std::lock_guard lock(m_lock);
            m_thread.request_stop();
            m_changed.notify_all();
        }
        m_thread.join();
    }
}

void* VideoRenderer::FindExtraInterface(REFIID riid) {
    if (riid == IVideoWindow::iid) return static_cast<IVideoWindow*>(this);
    if (riid == IQualProp::iid) return static_cast<IQualProp*>(this);
    return RendererBase::FindExtraInterface(riid);
}

// --- negotiation ---

HRESULT VideoRenderer::CheckInputType(const AM_MEDIA_TYPE& type) {
    const RawVideoLayout layout = RawVideoLayoutOf(type);
    if (layout.format == AV_PIX_FMT_NONE || layout.imageSize <= 0) return VFW_E_TYPE_NOT_ACCEPTED;
    // A size whose picture would not fit in memory is a damaged header.
    if (av_image_check_size(static_cast<unsigned>(layout.width), static_cast<unsigned>(layout.height), 0,
                            nullptr) < 0) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    return S_OK;
}

HRESULT VideoRenderer::OnInputConnected() {
    m_shaper.SetInput(RawVideoLayoutOf(InputType()));
    return S_OK;
}

void VideoRenderer::OnInputDisconnected() {
    m_shaper.Clear();
}

// --- state ---

HRESULT VideoRenderer::OnActivate() {
    const HRESULT hr = RendererBase::OnActivate();
    if (FAILED(hr)) return hr;
    {
        std::lock_guard lock(m_lock);
        m_queue.clear();
        m_prerollShown = false;
        m_lastStop = 0;
    }
    m_quality.Reset();
    m_thread = std::jthread([this](std::stop_token stop) { ShowPictures(stop); });
    return S_OK;
}

void VideoRenderer::OnDeactivate() {
    if (m_thread.joinable()) {
        {
            std::lock_guard lock(m_lock);
            m_thread.request_stop();
            m_changed.notify_all();
        }
        m_thread.join();
        m_thread = std::jthread();
    }
    {
        std::lock_guard lock(m_lock);
        m_queue.clear();
    }
    m_shaper.Reset();
    RendererBase::OnDeactivate();
}

// --- streaming ---

HRESULT VideoRenderer::OnReceive(IMediaSample* sample) {
    std::unique_lock lock(m_lock);
    m_changed.wait(lock, [&] { return m_queue.size() < kQueuedPictures || !Input().IsAccepting(); });
    if (!Input().IsAccepting()) return VFW_E_WRONG_STATE;

    Picture picture;
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    const HRESULT timed = sample->GetTime(&start, &stop);
    const REFERENCE_TIME frameTime =
        m_shaper.Shown().frameTime > 0 ? m_shaper.Shown().frameTime : kDefaultFrameTime;
    if (SUCCEEDED(timed)) {
        picture.start = InStreamTime(start);
        picture.stop = timed == S_OK && stop > start ? InStreamTime(stop) : picture.start + frameTime;
    } else {
        picture.start = m_lastStop;  // no time: right after the picture before it
        picture.stop = picture.start + frameTime;
    }
    // Decoded on the way to a seek's target, before the segment starts: not part of what is shown.
    if (picture.stop <= 0) return S_OK;
    picture.sample = ComPtr<IMediaSample>(sample);
    m_lastStop = std::max(m_lastStop, picture.stop);
    m_queue.push_back(std::move(picture));
    m_changed.notify_all();
    return S_OK;
}

void VideoRenderer::OnEndOfStream() {
    m_changed.notify_all();
}

void VideoRenderer::OnBeginFlush() {
    m_queue.clear();
    m_prerollShown = false;
    m_lastStop = 0;
}

void VideoRenderer::WaitForStreamTime(std::unique_lock<std::mutex>& lock, std::stop_token stop,
                                      REFERENCE_TIME until) {
    if (stop.stop_requested()) return;
    const REFERENCE_TIME wait = std::min(until - StreamTimeNow(), kLongestWait);
    if (wait <= 0) return;
    m_changed.wait_for(lock, std::chrono::microseconds(wait / 10));
}

void VideoRenderer::ShowPictures(std::stop_token stop) {
    std::unique_lock lock(m_lock);
    std::optional<Picture> current;  // taken off the queue and converted, waiting for its time
    const std::uint8_t* pixels = nullptr;
    std::uint64_t flushes = 0;  // the flush count when current was taken

    while (!stop.stop_requested()) {
        if (current && flushes != FlushCount()) current.reset();

        if (!current) {
            if (m_queue.empty()) {
                if (IsRunning() && EndOfStreamSeen()) {
                    // The last picture stays; the stream is complete once its time is over.
                    if (RunClock() != nullptr && StreamTimeNow() < m_lastStop) {
                        WaitForStreamTime(lock, stop, m_lastStop);
                        continue;
                    }
                    Complete();
                }
                m_changed.wait(lock);
                continue;
            }
            const bool preroll = !IsRunning() && !m_prerollShown;
            if (!IsRunning() && !preroll) {
                m_changed.wait(lock);  // paused, holding what comes next
                continue;
            }
            if (IsRunning() && RunClock() != nullptr &&
                StreamTimeNow() - m_queue.front().start > kLateTolerance) {
                m_queue.pop_front();
                m_changed.notify_all();
                m_quality.CountDropped();
                continue;
            }
            current = std::move(m_queue.front());
            m_queue.pop_front();
            m_changed.notify_all();
            flushes = FlushCount();
            lock.unlock();
            pixels = m_shaper.Shape(*current->sample.Get());
            lock.lock();
            if (pixels == nullptr) {
                current.reset();  // a picture that cannot be converted is skipped
                if (!IsRunning()) SetReady();
            }
            continue;
        }

        if (!IsRunning()) {
            if (m_prerollShown) {
                m_changed.wait(lock);
                continue;
            }
            Show(pixels, 0);
            m_prerollShown = true;
            SetReady();
            current.reset();
            continue;
        }
        if (RunClock() == nullptr) {  // no clock: every picture is due at once
            Show(pixels, 0);
            current.reset();
            continue;
        }
        const REFERENCE_TIME now = StreamTimeNow();
        if (now - current->start > kLateTolerance) {
            m_quality.CountDropped();
            current.reset();
            continue;
        }
        if (current->start - now > kEarlyTolerance) {
            WaitForStreamTime(lock, stop, current->start);
            continue;
        }
        Show(pixels, now - current->start);
        m_prerollShown = true;
        current.reset();
    }
}

void VideoRenderer::Show(const std::uint8_t* pixels, REFERENCE_TIME offset) {
    const RawVideoLayout& shown = m_shaper.Shown();
    {
        std::lock_guard surface(m_surfaceLock);
        if (IVideoSurface* target = VideoSurfaceFromHandle(m_owner))
            target->PresentPicture(pixels, shown.width, shown.height, shown.width * 4);
    }
    std::optional<REFERENCE_TIME> shownAt;
    if (IsRunning() && RunClock() != nullptr) RunClock()->GetTime(&shownAt.emplace());
    m_quality.CountShown(offset, shownAt);
}

// --- IQualProp ---

HRESULT VideoRenderer::Report(int* value, int VideoQuality::*figure) const {
    if (value == nullptr) return E_POINTER;
    *value = m_quality.Figures().*figure;
    return S_OK;
}

HRESULT VideoRenderer::get_FramesDroppedInRenderer(int* frames) {
    return Report(frames, &VideoQuality::dropped);
}
HRESULT VideoRenderer::get_FramesDrawn(int* frames) {
    return Report(frames, &VideoQuality::drawn);
}
HRESULT VideoRenderer::get_AvgFrameRate(int* rate) {
    return Report(rate, &VideoQuality::averageRate);
}
HRESULT VideoRenderer::get_Jitter(int* jitter) {
    return Report(jitter, &VideoQuality::jitter);
}
HRESULT VideoRenderer::get_AvgSyncOffset(int* offset) {
    return Report(offset, &VideoQuality::averageOffset);
}
HRESULT VideoRenderer::get_DevSyncOffset(int* deviation) {
    return Report(deviation, &VideoQuality::offsetDeviation);
}

void RegisterVideoRenderer() {
    RegisterClass(CLSID_VideoRenderer,
                  [] { return static_cast<IUnknown*>(static_cast<IBaseFilter*>(new VideoRenderer)); });
    RegisterRenderer({CLSID_VideoRenderer, u"Video Renderer", MERIT_PREFERRED,
                      [](const AM_MEDIA_TYPE& type) { return type.majortype == MEDIATYPE_Video; }});
}

}  // namespace media
