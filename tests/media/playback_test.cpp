// Playback graphs on real samples: RenderFile, the renderers on the audio clock with the null
// sound output, pre-roll, seeking and stopping, as the preview drives them.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include <gtest/gtest.h>

#include "media/filters/audio_output.h"
#include "playback_support.h"
#include "support/decoded_pictures.h"
#include "support/read_back.h"
#include "support/samples_dir.h"
#include "support/timing_factor.h"

using namespace std::chrono_literals;
using media::ComPtr;
using mediatest::PlaybackGraph;
using mediatest::Presentation;
using mediatest::RecordingSurface;

namespace {

constexpr REFERENCE_TIME kMillisecond = 10'000;

// Each picture's time in the indexed sample, as the splitter counts it: from the earliest start
// of any stream. The pictures are 25 a second from the video's first; their packets' own times
// cannot be used one by one, since some MPEG packets carry none.
std::vector<REFERENCE_TIME> IndexedPictureTimes() {
    const testsupport::MediaSummary summary =
        testsupport::ReadBack(testsupport::SamplePath("indexed_10s.mpg"));
    double zero = summary.Video().firstPts;
    for (const auto& stream : summary.streams) zero = std::min(zero, stream.firstPts);
    const REFERENCE_TIME first = std::llround((summary.Video().firstPts - zero) * 1e7);
    std::vector<REFERENCE_TIME> times;
    for (std::int64_t n = 0; n < summary.Video().packetCount; ++n) times.push_back(first + n * 400'000);
    return times;
}

class PlaybackTest : public ::testing::Test {
protected:
    void SetUp() override { media::UseNullAudioOutputOnly(true); }
    void TearDown() override { media::UseNullAudioOutputOnly(false); }

    // Gives the graph the surface as its owner, as the preview does.
    static void Show(PlaybackGraph& playback, RecordingSurface& surface) {
        ComPtr<IVideoWindow> window = playback.graph.As<IVideoWindow>();
        ASSERT_TRUE(window);
        ASSERT_EQ(window->put_Owner(VideoSurfaceHandle(&surface)), S_OK);
        window->put_WindowStyle(WS_CHILD);
        ASSERT_EQ(window->SetWindowPosition(0, 0, 320, 240), S_OK);
    }

    static int Quality(PlaybackGraph& playback, HRESULT (IQualProp::*get)(int*)) {
        ComPtr<IQualProp> quality = playback.Find(CLSID_VideoRenderer).As<IQualProp>();
        int value = -1;
        if (quality) (quality.Get()->*get)(&value);
        return value;
    }
};

TEST_F(PlaybackTest, TenSecondsWithSoundPlayInTenSecondsEveryPictureOnTheAudioClock) {
    const std::vector<REFERENCE_TIME> due = IndexedPictureTimes();
    ASSERT_EQ(due.size(), 250u);
    PlaybackGraph playback("indexed_10s.mpg");
    ASSERT_EQ(playback.rendered, S_OK);
    ASSERT_TRUE(playback.Find(CLSID_AudioRenderer));
    ASSERT_TRUE(playback.Find(CLSID_VideoRenderer));
    RecordingSurface surface;
    surface.SetPositionSource(playback.SoundPosition());
    Show(playback, surface);

    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(playback.control->Run(), S_OK);
    const LONG code = playback.WaitForEnd(20s);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(code, EC_COMPLETE);
    EXPECT_NEAR(seconds, 10.0, 0.3 * testsupport::TimingFactor());

    // Every picture shown is the right one for where the sound stands, within 40 ms; pictures
    // come in order; and hardly any is missing, even on a busy machine.
    const std::vector<Presentation> shown = surface.Presentations();
    int previous = -1;
    for (const Presentation& p : shown) {
        ASSERT_GE(p.index, 0) << "a picture whose number cannot be read";
        ASSERT_LT(p.index, 250);
        EXPECT_GT(p.index, previous) << "pictures out of order";
        previous = p.index;
        EXPECT_LE(std::llabs(p.position - due[static_cast<std::size_t>(p.index)]), 40 * kMillisecond)
            << "picture " << p.index << " shown at " << p.position / kMillisecond << " ms";
    }
    const int drawn = Quality(playback, &IQualProp::get_FramesDrawn);
    const int dropped = Quality(playback, &IQualProp::get_FramesDroppedInRenderer);
    EXPECT_EQ(static_cast<std::size_t>(drawn), shown.size());
    EXPECT_EQ(drawn + dropped, 250);
    EXPECT_GE(drawn, 225) << dropped << " pictures dropped";
    EXPECT_EQ(shown.back().index, 249) << "the last picture stays";
}

TEST_F(PlaybackTest, StopSeekToStartAndPauseShowPictureZeroEachTime) {
    PlaybackGraph playback("indexed_10s.mpg");
    ASSERT_EQ(playback.rendered, S_OK);
    RecordingSurface surface;
    Show(playback, surface);

    ASSERT_EQ(playback.control->Run(), S_OK);
    ASSERT_TRUE(surface.WaitForCount(10, 5s));
    ASSERT_GT(surface.Presentations().back().index, 0);

    for (int round = 0; round < 2; ++round) {  // the preview's Stop button, twice
        const std::size_t before = surface.Count();
        ASSERT_EQ(playback.control->Stop(), S_OK);
        LONGLONG zero = 0;
        playback.seeking->SetPositions(&zero, AM_SEEKING_AbsolutePositioning, nullptr,
                                       AM_SEEKING_NoPositioning);
        ASSERT_EQ(playback.control->Pause(), S_OK);
        ASSERT_TRUE(surface.WaitForCount(before + 1, 5s)) << "round " << round;
        EXPECT_EQ(surface.Presentations().back().index, 0) << "round " << round;
        std::this_thread::sleep_for(200ms);  // paused: nothing after the first picture
        EXPECT_EQ(surface.Count(), before + 1) << "round " << round;
        OAFilterState state = State_Stopped;
        EXPECT_EQ(playback.control->GetState(1000, &state), S_OK);
        EXPECT_EQ(state, State_Paused);
    }
}

TEST_F(PlaybackTest, SeekWhilePlayingOrPausedShowsThePictureAtTheNewPlaceAndKeepsTime) {
    const std::vector<REFERENCE_TIME> due = IndexedPictureTimes();
    PlaybackGraph playback("indexed_10s.mpg");
    ASSERT_EQ(playback.rendered, S_OK);
    RecordingSurface surface;
    surface.SetPositionSource(playback.SoundPosition());
    Show(playback, surface);
    ASSERT_EQ(playback.control->Run(), S_OK);
    ASSERT_TRUE(surface.WaitForCount(5, 5s));

    // An MPEG program stream has no index: the splitter lands near the target and the decoder
    // starts at the next picture it can decode, so the first picture shown lies within one group
    // of pictures (12) after the target's.
    const auto nearTarget = [](int index, int target) { return index >= target && index <= target + 12; };

    // Running: to 6 s, which is picture 150.
    std::size_t before = surface.Count();
    LONGLONG target = 6 * 10'000'000LL;
    ASSERT_EQ(playback.seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
    ASSERT_TRUE(surface.WaitForCount(before + 15, 5s));
    std::vector<Presentation> shown = surface.Presentations();
    EXPECT_PRED2(nearTarget, shown[before].index, 150);
    for (std::size_t i = before + 1; i < shown.size(); ++i) {
        ASSERT_GE(shown[i].index, 150);
        EXPECT_LE(std::llabs(shown[i].position - due[static_cast<std::size_t>(shown[i].index)]),
                  40 * kMillisecond)
            << "picture " << shown[i].index << " shown at " << shown[i].position / kMillisecond << " ms";
    }
    LONGLONG position = 0;
    ASSERT_EQ(playback.seeking->GetCurrentPosition(&position), S_OK);
    EXPECT_GE(position, target);
    EXPECT_LT(position, target + 20'000'000);

    // Paused, back to 2 s (picture 50): the picture there shows at once, and nothing follows.
    ASSERT_EQ(playback.control->Pause(), S_OK);
    before = surface.Count();
    target = 2 * 10'000'000LL;
    ASSERT_EQ(playback.seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
    ASSERT_TRUE(surface.WaitForCount(before + 1, 5s));
    std::this_thread::sleep_for(200ms);
    shown = surface.Presentations();
    ASSERT_EQ(shown.size(), before + 1);
    EXPECT_PRED2(nearTarget, shown.back().index, 50);
    ASSERT_EQ(playback.seeking->GetCurrentPosition(&position), S_OK);
    EXPECT_EQ(position, target);

    // Running on from there: the sound and the pictures carry on from 2 s.
    ASSERT_EQ(playback.control->Run(), S_OK);
    ASSERT_TRUE(surface.WaitForCount(before + 10, 5s));
    shown = surface.Presentations();
    for (std::size_t i = before + 1; i < shown.size(); ++i) {
        EXPECT_GT(shown[i].index, shown[before].index);
        EXPECT_LE(std::llabs(shown[i].position - due[static_cast<std::size_t>(shown[i].index)]),
                  40 * kMillisecond);
    }
}

TEST_F(PlaybackTest, SoundOnlyFilePlaysToItsEndWithoutPicturesOrVideoWindow) {
    PlaybackGraph playback("audio_only.mpg");
    ASSERT_EQ(playback.rendered, S_OK);
    EXPECT_TRUE(playback.Find(CLSID_AudioRenderer));
    EXPECT_FALSE(playback.Find(CLSID_VideoRenderer));
    ComPtr<IVideoWindow> window;
    EXPECT_EQ(playback.graph->QueryInterface(IVideoWindow::iid, window.ReceiveVoid()), E_NOINTERFACE);
    EXPECT_FALSE(window);
    // Without a video renderer the graph's clock is the sound's.
    ASSERT_EQ(playback.control->Run(), S_OK);
    ComPtr<IReferenceClock> clock;
    ASSERT_EQ(playback.graph.As<IMediaFilter>()->GetSyncSource(clock.Receive()), S_OK);
    ComPtr<IReferenceClock> soundClock = playback.Find(CLSID_AudioRenderer).As<IReferenceClock>();
    EXPECT_EQ(clock.Get(), soundClock.Get());

    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(playback.WaitForEnd(10s), EC_COMPLETE);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_NEAR(seconds, 3.0, 0.3);
    LONG code = 0;
    LONG_PTR p1 = 0;
    LONG_PTR p2 = 0;
    while (playback.events->GetEvent(&code, &p1, &p2, 0) == S_OK) {
        EXPECT_EQ(code, EC_COMPLETE) << "no other event";
        playback.events->FreeEventParams(code, p1, p2);
    }
}

TEST_F(PlaybackTest, SoundIsPlayedSampleForSampleAsTheFileHoldsIt) {
    // mjpeg_pcm.avi carries 16-bit PCM: what the null output hears, between leading and trailing
    // silence, must be the file's samples, none lost, repeated or moved.
    const testsupport::MediaSummary summary = testsupport::ReadBack(testsupport::SamplePath("mjpeg_pcm.avi"));
    const std::vector<std::uint8_t>& bytes = summary.Audio().audioBytes;
    std::vector<std::int16_t> expected(bytes.size() / 2);
    std::memcpy(expected.data(), bytes.data(), expected.size() * 2);

    std::mutex lock;
    std::vector<std::int16_t> heard;
    media::TapNullAudioOutput([&](const std::int16_t* samples, int frames, int channels) {
        std::lock_guard guard(lock);
        heard.insert(heard.end(), samples, samples + static_cast<std::ptrdiff_t>(frames) * channels);
    });
    {
        PlaybackGraph playback("mjpeg_pcm.avi");
        ASSERT_EQ(playback.rendered, S_OK);
        ASSERT_EQ(playback.control->Run(), S_OK);
        EXPECT_EQ(playback.WaitForEnd(10s), EC_COMPLETE);
    }
    media::TapNullAudioOutput({});

    const auto firstSound = [](const std::vector<std::int16_t>& s) {
        return std::find_if(s.begin(), s.end(), [](std::int16_t v) { return v != 0; }) - s.begin();
    };
    const std::ptrdiff_t offset = firstSound(heard) - firstSound(expected);
    ASSERT_GE(offset, 0);
    ASSERT_GE(heard.size(), static_cast<std::size_t>(offset) + expected.size()) << "sound cut short";
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), heard.begin() + offset))
        << "sound changed on the way";
    EXPECT_TRUE(std::all_of(heard.begin() + offset + static_cast<std::ptrdiff_t>(expected.size()),
                            heard.end(), [](std::int16_t v) { return v == 0; }))
        << "sound after the end";
}

TEST_F(PlaybackTest, EverySampleRendersAndShowsItsFirstPictureUprightAndAtItsShapeWhenPaused) {
    struct Case {
        const char* sample;
        int width;  // shown with square pixels
        int height;
        bool sound;
        double seconds = 2.5;  // at least
    };
    for (const Case& c :
         {Case{"mpeg1_mp2.mpg", 320, 240, true}, Case{"mpeg2_ac3.mpg", 352, 288, true},
          Case{"mpeg4_mp3.avi", 320, 240, true}, Case{"mjpeg_pcm.avi", 320, 240, true},
          Case{"h264_aac.mov", 320, 240, true}, Case{"pcm_be.mov", 320, 240, true},
          Case{"video_only.avi", 320, 240, false}, Case{"vfr.mov", 320, 240, true},
          Case{"odd_size.avi", 321, 241, true}, Case{"late_video.mov", 320, 240, true},
          Case{"rotate90.mov", 180, 320, true, 0.9}, Case{"mirrored.mov", 320, 180, false, 0.9},
          Case{"dvd_ntsc_16x9.mpg", 853, 480, true, 0.9}, Case{"dvd_pal_4x3.mpg", 768, 576, false, 0.9}}) {
        SCOPED_TRACE(c.sample);
        PlaybackGraph playback(c.sample);
        ASSERT_EQ(playback.rendered, S_OK);
        EXPECT_EQ(static_cast<bool>(playback.Find(CLSID_AudioRenderer)), c.sound);
        RecordingSurface surface;
        Show(playback, surface);
        ASSERT_EQ(playback.control->Pause(), S_OK);
        OAFilterState state = State_Stopped;
        EXPECT_EQ(playback.control->GetState(5000, &state), S_OK) << "pre-roll did not finish";
        ASSERT_TRUE(surface.WaitForCount(1, 5s));
        const Presentation first = surface.Presentations().front();
        EXPECT_EQ(first.width, c.width);
        EXPECT_EQ(first.height, c.height);
        EXPECT_TRUE(first.anyLight) << "a black first picture";
        // The same picture a player shows first, the same way up: stretched alike, their cells match.
        const testsupport::DecodedPictures shown =
            testsupport::DecodePictures(testsupport::SamplePath(c.sample), 0, 1);
        ASSERT_EQ(shown.rgb.size(), 1U) << shown.error;
        int difference = 0;
        for (std::size_t cell = 0; cell < first.cells.size(); ++cell) {
            const auto expected = shown.At(0, static_cast<int>(cell % 4 * 2 + 1) * shown.width / 8,
                                           static_cast<int>(cell / 4 * 2 + 1) * shown.height / 8);
            for (int i = 0; i < 3; ++i) difference += std::abs(first.cells[cell][i] - expected[i]);
        }
        EXPECT_LT(difference / 48, 24) << "not the picture a player shows first";
        LONGLONG duration = 0;
        EXPECT_EQ(playback.seeking->GetDuration(&duration), S_OK);
        EXPECT_GT(duration, static_cast<LONGLONG>(c.seconds * 1e7));
    }
}

TEST_F(PlaybackTest, VideoOnlyFilePlaysOnTheSystemClockToItsEnd) {
    PlaybackGraph playback("video_only.avi");
    ASSERT_EQ(playback.rendered, S_OK);
    RecordingSurface surface;
    Show(playback, surface);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(playback.control->Run(), S_OK);
    EXPECT_EQ(playback.WaitForEnd(10s), EC_COMPLETE);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_NEAR(seconds, 3.0, 0.3);
    EXPECT_GE(surface.Count(), 60u);
}

TEST_F(PlaybackTest, SoundThatStartsASecondLateHoldsUpNeitherRunNorThePictures) {
    // The sound renderer gets nothing while the picture renderer holds the splitter's thread with
    // its first picture, so waiting for it would only freeze the window that pressed Play.
    PlaybackGraph playback("late_audio.mpg");
    ASSERT_EQ(playback.rendered, S_OK);
    ASSERT_TRUE(playback.Find(CLSID_AudioRenderer));
    RecordingSurface surface;
    Show(playback, surface);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(playback.control->Run(), S_OK);
    const double running = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(playback.WaitForEnd(10s), EC_COMPLETE);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_LT(running, 1.0) << "Run waited for the sound";
    EXPECT_NEAR(seconds, 3.0, 0.8);
    EXPECT_GE(surface.Count(), 70u) << "of 75 pictures";
}

TEST_F(PlaybackTest, ReleasingAPlayingGraphAndBuildingASecondLeavesNothingAlive) {
    RecordingSurface surface;
    {
        PlaybackGraph first("indexed_10s.mpg");
        ASSERT_EQ(first.rendered, S_OK);
        Show(first, surface);
        ASSERT_EQ(first.control->Run(), S_OK);
        ASSERT_TRUE(surface.WaitForCount(5, 5s));
        // Released while it plays, with no Stop: the graph stops itself on the way out.
        first.control = ComPtr<IMediaControl>();
        first.seeking = ComPtr<IMediaSeeking>();
        first.events = ComPtr<IMediaEvent>();
    }
    const std::size_t afterFirst = surface.Count();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(surface.Count(), afterFirst) << "a released graph still shows pictures";
    {
        PlaybackGraph second("mpeg1_mp2.mpg");
        ASSERT_EQ(second.rendered, S_OK);
        Show(second, surface);
        ASSERT_EQ(second.control->Run(), S_OK);
        ASSERT_TRUE(surface.WaitForCount(afterFirst + 5, 5s));
    }
    // The live-object check after every test asserts that nothing of either graph is left.
}

}  // namespace
