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

constexpr double ToMilliseconds(REFERENCE_TIME t) {
    return static_cast<double>(t) / 10'000.0;
}

int StandardDeviation(double sum, double squares, int count) {
    if (count < 2) return 0;
    const double mean = sum / count;
    return static_cast<int>(std::lround(std::sqrt(std::max(squares / count - mean * mean, 0.0))));
}

// The width of a picture shown at its display aspect: pixels that are not square are widened or
// narrowed to square ones, the height staying. A pixel more than 8 times wider than high, or the
// other way round, is a damaged header and is shown square.
int ShownWidth(const RawVideoLayout& layout) {
    const AVRational aspect = layout.sampleAspect;
    if (!IsAnamorphic(aspect) || av_cmp_q(aspect, AVRational{8, 1}) > 0 ||
        av_cmp_q(aspect, AVRational{1, 8}) < 0) {
        return layout.width;
    }
    const auto width = static_cast<int>(av_rescale(layout.width, aspect.num, aspect.den));
    const bool fits = width > 0 && av_image_check_size(static_cast<unsigned>(width),
                                                       static_cast<unsigned>(layout.height), 0, nullptr) >= 0;
    return fits ? width : layout.width;
}

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
    m_inputLayout = RawVideoLayoutOf(InputType());
    m_shownLayout = RawVideoLayout{};
    m_shownLayout.format = AV_PIX_FMT_BGRA;
    m_shownLayout.width = ShownWidth(m_inputLayout);
    m_shownLayout.height = m_inputLayout.height;
    m_shownLayout.bottomUp = false;
    m_shownLayout.imageSize = m_shownLayout.width * 4 * m_shownLayout.height;
    m_shownLayout.frameTime = m_inputLayout.frameTime;
    return S_OK;
}

void VideoRenderer::OnInputDisconnected() {
    m_inputLayout = RawVideoLayout{};
    m_shownLayout = RawVideoLayout{};
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
    {
        std::lock_guard stats(m_statsLock);
        m_drawn = m_dropped = m_offsetCount = m_runningShown = 0;
        m_offsetSum = m_offsetSquares = m_intervalSum = m_intervalSquares = 0;
    }
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
    m_scaler.Reset();
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
        m_inputLayout.frameTime > 0 ? m_inputLayout.frameTime : kDefaultFrameTime;
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

const std::uint8_t* VideoRenderer::Convert(IMediaSample& sample) {
    BYTE* data = nullptr;
    if (FAILED(sample.GetPointer(&data)) || data == nullptr) return nullptr;
    // A sample shorter than one picture would have us read past its end.
    if (sample.GetActualDataLength() < m_inputLayout.imageSize) return nullptr;
    if (m_inputLayout.format == AV_PIX_FMT_BGRA && !m_inputLayout.bottomUp &&
        m_inputLayout.width == m_shownLayout.width) {
        return data;
    }

    PicturePlanes source;
    std::uint8_t* planes[4];
    FillPlanes(m_inputLayout, data, planes, source.linesize);
    for (int i = 0; i < 4; ++i) source.data[i] = planes[i];
    source.format = m_inputLayout.format;
    source.width = m_inputLayout.width;
    source.height = m_inputLayout.height;
    m_converted.resize(static_cast<std::size_t>(m_shownLayout.imageSize));
    if (!m_scaler.Scale(source, m_shownLayout, m_converted.data())) return nullptr;
    return m_converted.data();
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
                CountDropped();
                continue;
            }
            current = std::move(m_queue.front());
            m_queue.pop_front();
            m_changed.notify_all();
            flushes = FlushCount();
            lock.unlock();
            pixels = Convert(*current->sample.Get());
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
            CountDropped();
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
    {
        std::lock_guard surface(m_surfaceLock);
        if (IVideoSurface* target = VideoSurfaceFromHandle(m_owner)) {
            target->PresentPicture(pixels, m_shownLayout.width, m_shownLayout.height,
                                   m_shownLayout.width * 4);
        }
    }
    REFERENCE_TIME shownAt = 0;
    if (IsRunning() && RunClock() != nullptr) RunClock()->GetTime(&shownAt);
    std::lock_guard stats(m_statsLock);
    ++m_drawn;
    if (!IsRunning() || RunClock() == nullptr) return;
    const double late = ToMilliseconds(offset);
    m_offsetSum += late;
    m_offsetSquares += late * late;
    ++m_offsetCount;
    if (m_runningShown > 0) {
        const double interval = ToMilliseconds(shownAt - m_lastShown);
        m_intervalSum += interval;
        m_intervalSquares += interval * interval;
    } else {
        m_firstShown = shownAt;
    }
    m_lastShown = shownAt;
    ++m_runningShown;
}

void VideoRenderer::CountDropped() {
    std::lock_guard stats(m_statsLock);
    ++m_dropped;
}

// --- IVideoWindow ---

