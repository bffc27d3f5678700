// Plays one file through a playback graph, as the preview does, into a surface that keeps a copy
// of each picture (as the window's preview area does), and reports what the video renderer did.
//
//   preview_playback [--null-audio] FILE
//
// Exits non-zero when the file does not render or does not play to its end.

#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "media/api/class_registry.h"
#include "media/api/interfaces.h"
#include "media/api/uuids.h"
#include "media/api/video_surface.h"
#include "media/com/com_ptr.h"
#include "media/com/wide_text.h"
#include "media/filters/audio_output.h"

using media::ComPtr;

namespace {

// Keeps the newest picture, as the preview area does before it paints.
class CopyingSurface final : public IVideoSurface {
public:
    void PresentPicture(const std::uint8_t* pixels, int width, int height, int stride) override {
        std::lock_guard lock(m_lock);
        m_picture.resize(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height));
        std::memcpy(m_picture.data(), pixels, m_picture.size());
        m_width = width;
    }
    void SetVideoRectangle(LONG, LONG, LONG, LONG) override {}
    void SetVideoVisible(bool) override {}

private:
    std::mutex m_lock;
    std::vector<std::uint8_t> m_picture;
    int m_width = 0;
};

int Quality(IQualProp* quality, HRESULT (IQualProp::*get)(int*)) {
    int value = 0;
    if (quality) (quality->*get)(&value);
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    int arg = 1;
    if (arg < argc && std::strcmp(argv[arg], "--null-audio") == 0) {
        media::UseNullAudioOutputOnly(true);
        ++arg;
    }
    if (arg + 1 != argc) {
        std::fprintf(stderr, "usage: %s [--null-audio] FILE\n", argv[0]);
        return 2;
    }
    ComPtr<IGraphBuilder> graph;
    if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_ALL, IGraphBuilder::iid,
                                graph.ReceiveVoid()))) {
        return 1;
    }
    const std::u16string path = media::ToUtf16(argv[arg]);
    const HRESULT rendered = graph->RenderFile(path.c_str(), nullptr);
    if (FAILED(rendered)) {
        std::fprintf(stderr, "preview_playback: cannot render %s (0x%08X)\n", argv[arg],
                     static_cast<unsigned>(rendered));
        return 1;
    }
    CopyingSurface surface;
    ComPtr<IVideoWindow> window = graph.As<IVideoWindow>();
    if (window) {
        window->put_Owner(VideoSurfaceHandle(&surface));
        window->put_WindowStyle(WS_CHILD);
        window->SetWindowPosition(0, 0, 640, 360);
    }
    ComPtr<IMediaControl> control = graph.As<IMediaControl>();
    ComPtr<IMediaEvent> events = graph.As<IMediaEvent>();
    LONGLONG duration = 0;
    graph.As<IMediaSeeking>()->GetDuration(&duration);

    const auto started = std::chrono::steady_clock::now();
    if (FAILED(control->Run())) return 1;
    LONG code = 0;
    events->WaitForCompletion(static_cast<LONG>(duration / 10'000) + 30'000, &code);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    ComPtr<IEnumFilters> filters;
    graph->EnumFilters(filters.Receive());
    ComPtr<IQualProp> quality;
    IBaseFilter* filter = nullptr;
    ULONG fetched = 0;
    while (!quality && filters->Next(1, &filter, &fetched) == S_OK && fetched == 1) {
        quality = ComPtr<IBaseFilter>::Adopt(filter).As<IQualProp>();
    }
    control->Stop();

    std::printf("file: %s (%.2f s)\n", argv[arg], static_cast<double>(duration) / 1e7);
    std::printf("played: %.2f s, %s\n", seconds, code == EC_COMPLETE ? "to the end" : "NOT to the end");
    std::printf("pictures drawn: %d\n", Quality(quality.Get(), &IQualProp::get_FramesDrawn));
    std::printf("pictures dropped: %d\n", Quality(quality.Get(), &IQualProp::get_FramesDroppedInRenderer));
    std::printf("frame rate: %.2f per second\n",
                Quality(quality.Get(), &IQualProp::get_AvgFrameRate) / 100.0);
    std::printf("lateness: mean %d ms, deviation %d ms; interval jitter %d ms\n",
                Quality(quality.Get(), &IQualProp::get_AvgSyncOffset),
                Quality(quality.Get(), &IQualProp::get_DevSyncOffset),
                Quality(quality.Get(), &IQualProp::get_Jitter));
    return code == EC_COMPLETE ? 0 : 1;
}
