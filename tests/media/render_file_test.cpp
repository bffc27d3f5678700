// RenderFile and Render: what a playback graph is made of, the partial-render codes, and files
// that cannot be played.

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "media/filters/audio_output.h"
#include "playback_support.h"

using namespace std::chrono_literals;
using media::ComPtr;
using mediatest::PlaybackGraph;

namespace {

class RenderFileTest : public ::testing::Test {
protected:
    void SetUp() override { media::UseNullAudioOutputOnly(true); }
    void TearDown() override { media::UseNullAudioOutputOnly(false); }
};

TEST_F(RenderFileTest, BuildsSourceSplitterDecodersAndRenderers) {
    PlaybackGraph playback("mpeg1_mp2.mpg");
    ASSERT_EQ(playback.rendered, S_OK);
    for (const CLSID& clsid : {CLSID_AsyncReader, CLSID_MediaSplitter, CLSID_VideoDecoder, CLSID_AudioDecoder,
                               CLSID_VideoRenderer, CLSID_AudioRenderer}) {
        EXPECT_TRUE(playback.Find(clsid));
    }
    // The decoders' output goes straight to the renderers: no converter in between.
    EXPECT_FALSE(playback.Find(CLSID_Colour));
    EXPECT_EQ(playback.FilterCount(), 6);
    DWORD capabilities = 0;
    ASSERT_EQ(playback.seeking->GetCapabilities(&capabilities), S_OK);
    EXPECT_TRUE(capabilities & AM_SEEKING_CanSeekAbsolute);
}

TEST_F(RenderFileTest, PcmSoundNeedsNoDecoder) {
    PlaybackGraph playback("mjpeg_pcm.avi");
    ASSERT_EQ(playback.rendered, S_OK);
    EXPECT_FALSE(playback.Find(CLSID_AudioDecoder));
    EXPECT_TRUE(playback.Find(CLSID_AudioRenderer));
    // Big-endian PCM comes out of the splitter as little-endian 16-bit: no decoder either.
    PlaybackGraph bigEndian("pcm_be.mov");
    ASSERT_EQ(bigEndian.rendered, S_OK);
    EXPECT_FALSE(bigEndian.Find(CLSID_AudioDecoder));
}

TEST_F(RenderFileTest, AnUndecodableVideoStreamLeavesTheSoundPlayingAndSaysSo) {
    PlaybackGraph playback("undecodable_video.avi");
    EXPECT_EQ(playback.rendered, VFW_S_VIDEO_NOT_RENDERED);
    EXPECT_TRUE(playback.Find(CLSID_AudioRenderer));
    EXPECT_FALSE(playback.Find(CLSID_VideoRenderer));
    EXPECT_FALSE(playback.Find(CLSID_VideoDecoder)) << "a failed attempt left a filter behind";
    ComPtr<IVideoWindow> window;
    EXPECT_EQ(playback.graph->QueryInterface(IVideoWindow::iid, window.ReceiveVoid()), E_NOINTERFACE);
    ASSERT_EQ(playback.control->Run(), S_OK);
    EXPECT_EQ(playback.WaitForEnd(10s), EC_COMPLETE);
}

TEST_F(RenderFileTest, FilesWithNothingToPlayFailAndLeaveTheGraphEmpty) {
    for (const char* sample : {"not_media.avi", "empty.mpg", "no_such_file.mpg"}) {
        SCOPED_TRACE(sample);
        PlaybackGraph playback(sample);
        EXPECT_TRUE(FAILED(playback.rendered));
        EXPECT_EQ(playback.FilterCount(), 0);
        ComPtr<IVideoWindow> window;
        EXPECT_EQ(playback.graph->QueryInterface(IVideoWindow::iid, window.ReceiveVoid()), E_NOINTERFACE);
    }
}

TEST_F(RenderFileTest, RenderRefusesAConnectedPinAndRendersAFreeOne) {
    ComPtr<IGraphBuilder> graph;
    ASSERT_EQ(
        CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_ALL, IGraphBuilder::iid, graph.ReceiveVoid()),
        S_OK);
    const std::u16string path = media::ToUtf16(testsupport::SamplePath("video_only.avi").string());
    ComPtr<IBaseFilter> source;
    ASSERT_EQ(graph->AddSourceFilter(path.c_str(), u"Source", source.Receive()), S_OK);
    ComPtr<IEnumPins> pins;
    source->EnumPins(pins.Receive());
    IPin* raw = nullptr;
    ULONG fetched = 0;
    ASSERT_EQ(pins->Next(1, &raw, &fetched), S_OK);
    ComPtr<IPin> output = ComPtr<IPin>::Adopt(raw);
    EXPECT_EQ(graph->Render(nullptr), E_POINTER);
    ASSERT_EQ(graph->Render(output.Get()), S_OK);
    EXPECT_EQ(graph->Render(output.Get()), VFW_E_ALREADY_CONNECTED);
}

TEST_F(RenderFileTest, VideoWindowReachesTheSurfaceThroughTheGraph) {
    PlaybackGraph playback("video_only.avi");
    ASSERT_EQ(playback.rendered, S_OK);
    ComPtr<IVideoWindow> window = playback.graph.As<IVideoWindow>();
    ASSERT_TRUE(window);
    mediatest::RecordingSurface surface;
    ASSERT_EQ(window->put_Owner(VideoSurfaceHandle(&surface)), S_OK);
    LONG_PTR owner = 0;
    EXPECT_EQ(window->get_Owner(&owner), S_OK);
    EXPECT_EQ(owner, VideoSurfaceHandle(&surface));
    EXPECT_EQ(window->put_WindowStyle(WS_CHILD), S_OK);
    LONG style = 0;
    EXPECT_EQ(window->get_WindowStyle(&style), S_OK);
    EXPECT_EQ(style, WS_CHILD);
    EXPECT_EQ(window->SetWindowPosition(4, 6, 200, 150), S_OK);
    EXPECT_EQ(surface.Rectangle().left, 4);
    EXPECT_EQ(surface.Rectangle().bottom, 156);
    EXPECT_EQ(window->SetWindowPosition(0, 0, -1, 10), E_INVALIDARG);
    EXPECT_TRUE(surface.Visible());
    EXPECT_EQ(window->put_Visible(OAFALSE), S_OK);
    EXPECT_FALSE(surface.Visible());
    EXPECT_EQ(window->put_Visible(5), E_INVALIDARG);

    // Detached, the surface gets nothing more.
    ASSERT_EQ(playback.control->Pause(), S_OK);
    ASSERT_TRUE(surface.WaitForCount(1, 5s));
    ASSERT_EQ(window->put_Owner(0), S_OK);
    const std::size_t shown = surface.Count();
    ASSERT_EQ(playback.control->Run(), S_OK);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(surface.Count(), shown);
}

TEST_F(RenderFileTest, AGraphWithoutClockShowsEveryPictureAsFastAsItCan) {
    PlaybackGraph playback("video_only.avi");
    ASSERT_EQ(playback.rendered, S_OK);
    ASSERT_EQ(playback.graph.As<IMediaFilter>()->SetSyncSource(nullptr), S_OK);
    mediatest::RecordingSurface surface;
    ASSERT_EQ(playback.graph.As<IVideoWindow>()->put_Owner(VideoSurfaceHandle(&surface)), S_OK);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(playback.control->Run(), S_OK);
    EXPECT_EQ(playback.WaitForEnd(10s), EC_COMPLETE);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s)
        << "a clock-free graph waited for picture times";
    EXPECT_EQ(surface.Count(), 75u);
}

}  // namespace