HRESULT VideoRenderer::put_Owner(LONG_PTR owner) {
    std::lock_guard surface(m_surfaceLock);
    m_owner = owner;
    if (IVideoSurface* target = VideoSurfaceFromHandle(owner)) {
        const bool placed = m_width > 0 && m_height > 0;
        target->SetVideoRectangle(m_left, m_top, placed ? m_width : m_shownLayout.width,
                                  placed ? m_height : m_shownLayout.height);
        target->SetVideoVisible(m_visible);
    }
    return S_OK;
}

HRESULT VideoRenderer::get_Owner(LONG_PTR* owner) {
    if (owner == nullptr) return E_POINTER;
    std::lock_guard surface(m_surfaceLock);
    *owner = m_owner;
    return S_OK;
}

HRESULT VideoRenderer::put_WindowStyle(LONG style) {
    std::lock_guard surface(m_surfaceLock);
    m_style = style;
    return S_OK;
}

HRESULT VideoRenderer::get_WindowStyle(LONG* style) {
    if (style == nullptr) return E_POINTER;
    std::lock_guard surface(m_surfaceLock);
    *style = m_style;
    return S_OK;
}

HRESULT VideoRenderer::SetWindowPosition(LONG left, LONG top, LONG width, LONG height) {
    if (!Input().IsConnected()) return VFW_E_NOT_CONNECTED;
    if (width < 0 || height < 0) return E_INVALIDARG;
    std::lock_guard surface(m_surfaceLock);
    m_left = left;
    m_top = top;
    m_width = width;
    m_height = height;
    if (IVideoSurface* target = VideoSurfaceFromHandle(m_owner))
        target->SetVideoRectangle(left, top, width, height);
    return S_OK;
}

HRESULT VideoRenderer::GetWindowPosition(LONG* left, LONG* top, LONG* width, LONG* height) {
    if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) return E_POINTER;
    std::lock_guard surface(m_surfaceLock);
    *left = m_left;
    *top = m_top;
    *width = m_width;
    *height = m_height;
    return S_OK;
}

HRESULT VideoRenderer::put_Visible(LONG visible) {
    if (visible != OATRUE && visible != OAFALSE) return E_INVALIDARG;
    std::lock_guard surface(m_surfaceLock);
    m_visible = visible == OATRUE;
    if (IVideoSurface* target = VideoSurfaceFromHandle(m_owner)) target->SetVideoVisible(m_visible);
    return S_OK;
}

HRESULT VideoRenderer::get_Visible(LONG* visible) {
    if (visible == nullptr) return E_POINTER;
    std::lock_guard surface(m_surfaceLock);
    *visible = m_visible ? OATRUE : OAFALSE;
    return S_OK;
}

// --- IQualProp ---

HRESULT VideoRenderer::get_FramesDroppedInRenderer(int* frames) {
    if (frames == nullptr) return E_POINTER;
    std::lock_guard stats(m_statsLock);
    *frames = m_dropped;
    return S_OK;
}

HRESULT VideoRenderer::get_FramesDrawn(int* frames) {
    if (frames == nullptr) return E_POINTER;
    std::lock_guard stats(m_statsLock);
    *frames = m_drawn;
    return S_OK;
}

HRESULT VideoRenderer::get_AvgFrameRate(int* rate) {
    if (rate == nullptr) return E_POINTER;
    std::lock_guard stats(m_statsLock);
    const REFERENCE_TIME span = m_lastShown - m_firstShown;
    *rate = m_runningShown > 1 && span > 0
                ? static_cast<int>(
                      std::lround((m_runningShown - 1) * 100.0 * kUnitsPerSecond / static_cast<double>(span)))
                : 0;
    return S_OK;
}

HRESULT VideoRenderer::get_Jitter(int* jitter) {
    if (jitter == nullptr) return E_POINTER;
    std::lock_guard stats(m_statsLock);
    *jitter = StandardDeviation(m_intervalSum, m_intervalSquares, m_runningShown - 1);
    return S_OK;
}

HRESULT VideoRenderer::get_AvgSyncOffset(int* offset) {
    if (offset == nullptr) return E_POINTER;
    std::lock_guard stats(m_statsLock);
    *offset = m_offsetCount > 0 ? static_cast<int>(std::lround(m_offsetSum / m_offsetCount)) : 0;
    return S_OK;
}

HRESULT VideoRenderer::get_DevSyncOffset(int* deviation) {
    if (deviation == nullptr) return E_POINTER;
    std::lock_guard stats(m_statsLock);
    *deviation = StandardDeviation(m_offsetSum, m_offsetSquares, m_offsetCount);
    return S_OK;
}

void RegisterVideoRenderer() {
    RegisterClass(CLSID_VideoRenderer,
                  [] { return static_cast<IUnknown*>(static_cast<IBaseFilter*>(new VideoRenderer)); });
    RegisterRenderer({CLSID_VideoRenderer, u"Video Renderer", MERIT_PREFERRED,
                      [](const AM_MEDIA_TYPE& type) { return type.majortype == MEDIATYPE_Video; }});
}

}  // namespace media
