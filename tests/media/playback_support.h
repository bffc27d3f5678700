#pragma once

// For the playback tests: a video surface that records every picture it is given, and a playback
// graph built by RenderFile on a sample, with its interfaces and renderers at hand.
//
// The surface reads the picture number that indexed_10s.mpg draws into every picture (8 bars,
// bit 0 leftmost, white for 1), and asks the test's position source where playback stands at
// the moment the picture arrives.

#include <array>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "media/api/class_registry.h"
#include "media/api/interfaces.h"
#include "media/api/uuids.h"
#include "media/api/video_surface.h"
#include "media/com/com_ptr.h"
#include "media/com/wide_text.h"
#include "support/samples_dir.h"

namespace mediatest {

struct Presentation {
    int index = -1;  // the picture number drawn in it, -1 when the bars cannot be read
    int width = 0;
    int height = 0;
    REFERENCE_TIME position = 0;  // from the position source, when one is set
    std::chrono::steady_clock::time_point at;
    bool anyLight = false;                       // some pixel is not black
    std::array<std::array<int, 3>, 16> cells{};  // R, G, B amid each cell of a 4 x 4 grid, row by row
};

class RecordingSurface final : public IVideoSurface {
public:
    // Called on the renderer's thread for each picture.
    void SetPositionSource(std::function<REFERENCE_TIME()> source) {
        std::lock_guard lock(m_lock);
        m_positionSource = std::move(source);
    }

    void PresentPicture(const std::uint8_t* pixels, int width, int height, int stride) override {
        Presentation p;
        p.at = std::chrono::steady_clock::now();
        p.width = width;
        p.height = height;
        p.index = ReadIndex(pixels, width, height, stride);
        for (std::size_t cell = 0; cell < p.cells.size(); ++cell) {
            const int x = static_cast<int>(cell % 4 * 2 + 1) * width / 8;
            const int y = static_cast<int>(cell / 4 * 2 + 1) * height / 8;
            const std::uint8_t* px = pixels + static_cast<std::ptrdiff_t>(y) * stride + x * 4;
            p.cells[cell] = {px[2], px[1], px[0]};
        }
        for (int y = 0; y < height && !p.anyLight; y += 7) {
            for (int x = 0; x < width && !p.anyLight; x += 7) {
                const std::uint8_t* px = pixels + static_cast<std::ptrdiff_t>(y) * stride + x * 4;
                p.anyLight = px[0] > 40 || px[1] > 40 || px[2] > 40;
            }
        }
        std::lock_guard lock(m_lock);
        if (m_positionSource) p.position = m_positionSource();
        m_presentations.push_back(p);
        m_changed.notify_all();
    }
    void SetVideoRectangle(LONG left, LONG top, LONG width, LONG height) override {
        std::lock_guard lock(m_lock);
        m_rectangle = {left, top, left + width, top + height};
    }
    void SetVideoVisible(bool visible) override {
        std::lock_guard lock(m_lock);
        m_visible = visible;
    }

    [[nodiscard]] std::vector<Presentation> Presentations() const {
        std::lock_guard lock(m_lock);
        return m_presentations;
    }
    [[nodiscard]] std::size_t Count() const {
        std::lock_guard lock(m_lock);
        return m_presentations.size();
    }
    [[nodiscard]] RECT Rectangle() const {
        std::lock_guard lock(m_lock);
        return m_rectangle;
    }
    [[nodiscard]] bool Visible() const {
        std::lock_guard lock(m_lock);
        return m_visible;
    }
    // Waits until at least count pictures arrived.
    [[nodiscard]] bool WaitForCount(std::size_t count, std::chrono::milliseconds timeout) {
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(lock, timeout, [&] { return m_presentations.size() >= count; });
    }

    // The number indexed_10s.mpg draws: bar k (of 8) white when bit k is set.
    static int ReadIndex(const std::uint8_t* pixels, int width, int height, int stride) {
        int index = 0;
        const int y = height / 2;
        for (int bit = 0; bit < 8; ++bit) {
            const int x = (2 * bit + 1) * width / 16;
            const std::uint8_t* px = pixels + static_cast<std::ptrdiff_t>(y) * stride + x * 4;
            const int light = (px[0] + px[1] + px[2]) / 3;
            if (light > 90 && light < 170) return -1;  // neither bar colour: not an indexed picture
            if (light >= 170) index |= 1 << bit;
        }
        return index;
    }

private:
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::function<REFERENCE_TIME()> m_positionSource;
    std::vector<Presentation> m_presentations;
    RECT m_rectangle{};
    bool m_visible = false;
};

// A playback graph for a sample, as the preview builds it.
struct PlaybackGraph {
    media::ComPtr<IGraphBuilder> graph;
    HRESULT rendered = E_FAIL;
    media::ComPtr<IMediaControl> control;
    media::ComPtr<IMediaSeeking> seeking;
    media::ComPtr<IMediaEvent> events;

    explicit PlaybackGraph(const std::string& sample) {
        CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_ALL, IGraphBuilder::iid, graph.ReceiveVoid());
        const std::u16string path = media::ToUtf16(testsupport::SamplePath(sample).string());
        rendered = graph->RenderFile(path.c_str(), nullptr);
        control = graph.As<IMediaControl>();
        seeking = graph.As<IMediaSeeking>();
        events = graph.As<IMediaEvent>();
    }
    ~PlaybackGraph() {
        if (control) control->Stop();
    }

    // The graph's first filter of class clsid, or empty.
    [[nodiscard]] media::ComPtr<IBaseFilter> Find(const CLSID& clsid) const {
        media::ComPtr<IEnumFilters> filters;
        graph->EnumFilters(filters.Receive());
        IBaseFilter* filter = nullptr;
        ULONG fetched = 0;
        while (filters->Next(1, &filter, &fetched) == S_OK && fetched == 1) {
            auto held = media::ComPtr<IBaseFilter>::Adopt(filter);
            CLSID found = GUID_NULL;
            held->GetClassID(&found);
            if (found == clsid) return held;
        }
        return {};
    }
    [[nodiscard]] int FilterCount() const {
        media::ComPtr<IEnumFilters> filters;
        graph->EnumFilters(filters.Receive());
        IBaseFilter* filter = nullptr;
        ULONG fetched = 0;
        int count = 0;
        while (filters->Next(1, &filter, &fetched) == S_OK && fetched == 1) {
            filter->Release();
            ++count;
        }
        return count;
    }

    // Where the sound stands: the audio renderer's position.
    [[nodiscard]] std::function<REFERENCE_TIME()> SoundPosition() const {
        media::ComPtr<IMediaSeeking> sound = Find(CLSID_AudioRenderer).As<IMediaSeeking>();
        return [sound] {
            LONGLONG position = -1;
            if (sound) sound->GetCurrentPosition(&position);
            return position;
        };
    }

    // Waits for EC_COMPLETE (or an abort); returns the event code, 0 when none came in time.
    [[nodiscard]] LONG WaitForEnd(std::chrono::milliseconds timeout) const {
        LONG code = 0;
        events->WaitForCompletion(static_cast<LONG>(timeout.count()), &code);
        return code;
    }
};

}  // namespace mediatest
