#pragma once

// The video renderer: uncompressed pictures in, each held until its time on the graph's clock
// and then handed, as a finished top-down RGB32 picture, to the video surface named by the owner
// set through IVideoWindow (see video_surface.h). Pictures whose pixels are not square are
// widened or narrowed to square ones, so that the surface shows them at their display aspect.
//
// - Paused: the first picture after leaving Stopped or after a flush is shown at once (pre-roll),
//   so a paused graph shows where it stands; the pictures after it wait for Run.
// - Running: a picture is shown when its time comes. One that is already more than
//   kLateTolerance late is dropped, never shown late, and counted (IQualProp).
// - After the end of the stream the last picture stays on the surface, and EC_COMPLETE follows
//   once the last picture's time is over.
//
// Pictures wait in a short queue; a thread of the renderer's own shows them, so that the thread
// delivering them (the splitter's, which also feeds the sound) never waits for a picture's time,
// only for room in the queue. Pictures are converted to RGB32 just before their time, and only
// when they are going to be shown.

#include <deque>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <vector>

#include "media/api/video_surface.h"
#include "media/ffmpeg/codec_media_type.h"
#include "media/filters/renderer_base.h"
#include "media/filters/video_picture_shaper.h"
#include "media/filters/video_quality.h"

namespace media {

class VideoRenderer final : public RendererBase, public IVideoWindow, public IQualProp {
public:
    // A picture later than this on the clock is dropped.
    static constexpr REFERENCE_TIME kLateTolerance = 250'000;  // 25 ms
    // Pictures held ahead of their time.
    static constexpr std::size_t kQueuedPictures = 8;

    VideoRenderer();
    ~VideoRenderer() override;

    HRESULT QueryInterface(REFIID riid, void** object) override {
        return RendererBase::QueryInterface(riid, object);
    }
    ULONG AddRef() override { return RendererBase::AddRef(); }
    ULONG Release() override { return RendererBase::Release(); }

    // IVideoWindow (application thread; video_renderer_window.cpp). After put_Owner returns, no picture
    // reaches the surface that was the owner before.
    HRESULT put_Owner(LONG_PTR owner) override;
    HRESULT get_Owner(LONG_PTR* owner) override;
    HRESULT put_WindowStyle(LONG style) override;
    HRESULT get_WindowStyle(LONG* style) override;
    HRESULT SetWindowPosition(LONG left, LONG top, LONG width, LONG height) override;
    HRESULT GetWindowPosition(LONG* left, LONG* top, LONG* width, LONG* height) override;
    HRESULT put_Visible(LONG visible) override;
    HRESULT get_Visible(LONG* visible) override;

    // IQualProp. MT safe.
    HRESULT get_FramesDroppedInRenderer(int* frames) override;
    HRESULT get_FramesDrawn(int* frames) override;
    HRESULT get_AvgFrameRate(int* rate) override;
    HRESULT get_Jitter(int* jitter) override;
    HRESULT get_AvgSyncOffset(int* offset) override;
    HRESULT get_DevSyncOffset(int* deviation) override;

protected:
    void* FindExtraInterface(REFIID riid) override;

    // Uncompressed video of a layout the converter knows.
    HRESULT CheckInputType(const AM_MEDIA_TYPE& type) override;
    HRESULT OnInputConnected() override;
    void OnInputDisconnected() override;

    HRESULT OnReceive(IMediaSample* sample) override;
    void OnEndOfStream() override;
    void OnBeginFlush() override;

    HRESULT OnActivate() override;
    void OnDeactivate() override;

private:
    struct Picture {
        ComPtr<IMediaSample> sample;
        REFERENCE_TIME start = 0;  // stream time
        REFERENCE_TIME stop = 0;   // stream time; start + one frame when the sample has none
    };

    // The thread that shows pictures.
    void ShowPictures(std::stop_token stop);
    // Waits on m_changed until `until` (stream time) or until something changes. m_lock held.
    void WaitForStreamTime(std::unique_lock<std::mutex>& lock, std::stop_token stop, REFERENCE_TIME until);
    // Hands the picture to the surface and counts it. `offset` is how late it is (stream time).
    void Show(const std::uint8_t* pixels, REFERENCE_TIME offset);
    // One IQualProp figure.
    HRESULT Report(int* value, int VideoQuality::*figure) const;

    PictureShaper m_shaper;  // set up on the application thread, stopped; used by the showing thread

    // Guarded by m_lock.
    std::deque<Picture> m_queue;
    bool m_prerollShown = false;
    REFERENCE_TIME m_lastStop = 0;  // stream time at which the last picture's time is over

    // The surface and the window settings, guarded by m_surfaceLock (taken after m_lock, never
    // before it).
    std::mutex m_surfaceLock;
    LONG_PTR m_owner = 0;
    LONG m_style = 0;
    LONG m_left = 0;
    LONG m_top = 0;
    LONG m_width = 0;
    LONG m_height = 0;
    bool m_visible = true;

    VideoQualityStatistics m_quality;

    std::jthread m_thread;  // last: joined before the rest goes
};

}  // namespace media
